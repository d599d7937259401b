#pragma once
// The simulated cards behind the driver contract: one card per configured
// device number, opened by the device path "\\.\KSVECWDM<n>". Safe to call
// from several threads at once.
#include <functional>
#include <array>
#include <map>
#include <optional>
#include <memory>
#include <shared_mutex>
#include <unordered_map>

#include "driver/transport.hpp"
#include "sim/card/sim_areas.hpp"
#include "sim/card/sim_card.hpp"
#include "sim/card/sim_events.hpp"
#include "sim/settings/sim_settings.hpp"

namespace pemblor::sim {

class SimTransport : public driver::Transport {
public:
    explicit SimTransport(SimSettings settings);
    ~SimTransport() override;

    driver::DeviceHandle open(std::string_view path) override;
    bool simulated() const override { return true; }
    driver::ControlResult control(driver::DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> in,
                                  std::span<std::uint8_t> out) override;
    bool close(driver::DeviceHandle handle) override;

    driver::EventHandle createEvent() override;
    bool signalEvent(driver::EventHandle event) override;
    driver::WaitResult waitEvent(driver::EventHandle event, int timeoutMs) override;
    bool closeEvent(driver::EventHandle event) override;

    std::span<std::uint8_t> area(driver::DeviceHandle handle, std::uint32_t word) override;
    std::shared_ptr<const void> areaKeeper(driver::DeviceHandle handle) override;

    // Each card's ledger, in device order, under that card's lock.
    void forEachCard(const std::function<void(int, const DeliveryLedger&)>& fn);
    // The payload bytes card n has handed out so far, per stream slot;
    // nothing when there is no card n.
    std::optional<std::array<std::uint64_t, kStreamCount>> payloadBytes(int number);

    // The device number a path names ("\\.\KSVECWDM7" -> 7), exactly as the
    // console builds it; -1 for anything else.
    static int deviceNumberOf(std::string_view path);

private:
    // Cards are made once and live as long as the transport, so a card found
    // under the handle lock stays valid after it.
    // Events before cards: a card's thread signals them until the card is gone.
    TokenSource tokens_;
    EventTable events_;
    std::map<int, std::unique_ptr<SimCard>> cards_;

    // Requests hold it shared for their whole run; close takes it exclusively,
    // so a handle's requests have ended when its close releases what it held.
    std::shared_mutex handlesMutex_;
    std::unordered_map<std::uint64_t, SimCard*> handles_;
    std::uint64_t lastHandle_ = 0x100;
};

}  // namespace pemblor::sim
