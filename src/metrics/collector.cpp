#include "metrics/collector.hpp"

#include <sys/statvfs.h>

#include <array>
#include <cstdio>
#include <prometheus/text_serializer.h>

namespace pemblor::metrics {

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;
using Labels = std::vector<ClientMetric::Label>;

// The families in a fixed order, so that a card's samples land in the
// family of the same name whatever the number of cards.
enum Family : std::size_t {
    kCardInfo, kCardUp, kDspState, kDspRunning, kReceiving,
    kPictures, kBytes, kPictureRate, kByteRate, kDecodeErrors,
    kCardDropped, kConsoleDropped, kWritten, kWriteErrors, kDebugLines,
    kFamilyCount
};

struct FamilyText {
    const char* name;
    const char* help;
    MetricType type;
};

constexpr std::array<FamilyText, kFamilyCount> kFamilies = {{
    {"pemblor_card_info", "The card's identity and driver version (always 1)", MetricType::Gauge},
    {"pemblor_card_up", "1 while the card answers its once-a-second poll", MetricType::Gauge},
    {"pemblor_dsp_state", "The DSP state word the card last reported (21: running its program)", MetricType::Gauge},
    {"pemblor_dsp_running", "1 while the card answers and its DSP runs its program", MetricType::Gauge},
    {"pemblor_reception_active", "1 while reception runs", MetricType::Gauge},
    {"pemblor_stream_pictures_received_total", "Pictures received on the stream", MetricType::Counter},
    {"pemblor_stream_received_bytes_total", "Payload bytes received on the stream", MetricType::Counter},
    {"pemblor_stream_pictures_per_second", "Pictures received in the last full second", MetricType::Gauge},
    {"pemblor_stream_received_bytes_per_second", "Payload bytes received in the last full second", MetricType::Gauge},
    {"pemblor_stream_decode_errors_total", "Pictures of the stream a decoder of this program could not decode",
     MetricType::Counter},
    {"pemblor_card_dropped_records_total", "Records the card dropped because they were fetched too slowly",
     MetricType::Counter},
    {"pemblor_console_dropped_blocks_total", "Stream blocks received cut short, counted but not written",
     MetricType::Counter},
    {"pemblor_written_bytes_total", "Bytes written to recording files, by kind of file", MetricType::Counter},
    {"pemblor_write_errors_total", "Recording files that stopped on a failed write", MetricType::Counter},
    {"pemblor_debug_lines_total", "DSP debug lines received", MetricType::Counter},
}};

constexpr std::array<const char*, common::kFileKindCount> kFileKinds = {"stream", "debug", "video"};

ClientMetric sample(Labels labels, MetricType type, double value) {
    ClientMetric m;
    m.label = std::move(labels);
    if (type == MetricType::Counter) {
        m.counter.value = value;
    } else {
        m.gauge.value = value;
    }
    return m;
}

void put(std::vector<MetricFamily>& families, Family f, const Labels& labels, double value) {
    MetricFamily& family = families[f];
    family.metric.push_back(sample(labels, family.type, value));
}

Labels with(Labels labels, const char* name, std::string value) {
    labels.push_back({name, std::move(value)});
    return labels;
}

std::string versionText(std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", v >> 24, (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    return text;
}

MetricFamily processFamily(const char* name, const char* help, Labels labels, double value) {
    MetricFamily family{name, help, MetricType::Gauge, {}};
    family.metric.push_back(sample(std::move(labels), MetricType::Gauge, value));
    return family;
}

}  // namespace

void Collector::addCard(CardFeed feed) {
    const std::lock_guard lock(mutex_);
    cards_.push_back(feed);
}

std::vector<MetricFamily> Collector::Collect() const {
    std::vector<MetricFamily> families;
    families.reserve(kFamilyCount + 4);
    for (const FamilyText& f : kFamilies) families.push_back({f.name, f.help, f.type, {}});
    {
        const std::lock_guard lock(mutex_);
        for (const CardFeed& feed : cards_) collectCard(feed, families);
    }
    // An empty family would only say that nothing is there.
    std::erase_if(families, [](const MetricFamily& f) { return f.metric.empty(); });
    collectProcess(families);
    return families;
}

void Collector::collectCard(const CardFeed& feed, std::vector<MetricFamily>& families) const {
    using common::read;
    const driver::CardHealth::Identity id = feed.health->identity();
    if (id.device < 0) return;  // no card open
    const Labels card = {{"device", std::to_string(id.device)}, {"serial", id.serial}, {"slot", std::to_string(id.slot)}};
    put(families, kCardInfo, with(card, "driver_version", versionText(id.version)), 1);
    put(families, kCardUp, card, feed.health->up() ? 1 : 0);
    put(families, kDspState, card, feed.health->dspState());
    put(families, kDspRunning, card, feed.health->dspRunning() ? 1 : 0);
    put(families, kCardDropped, card, feed.health->droppedRecords());
    const common::ReceiveStats& stats = *feed.stats;
    put(families, kReceiving, card, read(stats.receiving) != 0 ? 1 : 0);
    for (std::size_t i = 0; i < common::kSlotCount; ++i) {
        const common::StreamSlot& slot = stats.slotTable[i];
        const Labels stream = with(with(card, "channel", std::to_string(i % common::kChannelCount + 1)), "stream",
                                   i < common::kChannelCount ? "main" : "sub");
        put(families, kPictures, stream, read(slot.pictureCount));
        put(families, kBytes, stream, static_cast<double>(read(slot.bytesReceived)));
        put(families, kPictureRate, stream, read(slot.picturesLastSecond));
        // The status lines' bit rate, in the base unit.
        put(families, kByteRate, stream, read(slot.bitRate) / 8);
        put(families, kDecodeErrors, stream, read(slot.decodeErrors));
    }
    put(families, kConsoleDropped, card, read(stats.counters.cutBlocks));
    for (std::size_t kind = 0; kind < common::kFileKindCount; ++kind) {
        put(families, kWritten, with(card, "kind", kFileKinds[kind]), static_cast<double>(read(stats.files.bytes[kind])));
    }
    put(families, kWriteErrors, card, read(stats.files.errors));
    put(families, kDebugLines, card, read(stats.counters.debugLines));
}

void Collector::collectProcess(std::vector<MetricFamily>& families) const {
    struct statvfs fs {};
    if (::statvfs(facts_.dataRoot.c_str(), &fs) == 0) {
        const double unit = static_cast<double>(fs.f_frsize);
        families.push_back(processFamily("pemblor_data_root_free_bytes", "Space left for recordings in the data root",
                                         {}, static_cast<double>(fs.f_bavail) * unit));
        families.push_back(processFamily("pemblor_data_root_size_bytes", "Size of the file system of the data root",
                                         {}, static_cast<double>(fs.f_blocks) * unit));
    }
    const double started = std::chrono::duration<double>(facts_.started.time_since_epoch()).count();
    families.push_back(processFamily("pemblor_start_time_seconds", "When the program started, in seconds since 1970",
                                     {}, started));
    families.push_back(processFamily("pemblor_build_info", "The program's version (always 1)",
                                     {{"version", facts_.version}}, 1));
}

std::string exposition(const std::vector<prometheus::MetricFamily>& families) {
    return prometheus::TextSerializer().Serialize(families);
}

}  // namespace pemblor::metrics
