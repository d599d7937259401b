#pragma once
// The console's string table (ids 101 to 122): message-box and menu texts.
#include <string_view>

namespace pemblor::resources {

inline constexpr int kStrAbout = 101;
inline constexpr int kStrOpenFileFailed = 102;
inline constexpr int kStrImageCreated = 103;
inline constexpr int kStrFileTooSmall = 104;
inline constexpr int kStrBufferAllocFailed = 105;
inline constexpr int kStrSecDataAllocFailed = 106;
inline constexpr int kStrParsingFailed = 107;
inline constexpr int kStrWrongKey = 108;
inline constexpr int kStrEnableSuperior = 109;
inline constexpr int kStrDisableSuperior = 110;
inline constexpr int kStrCannotOpenDevice = 111;
inline constexpr int kStrDriverTooOld = 112;
inline constexpr int kStrMappingFailed = 113;
inline constexpr int kStrStopRecvFirst = 114;
inline constexpr int kStrDeviceNotOpen = 115;
inline constexpr int kStrDspNotRunning = 116;
inline constexpr int kStrOpenFileFailedRecv = 117;
inline constexpr int kStrRenderInitFailed = 118;
inline constexpr int kStrRenderOpenFailed = 119;
inline constexpr int kStrDecOpenFailed = 120;
inline constexpr int kStrDecStartFailed = 121;
inline constexpr int kStrWarning = 122;

// The text of a string id; empty for an id the table does not hold.
std::string_view loadString(int id);

}  // namespace pemblor::resources
