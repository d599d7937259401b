#pragma once
// The card self-test: one run over a card that tells whether it is good, and
// why not, as a table of named checks in six groups (driver, identity,
// memory, boot, stream, close). A group stops only where its later checks
// could not mean anything. It opens the card with a link of its own, so it
// runs on any thread, beside a console that has the card open but does not
// receive from it.
#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/transport.hpp"
#include "program/coff_image.hpp"
#include "selftest/check_table.hpp"

namespace pemblor::selftest {

inline constexpr double kDefaultSeconds = 10;
inline constexpr double kQuickSeconds = 2;
// The folder of the data root that the self-test's recordings go to.
inline constexpr const char* kRecordingFolder = "selftest";

// A DSP program to boot: its unscrambled bytes and the blocks that refer into them.
struct Program {
    std::string name;
    std::vector<std::uint8_t> bytes;
    program::BlockList blocks;

    Program() = default;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
};

// The sample program the build makes.
std::shared_ptr<const Program> sampleProgram();
// An image file (.IMG); nothing, with the reason, when it can't be read as one.
std::shared_ptr<const Program> readProgram(const std::filesystem::path& path, std::string& error);

struct Options {
    int device = 0;
    bool quick = false;                      // no memory test
    double seconds = kDefaultSeconds;        // of reception
    std::shared_ptr<const Program> program;  // none: the sample program
    bool reboot = false;                     // reset and boot a card in service too
    std::filesystem::path root;              // the data root
};

// Payload bytes per stream slot.
using SlotBytes = std::array<std::uint64_t, 8>;

struct Hooks {
    // Each row as soon as it is decided, on the thread that runs the test.
    std::function<void(const CheckRow&)> row;
    // Once set, the run checks nothing more but closes the card (the close
    // group's rows still come) and ends as interrupted.
    const std::atomic<bool>* stop = nullptr;
    // For a simulated card: the payload bytes it has handed out so far, per
    // stream slot, to hold the recordings against.
    std::function<std::optional<SlotBytes>(int device)> delivered;
};

CheckTable runSelfTest(driver::Transport& transport, const Options& options, const Hooks& hooks = {});

}  // namespace pemblor::selftest
