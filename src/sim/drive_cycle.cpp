#include "sim/drive_cycle.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace tunalyx {

namespace {

constexpr std::array<const char*, 5> kNames = {"idle", "city", "highway", "pulls", "mixed"};

// The injectors come back on below this speed when coasting.
constexpr double kFuelCutRpm = 1200;
// Beyond a week the drive holds still instead of growing the chain without bound.
constexpr double kLongestDrive = 7 * 24 * 3600.0;
// One wobble period of a steady segment, roughly.
constexpr double kWobblePeriod = 4;
// A driver opening the throttle puts the pedal where it goes in about this long, then the engine
// follows: every opening is a tip-in, as on the road.
constexpr double kPedalSeconds = 0.25;

double smoothstep(double f) {
    return f * f * (3 - 2 * f);
}

// Throttle and load lead the rpm: the pedal and manifold answer at once, the engine speed lags.
double easeOut(double f) {
    return 1 - (1 - f) * (1 - f);
}

double lerp(double a, double b, double f) {
    return a + (b - a) * f;
}

}  // namespace

std::optional<DriveKind> driveFromName(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i)
        if (name == kNames[i]) return static_cast<DriveKind>(i);
    return std::nullopt;
}

const char* driveName(DriveKind kind) {
    return kNames[static_cast<std::size_t>(kind)];
}

const char* driveNamesText() {
    return "idle, city, highway, pulls or mixed";
}

DriveCycle::DriveCycle(DriveKind kind, std::uint64_t seed) : m_kind(kind), m_seed(seed) {
    restart();
}

void DriveCycle::restart() {
    m_random.seed(m_seed);
    m_segments.clear();
    m_block = m_kind;
    m_blockEnd = 0;
    const DriveState idle = idleState();
    m_segments.push_back({0, draw(3, 5), idle, idle, wobble()});
    if (m_kind == DriveKind::Mixed) startBlock();
}

DriveState DriveCycle::at(double seconds) {
    if (!(seconds > 0)) seconds = 0;  // NaN too
    seconds = std::min(seconds, kLongestDrive);
    if (seconds < m_segments.front().start) restart();
    extendTo(seconds);
    const auto next = std::upper_bound(m_segments.begin(), m_segments.end(), seconds,
                                       [](double t, const Segment& s) { return t < s.start; });
    const Segment& s = *(next - 1);
    const double f = std::clamp((seconds - s.start) / s.duration, 0.0, 1.0);
    DriveState out;
    if (s.wobble > 0) {
        // Whole periods, and sines that vanish at both ends, keep the joins continuous.
        const double cycles = std::max(1.0, std::round(s.duration / kWobblePeriod));
        const double rpmWave = std::sin(2 * std::numbers::pi * cycles * f);
        const double loadWave = std::sin(std::numbers::pi * (2 * cycles + 1) * f);
        out.rpm = s.from.rpm * (1 + s.wobble * rpmWave);
        out.load = s.from.load * (1 + s.wobble * loadWave);
        out.throttle = s.from.throttle * (1 + s.wobble * loadWave);
    } else {
        out.rpm = lerp(s.from.rpm, s.to.rpm, smoothstep(f));
        out.load = lerp(s.from.load, s.to.load, easeOut(f));
        const bool opening = s.to.throttle > s.from.throttle;
        const double pedal =
            opening
                ? std::clamp((seconds - s.start) / std::min(kPedalSeconds, s.duration), 0.0, 1.0)
                : f;
        out.throttle = lerp(s.from.throttle, s.to.throttle, easeOut(pedal));
    }
    out.fuelCut = out.throttle == 0 && out.rpm > kFuelCutRpm && s.to.rpm < s.from.rpm;
    return out;
}

double DriveCycle::end() const {
    return m_segments.back().start + m_segments.back().duration;
}

const DriveState& DriveCycle::last() const {
    return m_segments.back().to;
}

// From the raw 64-bit stream, so every standard library drives the same way.
double DriveCycle::draw(double lo, double hi) {
    return lo + (hi - lo) * static_cast<double>(m_random() >> 11) * 0x1.0p-53;
}

bool DriveCycle::chance(double p) {
    return draw(0, 1) < p;
}

double DriveCycle::wobble() {
    return draw(0.008, 0.02);
}

DriveState DriveCycle::idleState() {
    // Narrower than the idle band, so the wobble stays inside it.
    return {draw(820, 930), draw(1200, 1700), 0, false};
}

// Durations are drawn here, after the target: the order of function arguments is unspecified,
// and the same seed must draw in the same order with every compiler.
void DriveCycle::hold(double shortest, double longest) {
    const double duration = draw(shortest, longest);
    m_segments.push_back({end(), duration, last(), last(), wobble()});
}

void DriveCycle::ramp(const DriveState& to, double shortest, double longest) {
    const double duration = draw(shortest, longest);
    m_segments.push_back({end(), duration, last(), to, 0});
}

void DriveCycle::liftOff() {
    if (last().throttle == 0) return;
    ramp({last().rpm * draw(0.95, 0.98), draw(1000, 1250), 0, false}, 0.4, 0.7);
}

void DriveCycle::coastTo(double rpm, double rpmPerSecond) {
    liftOff();
    const DriveState from = last();
    if (from.rpm <= rpm) return;
    const double duration = std::max(1.0, (from.rpm - rpm) / rpmPerSecond);
    m_segments.push_back({end(), duration, from, {rpm, draw(1000, 1250), 0, false}, 0});
}

void DriveCycle::coastDown() {
    const double rpm = draw(1000, 1100);
    coastTo(rpm, draw(400, 700));
}

void DriveCycle::coastToIdle() {
    if (last().rpm > 1300 || last().throttle > 0) {
        coastDown();
        ramp(idleState(), 0.6, 1.2);
    }
}

void DriveCycle::extendTo(double seconds) {
    while (end() <= seconds) {
        switch (m_kind == DriveKind::Mixed ? m_block : m_kind) {
            case DriveKind::Idle:
                idleStep();
                break;
            case DriveKind::City:
                cityStep();
                break;
            case DriveKind::Highway:
                highwayStep();
                break;
            case DriveKind::Pulls:
                pullStep();
                break;
            case DriveKind::Mixed:
                break;
        }
        if (m_kind == DriveKind::Mixed && end() >= m_blockEnd) {
            coastToIdle();
            hold(2, 4);
            startBlock();
        }
        // Forgotten in bulk: the drive goes on from the newest segment alone.
        if (m_segments.size() > 2 * kKeptSegments)
            m_segments.erase(m_segments.begin(), m_segments.end() - kKeptSegments);
    }
}

void DriveCycle::startBlock() {
    // Idle is the rare one: a tuner fills the map on the move.
    const double pick = draw(0, 10);
    m_block = pick < 1   ? DriveKind::Idle
              : pick < 4 ? DriveKind::City
              : pick < 7 ? DriveKind::Highway
                         : DriveKind::Pulls;
    m_blockEnd = end() + (m_block == DriveKind::Idle ? draw(30, 45) : draw(30, 90));
}

void DriveCycle::idleStep() {
    coastToIdle();
    hold(2, 10);
    if (chance(0.3)) {
        ramp({draw(1500, 2500), draw(2000, 3500), draw(0.08, 0.2), false}, 0.3, 0.6);
        liftOff();
        ramp(idleState(), 0.8, 1.5);
    }
}

void DriveCycle::cityStep() {
    coastToIdle();
    hold(3, 8);  // at the lights
    int pulls = chance(0.35) ? 2 : 1;
    for (bool first = true; pulls-- > 0; first = false) {
        const double lo = first ? 2500 : std::max(2500.0, last().rpm + 300);
        ramp({draw(lo, 3800), draw(4000, 8000), draw(0.2, 0.45), false}, 3, 5);
        ramp({draw(1850, 2950), draw(2600, 4400), draw(0.1, 0.25), false}, 0.6, 1.2);
        hold(2, 6);
    }
    coastToIdle();
}

DriveState DriveCycle::cruiseState(double rpm) {
    // Kept inside the cruise band with room for the wobble; faster takes more load.
    rpm = std::clamp(rpm, 2250.0, 4400.0);
    const double speed = (rpm - 2250) / (4400 - 2250);
    return {rpm, lerp(3100, 5300, speed) + draw(0, 1000), lerp(0.12, 0.3, speed) + draw(0, 0.04),
            false};
}

void DriveCycle::highwayStep() {
    if (last().rpm < 1800) {
        // Up the slip road.
        ramp({draw(3000, 4200), draw(6000, 8500), draw(0.4, 0.6), false}, 4, 6);
        ramp(cruiseState(draw(2250, 4400)), 1, 3);
        hold(5, 10);
        return;
    }
    const double roll = draw(0, 1);
    if (roll < 0.2) {
        // Overtake, then settle at the higher speed.
        const double throttle = draw(0.5, 0.8);
        ramp({last().rpm + draw(100, 300), draw(7000, 10000), throttle, false}, 0.5, 1);
        ramp({std::min(5200.0, last().rpm + draw(500, 1000)), draw(7000, 10000), throttle, false},
             2, 4);
        ramp(cruiseState(last().rpm - draw(0, 300)), 1, 2);
    } else if (roll < 0.35) {
        const double rpm = std::max(2000.0, last().rpm - draw(400, 1000));
        coastTo(rpm, draw(200, 400));
        ramp(cruiseState(last().rpm + draw(-100, 200)), 1, 2);
    } else {
        ramp(cruiseState(last().rpm + draw(-1000, 1000)), 1, 3);
    }
    hold(5, 10);
}

void DriveCycle::pullStep() {
    // From a standstill pull away first; after a coast, tip back in near the speed it ended at.
    const bool fromIdle = last().rpm < 1800;
    const double leadRpm =
        fromIdle ? draw(2000, 3000) : std::clamp(last().rpm + draw(-200, 200), 2000.0, 3000.0);
    const DriveState lead = {leadRpm, draw(3500, 6000), draw(0.2, 0.35), false};
    if (fromIdle) {
        ramp(lead, 2, 4);
    } else {
        ramp(lead, 0.5, 1);
    }
    hold(2, 4);
    ramp({leadRpm + draw(300, 700), draw(9500, 11000), 1, false}, 0.8, 1.5);  // spooling up
    ramp({draw(6800, 7300), draw(11000, 13000), 1, false}, 5, 8);
    const double rpm = draw(2000, 3000);
    coastTo(rpm, draw(1000, 1300));
}

}  // namespace tunalyx
