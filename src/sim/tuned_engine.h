#pragma once

#include <deque>
#include <functional>
#include <optional>

#include "curves/fuel_curves.h"

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

// The unit's injection pulse before its Inj Map factor, warm-up factor and pump, ms: longer with
// load, a little with rpm.
[[nodiscard]] double baseInjectionMs(double rpm, double load);

// The tune the unit holds at a moment, as far as the engine burns it.
struct HeldTune {
    const MapField& injection;
    const MapAxes& axes;
    const MapField* ignition = nullptr;  // without it nothing knocks
    const FuelCurves* curves = nullptr;  // without them no warm-up factor and no pump
};

// One tip-in as the engine burned it: from the throttle's first opening faster than
// AccelPump::kTipInRate until its pump has faded or a lift ended it.
struct TipInRecord {
    double seconds = 0;  // its start
    double rpm = 0;
    double load = 0;
    // The largest |burned A/F - the A/F burned just before it| during it, misfires left out. Out
    // of a fuel cut, "before" is what its first step burns without the pump and the walls.
    double largestSwing = 0;
    // The largest |burned A/F - what the same moment burns without the pump and the walls|: the
    // swing the pump's mismatch alone makes, the map's own error along the way left out.
    double largestPumpSwing = 0;
};

// The engine that answers the tune: driven along a drive cycle, it burns what the unit's Inj Map,
// warm-up factor and accelerator pump send against its hidden fuel requirement, warm-up
// requirement and port-wall wetting, and a wide-band sensor reads the result; it knocks where
// the Ign Map's timing is past its hidden knock limit, and a knock sensor reads that.
//
// In ms: the fuel that burns 14.7 is need = base x requirement(rpm, load) x warm-up required
// (coolant); the unit delivers base x Inj Map value x warm-up factor(coolant) + pump; on a tip-in
// the walls take wall = pump required(rpm) x the unit's share at the throttle's speed x the pump's
// fade; what burns is 14.7 x need / (delivered - wall).
class TunedEngine {
public:
    using Drive = std::function<DriveState(double seconds)>;

    // An engine that never knocks, needs no warm-up or pump, and whose knock sensor gives no
    // spikes.
    TunedEngine(FuelRequirement requirement, Drive drive, std::uint64_t seed);
    TunedEngine(FuelRequirement requirement, KnockLimit knockLimit, Drive drive, std::uint64_t seed,
                long knockSpikeEvery);
    // The whole engine: its seed, cold start, sensor delay and knock spikes from `options`.
    TunedEngine(FuelRequirement requirement, CurveRequirement curves,
                std::optional<KnockLimit> knockLimit, Drive drive, const EngineOptions& options);

    // Runs the engine up to `seconds` on the tune the unit holds now. Time never goes backwards.
    EngineState advanceTo(double seconds, const HeldTune& tune);
    EngineState advanceTo(double seconds, const MapField& injection, const MapAxes& axes);
    EngineState advanceTo(double seconds, const MapField& injection, const MapField& ignition,
                          const MapAxes& axes);

    // How many degrees the timing is past the knock limit at a point of the drive, burning `afr`
    // with the intake at `airC` (0 or less: no knock).
    [[nodiscard]] double knockExcess(const DriveState& at, double timing, double afr,
                                     double airC) const;

    // What burns at a point of the drive with this Inj Map value there and these curves in the
    // unit, before any sensor, the tip-in state being what the steps so far made it: leaner in a
    // misfire, and the rail (no combustion) on fuel cut.
    [[nodiscard]] double burnedAfr(double seconds, const DriveState& at, double injection,
                                   const FuelCurves* curves = nullptr) const;

    [[nodiscard]] const FuelRequirement& requirement() const { return m_requirement; }
    [[nodiscard]] const CurveRequirement& curveRequirement() const { return m_curves; }
    [[nodiscard]] const WidebandSensor& sensor() const { return m_sensor; }
    // Nothing for an engine that never knocks.
    [[nodiscard]] const std::optional<KnockLimit>& knockLimit() const { return m_knockLimit; }
    [[nodiscard]] double coolantC(double seconds) const;
    // The gas's time to the sensor at a point of the drive.
    [[nodiscard]] double sensorDelaySeconds(double rpm, double load) const;
    // The newest kKeptTipIns tip-ins, oldest first.
    [[nodiscard]] const std::deque<TipInRecord>& tipIns() const { return m_tipIns; }

    static constexpr double kFuelCutAfr = 25;            // air alone: the sensor rails
    static constexpr double kMisfireSeconds = 0.1;       // a misfire lasts one window of this
    static constexpr double kMisfireChance = 1.0 / 300;  // per window
    static constexpr double kMisfireLean = 1.4;
    static constexpr std::size_t kKeptTipIns = 4096;

private:
    struct Mixture {
        double afr;          // before any misfire
        double deliveredMs;  // the unit's pulse, pump included
    };
    void step(double seconds, const HeldTune& tune);
    // What the injectors, the pump and the walls make of the air at a point of the drive.
    [[nodiscard]] Mixture mixture(double seconds, const DriveState& at, double injection,
                                  const FuelCurves* curves, bool transient = true) const;
    [[nodiscard]] bool misfires(double seconds) const;
    [[nodiscard]] double sinceTipIn(double seconds) const { return seconds - m_lastTipIn; }
    void recordTipIn(double seconds, const DriveState& at, const Mixture& burned, double pumpFree);

    FuelRequirement m_requirement;
    CurveRequirement m_curves;
    std::optional<KnockLimit> m_knockLimit;
    Drive m_drive;
    std::uint64_t m_seed;
    double m_coldStartC = 20;
    double m_delayScale = 1;
    WidebandSensor m_sensor;
    KnockSensor m_knockSensor;
    std::int64_t m_nextStep = 0;
    double m_lastThrottle = 0;
    double m_lastTipIn = -1e9;           // the throttle's last opening faster than the pump's rate
    double m_tipInSpeed = 0;             // travel per second then
    std::optional<double> m_lastBurned;  // the mixture of the last fuelled step
    std::deque<TipInRecord> m_tipIns;
    bool m_inTipIn = false;
    double m_swingFrom = 0;
};

// The engine's coolant from `startC`: warming at an even rate, so that each band of it gets about
// the same time, until the thermostat holds it near 85 C; from 20 C it passes 70 C after about
// 130 s.
[[nodiscard]] double coolantAt(double seconds, double startC = 20);
// The intake air: warmer with load (boost heats it), drifting slowly with the day.
[[nodiscard]] double intakeAirAt(double seconds, double load);

}  // namespace tunalyx
