// libFuzzer target for reading replay files: items, numbers, times, rates,
// hex bytes and ranges of a data file (data.bin, 4096 bytes, in a folder of
// the target's own).
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "replay_reader_check.hpp"

namespace {
std::filesystem::path gFolder;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gFolder = std::filesystem::temp_directory_path() / ("pemblor-fuzz-replay-" + std::to_string(::getpid()));
    std::filesystem::create_directories(gFolder);
    std::ofstream(gFolder / "data.bin", std::ios::binary) << std::string(4096, '\x5A');
    std::atexit([] { std::filesystem::remove_all(gFolder); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!pemblor::sim::readReplayKeepsItsPromises(text, gFolder)) std::abort();
    return 0;
}
