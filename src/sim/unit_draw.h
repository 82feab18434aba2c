#pragma once

#include <random>

namespace tunalyx {

// A draw in [0, 1) from the top 53 bits: the same on every standard library.
inline double unitDraw(std::mt19937_64& random) {
    return static_cast<double>(random() >> 11) * 0x1.0p-53;
}

}  // namespace tunalyx
