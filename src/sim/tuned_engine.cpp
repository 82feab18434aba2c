#include "sim/tuned_engine.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tunalyx {

namespace {
constexpr double kTipInRate = 1.0;  // throttle opening per second that counts as a tip-in
constexpr double kNoTipIn = -1e9;

double fraction(double value, double low, double high) {
    return std::clamp((value - low) / (high - low), 0.0, 1.0);
}
}  // namespace

double rpmShare(double rpm) {
    return fraction(rpm, kEngineRpmMin, kEngineRpmMax);
}

double loadShare(double load) {
    return fraction(load, kEngineLoadMin, kEngineLoadMax);
}

double boostAtLoad(double load) {
    return -65 + 165 * loadShare(load);
}

double coolantAt(double seconds) {
    return 85 - 65 * std::exp(-seconds / 90);
}

double intakeAirAt(double seconds, double load) {
    return 25 + 10 * loadShare(load) + 3 * std::sin(2 * std::numbers::pi * seconds / 300);
}

TunedEngine::TunedEngine(FuelRequirement requirement, Drive drive, std::uint64_t seed)
    : m_requirement(std::move(requirement)),
      m_drive(std::move(drive)),
      m_seed(seed),
      m_sensor(seed),
      m_knockSensor(seed, 0) {}

TunedEngine::TunedEngine(FuelRequirement requirement, KnockLimit knockLimit, Drive drive,
                         std::uint64_t seed, long knockSpikeEvery)
    : m_requirement(std::move(requirement)),
      m_knockLimit(std::move(knockLimit)),
      m_drive(std::move(drive)),
      m_seed(seed),
      m_sensor(seed),
      m_knockSensor(seed, knockSpikeEvery) {}

double TunedEngine::knockExcess(const DriveState& at, double timing, double afr,
                                double airC) const {
    // Nothing burns on fuel cut, so nothing knocks.
    if (!m_knockLimit || at.fuelCut) return 0;
    return timing - m_knockLimit->at(at.rpm, at.load, afr, airC);
}

double TunedEngine::tipInFuel(double seconds) const {
    const double since = seconds - m_lastTipIn;
    if (since < 0 || since >= kTipInSeconds) return 0;
    return kTipInExtraFuel * (1 - since / kTipInSeconds);
}

double TunedEngine::mixtureAfr(double seconds, const DriveState& at, double injection) const {
    return kStoichiometricAfr * m_requirement.at(at.rpm, at.load) / injection /
           (1 + tipInFuel(seconds));
}

double TunedEngine::burnedAfr(double seconds, const DriveState& at, double injection) const {
    if (at.fuelCut) return kFuelCutAfr;
    double afr = mixtureAfr(seconds, at, injection);
    const auto window = static_cast<std::uint64_t>(std::floor(seconds / kMisfireSeconds));
    // Keyed apart from the sensor's noise, which uses the same seed.
    if (hashedUnit(m_seed ^ 0x5EED'F1AEULL, window) < kMisfireChance) afr *= kMisfireLean;
    return afr;
}

void TunedEngine::step(double seconds, const MapField& injection, const MapAxes& axes) {
    const DriveState at = m_drive(seconds);
    // The first step finds the throttle where it is: no movement into it.
    const double rate =
        m_nextStep == 0 ? 0 : (at.throttle - m_lastThrottle) / WidebandSensor::kStepSeconds;
    if (rate > kTipInRate)
        m_lastTipIn = seconds;
    else if (rate < -kTipInRate)
        m_lastTipIn = kNoTipIn;  // a lift ends the extra fuel; it never asks for any
    m_lastThrottle = at.throttle;
    const double value = interpolateField(injection, axes, at.rpm, at.load);
    m_sensor.burn(seconds, burnedAfr(seconds, at, value), transportDelaySeconds(at.rpm, at.load));
}

EngineState TunedEngine::advanceTo(double seconds, const MapField& injection, const MapAxes& axes) {
    return advance(seconds, injection, nullptr, axes);
}

EngineState TunedEngine::advanceTo(double seconds, const MapField& injection,
                                   const MapField& ignition, const MapAxes& axes) {
    return advance(seconds, injection, &ignition, axes);
}

EngineState TunedEngine::advance(double seconds, const MapField& injectionMap,
                                 const MapField* ignition, const MapAxes& axes) {
    // Fixed steps from the start, whatever the times asked for.
    for (;;) {
        const double t = static_cast<double>(m_nextStep) * WidebandSensor::kStepSeconds;
        if (t > seconds) break;
        step(t, injectionMap, axes);
        ++m_nextStep;
    }
    const DriveState at = m_drive(seconds);
    EngineState s;
    s.rpm = at.rpm;
    s.load = at.load;
    s.throttle = at.throttle;
    const double loadFrac = loadShare(at.load);
    const double rpmFrac = rpmShare(at.rpm);
    s.boostKpa = boostAtLoad(at.load);
    s.waterC = coolantAt(seconds);
    // The unit's pulse: a base width from load, times the Inj Map factor and any tip-in fuel.
    const double base = 0.8 + 11.2 * loadFrac * (0.8 + 0.2 * rpmFrac);
    const double injection = interpolateField(injectionMap, axes, at.rpm, at.load);
    s.injMs = at.fuelCut ? 0 : base * injection * (1 + tipInFuel(seconds));
    s.wideBandVolts = m_sensor.volts(seconds);
    s.airC = intakeAirAt(seconds, at.load);
    // Knock follows the timing and mixture of this moment: it lasts as long as the excess does.
    double excess = 0;
    if (ignition) {
        s.ignition = ignitionAt(*ignition, axes, at.rpm, at.load);
        // The mixture the cylinder holds: a misfire's unburned charge does not knock.
        excess = knockExcess(at, *s.ignition, mixtureAfr(seconds, at, injection), s.airC);
    }
    s.knock = m_knockSensor.reading(seconds, at.rpm, excess);
    return s;
}

}  // namespace tunalyx
