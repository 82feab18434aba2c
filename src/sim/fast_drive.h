#pragma once

#include <array>
#include <string>

#include "auxinputs/aux_calibration.h"
#include "link/packet_link.h"
#include "monitor/live_run.h"
#include "ports/file_writer.h"
#include "ports/user_prompts.h"
#include "session/session.h"
#include "sim/default_blocks.h"
#include "sim/engine_options.h"
#include "sim/in_process_simulator.h"
#include "versions/layout_family.h"

namespace tunalyx {

// A drive of the engine that answers a tune and what logging it is to give.
struct FastDrive {
    EngineOptions engine;
    long seconds = 600;
    std::array<bool, kTraceGroupCount> include{};
    LinkSettings link;
    AuxCalibration aux;  // the monitor's aux set-up: AN1 must read A/F for the log to be tuned from
};

// The unit of the tune's family holding the tune (its identity blocks left to the unit), at the
// real line speed on a clock that jumps instead of waiting, with a live run on it: logged as the
// real link would log it, with the same exchange and sample times as over the wire, without the
// wait. The run's logs go where `start` says, LOG.txt, LOG-001.txt, ... as the command line's
// log does.
class FastDriveUnit {
public:
    FastDriveUnit(const BlockStore& tune, LayoutFamily family, const FastDrive& drive,
                  UserPrompts& prompts, FileWriter& files);

    [[nodiscard]] LiveRun& run() { return m_run; }
    // The unit and its line, for faults set before the start.
    [[nodiscard]] InProcessSimulator& simulator() { return m_sim; }
    // The drive's own time, which only the worker moves.
    [[nodiscard]] const Clock& clock() const { return m_clock; }
    // Opens the line, wakes the unit and starts the run; false when it did not start.
    bool start(const std::string& target);

private:
    FastDrive m_drive;
    ManualClock m_clock;
    InProcessSimulator m_sim;
    Session m_session;
    LiveRun m_run;
    StdPollingThread m_thread;
};

}  // namespace tunalyx
