#pragma once
// A Transport that records what the receive path fetches from one card, as
// a replay file that a simulated card hands out again (`replay = FILE`):
// every fetch of notification records (request 0x226548) with its time
// since reception was registered, and the area bytes each record points at,
// written to a data file beside it (FILE.bin) that the replay file names.
// Everything else passes through untouched, so the console works on as usual.
//
//   fetch
//   at 1234.567
//   record 0x12 5 0 35872
//   area 1 0 1048576+35872 @traffic.rpl.bin
//
// The receive path is not held up by the writing, which a thread of the
// recorder's does: a small fetch's bytes are copied and queued; a large
// one's are written from the areas themselves while the receive thread
// handles them. The next fetch (which lets the card overwrite them) copies
// what is not written yet, after waiting at most for the piece being written. Recording stops, with a line on
// the log, at the size limit or on a write error; what was written stays a
// whole replay file. Only the first card whose fetch brings records is recorded.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "driver/transport.hpp"

namespace pemblor::driver {

class TrafficRecordingTransport : public ForwardingTransport {
public:
    struct Options {
        std::filesystem::path file;
        std::uint64_t maxBytes = 1024ull << 20;  // replay file and data file together
    };

    // Creates the two files; null with the reason when they can't be.
    static std::unique_ptr<TrafficRecordingTransport> create(Transport& inner, const Options& options,
                                                             std::ostream& log, std::string& error);
    // Writes what is still pending and closes the files.
    ~TrafficRecordingTransport() override;

    DeviceHandle open(std::string_view path) override;
    ControlResult control(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> in,
                          std::span<std::uint8_t> out) override;
    bool close(DeviceHandle handle) override;

    // Fetches written so far; false once recording has stopped.
    std::uint64_t fetchesRecorded() const;
    bool recording() const;

private:
    // One fetch for the writer: its records and the area bytes they point at.
    struct Piece {
        std::uint32_t word = 0, offset = 0;
        std::span<const std::uint8_t> bytes;
    };
    struct Job {
        std::uint64_t atMicros = 0;
        std::array<std::uint8_t, 128> records{};
        std::size_t recordCount = 0;
        std::array<Piece, 8> pieces;
        std::size_t pieceCount = 0;
        std::vector<std::uint8_t> copy;  // the pieces' bytes, for a small fetch
        bool inAreas = false;            // the pieces are the areas themselves
        std::size_t donePiece = 0, doneOffset = 0;  // how far the writer got
    };
    static constexpr std::size_t kQueue = 64;

    TrafficRecordingTransport(Transport& inner, const Options& options, std::ostream& log, int text, int data);
    // Whether fetches through this handle are recorded; picks the card on its first fetch.
    bool recordsDevice(DeviceHandle handle);
    void capture(DeviceHandle handle, std::span<const std::uint8_t> records);
    // Fills a free job of the queue (no lock held: the writer does not look at it yet).
    void fill(Job& job, DeviceHandle handle, std::span<const std::uint8_t> records);
    // Before a fetch: no queued job points into the areas any more.
    void freeAreas();
    void takeOver(Job& job, bool head);
    void writerLoop();
    bool write(Job& job);
    bool writeData(Job& job);
    bool writeAll(int fd, std::span<const std::uint8_t> bytes);
    void stop(const std::string& why);

    const Options options_;
    std::ostream& log_;
    const int text_, data_;
    const std::string dataName_;  // as the replay file names it

    std::mutex devicesMutex_;
    std::map<std::uint64_t, std::string> paths_;                        // open handles
    std::map<std::uint64_t, std::array<std::uint32_t, 4>> tokens_;      // mapping words 1, 5, 9, 13 per handle
    std::map<std::string, std::chrono::steady_clock::time_point> registered_;  // first registration per card
    std::string device_;  // the card recorded
    std::chrono::steady_clock::time_point start_{};
    bool refusedShown_ = false;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::array<Job, kQueue> queue_;  // a ring: count_ jobs from head_, the first one being written
    std::size_t head_ = 0, count_ = 0;
    std::size_t inAreas_ = 0;  // queued jobs that point into the areas
    bool writerIdle_ = false;
    bool chunkInAreas_ = false;  // the writer writes a piece of an area right now
    bool ending_ = false;
    bool stopped_ = false;
    std::uint64_t written_ = 0;  // bytes in both files
    std::uint64_t dataAt_ = 0;   // size of the data file
    std::uint64_t fetches_ = 0;
    std::string lines_;  // the writer's line buffer
    std::thread writer_;
};

}  // namespace pemblor::driver
