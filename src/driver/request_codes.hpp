#pragma once
// Control codes of the card driver: device type 0x22, buffered transfer.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pemblor::driver {

inline constexpr std::uint32_t kReadWords = 0x222014;
inline constexpr std::uint32_t kWriteWords = 0x222018;
inline constexpr std::uint32_t kReadBytes = 0x222050;
inline constexpr std::uint32_t kWriteBytes = 0x222054;
inline constexpr std::uint32_t kDeviceInfo = 0x2220c0;
inline constexpr std::uint32_t kAuxCommand = 0x2220c4;
inline constexpr std::uint32_t kDriverVersion = 0x222404;
inline constexpr std::uint32_t kHardwareInfo = 0x222440;
inline constexpr std::uint32_t kSlotInfo = 0x222444;
inline constexpr std::uint32_t kMapAddresses = 0x22240c;
inline constexpr std::uint32_t kUnmapAddresses = 0x222410;
inline constexpr std::uint32_t kRegisterEvent = 0x222084;
inline constexpr std::uint32_t kFetchNotifications = 0x226548;
inline constexpr std::uint32_t kDspState = 0x222418;
inline constexpr std::uint32_t kDspReset = 0x22241c;
inline constexpr std::uint32_t kDspInterrupt = 0x222424;
inline constexpr std::uint32_t kDspLoadBlock = 0x222420;
inline constexpr std::uint32_t kSetDspTime = 0x22245c;
inline constexpr std::uint32_t kSetDmaVaddr = 0x222500;
inline constexpr std::uint32_t kSetDmaOaddr = 0x222508;
inline constexpr std::uint32_t kChannelSwitch = 0x222480;
inline constexpr std::uint32_t kSubChannelSwitch = 0x22250c;
inline constexpr std::uint32_t kChannelStatus = 0x222474;
inline constexpr std::uint32_t kChannelStatusAck = 0x222470;

// Sub-codes of the auxiliary command 0x2220c4.
inline constexpr std::uint32_t kAuxReadDecoderRegister = 3;
inline constexpr std::uint32_t kAuxWriteDecoderRegister = 4;
inline constexpr std::uint32_t kAuxReadPhysical = 9;
inline constexpr std::uint32_t kAuxReadDspField = 10;
inline constexpr std::uint32_t kAuxSetDmaPaddr = 12;
inline constexpr std::uint32_t kAuxReadOriginalVideo = 13;
inline constexpr std::uint32_t kAuxWriteOriginalVideo = 14;

// The DSP state that means "program running".
inline constexpr std::uint32_t kDspRunning = 21;
// Lowest driver version the console accepts.
inline constexpr std::uint32_t kMinimumDriverVersion = 0x01070605;
// Device information (0x2220c0): fifteen categories, each answered with 64
// words; in category 1 this word counts what the card had to drop because
// the console fetched too slowly (ErrorC's "D").
inline constexpr std::uint32_t kInfoCategoryCount = 15;
inline constexpr std::size_t kInfoAnswerSize = 256;
inline constexpr std::uint32_t kCounterCategory = 1;
inline constexpr std::size_t kDroppedItemsWord = 10;
// Address-mapping record: size and the words the console uses.
inline constexpr std::size_t kMappingRecordSize = 64;
inline constexpr std::uint32_t kStreamAreaWord = 1;
inline constexpr std::uint32_t kOriginalVideoAreaWord = 5;
inline constexpr std::uint32_t kPreviewSlotsWord = 9;
inline constexpr std::uint32_t kFullPreviewWord = 13;
inline constexpr std::size_t kPreviewSlotSize = 0x31800;
inline constexpr std::size_t kNotificationSize = 16;

// A readable name for tracing ("read words", "aux command", ...); "unknown" otherwise.
std::string_view requestName(std::uint32_t code);

}  // namespace pemblor::driver
