// libFuzzer target for the H.264 stream-order analysis: NAL units, access
// units, parameter sets, slice headers, picture order counts, field pairs
// and the timestamps that come of them.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "stream_order_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!pemblor::recording::streamOrderKeepsItsPromises({data, size})) std::abort();
    return 0;
}
