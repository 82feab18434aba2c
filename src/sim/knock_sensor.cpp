#include "sim/knock_sensor.h"

#include <algorithm>
#include <cmath>

#include "sim/wideband_sensor.h"

namespace tunalyx {

namespace {
// Keys of the draws, apart from the wide-band sensor's, which uses the same seed.
constexpr std::uint64_t kNoiseKey = 0x4B4E'0001ULL;
constexpr std::uint64_t kSpreadKey = 0x4B4E'0002ULL;
constexpr std::uint64_t kSpikeKey = 0x4B4E'0003ULL;

// Knock starts clearly above the floor and grows by about 30 a degree; a cycle differs from
// the next by up to 15 %.
constexpr double kKnockOnset = 20;
constexpr double kKnockPerDegree = 30;
constexpr double kKnockSpread = 0.15;
// An electrical spike reads this far above the floor, anywhere in the range.
constexpr double kSpikeLow = 80;
constexpr double kSpikeHigh = 200;
}  // namespace

double KnockSensor::floorAt(double rpm) {
    return 8 + 3 * std::max(rpm, 0.0) / 1000;
}

double KnockSensor::knockAbove(double excessDegrees) {
    return excessDegrees > 0 ? kKnockOnset + kKnockPerDegree * excessDegrees : 0;
}

double KnockSensor::reading(double seconds, double rpm, double excessDegrees) const {
    // Draws keyed to the millisecond of the reading, as the wide-band sensor's noise is.
    const auto ms = static_cast<std::uint64_t>(std::llround(seconds * 1000));
    double sum = 0;
    for (std::uint64_t i = 0; i < 4; ++i)
        sum += hashedUnit(m_seed ^ kNoiseKey, ms * 4 + i);
    const double gauss = (sum - 2) * std::sqrt(3.0);  // four uniforms: variance 1/3
    double value = floorAt(rpm) + kNoise * gauss;
    const double spread = 1 + kKnockSpread * (2 * hashedUnit(m_seed ^ kSpreadKey, ms) - 1);
    value += knockAbove(excessDegrees) * spread;
    if (m_spikeEvery > 0 &&
        hashedUnit(m_seed ^ kSpikeKey, ms) < 1.0 / static_cast<double>(m_spikeEvery))
        value += kSpikeLow + (kSpikeHigh - kSpikeLow) * hashedUnit(m_seed ^ kSpikeKey, ~ms);
    return std::clamp(value, 0.0, kTop);
}

}  // namespace tunalyx
