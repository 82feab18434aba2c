#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "auxinputs/aux_calibration.h"
#include "model/trace_items.h"
#include "monitor/log_store.h"
#include "ports/clock.h"
#include "session/session.h"

namespace tunalyx {

// When a log run without a window ends on its own.
struct LoggedRunLimits {
    std::optional<long> samples;
    std::optional<long> seconds;
    bool continuePastFull = false;  // a full log is handed on and the run goes on in the next
};

// A log the run has finished with.
struct LoggedPart {
    LogStore& log;
    const TraceItems& items;  // the names of the unit's layout, for saving
    int number;               // 0, 1, 2, ... as the run goes on past full logs
    bool last;
    bool full;             // it filled up before the limits or a stop ended it
    std::int64_t startMs;  // its first sample, in milliseconds from the run's first
};

// The journal a run keeps on disk as it goes (see LogJournal).
struct LoggedRunJournal {
    std::string folder;
    // Where part n is meant to be saved, told on recovery.
    std::function<std::string(int part)> target;
    // The journal could not be written; the run goes on.
    std::function<void(const std::string& message)> failed;
};

// What the caller hears of a run.
struct LoggedRunHooks {
    // The line is open and the unit awake; polling starts.
    std::function<void()> lineOpened;
    // Asked after every sample: true ends the run there, as Stop does.
    std::function<bool()> stopRequested;
    // After every sample: samples and milliseconds since the run began, across its parts.
    std::function<void(long samples, std::int64_t ms)> progress;
    // Each finished log; false refuses it and fails the run. A full log of a run that goes on is
    // handed on from a thread of its own while polling continues, so the next log starts one
    // sample period after it; nothing else of the run runs on that thread.
    std::function<bool(const LoggedPart&)> finished;
    // Kept when `folder` is set; each part's journal goes once `finished` has taken the part.
    LoggedRunJournal journal;
};

enum class LoggedRunEnd {
    Stopped,      // the limits were reached or a stop was asked for
    Full,         // a log filled up and the run was not to go on past it
    UnitSilent,   // a read failed; what was read before was handed on
    NothingRead,  // no sample of the last part was read whole; that part was not handed on
    NotStarted,   // the line did not open, or the start of a part found nothing to poll
    Refused,      // a finished log was refused
};

struct LoggedRunResult {
    LoggedRunEnd end;
    int part;  // the part the run ended in
    [[nodiscard]] bool succeeded() const {
        return end == LoggedRunEnd::Stopped || end == LoggedRunEnd::Full;
    }
};

// The monitor's polling cycle without a window, as the window's Start runs it: the unit is
// identified once (the session holds no data to weigh against it), the included groups are
// polled back to back until a limit, a stop or a failed read, and each finished log is handed
// on. Past a full log the next one begins without a pause in the polling.
// `openLine` opens the port and wakes the unit; it is called once the log is allocated, since
// allocating between the wake-up and the first request would shift every sample time.
[[nodiscard]] LoggedRunResult runLogged(Session& session, Clock& clock, const AuxCalibration& aux,
                                        const std::array<bool, kTraceGroupCount>& include,
                                        const LoggedRunLimits& limits,
                                        const std::function<bool()>& openLine,
                                        const LoggedRunHooks& hooks);

}  // namespace tunalyx
