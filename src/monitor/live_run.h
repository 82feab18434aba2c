#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "auxinputs/aux_calibration.h"
#include "monitor/live_consumer.h"
#include "monitor/live_polling.h"
#include "monitor/log_journal.h"
#include "monitor/log_store.h"
#include "monitor/log_tunes.h"
#include "monitor/polling_thread.h"
#include "ports/clock.h"
#include "ports/file_writer.h"
#include "ports/user_prompts.h"
#include "session/unit_line.h"
#include "versions/tune.h"

namespace tunalyx {

// How a run is to go. The rest comes from the line and the tune in force.
struct LiveRunPlan {
    std::array<bool, kTraceGroupCount> include{};
    AuxCalibration aux;
    // Where the run's logs go: LOG.txt, then LOG-001.txt, LOG-002.txt, ... as full logs are
    // saved. Empty: the user saves the log when the run is over (a continuous run needs one).
    std::string target;
    bool continuous = false;    // a full log is saved and the run goes on in the next
    bool saveLastPart = false;  // the last log is saved too, whatever ended the run
    bool journal = true;        // kept on disk as it goes, for recovery after a crash
    // A journal that can no longer be written (a full disk) ends the run there, keeping what was
    // journaled and saving what it can, rather than polling on into memory that nothing can save
    // (the command line's runs).
    bool endWhenJournalFails = false;
    std::optional<long> mostSamples;
    std::optional<long> mostSeconds;
    // The start's checks: the unit identified (its layout applied to the tune in force), and
    // the log not yet saved (Cancel abandons the start).
    std::function<bool()> identify;
    std::function<std::optional<MessageAnswer>()> checkUnsaved;
};

// How the last run ended.
enum class LiveRunEnd {
    Stopped,      // a stop, or the plan's limits
    Full,         // the log filled up and the run was not to go on
    UnitSilent,   // a read failed; what was read before is kept
    NothingRead,  // the last log got no whole sample, and was not saved
    NotStarted,   // the port was busy, a check failed or no group was included
    NotSaved,     // a log could not be saved (see endProblem); the run ended there
};

// CheckUnsavedLog: nothing when the log is saved; otherwise the question with Yes, No and
// Cancel. Yes runs `save`, and counts as Cancel when the log is still unsaved afterwards.
[[nodiscard]] std::optional<MessageAnswer> CheckUnsavedLog(LogStore& log, UserPrompts& prompts,
                                                           const std::function<void()>& save);

// The live run: the one poller of live data and everything a run does. It owns the log store
// and its spare, the journal, the parts of a continuous run and their saving, and hands every
// published sample to its consumers.
//
// Threads. The polling runs on the thread the run is handed (LivePolling, the worker side),
// back to back, and owns the line while it runs: transfers other threads start meanwhile go out
// on it between two samples. Everything else runs on the thread that started the run, the
// presenting side: present() hands on what was published since the last frame, saves a full log
// while the worker polls on into the spare, and finishes the run once the worker is done. The
// two sides meet only in the LiveHandoff and in the log store's published samples.
class LiveRun final : public UnitTuneSink {
public:
    // `layout` is the tune in force: its live commands and item names at the start, its item
    // names when a log is saved. Journals go in `journalFolder` (none when empty).
    LiveRun(UnitLine& line, const Tune& layout, Clock& clock, FileWriter& files,
            std::string journalFolder);
    // A run still going is stopped; nobody is told.
    ~LiveRun() override;
    LiveRun(const LiveRun&) = delete;
    LiveRun& operator=(const LiveRun&) = delete;

    // The log: what the run publishes while it goes, all of it once it is over. An opened log
    // file is read into it too (then tell logReplaced).
    [[nodiscard]] LogStore& log() { return *m_log; }
    [[nodiscard]] const LogStore& log() const { return *m_log; }

    // Consumers are told in the order they were added; the journal comes first.
    void addConsumer(LiveConsumer* consumer);
    void removeConsumer(LiveConsumer* consumer);

    // cmdLogStart_Click: the checks, the consumers' reset, and the worker on `thread`, which
    // must stay until the run is over. False when nothing is to be polled.
    bool start(const LiveRunPlan& plan, PollingThread& thread);
    // A frame: the samples published since the last one to the consumers, a full log saved, and
    // the end of the run once the worker is done.
    void present();
    // Frames until the run is over, on the calling thread (the command line's); `everyFrame`
    // after each.
    void presentUntilOver(const std::function<void()>& everyFrame);
    // cmdLogStop_Click: the run ends after the cycle on the wire, and is over on return.
    void stop();
    // A stop from anywhere (a signal's flag seen by the command line); the next frame ends it.
    void requestStop() { m_handoff.requestStop(); }

    [[nodiscard]] bool running() const override { return m_running; }
    [[nodiscard]] LiveRunEnd end() const { return m_end; }
    // Why a log could not be saved, with LiveRunEnd::NotSaved; with UnitSilent, a reply of the
    // wrong length, which the line does not tell (empty for silence, which it does).
    [[nodiscard]] const std::string& endProblem() const { return m_endProblem; }
    // What the user is told of how the run ended, empty when there is nothing to tell (a stop, or
    // a silent unit, whose message the line shows).
    [[nodiscard]] std::string endMessage() const;
    // The part being logged, 0 for the first.
    [[nodiscard]] int part() const { return m_part; }
    // Samples of this part handed on so far.
    [[nodiscard]] int samplesPresented() const { return m_presented; }
    // Log > Continuous, read by the worker whenever the log fills.
    void setContinuous(bool on);

    // The user's Save As of the log in memory (a run is stopped first). The error, empty on
    // success; the consumers are told of the file.
    [[nodiscard]] std::string save(const std::string& path);
    // CheckUnsavedLog with the user's Save; No gives the log up, and its journal goes.
    [[nodiscard]] std::optional<MessageAnswer> checkUnsaved(UserPrompts& prompts,
                                                            const std::function<void()>& save);
    // The log file at `path` was read into the log store; `tunes` are what the history knows of
    // the tunes it ran on, `markers` what its markers file holds.
    void logReplaced(const std::string& path, LogTunes tunes = {},
                     std::vector<LogMarker> markers = {});

    // Log > Set Marker: the run's next marker (numbers go on across its parts) at the time of
    // the newest sample handed on, in the part being logged. Nothing when no run is going.
    std::optional<LogMarker> addMarker();
    // A marker of the last run gets its note; one of a log already saved is written into its
    // markers file at once. The error text, empty on success.
    [[nodiscard]] std::string setMarkerNote(int number, std::string_view note);
    // The markers of the log in memory, in the order of their numbers; saved beside it.
    [[nodiscard]] const std::vector<LogMarker>& markers() const { return m_markers; }
    // The file the log in memory was saved as, opened from or is being logged into; empty for
    // a log never saved.
    [[nodiscard]] const std::string& logName() const { return m_logName; }
    // The whole path of the file the log in memory was saved as or read from; empty while the
    // log in memory is not that file's contents (a run going, or one never saved).
    [[nodiscard]] const std::string& logPath() const { return m_logPath; }
    // Which tune the unit held for each sample of the log in memory (of the part being logged);
    // empty when not known.
    [[nodiscard]] const LogTunes& tunes() const { return m_tunes; }
    // What the unit holds from the next sample polled after the last command carried to it (a
    // write, Update or restore during a run), or from the next run's first sample.
    void unitHolds(const std::string& tuneHash) override;

    // The journal could not be written (a full disk); the run goes on. Told once a run.
    std::function<void(const std::string& message)> journalFailed;
    [[nodiscard]] const LogJournal& journal() const { return m_journal; }

private:
    void presentPublished();
    // One whole sample to every consumer, the journal first.
    void handOn(const PublishedSample& sample);
    [[nodiscard]] LiveSample sampleAt(int s) const;
    // The log is full and the worker polls on into the spare.
    [[nodiscard]] bool partGoesOn() const;
    // Saves the full log and begins the next part; false when it could not be saved.
    bool saveFullPart();
    [[nodiscard]] std::string partPath(int part) const;
    // Writes the log as `path`, tells the consumers. The error, empty on success.
    std::string write(const std::string& path, bool runGoesOn);
    void finish();
    void tellEnded();
    // The unit holds `tuneHash` from the run's sample `first` on.
    void holdsFrom(int first, const std::string& tuneHash);
    // The run's tunes as the log of the part being logged numbers its samples.
    void tunesOfPart();

    UnitLine& m_line;
    const Tune& m_layout;
    FileWriter& m_files;
    std::unique_ptr<LogStore> m_log;
    std::unique_ptr<LogStore> m_spare;
    LogTunes m_tunes;
    LogJournal m_journal;
    std::vector<LiveConsumer*> m_consumers;

    LiveHandoff m_handoff;
    LivePolling m_polling;  // the worker's, from start to the end of the run
    PollingThread* m_thread = nullptr;

    // The presenting side.
    LiveRunPlan m_plan;
    bool m_running = false;
    LiveRunEnd m_end = LiveRunEnd::NotStarted;
    std::string m_endProblem;
    std::string m_journalProblem;  // why the journal ended the run, empty when it did not
    int m_part = 0;
    int m_presented = 0;
    std::int64_t m_lastSecond = -1;
    std::string m_logName;
    std::string m_unitHash;
    LogTunes m_runTunes;  // numbered by the samples of the whole run, across its parts
    long m_jobsSeen = 0;
    std::int32_t m_newestMs = 0;  // the time of the newest sample handed on
    std::vector<LogMarker> m_markers;
    std::vector<std::vector<LogMarker>> m_savedPartMarkers;  // of the run's parts saved, by part
    int m_lastMarker = 0;
    bool m_markersOfRun = false;  // the markers in memory are the last run's
    std::string m_logPath;
};

}  // namespace tunalyx
