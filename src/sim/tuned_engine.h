#pragma once

#include <functional>

#include "sim/drive_cycle.h"
#include "sim/fuel_requirement.h"
#include "sim/wideband_sensor.h"

namespace tunalyx {

// The speed and load the model engine spans: the load a little beyond the default map's first
// and last row, so that the edge rows are reached too.
inline constexpr double kEngineRpmMin = 800;
inline constexpr double kEngineRpmMax = 7500;
inline constexpr double kEngineLoadMin = 900;
inline constexpr double kEngineLoadMax = 13500;
// Where a value lies across that span, 0..1.
[[nodiscard]] double rpmShare(double rpm);
[[nodiscard]] double loadShare(double load);
// Manifold pressure against load, kPa: vacuum at light load, about 100 kPa of boost at the top.
[[nodiscard]] double boostAtLoad(double load);

// Everything the live data shows of the engine at one moment.
struct EngineState {
    double rpm = 850;
    double load = 1500;
    double throttle = 0;  // 0..1
    double boostKpa = -60;
    double waterC = 20;
    double injMs = 1;
    double wideBandVolts = 0;  // on AN1
};

// The engine that answers the tune: driven along a drive cycle, it burns what the Inj Map sends
// against its hidden fuel requirement, and a wide-band sensor reads the result.
class TunedEngine {
public:
    using Drive = std::function<DriveState(double seconds)>;

    TunedEngine(FuelRequirement requirement, Drive drive, std::uint64_t seed);

    // Runs the engine up to `seconds` on the tune the unit holds now: its Inj Map and the axes of
    // its map reference. Time never goes backwards.
    EngineState advanceTo(double seconds, const MapField& injection, const MapAxes& axes);

    // What burns at a point of the drive with this Inj Map value there, before any sensor: 14.7 x
    // requirement / value, richer for a tip-in's extra fuel, leaner in a misfire, and the rail
    // (no combustion) on fuel cut.
    [[nodiscard]] double burnedAfr(double seconds, const DriveState& at, double injection) const;

    [[nodiscard]] const FuelRequirement& requirement() const { return m_requirement; }
    [[nodiscard]] const WidebandSensor& sensor() const { return m_sensor; }

    static constexpr double kFuelCutAfr = 25;            // air alone: the sensor rails
    static constexpr double kTipInSeconds = 0.5;         // how long a tip-in's extra fuel lasts
    static constexpr double kTipInExtraFuel = 0.12;      // at its start, fading to none
    static constexpr double kMisfireSeconds = 0.1;       // a misfire lasts one window of this
    static constexpr double kMisfireChance = 1.0 / 300;  // per window
    static constexpr double kMisfireLean = 1.4;

private:
    void step(double seconds, const MapField& injection, const MapAxes& axes);
    [[nodiscard]] double tipInFuel(double seconds) const;

    FuelRequirement m_requirement;
    Drive m_drive;
    std::uint64_t m_seed;
    WidebandSensor m_sensor;
    std::int64_t m_nextStep = 0;
    double m_lastThrottle = 0;
    double m_lastTipIn = -1e9;
};

// The engine's coolant, warming from cold over the first minutes.
[[nodiscard]] double coolantAt(double seconds);

}  // namespace tunalyx
