#include "model/value_rule.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tunalyx {

namespace {

// Clamp first, then round: a value just outside the range must not round back into it, and
// NaN (never produced by a finite entry, but cheap to guard) becomes the low end.
template <typename T>
T clampRound(float x, double low, double high) noexcept {
    const double v = x;
    if (!(v >= low)) return static_cast<T>(low);
    if (v > high) return static_cast<T>(high);
    return static_cast<T>(roundHalfEven(v));
}

}  // namespace

std::optional<std::uint16_t> ReadWord(const Bytes& slot, std::size_t pos) {
    if (pos < 1 || pos + 1 > slot.size()) return std::nullopt;
    return static_cast<std::uint16_t>(slot[pos - 1] | (slot[pos] << 8));
}

float toSingle(double x) noexcept {
    constexpr double kMax = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(x, -kMax, kMax));
}

int SignedByte(std::uint8_t b) noexcept {
    return b >= 128 ? b - 256 : b;
}

double roundHalfEven(double x) noexcept {
    if (!std::isfinite(x)) return x;
    const double down = std::floor(x);
    const double fraction = x - down;  // exact for any double
    if (fraction < 0.5) return down;
    if (fraction > 0.5) return down + 1;
    return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

std::uint8_t ClampByte(float x) noexcept {
    return clampRound<std::uint8_t>(x, 0, 255);
}

int ClampSignedByte(float x) noexcept {
    return clampRound<int>(x, -128, 127);
}

std::uint16_t ClampWord(float x) noexcept {
    return clampRound<std::uint16_t>(x, 0, 65535);
}

}  // namespace tunalyx
