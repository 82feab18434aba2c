#pragma once

#include <cstdint>

namespace tunalyx {

// The unit's knock reading (the live data's Knock item, 0..255) as a real sensor gives it: a
// noise floor that rises with engine speed, a little noise, the knock itself growing with how
// far the timing is past the limit for as long as it is, and now and then an electrical spike
// that lasts one reading. A reading depends only on its moment and the seed, never on when or
// how often it is asked.
class KnockSensor {
public:
    KnockSensor(std::uint64_t seed, long spikeEvery) : m_seed(seed), m_spikeEvery(spikeEvery) {}

    // The reading at `seconds` with the engine at `rpm` and its timing `excessDegrees` past the
    // knock limit (nothing knocks at or below 0).
    [[nodiscard]] double reading(double seconds, double rpm, double excessDegrees) const;

    // The mechanical noise the sensor hears from the engine itself, before random noise.
    [[nodiscard]] static double floorAt(double rpm);
    // How far above the floor knock reads, before its cycle-to-cycle spread.
    [[nodiscard]] static double knockAbove(double excessDegrees);

    static constexpr double kNoise = 1.5;  // standard deviation of the floor's noise
    static constexpr double kTop = 255;

private:
    std::uint64_t m_seed;
    long m_spikeEvery;
};

}  // namespace tunalyx
