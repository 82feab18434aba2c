#pragma once

#include <array>

#include "auxinputs/aux_calibration.h"
#include "link/packet_link.h"
#include "monitor/logged_run.h"
#include "ports/user_prompts.h"
#include "sim/default_blocks.h"
#include "sim/engine_options.h"
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
// real line speed on a clock that jumps instead of waiting, logged as the real link would log
// it: the same exchange and sample times as over the wire, without the wait. `hooks.lineOpened`
// and `hooks.finished` are called as runLogged calls them.
[[nodiscard]] LoggedRunResult driveInFastTime(const BlockStore& tune, LayoutFamily family,
                                              const FastDrive& drive, UserPrompts& prompts,
                                              const LoggedRunHooks& hooks);

}  // namespace tunalyx
