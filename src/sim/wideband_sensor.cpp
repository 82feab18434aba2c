#include "sim/wideband_sensor.h"

#include <algorithm>
#include <cmath>

namespace tunalyx {

namespace {
constexpr double kLongestDelay = 0.8;
constexpr double kShortestDelay = 0.2;
constexpr double kHalfwayFlow = 0.07;  // flow share at which the delay is halfway down
constexpr double kDelayCurvature = 1.4;

constexpr double kAfrAtZeroVolts = 10;
constexpr double kAfrPerVolt = 2;
constexpr double kTopVolts = 5;
}  // namespace

double hashedUnit(std::uint64_t seed, std::uint64_t key) {
    // splitmix64 of seed and key together.
    std::uint64_t z = seed * 0x9E3779B97F4A7C15ULL + key + 0x632BE59BD9B4E019ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-53;
}

double engineDelaySeconds(double flow, double scale) {
    const double r = std::pow(std::clamp(flow, 0.0, 1.0) / kHalfwayFlow, kDelayCurvature);
    return scale * (kShortestDelay + (kLongestDelay - kShortestDelay) / (1 + r));
}

void WidebandSensor::burn(double seconds, double afr, double delaySeconds) {
    if (m_steps == 0) {
        m_firstStep = seconds;
        m_burned.fill(afr);
        m_seen = afr;
    }
    if (m_steps == 0) m_delays.fill(delaySeconds);
    m_burned[static_cast<std::size_t>(m_steps) % kHistory] = afr;
    m_delays[static_cast<std::size_t>(m_steps) % kHistory] = delaySeconds;
    ++m_steps;
    // The gas reaching the sensor now left the cylinder one delay ago, the delay of the flow it
    // left in: found from the delay now, then twice from the delay of the step it points to.
    double burnedWhen = seconds - delaySeconds;
    for (int i = 0; i < 2; ++i)
        burnedWhen = seconds - interpolated(m_delays, burnedWhen);
    const double arriving = burnedAt(burnedWhen);
    m_seen += (arriving - m_seen) * (1 - std::exp(-kStepSeconds / kLagSeconds));
}

double WidebandSensor::burnedAt(double seconds) const {
    return interpolated(m_burned, seconds);
}

double WidebandSensor::interpolated(const History& history, double seconds) const {
    const double steps = (seconds - m_firstStep) / kStepSeconds;
    const auto newest = static_cast<double>(m_steps - 1);
    const double oldest = std::max(0.0, newest - static_cast<double>(kHistory - 1));
    const double at = std::clamp(steps, oldest, newest);
    const auto before = static_cast<std::int64_t>(std::floor(at));
    const auto after = std::min<std::int64_t>(before + 1, m_steps - 1);
    const double f = at - static_cast<double>(before);
    const auto value = [&](std::int64_t k) {
        return history[static_cast<std::size_t>(k) % kHistory];
    };
    return value(before) + f * (value(after) - value(before));
}

double WidebandSensor::volts(double seconds) const {
    if (seconds < kWarmUpSeconds) return 0;
    // Noise near normal from four uniform draws keyed to the millisecond of the reading: a run
    // in real time and one in fast time see the same noise at the same moment.
    const auto ms = static_cast<std::uint64_t>(std::llround(seconds * 1000));
    double sum = 0;
    for (std::uint64_t i = 0; i < 4; ++i)
        sum += hashedUnit(m_seed, ms * 4 + i);
    const double gauss = (sum - 2) * std::sqrt(3.0);  // four uniforms: variance 1/3
    const double afr = m_seen * (1 + kNoise * gauss);
    return std::clamp((afr - kAfrAtZeroVolts) / kAfrPerVolt, 0.0, kTopVolts);
}

}  // namespace tunalyx
