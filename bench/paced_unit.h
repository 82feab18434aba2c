#pragma once

#include "quiet_prompts.h"

#include "monitor/live_decode.h"
#include "ports/file_writer.h"
#include "session/session.h"
#include "sim/in_process_simulator.h"

namespace tunalyx {

// A family 5 unit sending at the real 57600 baud, and a session that has identified it as a
// window holding its data would have.
struct PacedUnit {
    PacedUnit() : sim(SimUnitKind::Det1_501, clock, pacedLine()) {
        (void)sim.port().open();
        session.maps.GridInit();
        (void)SR20DET_Version(session, {.FromPFC = true, .NoDisplay = true});
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

// For runs whose logs are handed on but not kept on disk.
struct NoFileWriter final : FileWriter {
    [[nodiscard]] std::string writeWhole(const std::string&, std::string_view) override {
        return {};
    }
};

// Live-data cycles a second the wire allows: per group the 3-byte request and the reply of its
// data plus 3, 10 bits a byte at 57600 baud.
inline double liveWireLimit(const std::array<bool, kTraceGroupCount>& include) {
    int bytes = 0;
    for (std::size_t g = 0; g < include.size(); ++g)
        if (include[g]) bytes += 3 + kLiveLength[g] + 3;
    return 57600.0 / 10.0 / bytes;
}

}  // namespace tunalyx
