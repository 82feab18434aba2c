#include "monitor/session_monitor_port.h"

#include "versions/version_identification.h"

namespace tunalyx {

MonitorPort monitorPortOf(Session& session, bool checkData) {
    return {session.link,
            session.PortBusy,
            session.layout.live,
            session.trace,
            session.codec.locale(),
            [&session, checkData] {
                return SR20DET_Version(session, {.FromPFC = true, .CheckData = checkData});
            }};
}

}  // namespace tunalyx
