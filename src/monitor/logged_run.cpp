#include "monitor/logged_run.h"

#include <memory>

#include "monitor/monitor_loop.h"
#include "monitor/session_monitor_port.h"

namespace tunalyx {

LoggedRunResult runLogged(Session& s, Clock& clock, const AuxCalibration& aux,
                          const std::array<bool, kTraceGroupCount>& include,
                          const LoggedRunLimits& limits, const std::function<bool()>& openLine,
                          const LoggedRunHooks& hooks) {
    // The item names of the aux set-up; the unit's layout renames items when it is identified.
    s.trace.InitTraceItemLookup(aux.names);
    auto log = std::make_unique<LogStore>();
    if (!openLine()) return {LoggedRunEnd::NotStarted, 0};
    if (hooks.lineOpened) hooks.lineOpened();
    long earlierSamples = 0;
    std::int64_t earlierMs = 0;
    for (int part = 0;; ++part) {
        MonitorLoop loop(monitorPortOf(s, false), *log, clock, aux);
        const std::int64_t startMs = clock.tickMs();
        if (!loop.start(include, {})) return {LoggedRunEnd::NotStarted, part};
        bool stopped = false;  // by the caller or a limit, not by the unit
        while (loop.step()) {
            const int count = loop.SampleCount();
            const std::int64_t ms = earlierMs + log->LogTime(count - 1);
            if ((hooks.stopRequested && hooks.stopRequested()) ||
                (limits.samples && earlierSamples + count >= *limits.samples) ||
                (limits.seconds && ms >= *limits.seconds * 1000)) {
                loop.cmdLogStop_Click();
                stopped = true;
            }
            if (hooks.progress) hooks.progress(earlierSamples + count, ms);
        }
        const int count = loop.SampleCount();
        if (count == 0) return {LoggedRunEnd::NothingRead, part};
        const bool full = !stopped && count >= LogStore::kMaxRunSamples;
        const bool last = !full || !limits.continuePastFull;
        if (hooks.finished && !hooks.finished({*log, s.trace, part, last, full}))
            return {LoggedRunEnd::Refused, part};
        if (last)
            return {stopped ? LoggedRunEnd::Stopped
                            : (full ? LoggedRunEnd::Full : LoggedRunEnd::UnitSilent),
                    part};
        earlierSamples += count;
        earlierMs += clock.tickMs() - startMs;
    }
}

}  // namespace tunalyx
