#pragma once
// Message texts of the program-file operations (string table ids in comments).
#include <string_view>

namespace pemblor::dsp {

inline constexpr std::string_view kTextOpenFileFailed = "Open file failed!";                       // 102
inline constexpr std::string_view kTextImageCreated = "Encoded IMG file has been created! Please load:";  // 103
inline constexpr std::string_view kTextFileTooSmall = "File is too small!";                      // 104
inline constexpr std::string_view kTextBufferAllocFailed = "buffer Memory allocation failed!";   // 105
inline constexpr std::string_view kTextParsingFailed = "Parsing file failed!";                   // 107

}  // namespace pemblor::dsp
