#include "resources/string_table.hpp"

#include <array>
#include <utility>

namespace pemblor::resources {

namespace {

constexpr std::array<std::pair<int, std::string_view>, 22> kStrings{{
    {101, "About Pemblor(&A)..."},
    {102, "Open file failed!"},
    {103, "Encoded IMG file has been created! Please load:"},
    {104, "File is too small!"},
    {105, "buffer Memory allocation failed!"},
    {106, "SecData Memory allocation failed!"},
    {107, "Parsing file failed!"},
    {108, "Wrong key!"},
    {109, "Enable Superior Oper"},
    {110, "Disable Superior Oper"},
    {111, "Cann't open device KS-VECWDM !"},
    {112, "Driver is too old, please use the driver newer than version 0x01070605!"},
    {113, "Address mapping failed, cann't recv data!"},
    {114, "Please stop recving data first, then close!"},
    {115, "Device is not open, failed!"},
    {116, "Init DSP failed!DSP is not running!"},
    {117, "Open file failed!"},
    {118, "render_init failed!"},
    {119, "render_open failed!"},
    {120, "dec_open failed!"},
    {121, "dec_start failed!"},
    {122, "\tWARNING\r\nTo use the superior opers should be more careful, these opers may affect the programe "
          "that is being inspected! After using these opers, restart the programe is adviced intensively!"},
}};

}  // namespace

std::string_view loadString(int id) {
    for (const auto& [sid, text] : kStrings) {
        if (sid == id) return text;
    }
    return {};
}

}  // namespace pemblor::resources
