#pragma once

#include "sim/loopback_serial_port.h"

namespace tunalyx {

// A simulated unit with its line and a port wired to it, ready to hand to a PacketLink.
class InProcessSimulator {
public:
    InProcessSimulator(SimUnitKind kind, Clock& clock, LineFaults faults = {})
        : m_ecu(kind), m_line(m_ecu, std::move(faults)), m_port(m_line, clock) {}

    InProcessSimulator(const InProcessSimulator&) = delete;
    InProcessSimulator& operator=(const InProcessSimulator&) = delete;

    [[nodiscard]] SimulatedEcu& ecu() { return m_ecu; }
    [[nodiscard]] SimulatorLine& line() { return m_line; }
    [[nodiscard]] LoopbackSerialPort& port() { return m_port; }

private:
    SimulatedEcu m_ecu;
    SimulatorLine m_line;
    LoopbackSerialPort m_port;
};

}  // namespace tunalyx
