#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "ports/bytes.h"

namespace tunalyx {

// Bytes of unknown meaning: mid-range, so nothing reads as an extreme or a set flag.
inline constexpr std::uint8_t kBlockFiller = 0x80;

// A value rounded and held to one byte at a 1-based position, as the descriptors give it; a
// slot too short grows to fit, with filler.
inline void putByte(Bytes& slot, int pos, double value) {
    const auto index = static_cast<std::size_t>(pos - 1);
    if (slot.size() <= index) slot.resize(index + 1, kBlockFiller);
    slot[index] = static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// The same for a word, low byte first.
inline void putWord(Bytes& slot, int pos, double value) {
    const long w = std::clamp(std::lround(value), 0L, 65535L);
    putByte(slot, pos, static_cast<double>(w & 0xFF));
    putByte(slot, pos + 1, static_cast<double>(w >> 8));
}

}  // namespace tunalyx
