#pragma once

#include "quiet_prompts.h"

#include "session/session.h"
#include "sim/in_process_simulator.h"

namespace tunalyx {

// A family 5 unit sending at the real 57600 baud, and a session that has identified it as a
// window holding its data would have.
struct PacedUnit {
    PacedUnit() : sim(SimUnitKind::Det1_501, clock, pacedLine()) {
        (void)sim.port().open();
        session.maps.GridInit();
        (void)SR20DET_Version(session, true, true, true, false);
    }
    static LineFaults pacedLine() {
        LineFaults faults;
        faults.pacing = true;
        return faults;
    }

    SteadyClock clock;
    QuietPrompts prompts;
    InProcessSimulator sim;
    Session session{sim.port(), clock, prompts};
};

}  // namespace tunalyx
