// libFuzzer target for reading DSP program images. The input is a plain COFF
// file, so that mutations act on the structure the reader walks; the target
// scrambles it into an image and reads that back as a load does.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "read_image_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!pemblor::program::readImageKeepsItsPromises({data, size})) std::abort();
    return 0;
}
