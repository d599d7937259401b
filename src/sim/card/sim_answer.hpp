#pragma once
// How the card's request handlers answer: refused, or done with the bytes
// written to the output area.
#include <cstddef>
#include <cstdint>

#include "driver/transport.hpp"

namespace pemblor::sim {

inline constexpr driver::ControlResult kRefused{false, 0};

inline driver::ControlResult done(std::size_t bytes) { return {true, static_cast<std::uint32_t>(bytes)}; }

}  // namespace pemblor::sim
