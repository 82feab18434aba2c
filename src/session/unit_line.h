#pragma once

#include "link/packet_link.h"
#include "session/port_busy.h"

namespace tunalyx {

// The line to the unit: the packet link and the flag that keeps transfers from overlapping.
// It is the only part of a session that the live run's worker thread touches.
class UnitLine {
public:
    UnitLine(SerialPort& port, Clock& clock, UserPrompts& prompts, LinkSettings settings = {})
        : link(port, clock, prompts, settings) {}
    UnitLine(const UnitLine&) = delete;
    UnitLine& operator=(const UnitLine&) = delete;

    PacketLink link;
    PortBusyFlag PortBusy;
};

}  // namespace tunalyx
