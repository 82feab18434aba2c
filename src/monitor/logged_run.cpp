#include "monitor/logged_run.h"

#include <chrono>
#include <future>
#include <memory>

#include "monitor/log_journal.h"
#include "monitor/monitor_loop.h"
#include "monitor/session_monitor_port.h"

namespace tunalyx {

namespace {

// The samples of the last log that lie within the limits: a stop asked for while a full log
// was being saved comes a few samples late.
void trimToLimits(LogStore& log, const LoggedRunLimits& limits, long earlierSamples,
                  std::int64_t startMs) {
    int last = log.LogLast;
    if (limits.samples) last = std::min<long>(last, *limits.samples - earlierSamples - 1);
    if (limits.seconds)
        for (int s = 0; s < last; ++s)
            if (startMs + log.LogTime(s) >= *limits.seconds * 1000) {
                last = s;
                break;
            }
    log.LogLast = std::max(0, last);
}

}  // namespace

LoggedRunResult runLogged(Session& s, Clock& clock, const AuxCalibration& aux,
                          const std::array<bool, kTraceGroupCount>& include,
                          const LoggedRunLimits& limits, const std::function<bool()>& openLine,
                          const LoggedRunHooks& hooks) {
    // The item names of the aux set-up; the unit's layout renames items when it is identified.
    s.trace.InitTraceItemLookup(aux.names);
    // Allocated before the unit is woken: allocating between the wake-up and the first request
    // would shift every sample time.
    auto log = std::make_unique<LogStore>();
    std::unique_ptr<LogStore> spare;
    if (limits.continuePastFull) spare = std::make_unique<LogStore>();
    if (!openLine()) return {LoggedRunEnd::NotStarted, 0};
    if (hooks.lineOpened) hooks.lineOpened();

    MonitorLoop loop(monitorPortOf(s, false), *log, clock, aux);
    loop.setSpareLog(spare.get());
    loop.setContinuous(limits.continuePastFull);
    std::unique_ptr<LogJournal> journal;
    const auto journalTarget = [&](int part) {
        return hooks.journal.target ? hooks.journal.target(part) : std::string();
    };
    if (!hooks.journal.folder.empty()) {
        journal = std::make_unique<LogJournal>(hooks.journal.folder, *log, s.trace);
        journal->failed = hooks.journal.failed;
        journal->setTarget(journalTarget(0));
        loop.addListener(journal.get());
    }
    if (!loop.start(include, {})) return {LoggedRunEnd::NotStarted, 0};

    long earlierSamples = 0;        // in the parts before this one
    std::int64_t runStartTick = 0;  // the run's first sample
    std::int64_t partStartMs = 0;   // this part's first sample, from the run's first
    int partTimed = -1;             // the part `partStartMs` belongs to
    bool stopWanted = false;        // by the caller or a limit, not by the unit
    std::future<bool> saving;       // a full log being handed on
    const auto handOn = [&](bool last, bool full) {
        return !hooks.finished ||
               hooks.finished({*log, s.trace, loop.part(), last, full, partStartMs});
    };

    for (bool more = true; more;) {
        more = loop.step();
        const int count = loop.samplesPresented();
        if (count > 0 && partTimed != loop.part()) {
            if (partTimed < 0) runStartTick = loop.partStartTick();
            partStartMs = loop.partStartTick() - runStartTick;
            partTimed = loop.part();
        }
        if (loop.partFull() && !saving.valid())
            saving = std::async(std::launch::async, [&] { return handOn(false, true); });
        if (saving.valid() &&
            (!more || saving.wait_for(std::chrono::seconds(0)) == std::future_status::ready)) {
            if (!saving.get()) {
                loop.cmdLogStop_Click();
                while (loop.step()) {
                }
                return {LoggedRunEnd::Refused, loop.part()};
            }
            if (journal) {
                journal->saved();
                journal->setTarget(journalTarget(loop.part() + 1));
            }
            earlierSamples += count;
            loop.startNextPart();
            continue;
        }
        if (count == 0 || loop.partFull()) continue;
        const std::int64_t ms = partStartMs + log->LogTime(count - 1);
        if ((hooks.stopRequested && hooks.stopRequested()) ||
            (limits.samples && earlierSamples + count >= *limits.samples) ||
            (limits.seconds && ms >= *limits.seconds * 1000))
            stopWanted = true;
        // Not while a full log is saved: the samples polled meanwhile belong to the next one.
        if (stopWanted && !saving.valid()) loop.cmdLogStop_Click();
        if (hooks.progress) hooks.progress(earlierSamples + count, ms);
    }

    const int count = loop.samplesPresented();
    const int part = loop.part();
    if (count == 0) {
        // Over just as a full log was handed on: the run ends with it.
        if (part > 0)
            return {stopWanted ? LoggedRunEnd::Stopped : LoggedRunEnd::UnitSilent, part - 1};
        return {LoggedRunEnd::NothingRead, part};
    }
    if (stopWanted) trimToLimits(*log, limits, earlierSamples, partStartMs);
    const bool full = !stopWanted && count >= LogStore::kMaxRunSamples;
    if (!handOn(true, full)) return {LoggedRunEnd::Refused, part};
    if (journal) journal->saved();
    return {
        stopWanted ? LoggedRunEnd::Stopped : (full ? LoggedRunEnd::Full : LoggedRunEnd::UnitSilent),
        part};
}

}  // namespace tunalyx
