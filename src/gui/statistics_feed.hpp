#pragma once
// What the statistics window plots, taken from the status history: one plot
// per figure, one series per stream slot or channel, x in seconds before the
// newest sample (so the newest point sits at 0), y the figure of that second.
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>

#include "status/status_history.hpp"

namespace pemblor::gui {

enum class StatisticsPlot { BitRate, Blocks, Previews, Dropped };
inline constexpr StatisticsPlot kStatisticsPlots[] = {StatisticsPlot::BitRate, StatisticsPlot::Blocks,
                                                      StatisticsPlot::Previews, StatisticsPlot::Dropped};

QString plotTitle(StatisticsPlot plot);
// The series of a plot, in order: "Chan1".."SubChan4", "Chan1".."Chan4", or one.
QStringList seriesNames(StatisticsPlot plot);

// Fills series[k] with the points of series k of the plot (series must hold
// seriesNames(plot).size() lists); the lists are reused, not reallocated.
// Returns the largest y, 0 for an empty history.
double fillPlot(const status::StatusHistory& history, StatisticsPlot plot, QList<QList<QPointF>>& series);

}  // namespace pemblor::gui
