#pragma once

#include "monitor/monitor_loop.h"
#include "session/session.h"

namespace tunalyx {

// The loop on a session's link, between the session's transfers, in the layout its
// identification applies. `checkData`: the identification weighs the session's data against the
// unit (the window's Start); the command line holds no data to weigh.
[[nodiscard]] MonitorPort monitorPortOf(Session& session, bool checkData);

}  // namespace tunalyx
