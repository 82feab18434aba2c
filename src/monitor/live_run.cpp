#include "monitor/live_run.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "monitor/log_file.h"
#include "ports/whole_file.h"

namespace tunalyx {

namespace {

constexpr const char* kUnsavedLogQuestion =
    "You have logged data that has not been saved.\r\nDo you want to save the log?";
// The command line's frames: as often as the window's.
constexpr int kFrameMs = 40;

}  // namespace

std::optional<MessageAnswer> CheckUnsavedLog(LogStore& log, UserPrompts& prompts,
                                             const std::function<void()>& save) {
    if (!log.LogUnsaved) return std::nullopt;
    const MessageAnswer answer = prompts.showMessage(kUnsavedLogQuestion, MessageIcon::Exclamation,
                                                     MessageButtons::YesNoCancel);
    if (answer != MessageAnswer::Yes) return answer;
    if (save) save();
    return log.LogUnsaved ? MessageAnswer::Cancel : MessageAnswer::Yes;
}

LiveRun::LiveRun(UnitLine& line, const Tune& layout, Clock& clock, FileWriter& files,
                 std::string journalFolder)
    : m_line(line),
      m_layout(layout),
      m_files(files),
      m_log(std::make_unique<LogStore>()),
      m_spare(std::make_unique<LogStore>()),
      m_journal(std::move(journalFolder), *m_log, layout.trace, m_tunes),
      m_polling(line, clock, m_handoff) {
    m_journal.failed = [this](const std::string& message) {
        if (m_running && m_plan.endWhenJournalFails) {
            m_journalProblem =
                "The log journal " + m_journal.problem() + ", so the run ended there.";
            m_handoff.requestStop();
            return;
        }
        if (journalFailed) journalFailed(message);
    };
}

LiveRun::~LiveRun() {
    if (!m_running) return;
    m_consumers.clear();
    stop();
}

void LiveRun::addConsumer(LiveConsumer* consumer) {
    if (std::find(m_consumers.begin(), m_consumers.end(), consumer) != m_consumers.end()) return;
    m_consumers.push_back(consumer);
    consumer->followRun(this);
}

void LiveRun::removeConsumer(LiveConsumer* consumer) {
    const auto kept = std::remove(m_consumers.begin(), m_consumers.end(), consumer);
    if (kept == m_consumers.end()) return;
    m_consumers.erase(kept, m_consumers.end());
    consumer->followRun(nullptr);
}

bool LiveRun::start(const LiveRunPlan& plan, PollingThread& thread) {
    if (m_running) return false;
    const auto abandon = [this] {
        m_end = LiveRunEnd::NotStarted;
        m_log->LogLast = std::max(0, m_presented - 1);
        return false;
    };
    if (m_line.PortBusy) return abandon();
    if (plan.identify && !plan.identify()) return abandon();
    if (plan.checkUnsaved && plan.checkUnsaved() == MessageAnswer::Cancel) return abandon();
    m_plan = plan;
    m_markers.clear();
    m_savedPartMarkers.clear();
    m_lastMarker = 0;
    m_markersOfRun = true;
    m_logPath.clear();
    m_newestMs = 0;
    // A run that saves its own logs knows their names from the start.
    const bool named = !plan.target.empty() && (plan.continuous || plan.saveLastPart);
    m_logName = named ? fileNameOf(partPath(0)) : std::string();
    m_journal.setTarget(named ? partPath(0) : std::string());
    m_runTunes = {{0, m_unitHash}};
    m_jobsSeen = 0;
    tunesOfPart();
    // The journal hears of everything first, when the run keeps one.
    m_consumers.erase(std::remove(m_consumers.begin(), m_consumers.end(), &m_journal),
                      m_consumers.end());
    if (plan.journal && !m_journal.folder().empty())
        m_consumers.insert(m_consumers.begin(), &m_journal);
    for (LiveConsumer* c : m_consumers)
        c->runStarted();
    m_log->IncludeGroup = plan.include;
    if (std::none_of(plan.include.begin(), plan.include.end(), [](bool on) { return on; }))
        return abandon();

    m_running = true;
    m_end = LiveRunEnd::Stopped;
    m_endProblem.clear();
    m_journalProblem.clear();
    m_part = 0;
    m_presented = 0;
    m_lastSecond = -1;

    PollingPlan polling{plan.include, m_layout.layout.live, m_layout.trace,
                        plan.aux,     plan.mostSamples,     std::nullopt};
    if (plan.mostSeconds) polling.mostMs = std::int64_t{*plan.mostSeconds} * 1000;
    // Only a run whose logs have somewhere to go goes on past a full one.
    m_handoff.reset(plan.continuous && !plan.target.empty());
    m_log->publish(0);
    m_line.link.ComFlush();
    SerialPort& port = m_line.link.port();
    std::function<void()> letGo;
    if (void* handle = thread.handle()) {
        port.moveToThread(handle);
        letGo = [&port] { port.moveToThread(nullptr); };
    }
    m_polling.prepare(polling, *m_log, *m_spare, std::move(letGo));
    m_line.link.setLineOwner(&m_handoff);
    m_thread = &thread;
    thread.start([this] { return m_polling.cycle(); });
    return true;
}

LiveSample LiveRun::sampleAt(int s) const {
    LiveSample sample;
    for (int item = 0; item < kTraceItemCount; ++item)
        sample.value[static_cast<std::size_t>(item)] = m_log->LogData(item, s);
    const std::uint8_t flags = m_log->sensorFlags(s);
    for (std::size_t k = 0; k < sample.sensorFlag.size(); ++k)
        sample.sensorFlag[k] = ((flags >> k) & 1) != 0;
    return sample;
}

void LiveRun::presentPublished() {
    const int published = m_log->published();
    const int before = m_presented;
    for (int s = m_presented; s < published; ++s) {
        const LiveSample values = sampleAt(s);
        const std::int32_t ms = m_log->LogTime(s);
        const bool refresh = ms / 1000 > m_lastSecond;
        m_lastSecond = ms / 1000;
        m_presented = s + 1;
        m_newestMs = ms;
        m_log->LogUnsaved = true;
        handOn({s, m_part, ms, values, refresh});
    }
    if (m_presented == before) return;
    for (LiveConsumer* c : m_consumers)
        c->framePresented();
}

void LiveRun::handOn(const PublishedSample& sample) {
    for (LiveConsumer* c : m_consumers)
        c->samplePublished(sample);
}

bool LiveRun::partGoesOn() const {
    return m_presented >= LogStore::kMaxRunSamples && m_handoff.spareSamples() > 0;
}

void LiveRun::present() {
    if (!m_running) return;
    // Read first: whatever the worker published before it finished is then seen below.
    const bool workerDone = m_handoff.finished();
    presentPublished();
    if (partGoesOn() && !saveFullPart()) return;
    if (workerDone) finish();
}

void LiveRun::presentUntilOver(const std::function<void()>& everyFrame) {
    while (m_running) {
        m_handoff.waitForNews(kFrameMs);
        present();
        if (everyFrame) everyFrame();
    }
}

std::string LiveRun::partPath(int part) const {
    return std::filesystem::absolute(continuedLogPath(m_plan.target, part)).string();
}

std::string LiveRun::write(const std::string& path, bool runGoesOn) {
    std::string markersError;
    std::string error =
        saveLogFile(*m_log, m_layout.trace, m_files, path,
                    [&](const std::string& written, std::string_view contents) {
                        // A log without its markers is not saved whole: its journal stays.
                        markersError = saveLogMarkers(m_files, written, m_markers);
                        if (!markersError.empty()) {
                            m_log->LogUnsaved = true;
                            return;
                        }
                        m_logPath = written;
                        m_logName = fileNameOf(written);
                        const SavedLog saved{written, contents, *m_log, m_part, runGoesOn, m_tunes};
                        for (LiveConsumer* c : m_consumers)
                            c->logSaved(saved);
                    });
    return error.empty() ? markersError : error;
}

bool LiveRun::saveFullPart() {
    m_log->LogLast = m_presented - 1;
    if (std::string error = write(partPath(m_part), true); !error.empty()) {
        // The full log stays in memory for Save As; what was polled since is given up.
        m_end = LiveRunEnd::NotSaved;
        m_endProblem = std::move(error);
        m_handoff.requestStop();
        m_thread->join();
        m_line.link.setLineOwner(nullptr);
        tellEnded();
        return false;
    }
    m_savedPartMarkers.resize(static_cast<std::size_t>(m_part) + 1);
    m_savedPartMarkers.back() = std::exchange(m_markers, {});
    m_logPath.clear();
    ++m_part;
    tunesOfPart();
    m_presented = 0;
    m_lastSecond = -1;
    m_log->LogLast = 0;
    // Nothing of the new part is published until the worker has moved it in.
    m_log->publish(0);
    m_journal.setTarget(partPath(m_part));
    m_logName = fileNameOf(partPath(m_part));
    for (LiveConsumer* c : m_consumers)
        c->partStarted(m_part);
    m_handoff.giveLogBack();
    return true;
}

void LiveRun::stop() {
    if (!m_running) return;
    m_handoff.requestStop();
    finish();
}

void LiveRun::finish() {
    m_thread->join();
    m_line.link.setLineOwner(nullptr);
    m_polling.settleAfterJoin();
    presentPublished();
    // A full log with samples polled after it: it is saved, and they are the next log's.
    while (partGoesOn()) {
        if (!saveFullPart()) return;
        m_polling.settleAfterJoin();
        presentPublished();
    }
    switch (m_handoff.end()) {
        case PollingEnd::Stopped:
            m_end = LiveRunEnd::Stopped;
            break;
        case PollingEnd::Full:
            m_end = LiveRunEnd::Full;
            break;
        case PollingEnd::UnitSilent:
            m_end = LiveRunEnd::UnitSilent;
            m_endProblem = m_handoff.problem();
            break;
    }
    m_log->LogLast = std::max(0, m_presented - 1);
    // A tune the unit took after the last sample is the next run's.
    while (m_tunes.size() > 1 && m_tunes.back().firstSample >= m_presented)
        m_tunes.pop_back();
    if (m_plan.saveLastPart) {
        if (m_presented == 0) {
            // Over just as a full log was saved: the run ended with that one.
            if (m_part == 0) m_end = LiveRunEnd::NothingRead;
        } else if (std::string error = write(partPath(m_part), false); !error.empty()) {
            m_end = LiveRunEnd::NotSaved;
            m_endProblem = std::move(error);
            if (!m_journalProblem.empty())
                m_endProblem += ". " + m_journalProblem + " What it holds is kept for recovery.";
        }
    }
    tellEnded();
}

std::string LiveRun::endMessage() const {
    switch (m_end) {
        case LiveRunEnd::Full:
            return "The log is full (" + std::to_string(LogStore::kMaxRunSamples) +
                   " samples): the run ended. Save it, or tick Continuous to go on into the next "
                   "file.";
        case LiveRunEnd::NotSaved:
            return m_endProblem + "\r\nThe run ended there; save the log with Save As.";
        default:
            return m_journalProblem;
    }
}

void LiveRun::tellEnded() {
    m_running = false;
    m_thread = nullptr;
    for (LiveConsumer* c : m_consumers)
        c->runEnded();
    // Why the run ended, once every sample before it shows.
    m_line.link.showHeldMessages();
}

void LiveRun::setContinuous(bool on) {
    m_plan.continuous = on;
    m_handoff.setContinuous(on && !m_plan.target.empty());
}

std::string LiveRun::save(const std::string& path) {
    stop();
    return write(path, false);
}

std::optional<MessageAnswer> LiveRun::checkUnsaved(UserPrompts& prompts,
                                                   const std::function<void()>& save) {
    const auto answer = CheckUnsavedLog(*m_log, prompts, save);
    // The user gives the log up: its journal goes with it.
    if (answer == MessageAnswer::No) m_journal.discard();
    return answer;
}

void LiveRun::unitHolds(const std::string& tuneHash) {
    m_unitHash = tuneHash;
    if (!m_running) return;
    const LiveHandoff::JobMark job = m_handoff.takeJobMarks();
    // Nothing was carried to the unit since it was last told (a write refused before its first
    // byte): what it holds counts from the next sample.
    const bool carried = job.jobs != m_jobsSeen;
    m_jobsSeen = job.jobs;
    const long now = m_handoff.samplesPolled();
    const auto first = static_cast<int>(carried ? job.firstSamplesBefore : now);
    const auto last = static_cast<int>(carried ? job.samplesBefore : now);
    if (m_runTunes.back().tuneHash == tuneHash) return;
    // A command of several packets goes out between samples: those polled while it went held a
    // mix of the two tunes.
    if (first < last) holdsFrom(first, "");
    holdsFrom(last, tuneHash);
    tunesOfPart();
}

void LiveRun::holdsFrom(int first, const std::string& tuneHash) {
    if (m_runTunes.back().tuneHash == tuneHash) return;
    // A tune no sample was polled on is dropped.
    if (m_runTunes.back().firstSample >= first) {
        m_runTunes.pop_back();
        if (!m_runTunes.empty() && m_runTunes.back().tuneHash == tuneHash) return;
    }
    m_runTunes.push_back({m_runTunes.empty() ? 0 : first, tuneHash});
}

void LiveRun::tunesOfPart() {
    const int base = m_part * LogStore::kMaxRunSamples;
    m_tunes.clear();
    for (const TuneSegment& segment : m_runTunes) {
        if (segment.firstSample <= base)
            m_tunes = {{0, segment.tuneHash}};
        else
            m_tunes.push_back({segment.firstSample - base, segment.tuneHash});
    }
}

void LiveRun::logReplaced(const std::string& path, LogTunes tunes, std::vector<LogMarker> markers) {
    m_logPath = path;
    m_logName = fileNameOf(path);
    m_tunes = std::move(tunes);
    m_markers = std::move(markers);
    m_markersOfRun = false;
    for (LiveConsumer* c : m_consumers)
        c->logReplaced();
}

std::optional<LogMarker> LiveRun::addMarker() {
    if (!m_running) return std::nullopt;
    const LogMarker marker{++m_lastMarker, static_cast<double>(m_newestMs) / 1000.0, {}};
    m_markers.push_back(marker);
    for (LiveConsumer* c : m_consumers)
        c->markerSet(marker);
    return marker;
}

std::string LiveRun::setMarkerNote(int number, std::string_view note) {
    if (!m_markersOfRun) return {};
    const auto numbered = [number](std::vector<LogMarker>& markers) {
        const auto at = std::find_if(markers.begin(), markers.end(),
                                     [number](const LogMarker& m) { return m.number == number; });
        return at == markers.end() ? nullptr : &*at;
    };
    if (LogMarker* marker = numbered(m_markers)) {
        marker->note = markerNoteText(note);
        for (LiveConsumer* c : m_consumers)
            c->markerSet(*marker);
        // The run's last part may be on disk already: the note follows it there.
        if (!m_running && !m_logPath.empty() && !m_log->LogUnsaved)
            return saveLogMarkers(m_files, m_logPath, m_markers);
        return {};
    }
    for (std::size_t part = 0; part < m_savedPartMarkers.size(); ++part)
        if (LogMarker* marker = numbered(m_savedPartMarkers[part])) {
            marker->note = markerNoteText(note);
            return saveLogMarkers(m_files, partPath(static_cast<int>(part)),
                                  m_savedPartMarkers[part]);
        }
    return {};
}

}  // namespace tunalyx
