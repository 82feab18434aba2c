#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "monitor/live_consumer.h"
#include "monitor/log_markers.h"
#include "monitor/log_writer.h"
#include "ports/file_writer.h"
#include "ports/user_prompts.h"

namespace tunalyx {

// A run's samples on disk as they are logged, so that a crash, a killed process or a pulled
// power cord loses at most the last second. A journal is one line of its own followed by the log
// file the run would be saved as, line by line; before the first sample of each tune the unit
// held comes a tune line of the journal's own ("TUNALYX-TUNE", TAB, the sample, TAB, the hash),
// and each marker set or given a note is a line of its own ("TUNALYX-MARKER", TAB, its line as
// the markers file has it; a later line of the same number replaces an earlier one).
// Saving the log removes it, so a journal still there on the next start belongs to a run that
// was never saved.
class LogJournal final : public LiveConsumer {
public:
    // Journals go in `folder` (made when missing); the lines come from `log`, `items` and the
    // run's `tunes`.
    LogJournal(std::string folder, const LogStore& log, const TraceItems& items,
               const LogTunes& tunes = kNoTunes);
    // Closes the journal and keeps it: a run that ends without a save may still be recovered.
    ~LogJournal() override;
    LogJournal(const LogJournal&) = delete;
    LogJournal& operator=(const LogJournal&) = delete;

    // Where the run's log is meant to go, told when it is recovered; empty when not known.
    void setTarget(std::string path) { m_target = std::move(path); }
    // Told once a run when the journal cannot be written (a full disk, a folder that takes no
    // files); logging goes on in memory.
    std::function<void(const std::string& message)> failed;

    [[nodiscard]] const std::string& folder() const { return m_folder; }
    // What went wrong when it last failed: "cannot be written (No space left on device)".
    [[nodiscard]] const std::string& problem() const { return m_problem; }

    // A new run (or the next file of a continuous one) starts a journal of its own; a journal
    // left from a run the user chose not to save goes.
    void runStarted() override;
    void samplePublished(const PublishedSample& sample) override;
    void runEnded() override;
    // Written at once: a marker is set at a moment the user wants to find again.
    void markerSet(const LogMarker& marker) override;
    // The run's log was saved: its journal goes.
    void logSaved(const SavedLog& /*saved*/) override { saved(); }

    void saved();
    // The run's log was given up: its journal goes too.
    void discard();
    // The journal being written, empty before the run's first sample.
    [[nodiscard]] const std::string& path() const { return m_path; }

private:
    static inline const LogTunes kNoTunes;
    bool open();
    void flush();
    void fail(const std::string& what, int error);
    void close();

    std::string m_folder;
    const LogStore& m_log;
    const TraceItems& m_items;
    std::string m_target;
    std::string m_path;
    std::FILE* m_file = nullptr;
    const LogTunes& m_tunes;
    std::size_t m_tunesWritten = 0;
    std::vector<LogColumn> m_columns;
    std::string m_pending;  // lines not yet handed to the disk
    bool m_failed = false;  // this run's journal gave up
    std::string m_problem;
};

// A journal of a run that was never saved.
struct UnsavedJournal {
    std::string path;
    std::string started;  // local time of the run's first sample, "2026-12-06 14:32:05"
    std::string target;   // where the log was meant to go, empty when not known
    long samples = 0;     // whole sample lines
};
// The unsaved journals in `folder` that hold at least one sample and that no running program
// holds (its run may still be saved; on Windows a journal is not held), newest first.
[[nodiscard]] std::vector<UnsavedJournal> unsavedJournals(const std::string& folder);

// The log file a journal holds: every whole line, a line cut in the middle left out.
struct RecoveredLog {
    std::string text;
    long samples = 0;
    LogTunes tunes;  // as the journal's tune lines give them
    std::vector<LogMarker> markers;
    bool cut = false;     // the last line was cut off and left out
    std::string problem;  // why nothing could be recovered; empty when `text` holds the log
};
[[nodiscard]] RecoveredLog recoverJournalText(const std::string& journalText,
                                              const std::string& name);
[[nodiscard]] RecoveredLog recoverJournal(const std::string& path);

// "Recover the log of 14:32, 12,345 samples?" (the date too when it was not today).
[[nodiscard]] std::string recoveryQuestion(const UnsavedJournal& journal, const std::string& today);
// Beside `path`, the first name no file has of PATH`suffix`, PATH`suffix`-2, ... (the suffix
// before the extension): LOG-recovered.txt, LOG-recovered-2.txt; with no suffix LOG.txt, LOG-2.txt.
[[nodiscard]] std::string freeSuffixedPath(const std::string& path, std::string_view suffix);
// Where a recovered log goes when no place is asked for: the file it was meant to be when that
// is known and free, otherwise a name from its start time in `logsFolder` that is not taken.
[[nodiscard]] std::string recoveredLogPath(const UnsavedJournal& journal,
                                           const std::string& logsFolder);
// Writes a journal's log to `out`, or beside it to the first free of OUT-recovered.txt,
// OUT-recovered-2.txt, ... when a file is there already, with its markers file, and removes the
// journal once the log is written. The message for the user: where the log went and how many
// samples it holds, or why it could not be recovered (the journal stays).
struct RecoveryResult {
    bool recovered = false;
    std::string message;
    std::string path;  // where the log was written
    std::string text;  // the log written
    LogTunes tunes;    // which tune the unit held for its samples
};
[[nodiscard]] RecoveryResult recoverTo(const UnsavedJournal& journal, const std::string& out,
                                       FileWriter& writer);

// On start-up: each unsaved journal is offered; Yes writes its log (and `saved` is told), No
// drops it. Returns the logs written.
std::vector<std::string> offerJournalRecovery(
    const std::string& journalFolder, const std::string& logsFolder, UserPrompts& prompts,
    FileWriter& writer,
    const std::function<void(const std::string& path, std::string_view text,
                             const LogTunes& tunes)>& saved);

// The folder journals live in, under the user's files folder.
[[nodiscard]] std::string journalFolderOf(const std::string& filesFolder);
// "12,345"
[[nodiscard]] std::string groupedCount(long n);

}  // namespace tunalyx
