#pragma once

#include <cstdint>
#include <optional>

#include "ports/bytes.h"

namespace tunalyx {

// Physical value = raw x scale + offset; the way back is (value - offset) / scale in single
// precision, clamped to the raw range first and then rounded to nearest, ties to even.

// The little-endian word at 1-based `pos` (low byte at pos); nullopt when the slot is too short.
[[nodiscard]] std::optional<std::uint16_t> ReadWord(const Bytes& slot, std::size_t pos);
// 128..255 become -128..-1.
[[nodiscard]] int SignedByte(std::uint8_t b) noexcept;
// A computed value in single precision, as the unit's arithmetic has it; values beyond the
// single range saturate instead of becoming infinite (a clamp to the raw range follows anyway).
[[nodiscard]] float toSingle(double x) noexcept;
// Nearest integer, an exact half going to the even neighbour (2.5 -> 2, 3.5 -> 4).
[[nodiscard]] double roundHalfEven(double x) noexcept;
// The clamp is tested before rounding: 255.4 gives 255 and -0.4 gives 0.
[[nodiscard]] std::uint8_t ClampByte(float x) noexcept;
[[nodiscard]] int ClampSignedByte(float x) noexcept;
[[nodiscard]] std::uint16_t ClampWord(float x) noexcept;

}  // namespace tunalyx
