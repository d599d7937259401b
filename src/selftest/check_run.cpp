#include "selftest/check_run.hpp"

#include <array>
#include <chrono>
#include <mutex>
#include <thread>

namespace pemblor::selftest {

namespace {
constexpr const char* kVanished = "the card stopped answering: it vanished from the bus";
constexpr int kSleepSliceMs = 10;
}  // namespace

Finding pass(std::string measured, std::string limit) {
    return {Outcome::kPass, std::move(measured), std::move(limit), {}};
}

Finding fail(std::string measured, std::string limit, std::string meaning) {
    return {Outcome::kFail, std::move(measured), std::move(limit), std::move(meaning)};
}

Run::Run(driver::Transport& transport, const Options& options, const Hooks& hooks)
    : link_(std::make_unique<driver::DriverLink>(transport)), options_(options), hooks_(hooks) {}

Run::~Run() {
    if (!keepLink_) return;
    static std::mutex mutex;
    static std::vector<std::unique_ptr<driver::DriverLink>> kept;
    const std::lock_guard lock(mutex);
    kept.push_back(std::move(link_));
}

bool Run::stopRequested() const { return hooks_.stop && hooks_.stop->load(std::memory_order_relaxed); }

void Run::check(std::string_view name, std::string_view title, const std::function<Finding()>& fn) {
    if (stopRequested()) {
        table_.interrupted = true;
        if (!closing_) return;
    }
    if (vanished_ && !closing_) {
        skip(name, title, kVanished);
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    Finding found = fn();
    CheckRow row{std::string(name),         std::string(title),     found.outcome,
                 std::move(found.measured), std::move(found.limit), 0,
                 std::move(found.meaning)};
    row.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // A card that no longer answers explains the failure better than the check does.
    if (row.outcome == Outcome::kFail && !vanished_ && link_->context().isOpen() && !cardAnswers()) {
        vanished_ = true;
        row.meaning = std::string(kVanished) + " (" + row.meaning + ")";
    }
    record(std::move(row));
}

void Run::skip(std::string_view name, std::string_view title, std::string reason) {
    if (stopRequested()) {
        table_.interrupted = true;
        if (!closing_) return;
    }
    record({std::string(name), std::string(title), Outcome::kSkip, {}, {}, 0, std::move(reason)});
}

void Run::record(CheckRow row) {
    table_.rows.push_back(std::move(row));
    if (hooks_.row) hooks_.row(table_.rows.back());
}

void Run::sleep(int ms) {
    for (int slept = 0; slept < ms && !stopRequested(); slept += kSleepSliceMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kSleepSliceMs, ms - slept)));
}

bool Run::cardAnswers() {
    std::array<std::uint8_t, 8> version{};
    std::uint32_t state = 0;
    std::array<std::uint8_t, 32> hardware{};
    return link_->driverVersion(version) != 0 || link_->dspState(state) || link_->hardwareInfo(hardware) != 0;
}

std::string grouped(std::uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace pemblor::selftest
