#pragma once
// One operation per driver request, with the exact input records and result
// conventions the console relies on. Every output area is the caller's; the
// operation never writes beyond it. A byte count is never larger than the output
// area of its request: a transport reporting more is taken to report the area's
// size, so requests without an output area always count 0 bytes. Areas and
// records too long for the platform's 32-bit lengths fail without a request.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "driver/device_context.hpp"
#include "driver/transport.hpp"

namespace pemblor::driver {

// Largest payload of a request that carries one (0x222018, 0x222054, 0x222420).
// A larger one is refused without a request: it could not be obtained sensibly
// and would come close to overflowing the 32-bit record lengths.
inline constexpr std::size_t kMaxRequestPayload = std::size_t{64} << 20;
// Failure values of the two requests that do not return a byte count.
inline constexpr std::uint32_t kReadBytesFailure = 30;     // 0x222050
inline constexpr std::uint32_t kRegisterEventFailure = 2;  // 0x222084

// Result of the auxiliary command 0x2220c4: the platform flag and the byte count
// as reported (also when the request failed).
struct AuxResult {
    bool ok = false;
    std::uint32_t bytes = 0;
};

class DriverLink {
public:
    explicit DriverLink(Transport& transport) : transport_(transport) {}

    Transport& transport() { return transport_; }
    DeviceContext& context() { return context_; }
    const DeviceContext& context() const { return context_; }

    // Device path for a device number: "\\.\KSVECWDM<n>".
    static std::string devicePath(int deviceNumber);

    // Opens the path and stores the handle (valid or not) in the context.
    DeviceHandle openDevice(std::string_view path);
    // Closes the handle (when one is open) and sets the context's handle to
    // invalid. True when a handle was open and the platform closed it.
    bool closeDevice();

    // --- memory and registers; bar 0, 1, 2 -----------------------------------
    // 0x222014: reads out.size() words. Bytes, 0 on failure.
    std::uint32_t readWords(std::uint32_t bar, std::uint32_t offset, std::span<std::uint32_t> out);
    // 0x222018: writes the words. Bytes, 0 on failure.
    std::uint32_t writeWords(std::uint32_t bar, std::uint32_t offset, std::span<const std::uint32_t> words);
    // 0x222050: reads out.size() bytes. 0 on success, 30 on failure.
    std::uint32_t readBytes(std::uint32_t bar, std::uint32_t offset, std::span<std::uint8_t> out);
    // 0x222054: writes exactly data.size() bytes. Bytes, 0 on failure.
    std::uint32_t writeBytes(std::uint32_t bar, std::uint32_t offset, std::span<const std::uint8_t> data);

    // --- device information and identity --------------------------------------
    // 0x2220c0: category answer of out.size() / 4 words (n x 4 bytes).
    // Bytes, 0 on failure; 0 without a request when n is 0.
    std::uint32_t deviceInfo(std::uint32_t category, std::span<std::uint8_t> out);
    // 0x222404: 8-byte version answer. Bytes, 0 on failure.
    std::uint32_t driverVersion(std::span<std::uint8_t, 8> out);
    // 0x222440: 32-byte hardware answer. Bytes, 0 on failure.
    std::uint32_t hardwareInfo(std::span<std::uint8_t, 32> out);
    // 0x222444: 16-byte slot answer. Bytes, 0 on failure.
    std::uint32_t slotInfo(std::span<std::uint8_t, 16> out);

    // --- stream buffers and notification ---------------------------------------
    // 0x22240c: fetches the address-mapping record into the context. Bytes, 0 on failure.
    // Bytes the driver did not deliver are zero, so a refused mapping leaves no
    // tokens of an earlier device behind. The record stays as fetched across close.
    std::uint32_t mapAddresses();
    // 0x222410: hands the record back as held. Bytes, 0 on failure.
    std::uint32_t unmapAddresses();
    // 0x222084: registers the context's data event. 0 on success, 2 on failure;
    // 2 without a request when the event is closed (-1).
    std::uint32_t registerDataEvent();
    // 0x226548: up to out.size() / 16 notification records. Bytes, 0 on failure.
    std::uint32_t fetchNotifications(std::span<std::uint8_t> out);

    // --- DSP control --------------------------------------------------------------
    // 0x222418: the DSP state into state (untouched on failure; bytes the driver
    // did not deliver read as 0). Platform success flag.
    bool dspState(std::uint32_t& state);
    bool resetDsp();       // 0x22241c
    bool interruptDsp();   // 0x222424
    // 0x222420: header of block index and load address, then the block's bytes.
    // Returns word 1 of the 8-byte answer (bytes accepted); 0 on failure, when
    // fewer than 8 bytes came back, or when the block exceeds kMaxRequestPayload.
    std::uint32_t loadBlock(std::uint32_t index, std::uint32_t address, std::span<const std::uint8_t> data);
    struct DspTime {
        std::uint32_t year, month, day, hour, minute, second;
    };
    bool setDspTime(const DspTime& time);  // 0x22245c
    bool setDmaVaddr();                    // 0x222500
    bool setDmaOaddr();                    // 0x222508

    // --- channels ------------------------------------------------------------------
    // The console ignores their result; the self-test asks whether the driver answered.
    bool switchChannel(std::uint32_t channel, bool on);     // 0x222480, platform success flag
    bool switchSubChannel(std::uint32_t channel, bool on);  // 0x22250c, platform success flag
    // 0x222474: status words into buf (at least 32 bytes). Bytes, 0 on failure;
    // 0 without a request below 32 bytes.
    std::uint32_t channelStatus(std::span<std::uint8_t> buf);
    // 0x222470: the first word of buf as input, buf as output (at least 32 bytes).
    std::uint32_t acknowledgeChannelStatus(std::span<std::uint8_t> buf);

    // --- auxiliary command 0x2220c4 -----------------------------------------------
    AuxResult readDecoderRegister(std::uint32_t reg, std::span<std::uint8_t, 16> out);  // 3
    AuxResult writeDecoderRegister(std::uint32_t reg, std::uint32_t value);             // 4
    AuxResult readPhysical(std::uint32_t address, std::span<std::uint8_t> out);        // 9
    AuxResult readDspField(std::uint32_t address, std::span<std::uint8_t> out);        // 10
    AuxResult setDmaPaddr();                                                            // 12
    AuxResult readOriginalVideo(std::uint32_t offset, std::span<std::uint8_t> out);    // 13
    // 14: the data to write travel in the output area, so whatever the driver
    // writes back replaces them in data.
    AuxResult writeOriginalVideo(std::uint32_t offset, std::span<std::uint8_t> data);
    AuxResult debugCommand(std::uint32_t subCode);  // any n: 8 bytes n, 0

    // The area a word (0..15) of the held mapping record stands for; empty when
    // the word is 0 or names no area of the open device.
    std::span<std::uint8_t> mappedArea(std::uint32_t word);
    // Keeps the open device's areas alive while held (Transport::areaKeeper).
    std::shared_ptr<const void> areaKeeper() { return transport_.areaKeeper(context_.device()); }

private:
    ControlResult send(std::uint32_t code, std::span<const std::uint8_t> in, std::span<std::uint8_t> out);
    AuxResult aux(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

    Transport& transport_;
    DeviceContext context_;
};

}  // namespace pemblor::driver
