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
    // `drop_stream = ID[,ID...]`: the card loses every other picture of these
    // streams (0..7), IDR pictures kept, and counts the loss as its drops.
    std::set<std::uint32_t> droppedStreams;
    // `corrupt_stream = ID[,ID...]`: every fifth picture of these streams
    // carries a damaged slice.
    std::set<std::uint32_t> corruptStreams;
    // `no_preview = CH[,CH...]`: these channels' preview pictures never come
    // (kept as indexes 0..3; the key names channels 1..4).
    std::set<std::uint32_t> silentPreviews;
};

}  // namespace pemblor::sim
