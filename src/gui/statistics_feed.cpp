#include "gui/statistics_feed.hpp"

#include <algorithm>

namespace pemblor::gui {

namespace {

const QStringList kSlotNames = {"Chan1", "Chan2", "Chan3", "Chan4", "SubChan1", "SubChan2", "SubChan3", "SubChan4"};
const QStringList kChannelNames = {"Chan1", "Chan2", "Chan3", "Chan4"};

// The figure of series k in one sample.
double figure(const status::StatusSample& s, StatisticsPlot plot, qsizetype k) {
    const auto i = static_cast<std::size_t>(k);
    switch (plot) {
        case StatisticsPlot::BitRate: return s.bitRate[i] / 1024.0;  // kbit/s, as the channel lines count
        case StatisticsPlot::Blocks: return s.blocks[i];
        case StatisticsPlot::Previews: return s.previews[i];
        case StatisticsPlot::Dropped: return s.dropped;
    }
    return 0;
}

}  // namespace

QString plotTitle(StatisticsPlot plot) {
    switch (plot) {
        case StatisticsPlot::BitRate: return QStringLiteral("Bit rate (kbit/s)");
        case StatisticsPlot::Blocks: return QStringLiteral("Blocks per second");
        case StatisticsPlot::Previews: return QStringLiteral("Preview pictures per second");
        case StatisticsPlot::Dropped: return QStringLiteral("Dropped records per second");
    }
    return {};
}

QStringList seriesNames(StatisticsPlot plot) {
    switch (plot) {
        case StatisticsPlot::BitRate:
        case StatisticsPlot::Blocks: return kSlotNames;
        case StatisticsPlot::Previews: return kChannelNames;
        case StatisticsPlot::Dropped: return {QStringLiteral("Dropped")};
    }
    return {};
}

double fillPlot(const status::StatusHistory& history, StatisticsPlot plot, QList<QList<QPointF>>& series) {
    double top = 0;
    const std::size_t n = history.size();
    const std::uint64_t newest = n ? history.newest().tick : 0;
    const qsizetype count = std::min(series.size(), seriesNames(plot).size());
    for (qsizetype k = 0; k < count; ++k) {
        QList<QPointF>& points = series[k];
        points.clear();
        points.reserve(static_cast<qsizetype>(n));
        for (std::size_t i = 0; i < n; ++i) {
            const status::StatusSample& s = history.at(i);
            const double y = figure(s, plot, k);
            points.append(QPointF(-static_cast<double>(newest - s.tick), y));
            top = std::max(top, y);
        }
    }
    return top;
}

}  // namespace pemblor::gui
