#include "sim/card/sim_transport.hpp"

#include <mutex>

#include "sim/settings/sim_text.hpp"

namespace pemblor::sim {

namespace {
constexpr std::string_view kDevicePrefix = "\\\\.\\KSVECWDM";
}

SimTransport::SimTransport(SimSettings settings) {
    for (auto& [number, card] : settings.cards)
        cards_.emplace(number, std::make_unique<SimCard>(number, std::move(card), tokens_, events_));
}

SimTransport::~SimTransport() = default;

int SimTransport::deviceNumberOf(std::string_view path) {
    if (!path.starts_with(kDevicePrefix)) return -1;
    const std::string_view digits = path.substr(kDevicePrefix.size());
    // "%d" never writes a leading zero or a sign, so such a path is another name.
    if (digits.empty() || digits.size() > 2 || (digits.size() > 1 && digits[0] == '0')) return -1;
    const auto n = parseNumber(digits);
    if (!n || *n > static_cast<std::uint32_t>(kMaxDeviceNumber)) return -1;
    return static_cast<int>(*n);
}

driver::DeviceHandle SimTransport::open(std::string_view path) {
    const auto card = cards_.find(deviceNumberOf(path));
    if (card == cards_.end() || !card->second->present()) return driver::DeviceHandle::invalid();
    std::unique_lock lock(handlesMutex_);
    lastHandle_ += 4;  // steps of 4 like the platform's; 64 bits never come round
    handles_.emplace(lastHandle_, card->second.get());
    return driver::DeviceHandle{lastHandle_};
}

driver::ControlResult SimTransport::control(driver::DeviceHandle handle, std::uint32_t code,
                                            std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    std::shared_lock lock(handlesMutex_);
    const auto it = handles_.find(handle.value);
    if (it == handles_.end()) return {};
    return it->second->control(handle.value, code, in, out);
}

bool SimTransport::close(driver::DeviceHandle handle) {
    std::unique_lock lock(handlesMutex_);
    const auto it = handles_.find(handle.value);
    if (it == handles_.end()) return false;
    it->second->handleClosed(handle.value);
    handles_.erase(it);
    return true;
}

void SimTransport::forEachCard(const std::function<void(int, const DeliveryLedger&)>& fn) {
    for (auto& [number, card] : cards_) card->withLedger([&](const DeliveryLedger& ledger) { fn(number, ledger); });
}

std::optional<std::array<std::uint64_t, kStreamCount>> SimTransport::payloadBytes(int number) {
    const auto card = cards_.find(number);
    if (card == cards_.end()) return std::nullopt;
    std::array<std::uint64_t, kStreamCount> bytes{};
    card->second->withLedger([&](const DeliveryLedger& ledger) {
        for (std::size_t s = 0; s < kStreamCount; ++s) bytes[s] = ledger.streamSlots()[s].payloadBytes;
    });
    return bytes;
}

driver::EventHandle SimTransport::createEvent() { return events_.create(); }
bool SimTransport::signalEvent(driver::EventHandle event) { return events_.signal(event); }
driver::WaitResult SimTransport::waitEvent(driver::EventHandle event, int timeoutMs) {
    return events_.wait(event, timeoutMs);
}
bool SimTransport::closeEvent(driver::EventHandle event) { return events_.close(event); }

std::span<std::uint8_t> SimTransport::area(driver::DeviceHandle handle, std::uint32_t word) {
    std::shared_lock lock(handlesMutex_);
    const auto it = handles_.find(handle.value);
    if (it == handles_.end()) return {};
    return it->second->area(word);
}

std::shared_ptr<const void> SimTransport::areaKeeper(driver::DeviceHandle handle) {
    std::shared_lock lock(handlesMutex_);
    const auto it = handles_.find(handle.value);
    if (it == handles_.end()) return nullptr;
    return it->second->areaKeeper();
}

}  // namespace pemblor::sim
