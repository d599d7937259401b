#include "driver/traffic_recording_transport.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "driver/little_endian.hpp"
#include "driver/replay_text.hpp"
#include "driver/request_codes.hpp"

namespace pemblor::driver {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kOriginalVideo = 0x11;
constexpr std::uint32_t kStreamBlocks = 0x12;
constexpr std::uint32_t kDebugRecords = 0x19;
constexpr std::uint32_t kFullPreview = 0xF7;
constexpr std::size_t kDebugRecordSize = 72;
constexpr std::size_t kPreviewSlots = 4;
// A fetch up to this size is copied and queued; a larger one is written from the areas.
constexpr std::size_t kCopyLimit = 256u << 10;
// Small fetches wake the writer by the batch, or it wakes after the gather time.
constexpr std::size_t kBatch = 16;
constexpr auto kGatherTime = std::chrono::milliseconds(20);
// The most a fetch waits for: one piece of this size being written.
constexpr std::size_t kChunk = 128u << 10;
// The mapping words of the four areas, in the order tokens_ keeps them.
constexpr std::array<std::uint32_t, 4> kAreaWords = {kStreamAreaWord, kOriginalVideoAreaWord, kPreviewSlotsWord,
                                                     kFullPreviewWord};

// A file the recorder writes: created anew, but only if it is a file (or not there yet).
int createFile(const std::filesystem::path& path, std::string& error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        error = path.string() + ": not a regular file";
        return -1;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) error = path.string() + ": " + std::strerror(errno);
    return fd;
}

std::string localTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

// The bytes a record points at, within its area (cut to it): where the
// receive path reads them.
struct Reach {
    std::size_t area = 0;  // index into kAreaWords
    std::size_t offset = 0, length = 0;
};

bool reachOf(std::uint32_t code, std::uint32_t w1, std::uint32_t w2, std::uint32_t w3,
             const std::array<std::size_t, 4>& sizes, Reach& r) {
    const auto fullOr = [](std::uint32_t n, std::size_t whole) { return n > 0 && n <= whole ? n : whole; };
    switch (code) {
        case kStreamBlocks: r = {0, 0, std::min<std::size_t>(w3, sizes[0])}; break;
        case kOriginalVideo: r = {1, 0, std::min<std::size_t>(w3, sizes[1])}; break;
        case kDebugRecords:
            if (w2 >= sizes[0]) return false;
            r = {0, w2, std::min<std::size_t>((std::size_t{w3} + kDebugRecordSize - 1) / kDebugRecordSize * kDebugRecordSize,
                                              sizes[0] - w2)};
            break;
        case 0xF0:
        case 0xF1:
        case 0xF2: {
            if (w1 >= kPreviewSlots) return false;
            const std::size_t at = std::size_t{w1} * kPreviewSlotSize;
            if (at >= sizes[2]) return false;
            r = {2, at, std::min(fullOr(w3, kPreviewSlotSize), sizes[2] - at)};
            break;
        }
        case kFullPreview: r = {3, 0, fullOr(w3, sizes[3])}; break;
        default: return false;
    }
    return r.length > 0;
}

}  // namespace

std::unique_ptr<TrafficRecordingTransport> TrafficRecordingTransport::create(Transport& inner, const Options& options,
                                                                             std::ostream& log, std::string& error) {
    std::filesystem::path dataPath = options.file;
    dataPath += ".bin";
    const int text = createFile(options.file, error);
    if (text < 0) return nullptr;
    const int data = createFile(dataPath, error);
    if (data < 0) {
        ::close(text);
        return nullptr;
    }
    return std::unique_ptr<TrafficRecordingTransport>(new TrafficRecordingTransport(inner, options, log, text, data));
}

TrafficRecordingTransport::TrafficRecordingTransport(Transport& inner, const Options& options, std::ostream& log,
                                                     int text, int data)
    : ForwardingTransport(inner),
      options_(options),
      log_(log),
      text_(text),
      data_(data),
      dataName_(options.file.filename().string() + ".bin") {
    lines_.reserve(1024);
    writer_ = std::thread([this] { writerLoop(); });
}

TrafficRecordingTransport::~TrafficRecordingTransport() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    writer_.join();
    ::close(text_);
    ::close(data_);
}

DeviceHandle TrafficRecordingTransport::open(std::string_view path) {
    const DeviceHandle handle = inner_.open(path);
    if (handle.valid()) {
        std::lock_guard lock(devicesMutex_);
        paths_[handle.value] = std::string(path);
    }
    return handle;
}

bool TrafficRecordingTransport::close(DeviceHandle handle) {
    {
        std::lock_guard lock(devicesMutex_);
        paths_.erase(handle.value);
        tokens_.erase(handle.value);
    }
    return inner_.close(handle);
}

ControlResult TrafficRecordingTransport::control(DeviceHandle handle, std::uint32_t code,
                                                 std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    if (code != kFetchNotifications) {
        const ControlResult result = inner_.control(handle, code, in, out);
        if (result.ok && code == kMapAddresses && out.size() >= kMappingRecordSize) {
            std::array<std::uint32_t, 4> tokens{};
            for (std::size_t i = 0; i < kAreaWords.size(); ++i) tokens[i] = loadU32(out, kAreaWords[i] * 4);
            std::lock_guard lock(devicesMutex_);
            tokens_[handle.value] = tokens;
        }
        if (result.ok && code == kRegisterEvent) {
            std::lock_guard lock(devicesMutex_);
            if (const auto p = paths_.find(handle.value); p != paths_.end()) registered_.emplace(p->second, Clock::now());
        }
        return result;
    }
    // The last fetch's bytes are in the data file before the card may overwrite them.
    freeAreas();
    const ControlResult result = inner_.control(handle, code, in, out);
    const std::size_t bytes = std::min<std::size_t>(result.bytes, out.size());
    if (result.ok && bytes >= kNotificationSize && recordsDevice(handle)) capture(handle, out.first(bytes));
    return result;
}

bool TrafficRecordingTransport::recordsDevice(DeviceHandle handle) {
    std::lock_guard lock(devicesMutex_);
    const auto p = paths_.find(handle.value);
    if (p == paths_.end()) return false;
    if (device_.empty()) {
        device_ = p->second;
        const auto r = registered_.find(device_);
        start_ = r != registered_.end() ? r->second : Clock::now();
        lines_ = "# traffic of " + device_ + " recorded " + localTimeText() + "\n";
    }
    if (p->second == device_) return true;
    if (!refusedShown_) {
        refusedShown_ = true;
        log_ << "traffic recording " << options_.file.string() << ": records " << device_ << " only, not "
             << p->second << "\n";
    }
    return false;
}

void TrafficRecordingTransport::capture(DeviceHandle handle, std::span<const std::uint8_t> records) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return count_ < kQueue || stopped_; });
    if (stopped_) return;
    Job& job = queue_[(head_ + count_) % kQueue];
    lock.unlock();
    fill(job, handle, records);
    lock.lock();
    ++count_;
    if (job.inAreas) ++inAreas_;
    // Small fetches are gathered: the writer wakes for a batch, or on its own now and then.
    const bool wake = writerIdle_ && (job.inAreas || count_ >= kBatch);
    lock.unlock();
    if (wake) changed_.notify_all();
}

void TrafficRecordingTransport::fill(Job& job, DeviceHandle handle, std::span<const std::uint8_t> records) {
    std::array<std::uint32_t, 4> tokens{};
    {
        std::lock_guard lock(devicesMutex_);
        if (const auto t = tokens_.find(handle.value); t != tokens_.end()) tokens = t->second;
    }
    std::array<std::span<std::uint8_t>, 4> areas;
    std::array<std::size_t, 4> sizes{};
    for (std::size_t i = 0; i < areas.size(); ++i) {
        areas[i] = tokens[i] ? inner_.area(handle, tokens[i]) : std::span<std::uint8_t>{};
        sizes[i] = areas[i].size();
    }
    job.atMicros = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start_).count());
    job.recordCount = std::min<std::size_t>(records.size() / kNotificationSize, job.records.size() / kNotificationSize);
    std::copy_n(records.begin(), job.recordCount * kNotificationSize, job.records.begin());
    job.pieceCount = 0;
    job.donePiece = job.doneOffset = 0;
    std::size_t total = 0;
    for (std::size_t r = 0; r < job.recordCount; ++r) {
        const std::size_t at = r * kNotificationSize;
        Reach reach;
        if (!reachOf(loadU32(records, at), loadU32(records, at + 4), loadU32(records, at + 8),
                     loadU32(records, at + 12), sizes, reach))
            continue;
        job.pieces[job.pieceCount++] = {kAreaWords[reach.area], static_cast<std::uint32_t>(reach.offset),
                                        areas[reach.area].subspan(reach.offset, reach.length)};
        total += reach.length;
    }
    // A copy costs less than waiting for the writer, up to a size.
    job.inAreas = total > kCopyLimit;
    if (job.inAreas) return;
    job.copy.resize(total);
    std::size_t at = 0;
    for (std::size_t i = 0; i < job.pieceCount; ++i) {
        Piece& p = job.pieces[i];
        std::copy(p.bytes.begin(), p.bytes.end(), job.copy.begin() + static_cast<std::ptrdiff_t>(at));
        p.bytes = std::span(job.copy).subspan(at, p.bytes.size());
        at += p.bytes.size();
    }
}

void TrafficRecordingTransport::freeAreas() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !chunkInAreas_; });
    for (std::size_t k = 0; k < count_ && inAreas_ > 0; ++k) {
        Job& job = queue_[(head_ + k) % kQueue];
        if (job.inAreas) takeOver(job, k == 0);
    }
}

// The writer is behind: what it has not written yet is copied (under the
// lock, between two of its pieces), and it goes on from the copy.
void TrafficRecordingTransport::takeOver(Job& job, bool head) {
    std::size_t total = 0;
    for (std::size_t i = 0; i < job.pieceCount; ++i) total += job.pieces[i].bytes.size();
    job.copy.resize(total);
    std::size_t at = 0;
    for (std::size_t i = 0; i < job.pieceCount; ++i) {
        Piece& p = job.pieces[i];
        const std::size_t size = p.bytes.size();
        const std::size_t from = !head || i > job.donePiece ? 0 : i < job.donePiece ? size : job.doneOffset;
        std::copy(p.bytes.begin() + static_cast<std::ptrdiff_t>(from), p.bytes.end(),
                  job.copy.begin() + static_cast<std::ptrdiff_t>(at + from));
        p.bytes = std::span(job.copy).subspan(at, size);
        at += size;
    }
    job.inAreas = false;
    --inAreas_;
}

void TrafficRecordingTransport::writerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        writerIdle_ = true;
        changed_.wait_for(lock, kGatherTime, [this] { return count_ >= kBatch || inAreas_ > 0 || ending_; });
        writerIdle_ = false;
        if (count_ == 0 && ending_) return;
        // Once awake, the writer empties the queue. The job at the head stays
        // put: capture() fills only free ones.
        while (count_ > 0) {
            Job& job = queue_[head_];
            lock.unlock();
            const bool ok = write(job);
            lock.lock();
            head_ = (head_ + 1) % kQueue;
            --count_;
            if (job.inAreas) --inAreas_;
            if (!ok) count_ = inAreas_ = 0;  // stopped: nothing more is written, nobody waits for it
            changed_.notify_all();
            if (!ok) return;
        }
    }
}

// Bytes first, then the lines that name them: a recording cut short by a
// crash is still a whole replay file up to its last line.
bool TrafficRecordingTransport::write(Job& job) {
    std::uint64_t dataBytes = 0;
    for (std::size_t i = 0; i < job.pieceCount; ++i) dataBytes += job.pieces[i].bytes.size();
    appendFetch(lines_, job.atMicros);
    for (std::size_t r = 0; r < job.recordCount; ++r)
        appendRecord(lines_, std::span(job.records).subspan(r * kNotificationSize, kNotificationSize));
    std::uint64_t at = dataAt_;
    for (std::size_t i = 0; i < job.pieceCount; ++i) {
        const Piece& p = job.pieces[i];
        appendArea(lines_, p.word, p.offset, at, p.bytes.size(), dataName_);
        at += p.bytes.size();
    }
    if (written_ + dataBytes + lines_.size() > options_.maxBytes) {
        stop("stopped at its limit of " + std::to_string(options_.maxBytes >> 20) + " MB");
        return false;
    }
    // The replay reads data offsets as 32-bit numbers.
    if (at > 0xFFFFFFFFull) {
        stop("stopped: the data file reached 4 GiB");
        return false;
    }
    if (!writeData(job)) return false;
    if (!writeAll(text_, {reinterpret_cast<const std::uint8_t*>(lines_.data()), lines_.size()})) return false;
    written_ += dataBytes + lines_.size();
    dataAt_ = at;
    lines_.clear();
    std::lock_guard lock(mutex_);
    ++fetches_;
    return true;
}

// Piece by piece, so that a fetch that comes meanwhile waits for one piece
// at most before it takes over the rest.
bool TrafficRecordingTransport::writeData(Job& job) {
    for (std::size_t i = 0; i < job.pieceCount; ++i) {
        const std::size_t size = job.pieces[i].bytes.size();
        for (std::size_t off = 0; off < size;) {
            std::span<const std::uint8_t> chunk;
            {
                std::lock_guard lock(mutex_);
                chunk = job.pieces[i].bytes.subspan(off, std::min(kChunk, size - off));
                chunkInAreas_ = job.inAreas;
            }
            const bool ok = writeAll(data_, chunk);
            {
                std::lock_guard lock(mutex_);
                chunkInAreas_ = false;
                off += chunk.size();
                job.donePiece = i;
                job.doneOffset = off;
            }
            changed_.notify_all();
            if (!ok) return false;
        }
    }
    return true;
}

bool TrafficRecordingTransport::writeAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            stop(std::string("stopped: ") + std::strerror(n < 0 ? errno : EIO));
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Runs on the writer; what is written stays a whole replay file.
void TrafficRecordingTransport::stop(const std::string& why) {
    std::uint64_t fetches = 0;
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        fetches = fetches_;
    }
    const std::string line = "# " + why + "\n";
    [[maybe_unused]] const ssize_t n = ::write(text_, line.data(), line.size());
    log_ << "traffic recording " << options_.file.string() << ": " << why << " after " << fetches << " fetches\n";
}

std::uint64_t TrafficRecordingTransport::fetchesRecorded() const {
    std::lock_guard lock(mutex_);
    return fetches_;
}

bool TrafficRecordingTransport::recording() const {
    std::lock_guard lock(mutex_);
    return !stopped_;
}

}  // namespace pemblor::driver
