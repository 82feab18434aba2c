#pragma once

#include <optional>

#include "ports/bytes.h"
#include "sim/tuned_engine.h"

namespace tunalyx {

// The live data of a running engine. On its own its speed and load sweep through the whole map,
// so that live data, the tracer and the map statistics have something to show; an engine that
// answers the tune may lead it instead.
class EngineModel {
public:
    // Moves the sweep to `seconds` since the simulation started (monotonic, never backwards).
    void advanceTo(double seconds);
    // Takes the state of an engine that answers the tune at `seconds`: its injection time,
    // wide-band reading, knock and (when it has one) timing stand in for the sweep's own.
    void follow(double seconds, const EngineState& state);

    [[nodiscard]] double rpm() const { return m_rpm; }
    [[nodiscard]] double load() const { return m_load; }

    // Live-data blocks, data bytes only, in the layouts the monitor decodes.
    [[nodiscard]] Bytes advancedBlock() const;  // 0xF0, 30 bytes
    [[nodiscard]] Bytes basicBlock() const;     // Basic block of the version, 20 bytes
    [[nodiscard]] Bytes sensorBlock() const;    // Sensor block of the version, 18 bytes
    [[nodiscard]] Bytes auxBlock() const;       // 0x00, 4 bytes from the interface box
    // Map block of the version, 2 bytes: column (speed) and row (load) cell index 0..19 against
    // the breakpoints of the map reference block (bytes 1..40 row/load, 41..80 column/speed).
    [[nodiscard]] Bytes mapBlock(const Bytes& mapReference) const;

private:
    double m_seconds = 0;
    double m_rpm = 900;
    double m_load = 2000;
    double m_throttle = 0;  // 0..1
    double m_boostKpa = -60;
    double m_waterC = 20;
    std::optional<double> m_injMs;
    std::optional<double> m_wideBandVolts;
    std::optional<double> m_ignition;
    std::optional<double> m_knock;
};

}  // namespace tunalyx
