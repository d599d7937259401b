#pragma once
// One simulated card: its identity, memory windows, mapped areas, channel
// switches, DSP state and information categories, and the dispatch of the
// driver requests it answers. Requests come from several threads at once;
// one lock per card serialises them, as a driver serialises its device.
#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>

#include "driver/transport.hpp"
#include "sim/card/sim_areas.hpp"
#include "sim/production/production.hpp"
#include "sim/dsp/sim_dsp.hpp"
#include "sim/card/sim_events.hpp"
#include "sim/card/sim_memory.hpp"
#include "sim/production/sim_reception.hpp"
#include "sim/settings/sim_settings.hpp"

namespace pemblor::sim {

inline constexpr std::size_t kDecoderRegisterCount = 256;

// The two message areas in external memory (page 0x200 of the bar 0 view):
// a 32-bit byte count at the start, the message 0x20 bytes further on.
inline constexpr std::uint32_t kDspMessageArea = 0x80000000;
inline constexpr std::uint32_t kPciMessageArea = 0x8000A000;
inline constexpr std::uint32_t kMessageTextOffset = 0x20;
inline constexpr std::size_t kMaxMessageBytes = 512;
// Who rang: the source word of category 12.
enum class MessageSource : std::uint32_t { None = 0, Dsp = 1, Pci = 2 };

class SimCard {
public:
    SimCard(int number, CardSettings settings, TokenSource& tokens, EventTable& events);
    ~SimCard();
    SimCard(const SimCard&) = delete;
    SimCard& operator=(const SimCard&) = delete;

    int number() const { return number_; }
    // What the card handed out and dropped, seen under its lock.
    template <typename Fn>
    void withLedger(Fn fn) {
        std::lock_guard lock(mutex_);
        fn(reception_.ledger());
    }
    // False once a card set to vanish has vanished: it opens no more.
    bool present();

    driver::ControlResult control(std::uint64_t handle, std::uint32_t code, std::span<const std::uint8_t> in,
                                  std::span<std::uint8_t> out);
    std::span<std::uint8_t> area(std::uint32_t word);
    std::shared_ptr<const void> areaKeeper() const { return areas_.keeper(); }
    // A handle of this card was closed: what it held is released.
    void handleClosed(std::uint64_t handle);

private:
    struct Request {
        std::uint64_t handle;
        std::span<const std::uint8_t> in;
        std::span<std::uint8_t> out;
    };
    using Handler = driver::ControlResult (SimCard::*)(const Request&);
    struct Route {
        std::uint32_t code;
        Handler handler;
    };
    static std::span<const Route> routes();
    static const Route* findRoute(std::uint32_t code);

    // Identity and mapping.
    driver::ControlResult driverVersion(const Request& r);
    driver::ControlResult hardwareInfo(const Request& r);
    driver::ControlResult slotInfo(const Request& r);
    driver::ControlResult mapAddresses(const Request& r);
    driver::ControlResult unmapAddresses(const Request& r);
    // Memory windows.
    driver::ControlResult readWords(const Request& r);
    driver::ControlResult writeWords(const Request& r);
    driver::ControlResult readBytes(const Request& r);
    driver::ControlResult writeBytes(const Request& r);
    // Channels and DSP.
    driver::ControlResult channelSwitch(const Request& r);
    driver::ControlResult subChannelSwitch(const Request& r);
    driver::ControlResult channelStatus(const Request& r);
    driver::ControlResult channelStatusAck(const Request& r);
    driver::ControlResult dspState(const Request& r);
    driver::ControlResult dspReset(const Request& r);
    driver::ControlResult dspInterrupt(const Request& r);
    // Reception (sim_card_delivery.cpp).
    driver::ControlResult registerEvent(const Request& r);
    driver::ControlResult fetchNotifications(const Request& r);
    driver::ControlResult loadBlock(const Request& r);
    driver::ControlResult setDspTime(const Request& r);
    driver::ControlResult setDmaVaddr(const Request& r);
    driver::ControlResult setDmaOaddr(const Request& r);
    // Auxiliary command and its sub-codes (sim_card_aux.cpp).
    driver::ControlResult auxCommand(const Request& r);
    driver::ControlResult readDecoderRegister(const Request& r);
    driver::ControlResult writeDecoderRegister(const Request& r);
    driver::ControlResult readPhysical(const Request& r);
    driver::ControlResult readDspField(const Request& r);
    driver::ControlResult setDmaPaddr(const Request& r);
    driver::ControlResult readOriginalVideo(const Request& r);
    driver::ControlResult writeOriginalVideo(const Request& r);
    bool gone(SimClock::time_point now);
    // Side effects of a write to bar 1: reset, doorbells.
    void bar1Written(std::uint32_t offset, std::size_t length);
    void resetDsp();
    void ringDoorbell(MessageSource source);
    // The card's own thread: produces what falls due and tells the console.
    void produceLoop();
    void startProducer();
    // Signals the registered event while records wait; a closed event ends reception.
    void signalWaiting();
    // Something the producer looks at changed.
    void poke();
    // Information categories (sim_card_info.cpp).
    driver::ControlResult deviceInfo(const Request& r);
    // Fills the 256-byte answer; returns its length.
    std::size_t categoryAnswer(std::uint32_t category, std::span<std::uint8_t, kMaxInfoAnswer> a);
    void generalInfo(std::span<std::uint8_t> a);
    void counterInfo(std::span<std::uint8_t> a);
    void dspDeviceInfo(std::span<std::uint8_t> a);
    void channelInfo(std::span<std::uint8_t> a) const;
    void busSlotInfo(std::span<std::uint8_t> a) const;
    void encodedDmaInfo(std::span<std::uint8_t> a) const;
    void previewDmaInfo(std::span<std::uint8_t> a) const;
    void interruptInfo(std::span<std::uint8_t> a) const;
    void timerInfo(std::span<std::uint8_t> a) const;
    void dspDebugInfo(std::span<std::uint8_t> a);
    void primalDataHeader(std::span<std::uint8_t> a) const;
    void messageInfo(std::span<std::uint8_t> a) const;
    void hardwareVersionInfo(std::span<std::uint8_t> a) const;
    void commandListInfo(std::span<std::uint8_t> a) const;

    driver::ControlResult switchChannel(const Request& r, std::array<bool, kChannelCount>& switches);
    driver::ControlResult writeStatusWords(const Request& r);

    const int number_;
    const CardSettings settings_;
    const std::string serial_;
    const std::uint32_t slot_;
    TokenSource& tokens_;
    EventTable& events_;
    const SimClock::time_point createdAt_;

    std::mutex mutex_;
    MemoryWindows memory_;
    MappedAreas areas_;
    SimDsp dsp_;
    std::array<std::uint32_t, kDecoderRegisterCount> decoderRegisters_{};
    // The last message a doorbell announced, and how many there were.
    struct Message {
        MessageSource source = MessageSource::None;
        std::uint32_t count = 0;  // as the area's count word said
        std::array<std::uint8_t, kMaxMessageBytes> bytes{};
        std::uint32_t received = 0;
    } message_;
    // Activity counted for category 1.
    std::uint32_t requests_ = 0;
    std::uint32_t failures_ = 0;
    std::uint32_t memoryRequests_ = 0;
    std::uint32_t infoRequests_ = 0;
    std::uint32_t counterReads_ = 0;
    std::uint32_t debugReads_ = 0;

    SimReception reception_;
    Production production_;
    std::condition_variable wake_;
    bool poked_ = false;
    bool loopFailed_ = false;  // the encoder could not be opened
    bool stopping_ = false;
    std::thread producer_;  // last: it runs on everything above
};

}  // namespace pemblor::sim
