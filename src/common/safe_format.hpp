#pragma once
// Formats a printf-style template that came from the card, safely: only the
// integer conversions d i u x X o c (with flags, width, precision and the
// h/hh/l/ll length letters) and %% are honoured, with at most the given
// arguments; anything else is printed as it stands. Widths and precisions are
// capped, so a template cannot make the console build a huge line.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pemblor::common {

inline constexpr int kMaxFormatWidth = 256;

std::string safeFormat(std::string_view tmpl, std::span<const std::uint32_t> args);

// The NUL-terminated text that starts at offset in buf, never read past buf's end.
std::string_view boundedCString(std::span<const std::uint8_t> buf, std::size_t offset);

}  // namespace pemblor::common
