#include "sim/fast_drive.h"

#include "sim/in_process_simulator.h"

namespace tunalyx {

LoggedRunResult driveInFastTime(const BlockStore& tune, LayoutFamily family, const FastDrive& drive,
                                UserPrompts& prompts, const LoggedRunHooks& hooks) {
    ManualClock clock;
    LineFaults line;
    line.pacing = true;
    InProcessSimulator sim(simUnitOf(family), clock, line);
    // Who the unit is stays the unit's own: a tune file of another version must not rename it.
    for (std::size_t b = 0; b < tune.size(); ++b)
        if (!tune[b].empty() && !isIdentityBlock(b)) sim.ecu().blocks()[b] = tune[b];
    sim.ecu().runTunedEngine(drive.engine);
    Session s(sim.port(), clock, prompts, drive.link);
    s.maps.GridInit();
    return runLogged(
        s, clock, drive.aux, drive.include, {std::nullopt, drive.seconds, true},
        [&] {
            if (!sim.port().open()) return false;
            s.link.wakeUp();
            return true;
        },
        hooks);
}

}  // namespace tunalyx
