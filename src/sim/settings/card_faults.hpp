#pragma once
// Every fault a simulated card can be given, in one place, each with the
// settings key that sets it. Two more faults live in the card's ordinary
// settings, as a real card would show them: a driver version below
// 0x01070605 (`version`) and a DSP that never runs its program (`dsp = never`).
#include <cstdint>
#include <optional>
#include <set>

#include "sim/dsp/dsp_memory.hpp"

namespace pemblor::sim {

struct CardFaults {
    // `map = refuse`: the address-mapping request 0x22240c fails.
    bool refuseMapping = false;
    // `fail = CODE[,CODE...]`: these requests fail.
    std::set<std::uint32_t> failingCodes;
    // `stuck = ADDR:VALUE[,...]`: the byte at a DSP address always reads VALUE.
    StuckBytes stuck;
    // `refuse_block = N`: the load block of this index is taken short.
    std::optional<std::uint32_t> refuseBlock;
    // `vanish_after_ms = MS`: the card stops answering this long after it was made.
    std::optional<std::uint32_t> vanishAfterMs;
    // `malformed = yes`: now and then a fetch whose records point outside the areas.
    bool malformed = false;
};

}  // namespace pemblor::sim
