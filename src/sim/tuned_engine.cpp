#include "sim/tuned_engine.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "autotune/sensor_delay.h"

namespace tunalyx {

namespace {
constexpr double kNoTipIn = -1e9;

// Coolant warming: an even rate until the thermostat starts to open, then an approach to where it
// holds, joined with the same slope.
constexpr double kThermostatC = 85;
constexpr double kThermostatBand = 10;  // below kThermostatC where the approach begins
constexpr double kWarmingPerSecond = 50.0 / 130;

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

double baseInjectionMs(double rpm, double load) {
    return 0.8 + 11.2 * loadShare(load) * (0.8 + 0.2 * rpmShare(rpm));
}

double coolantAt(double seconds, double startC) {
    const double approachFrom = kThermostatC - kThermostatBand;
    const double linearFor = std::max(0.0, (approachFrom - startC) / kWarmingPerSecond);
    if (seconds < linearFor) return startC + kWarmingPerSecond * seconds;
    const double left = kThermostatC - std::max(startC, approachFrom);
    return kThermostatC -
           left * std::exp(-(seconds - linearFor) * kWarmingPerSecond / kThermostatBand);
}

double intakeAirAt(double seconds, double load) {
    return 25 + 10 * loadShare(load) + 3 * std::sin(2 * std::numbers::pi * seconds / 300);
}

TunedEngine::TunedEngine(FuelRequirement requirement, Drive drive, std::uint64_t seed)
    : TunedEngine(std::move(requirement), CurveRequirement::none(), std::nullopt, std::move(drive),
                  [seed] {
                      EngineOptions o;
                      o.seed = seed;
                      o.knockSpikeEvery = 0;
                      return o;
                  }()) {}

TunedEngine::TunedEngine(FuelRequirement requirement, KnockLimit knockLimit, Drive drive,
                         std::uint64_t seed, long knockSpikeEvery)
    : TunedEngine(std::move(requirement), CurveRequirement::none(), std::move(knockLimit),
                  std::move(drive), [=] {
                      EngineOptions o;
                      o.seed = seed;
                      o.knockSpikeEvery = knockSpikeEvery;
                      return o;
                  }()) {}

TunedEngine::TunedEngine(FuelRequirement requirement, CurveRequirement curves,
                         std::optional<KnockLimit> knockLimit, Drive drive,
                         const EngineOptions& options)
    : m_requirement(std::move(requirement)),
      m_curves(std::move(curves)),
      m_knockLimit(std::move(knockLimit)),
      m_drive(std::move(drive)),
      m_seed(options.seed),
      m_coldStartC(options.coldStartC),
      m_delayScale(options.sensorDelayScale),
      m_sensor(options.seed),
      m_knockSensor(options.seed, options.knockSpikeEvery) {}

double TunedEngine::coolantC(double seconds) const {
    return coolantAt(seconds, m_coldStartC);
}

double TunedEngine::sensorDelaySeconds(double rpm, double load) const {
    return engineDelaySeconds(flowShare(rpm, load), m_delayScale);
}

double TunedEngine::knockExcess(const DriveState& at, double timing, double afr,
                                double airC) const {
    // Nothing burns on fuel cut, so nothing knocks.
    if (!m_knockLimit || at.fuelCut) return 0;
    return timing - m_knockLimit->at(at.rpm, at.load, afr, airC);
}

TunedEngine::Mixture TunedEngine::mixture(double seconds, const DriveState& at, double injection,
                                          const FuelCurves* curves, bool transient) const {
    const double base = baseInjectionMs(at.rpm, at.load);
    const double coolant = coolantC(seconds);
    const double since = transient ? sinceTipIn(seconds) : kNoTipIn;
    // The walls take their share at the same throttle speed and fade as the unit's pump.
    AccelPump wall;
    wall.pulse = m_curves.pump;
    double pump = 0;
    double warmUp = 1;
    if (curves) {
        wall.share = curves->pump.share;
        wall.hasShare = curves->pump.hasShare;
        pump = curves->pump.extraMs(at.rpm, m_tipInSpeed, since);
        warmUp = curves->warmUp.at(coolant);
    }
    const double need = base * m_requirement.at(at.rpm, at.load) * m_curves.warmUp.at(coolant);
    const double delivered = base * injection * warmUp + pump;
    // Walls that take more than is sent leave a mixture too lean to burn: the sensor rails.
    const double burning = std::max(delivered - wall.extraMs(at.rpm, m_tipInSpeed, since),
                                    need * kStoichiometricAfr / kFuelCutAfr);
    return {kStoichiometricAfr * need / burning, delivered};
}

bool TunedEngine::misfires(double seconds) const {
    const auto window = static_cast<std::uint64_t>(std::floor(seconds / kMisfireSeconds));
    // Keyed apart from the sensor's noise, which uses the same seed.
    return hashedUnit(m_seed ^ 0x5EED'F1AEULL, window) < kMisfireChance;
}

double TunedEngine::burnedAfr(double seconds, const DriveState& at, double injection,
                              const FuelCurves* curves) const {
    if (at.fuelCut) return kFuelCutAfr;
    const double afr = mixture(seconds, at, injection, curves).afr;
    return misfires(seconds) ? afr * kMisfireLean : afr;
}

void TunedEngine::recordTipIn(double seconds, const DriveState& at, const Mixture& burned,
                              double pumpFree) {
    if (!m_inTipIn) {
        m_inTipIn = true;
        m_swingFrom = m_lastBurned.value_or(pumpFree);
        if (m_tipIns.size() >= kKeptTipIns) m_tipIns.pop_front();
        m_tipIns.push_back({seconds, at.rpm, at.load, 0, 0});
    }
    TipInRecord& r = m_tipIns.back();
    r.largestSwing = std::max(r.largestSwing, std::abs(burned.afr - m_swingFrom));
    r.largestPumpSwing = std::max(r.largestPumpSwing, std::abs(burned.afr - pumpFree));
}

void TunedEngine::step(double seconds, const HeldTune& tune) {
    const DriveState at = m_drive(seconds);
    // The first step finds the throttle where it is: no movement into it.
    const double rate =
        m_nextStep == 0 ? 0 : (at.throttle - m_lastThrottle) / WidebandSensor::kStepSeconds;
    const bool wasActive = sinceTipIn(seconds) < AccelPump::kPumpSeconds;
    if (rate > AccelPump::kTipInRate) {
        if (!wasActive) m_inTipIn = false;  // a new tip-in, not one going on
        m_lastTipIn = seconds;
        m_tipInSpeed = rate;
    } else if (rate < -AccelPump::kTipInRate) {
        m_lastTipIn = kNoTipIn;  // a lift ends the pump; it never asks for any
    }
    m_lastThrottle = at.throttle;
    const bool active = sinceTipIn(seconds) < AccelPump::kPumpSeconds;
    if (!active) m_inTipIn = false;

    const double value = interpolateField(tune.injection, tune.axes, at.rpm, at.load);
    double afr = kFuelCutAfr;
    if (!at.fuelCut) {
        const Mixture burned = mixture(seconds, at, value, tune.curves);
        if (active)
            recordTipIn(seconds, at, burned, mixture(seconds, at, value, tune.curves, false).afr);
        m_lastBurned = burned.afr;
        afr = misfires(seconds) ? burned.afr * kMisfireLean : burned.afr;
    } else {
        m_lastBurned.reset();
    }
    m_sensor.burn(seconds, afr, sensorDelaySeconds(at.rpm, at.load));
}

EngineState TunedEngine::advanceTo(double seconds, const MapField& injection, const MapAxes& axes) {
    return advanceTo(seconds, HeldTune{injection, axes});
}

EngineState TunedEngine::advanceTo(double seconds, const MapField& injection,
                                   const MapField& ignition, const MapAxes& axes) {
    return advanceTo(seconds, HeldTune{injection, axes, &ignition});
}

EngineState TunedEngine::advanceTo(double seconds, const HeldTune& tune) {
    // Fixed steps from the start, whatever the times asked for.
    for (;;) {
        const double t = static_cast<double>(m_nextStep) * WidebandSensor::kStepSeconds;
        if (t > seconds) break;
        step(t, tune);
        ++m_nextStep;
    }
    const DriveState at = m_drive(seconds);
    EngineState s;
    s.rpm = at.rpm;
    s.load = at.load;
    s.throttle = at.throttle;
    s.boostKpa = boostAtLoad(at.load);
    s.waterC = coolantC(seconds);
    const double injection = interpolateField(tune.injection, tune.axes, at.rpm, at.load);
    const Mixture now = mixture(seconds, at, injection, tune.curves);
    // The unit's pulse: what it delivers, warm-up factor and pump included.
    s.injMs = at.fuelCut ? 0 : now.deliveredMs;
    s.wideBandVolts = m_sensor.volts(seconds);
    s.airC = intakeAirAt(seconds, at.load);
    // Knock follows the timing and mixture of this moment: it lasts as long as the excess does.
    double excess = 0;
    if (tune.ignition) {
        s.ignition = ignitionAt(*tune.ignition, tune.axes, at.rpm, at.load);
        // The mixture the cylinder holds: a misfire's unburned charge does not knock.
        excess = knockExcess(at, *s.ignition, now.afr, s.airC);
    }
    s.knock = m_knockSensor.reading(seconds, at.rpm, excess);
    return s;
}

}  // namespace tunalyx
