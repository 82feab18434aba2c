#pragma once

#include <array>
#include <cstdint>

namespace tunalyx {

// How long exhaust gas takes from the cylinder to the sensor on this engine, against the exhaust
// flow (flowShare, 0..1): about 800 ms at no flow, falling steeply at first, to about 200 ms at
// full flow; times `scale`. Not the shape auto-tune assumes: the logs have to show it.
[[nodiscard]] double engineDelaySeconds(double flow, double scale = 1);

// A wide-band oxygen sensor as a real one behaves: it sees what was burned one transport delay
// ago, follows it with a first-order lag, reads with about 1 % noise, and says nothing (0 V) while
// it warms up. It is fed the burned mixture at fixed steps, so its reading depends only on what
// was burned, never on when or how often it is asked.
class WidebandSensor {
public:
    static constexpr double kStepSeconds = 0.005;
    static constexpr double kLagSeconds = 0.1;
    static constexpr double kWarmUpSeconds = 20;
    static constexpr double kNoise = 0.01;  // standard deviation, relative

    explicit WidebandSensor(std::uint64_t seed) : m_seed(seed) {}

    // The mixture burned at step time `seconds`, and the delay of its gas to the sensor.
    void burn(double seconds, double afr, double delaySeconds);

    // The sensor's output at `seconds` (after the steps up to there were burned), in volts on the
    // default wide-band calibration (0 V = 10 A/F, 5 V = 20 A/F; it rails at both ends).
    [[nodiscard]] double volts(double seconds) const;
    // The A/F it sees, before noise and the output's range.
    [[nodiscard]] double seenAfr() const { return m_seen; }

private:
    [[nodiscard]] double burnedAt(double seconds) const;

    std::uint64_t m_seed;
    // The last five seconds of burned mixture, a step each, oldest overwritten: longer than the
    // longest delay at the largest scale.
    static constexpr std::size_t kHistory = 1024;
    using History = std::array<double, kHistory>;
    [[nodiscard]] double interpolated(const History& history, double seconds) const;
    History m_burned{};
    History m_delays{};        // each step's delay to the sensor
    std::int64_t m_steps = 0;  // steps burned so far
    double m_firstStep = 0;
    double m_seen = 14.7;
};

// A repeatable pseudo-random number in [0, 1) for a key: the same seed and key always give it.
[[nodiscard]] double hashedUnit(std::uint64_t seed, std::uint64_t key);

}  // namespace tunalyx
