#pragma once

#include <functional>
#include <optional>

#include "sim/drive_cycle.h"
#include "sim/fuel_requirement.h"
#include "sim/knock_limit.h"
#include "sim/knock_sensor.h"
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
    double wideBandVolts = 0;        // on AN1
    double airC = 25;                // intake air
    std::optional<double> ignition;  // degrees, when the unit's Ign Map was given
    double knock = 0;                // the knock sensor, in the live data's scale
};

// The engine that answers the tune: driven along a drive cycle, it burns what the Inj Map sends
// against its hidden fuel requirement, and a wide-band sensor reads the result; it knocks where
// the Ign Map's timing is past its hidden knock limit, and a knock sensor reads that.
class TunedEngine {
public:
    using Drive = std::function<DriveState(double seconds)>;

    // An engine that never knocks and whose knock sensor gives no spikes.
    TunedEngine(FuelRequirement requirement, Drive drive, std::uint64_t seed);
    TunedEngine(FuelRequirement requirement, KnockLimit knockLimit, Drive drive, std::uint64_t seed,
                long knockSpikeEvery);

    // Runs the engine up to `seconds` on the tune the unit holds now: its Inj Map, Ign Map and the
    // axes of its map reference. Time never goes backwards. Without an Ign Map nothing knocks.
    EngineState advanceTo(double seconds, const MapField& injection, const MapAxes& axes);
    EngineState advanceTo(double seconds, const MapField& injection, const MapField& ignition,
                          const MapAxes& axes);

    // How many degrees the timing is past the knock limit at a point of the drive, burning `afr`
    // with the intake at `airC` (0 or less: no knock).
    [[nodiscard]] double knockExcess(const DriveState& at, double timing, double afr,
                                     double airC) const;

    // What burns at a point of the drive with this Inj Map value there, before any sensor: 14.7 x
    // requirement / value, richer for a tip-in's extra fuel, leaner in a misfire, and the rail
    // (no combustion) on fuel cut.
    [[nodiscard]] double burnedAfr(double seconds, const DriveState& at, double injection) const;

    [[nodiscard]] const FuelRequirement& requirement() const { return m_requirement; }
    [[nodiscard]] const WidebandSensor& sensor() const { return m_sensor; }
    // Nothing for an engine that never knocks.
    [[nodiscard]] const std::optional<KnockLimit>& knockLimit() const { return m_knockLimit; }

    static constexpr double kFuelCutAfr = 25;            // air alone: the sensor rails
    static constexpr double kTipInSeconds = 0.5;         // how long a tip-in's extra fuel lasts
    static constexpr double kTipInExtraFuel = 0.12;      // at its start, fading to none
    static constexpr double kMisfireSeconds = 0.1;       // a misfire lasts one window of this
    static constexpr double kMisfireChance = 1.0 / 300;  // per window
    static constexpr double kMisfireLean = 1.4;

private:
    void step(double seconds, const MapField& injection, const MapAxes& axes);
    EngineState advance(double seconds, const MapField& injection, const MapField* ignition,
                        const MapAxes& axes);
    [[nodiscard]] double tipInFuel(double seconds) const;
    // What the injectors and the tip-in fuel make of the air, before any misfire.
    [[nodiscard]] double mixtureAfr(double seconds, const DriveState& at, double injection) const;

    FuelRequirement m_requirement;
    std::optional<KnockLimit> m_knockLimit;
    Drive m_drive;
    std::uint64_t m_seed;
    WidebandSensor m_sensor;
    KnockSensor m_knockSensor;
    std::int64_t m_nextStep = 0;
    double m_lastThrottle = 0;
    double m_lastTipIn = -1e9;
};

// The engine's coolant, warming from cold over the first minutes.
[[nodiscard]] double coolantAt(double seconds);
// The intake air: warmer with load (boost heats it), drifting slowly with the day.
[[nodiscard]] double intakeAirAt(double seconds, double load);

}  // namespace tunalyx
