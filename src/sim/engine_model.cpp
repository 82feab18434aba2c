#include "sim/engine_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "maps/map_axes.h"
#include "sim/block_bytes.h"

namespace tunalyx {

namespace {

// Two periods with an irrational ratio: the (rpm, load) path never repeats and fills the map.
constexpr double kRpmPeriod = 37.0;
constexpr double kLoadPeriod = 37.0 / std::numbers::phi / std::numbers::phi;

// 0 at x = 0, 1 at x = 0.5, 0 again at x = 1: sweeps spend equal time in every band.
double triangle(double x) {
    const double f = x - std::floor(x);
    return f < 0.5 ? 2 * f : 2 - 2 * f;
}

double wave(double seconds, double period) {
    return std::sin(2 * std::numbers::pi * seconds / period);
}

// Boost in kPa: positive pressure goes out with bit 15 set, vacuum as 760 plus the value.
double boostWord(double boost) {
    const long n = std::lround(boost);
    if (n > 0) return 0x8000 + std::min(n, 0x7FFFL);
    return static_cast<double>(std::max(0L, 760 + n));
}

// The ignition dwell against rpm of the default tune.
double dwellAt(double rpm) {
    constexpr std::array<std::array<double, 2>, 6> kCurve = {
        {{480, 107}, {1000, 86}, {2000, 46}, {4000, 25}, {8000, 15}, {10000, 10}}};
    if (rpm <= kCurve.front()[0]) return kCurve.front()[1];
    for (std::size_t i = 1; i < kCurve.size(); ++i) {
        if (rpm <= kCurve[i][0]) {
            const double f = (rpm - kCurve[i - 1][0]) / (kCurve[i][0] - kCurve[i - 1][0]);
            return kCurve[i - 1][1] + f * (kCurve[i][1] - kCurve[i - 1][1]);
        }
    }
    return kCurve.back()[1];
}

// Quantities every live block derives from the model's state.
struct Derived {
    double loadFrac, rpmFrac;
    double mafVolts, tpsVolts, o2Volts;
    double injMs, injDuty, injTrim;
    double ignition, dwell, boostDuty;
    double airC, knock, batteryVolts, speed, mafActivity;
    bool idle, closedLoop, airCon;
};

// What an engine that answers the tune gives in place of the sweep's own.
struct Followed {
    std::optional<double> injMs, ignition, knock;
};

Derived derive(double seconds, double rpm, double load, double throttle, double boost,
               const Followed& followed) {
    Derived d{};
    d.loadFrac = loadShare(load);
    d.rpmFrac = rpmShare(rpm);
    const double lf = d.loadFrac;
    const double rf = d.rpmFrac;
    const double air = (0.1 + 0.9 * lf) * rpm / kEngineRpmMax;
    d.mafVolts = 0.9 + 3.9 * std::sqrt(air);
    d.mafActivity = 100 * std::min(air, 1.0);
    d.tpsVolts = 0.45 + 3.85 * throttle;
    d.idle = throttle < 0.01;
    d.closedLoop = lf < 0.45;
    d.o2Volts = d.closedLoop ? 0.45 + 0.4 * wave(seconds, 0.7) : 0.85;
    d.injTrim = d.closedLoop ? 4 + 4 * wave(seconds, 3.3) : 0;
    d.injMs = followed.injMs.value_or(1.0 + 11.0 * lf + 0.3 * rf);
    d.injDuty = d.injMs * rpm / 1200;  // one injection every two turns
    const double light = 15 + 25 * std::min(1.0, rf / 0.6);
    d.ignition = followed.ignition.value_or(light + (10 + 6 * rf - light) * lf);
    d.dwell = dwellAt(rpm);
    d.boostDuty = std::clamp(boost * 0.45, 0.0, 60.0);
    d.airC = intakeAirAt(seconds, load);
    d.knock = followed.knock.value_or(12 + 30 * lf * rf);
    d.batteryVolts = 14.0 + 0.2 * wave(seconds, 45);
    d.speed = rpm * (8 + 22 * (0.5 + 0.5 * wave(seconds, 280))) / 1000;
    d.airCon = std::fmod(seconds, 120) < 60;
    return d;
}

// A thermistor to ground: the voltage falls as the temperature rises.
double thermistorVolts(double celsius) {
    return 0.6 + 3.2 * std::exp(-celsius / 45);
}

}  // namespace

void EngineModel::advanceTo(double seconds) {
    m_seconds = std::max(seconds, m_seconds);
    const double t = m_seconds;
    const double rpmFrac = triangle(t / kRpmPeriod);
    const double loadFrac = triangle(t / kLoadPeriod);
    m_rpm = kEngineRpmMin + (kEngineRpmMax - kEngineRpmMin) * rpmFrac;
    m_load = kEngineLoadMin + (kEngineLoadMax - kEngineLoadMin) * loadFrac;
    m_throttle = std::clamp((loadFrac - 0.05) / 0.85, 0.0, 1.0);
    m_boostKpa = boostAtLoad(m_load);
    m_waterC = coolantAt(t);
}

void EngineModel::follow(double seconds, const EngineState& state) {
    m_seconds = std::max(seconds, m_seconds);
    m_rpm = state.rpm;
    m_load = state.load;
    m_throttle = state.throttle;
    m_boostKpa = state.boostKpa;
    m_waterC = state.waterC;
    m_injMs = state.injMs;
    m_wideBandVolts = state.wideBandVolts;
    m_ignition = state.ignition;
    m_knock = state.knock;
}

Bytes EngineModel::advancedBlock() const {
    const Derived d =
        derive(m_seconds, m_rpm, m_load, m_throttle, m_boostKpa, {m_injMs, m_ignition, m_knock});
    Bytes out(30, 0);
    putWord(out, 1, m_rpm);
    putWord(out, 3, m_load);
    putWord(out, 5, d.mafVolts * 1000);
    putWord(out, 7, 0);  // no second air flow meter fitted
    putWord(out, 9, d.injMs / 0.004);
    putWord(out, 11, d.injTrim);
    putByte(out, 13, d.ignition);
    putByte(out, 14, d.dwell);
    putWord(out, 15, boostWord(m_boostKpa));
    putWord(out, 17, d.boostDuty / 0.005);
    putByte(out, 19, m_waterC + 80);
    putByte(out, 20, d.airC + 80);
    putByte(out, 21, d.knock);
    putByte(out, 22, d.batteryVolts * 10);
    putWord(out, 23, d.speed);
    putWord(out, 25, d.mafActivity / 0.16);
    putByte(out, 27, d.o2Volts / 0.02);
    putByte(out, 28, 0);
    putWord(out, 29, d.tpsVolts * 1000);
    return out;
}

Bytes EngineModel::basicBlock() const {
    const Derived d =
        derive(m_seconds, m_rpm, m_load, m_throttle, m_boostKpa, {m_injMs, m_ignition, m_knock});
    Bytes out(20, 0);
    putWord(out, 1, d.injDuty * 10);
    putWord(out, 3, d.ignition);
    putWord(out, 5, d.mafVolts * 1000);
    putWord(out, 7, m_rpm);
    putWord(out, 9, d.speed);
    putWord(out, 11, boostWord(m_boostKpa));
    putWord(out, 13, d.knock);
    putWord(out, 15, m_waterC + 80);
    putWord(out, 17, d.airC + 80);
    putWord(out, 19, d.batteryVolts * 10);
    return out;
}

Bytes EngineModel::sensorBlock() const {
    const Derived d =
        derive(m_seconds, m_rpm, m_load, m_throttle, m_boostKpa, {m_injMs, m_ignition, m_knock});
    // AF-1, AF-2 (no second meter), THRO, BOST (absolute pressure), WTRT, AIRT, O2-1, O2-2.
    const std::array<double, 8> volts = {d.mafVolts,
                                         0.0,
                                         d.tpsVolts,
                                         (101.3 + m_boostKpa) / 50,
                                         thermistorVolts(m_waterC),
                                         thermistorVolts(d.airC),
                                         d.o2Volts,
                                         0.0};
    Bytes out(18, 0);
    for (std::size_t k = 0; k < volts.size(); ++k) {
        // Nine bits of hundredths; bit 7 of the high byte (the warning flag) stays clear.
        const long c = std::clamp(std::lround(volts[k] * 100), 0L, 511L);
        out[2 * k] = static_cast<std::uint8_t>(c & 0xFF);
        out[2 * k + 1] = static_cast<std::uint8_t>(c >> 8);
    }
    const auto bit = [](bool on, int k) { return on ? 1 << k : 0; };
    out[16] = static_cast<std::uint8_t>(bit(true, 0) | bit(d.idle, 2) | bit(d.airCon, 3) |
                                        bit(d.idle && m_rpm < 1000, 5));
    out[17] =
        static_cast<std::uint8_t>(bit(true, 0) | bit(true, 2) | bit(d.loadFrac > 0.6, 3) |
                                  bit(d.closedLoop, 5) | bit(d.airCon && m_throttle < 0.9, 6));
    return out;
}

Bytes EngineModel::auxBlock() const {
    const Derived d =
        derive(m_seconds, m_rpm, m_load, m_throttle, m_boostKpa, {m_injMs, m_ignition, m_knock});
    // AN1: a wide-band sensor, 10..20 A/F over 0..5 V, lean-stoich at part load, rich on boost.
    const double afr =
        d.closedLoop ? 14.7 + 0.3 * wave(m_seconds, 0.7) : 14.7 - 3.2 * (d.loadFrac - 0.45) / 0.55;
    const std::array<double, 4> volts = {
        m_wideBandVolts.value_or((afr - 10) / 2), 0.6 + 3.2 * d.rpmFrac,
        1.0 + 3.0 * d.loadFrac * (0.5 + 0.5 * d.rpmFrac), 2.5 + std::max(0.0, m_boostKpa) / 100};
    Bytes out(4, 0);
    for (std::size_t k = 0; k < volts.size(); ++k)
        putByte(out, static_cast<int>(k) + 1, volts[k] * 51);
    return out;
}

Bytes EngineModel::mapBlock(const Bytes& mapReference) const {
    const auto axes = mapAxesOfBlock(mapReference);
    if (!axes) return {0, 0};
    // The cell at or below the point on each axis, as the unit reports its position.
    const auto cell = [](double value, const auto& axis) {
        return static_cast<std::uint8_t>(std::floor(fractionalPosition(value, axis)));
    };
    return {cell(m_rpm, axes->column), cell(m_load, axes->row)};
}

}  // namespace tunalyx
