#pragma once
// The keyed byte transform between a DSP program (COFF executable) and its
// image file. A byte's transform depends on its offset in the whole file, so
// a file may be processed in pieces of any size as long as each piece is
// given its own start offset.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace pemblor::program {

inline constexpr std::size_t kKeyCount = 8;
inline constexpr std::size_t kKeyLength = 32;

// The eight key strings, K[0] to K[7]. Every tool that makes or reads images
// must share them; changing one makes every existing image unreadable.
inline constexpr std::array<std::string_view, kKeyCount> kScramblerKeys = {
    "`bK,~XSg;I6n&AeaNW7!]U],3//dD)+b",
    ";R8MkU~t[&5bSVfj]Z[.vbStlyhq7)+~",
    "xT>eZ^wmqf2Lcvh[W%I!D*rFknRvaO%Z",
    "@+U1fm2#3}L-wL@p#XGIr1KZsy:6Zq-Y",
    "B6ZxHcI*.{z8m!Ho-~(YtG2%gEKdTHI,",
    "D_&E$N#:BeHLRIBIcu{q41_oOkG1Mn%K",
    "EdpvebgRDFw!;.b_twh`<H:%`$C66k08",
    "X2Cvn3)jSi3!osyEET4ZgEc$[;DA96g4",
};

constexpr bool keysArePrintable32() {
    for (std::string_view key : kScramblerKeys) {
        if (key.size() != kKeyLength) return false;
        for (char c : key)
            if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}
static_assert(keysArePrintable32(), "each key is 32 printable ASCII characters");

// In place; bytes[j] is taken to lie at file offset startOffset + j (mod 2^32).
void scramble(std::span<std::uint8_t> bytes, std::uint32_t startOffset);
// The exact inverse of scramble.
void unscramble(std::span<std::uint8_t> bytes, std::uint32_t startOffset);

// The transform of one byte at file offset n, straight from the formula. The
// reference the fast path is checked and measured against.
std::uint8_t scrambleByte(std::uint8_t x, std::uint32_t n);
std::uint8_t unscrambleByte(std::uint8_t y, std::uint32_t n);

// Byte-by-byte versions of scramble and unscramble built on the above.
void scrambleBytewise(std::span<std::uint8_t> bytes, std::uint32_t startOffset);
void unscrambleBytewise(std::span<std::uint8_t> bytes, std::uint32_t startOffset);

}  // namespace pemblor::program
