#include "sim/production/production.hpp"

#include <algorithm>
#include <ctime>

#include "driver/packed_time.hpp"

namespace pemblor::sim {

namespace {

// How often an idle card looks at its conditions again (a switch or a boot
// that ends without a request to wake it), and the least time between two
// rounds of production, so items due close together go out together.
constexpr auto kIdlePoll = std::chrono::milliseconds(20);
constexpr auto kMinRound = std::chrono::milliseconds(4);

constexpr int kFullWidth = 704;

std::uint32_t switchMask(const SimDsp& dsp) {
    std::uint32_t mask = 0;
    for (std::size_t ch = 0; ch < kChannelCount; ++ch) {
        if (dsp.encoding()[ch]) mask |= 1u << ch;
        if (dsp.pictures()[ch]) mask |= 0x10u << ch;
    }
    return mask;
}

std::uint32_t millisecondsRun(SimClock::time_point now, SimDsp& dsp) {
    const auto since = dsp.runningSince(now).value_or(now);
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now - since).count());
}

// Switches a source on or off; it starts from now when it comes on.
void follow(bool want, bool& on, Cadence& cadence, SimClock::time_point now) {
    if (want && !on) cadence.start(now);
    on = want;
}

}  // namespace

std::uint32_t cardTime(SimClock::time_point now, const SimDsp& dsp) {
    std::tm t{};
    if (const auto& clock = dsp.clock()) {
        t.tm_year = static_cast<int>((*clock)[0]) - 1900;
        t.tm_mon = static_cast<int>((*clock)[1]) - 1;
        t.tm_mday = static_cast<int>((*clock)[2]);
        t.tm_hour = static_cast<int>((*clock)[3]);
        t.tm_min = static_cast<int>((*clock)[4]);
        t.tm_sec = static_cast<int>((*clock)[5]);
        std::time_t at = ::timegm(&t);
        at += std::chrono::duration_cast<std::chrono::seconds>(now - dsp.clockSetAt()).count();
        ::gmtime_r(&at, &t);
    } else {
        const std::time_t at = std::time(nullptr);
        ::localtime_r(&at, &t);
    }
    return driver::packTime({t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec});
}

Production::Production(const CardSettings& settings)
    : settings_(settings),
      streams_{StreamSource(0, settings.fps, settings.speed), StreamSource(1, settings.fps, settings.speed),
               StreamSource(2, settings.fps, settings.speed), StreamSource(3, settings.fps, settings.speed),
               StreamSource(4, settings.fps, settings.speed), StreamSource(5, settings.fps, settings.speed),
               StreamSource(6, settings.fps, settings.speed), StreamSource(7, settings.fps, settings.speed)},
      original_(settings.originalVideoFps, settings.speed),
      previews_{Cadence(settings.previewFps, settings.speed), Cadence(settings.previewFps, settings.speed),
                Cadence(settings.previewFps, settings.speed), Cadence(settings.previewFps, settings.speed)},
      fullSize_(settings.fullSizeFps, settings.speed),
      debug_(settings.debugPerSecond, settings.speed) {
    for (StreamSource& s : streams_) s.losePictures(settings.faults.droppedStreams.contains(s.id()));
}

void Production::restart(SimClock::time_point now) {
    for (StreamSource& s : streams_) s.stop();
    originalOn_ = fullSizeOn_ = false;
    previewOn_.fill(false);
    debug_.start(now);
}

std::optional<std::pair<std::size_t, LoopKey>> Production::missingLoop(const SimDsp& dsp) const {
    for (std::size_t s = 0; s < kStreamCount; ++s) {
        if (streams_[s].hasLoop() || !dsp.encoding()[s % kChannelCount]) continue;
        const bool main = s < kChannelCount;
        LoopKey key;
        key.channel = static_cast<int>(s % kChannelCount);
        key.width = main ? 352 : 176;
        key.height = main ? 288 : 144;
        key.fps = static_cast<int>(settings_.fps);
        key.kbps = static_cast<int>(main ? settings_.mainKbps : settings_.subKbps);
        key.pictures = 2 * key.fps;  // two GOPs
        return std::pair{s, key};
    }
    return std::nullopt;
}

void Production::installLoop(std::size_t stream, std::shared_ptr<const EncodedLoop> loop) {
    if (stream >= kStreamCount) return;
    // Loops are shared by every card: a faulty stream gets a damaged copy.
    if (loop && settings_.faults.corruptStreams.contains(static_cast<std::uint32_t>(stream)))
        loop = withDamagedSlices(*loop);
    streams_[stream].setLoop(std::move(loop));
}

bool Production::producing(SimClock::time_point now, SimDsp& dsp, SimReception& reception) const {
    return reception.event() && !reception.replaying() && dsp.running(now) && dsp.dmaSet();
}

SimClock::time_point Production::produce(SimClock::time_point now, SimDsp& dsp, SimReception& reception) {
    if (!producing(now, dsp, reception)) {
        if (wasProducing_) restart(now);
        wasProducing_ = false;
        return now + kIdlePoll;
    }
    if (!wasProducing_) {
        restart(now);
        for (StreamSource& s : streams_) s.resetNumbers();
    }
    wasProducing_ = true;
    const std::uint32_t stamp = cardTime(now, dsp);
    for (StreamSource& s : streams_) {
        const bool want = dsp.encoding()[s.id() % kChannelCount] && s.hasLoop();
        if (want && !s.running()) s.start(now);
        if (!want) s.stop();
        s.produce(now, stamp, reception);
    }
    pictures(now, dsp, reception);
    while (debug_.due(now)) debugRecord(now, dsp, reception);
    return nextDue(now);
}

void Production::pictures(SimClock::time_point now, SimDsp& dsp, SimReception& reception) {
    const auto& on = dsp.pictures();
    follow(on[0], originalOn_, original_, now);
    while (originalOn_ && original_.due(now)) pushPicture(kCodeOriginalVideo, 0, originalCount_, now, dsp, reception);
    for (std::uint32_t ch = 0; ch < kChannelCount; ++ch) {
        follow(on[ch], previewOn_[ch], previews_[ch], now);
        const bool silent = settings_.faults.silentPreviews.contains(ch);
        while (previewOn_[ch] && previews_[ch].due(now)) {
            if (!silent) pushPicture(settings_.previewCodes[ch], ch, previewCount_[ch], now, dsp, reception);
        }
    }
    follow(std::find(on.begin(), on.end(), true) != on.end(), fullSizeOn_, fullSize_, now);
    while (fullSizeOn_ && fullSize_.due(now)) {
        while (!on[fullSizeChannel_ % kChannelCount]) ++fullSizeChannel_;
        pushPicture(kCodeFullPreview, fullSizeChannel_++ % kChannelCount, fullSizeCount_, now, dsp, reception);
    }
}

void Production::pushPicture(std::uint32_t code, std::uint32_t channel, std::uint32_t& counter,
                             SimClock::time_point now, SimDsp& dsp, SimReception& reception) {
    Delivery d;
    d.code = code;
    d.channel = channel;
    d.size = static_cast<std::uint32_t>(formatOf(code).size());
    d.number = counter++;
    d.stamp = millisecondsRun(now, dsp);
    reception.push(d);
}

void Production::debugRecord(SimClock::time_point now, SimDsp& dsp, SimReception& reception) {
    Delivery d;
    d.code = kCodeDebugRecords;
    d.size = kDebugRecordSize;
    d.number = debugSequence_++;
    d.stamp = millisecondsRun(now, dsp);
    d.channel = switchMask(dsp);
    reception.push(d);
}

SimClock::time_point Production::nextDue(SimClock::time_point now) const {
    SimClock::time_point next = now + kIdlePoll;
    for (const StreamSource& s : streams_)
        if (s.running()) next = std::min(next, s.next());
    if (originalOn_ && original_.active()) next = std::min(next, original_.next());
    for (std::size_t ch = 0; ch < kChannelCount; ++ch)
        if (previewOn_[ch] && previews_[ch].active()) next = std::min(next, previews_[ch].next());
    if (fullSizeOn_ && fullSize_.active()) next = std::min(next, fullSize_.next());
    if (debug_.active()) next = std::min(next, debug_.next());
    return std::max(next, now + kMinRound);
}

PictureFormat Production::formatOf(std::uint32_t code) const {
    const bool ntsc = settings_.ntsc;
    switch (code) {
        case kCodeOriginalVideo:
        case kCodeFullPreview: return {kFullWidth, ntsc ? 480 : 576, Chroma::Half422};
        case kCodePreviewQcif: return {176, ntsc ? 120 : 144, Chroma::Half422};
        case kCodePreviewNtscCif: return {352, ntsc ? 240 : 288, Chroma::Half422};
        default: return {352, 288, Chroma::Half422};
    }
}

// Pictures move with the program's time; full-size pictures are interlaced,
// their second field a field period later.
void Production::render(const Delivery& d, std::span<std::uint8_t> out) {
    SceneMoment moment;
    moment.channel = static_cast<int>(d.channel % kChannelCount);
    moment.counter = d.number;
    moment.seconds = d.stamp / 1000.0;
    if (d.code == kCodeFullPreview) moment.fieldGap = settings_.ntsc ? 1.0 / 60 : 1.0 / 50;
    renderScene(moment, formatOf(d.code), out);
}

}  // namespace pemblor::sim
