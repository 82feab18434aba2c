#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "monitor/live_consumer.h"
#include "monitor/log_tunes.h"
#include "ports/file_writer.h"
#include "ports/user_prompts.h"
#include "versions/tune.h"

namespace tunalyx {

// Every tune the program read, wrote, opened, saved or auto-tuned is kept, so that the one that
// ran well last week can be found and brought back; logs are linked to the tune the unit held.
//
// The History folder holds one data file per distinct tune, named by the content hash of its
// data-file text ("<hash>.dat", notes included), and "index.txt": one TAB-separated line per
// event, only ever appended, nothing pruned.
//   tune  ID  TIME  ACTION  UNIT  VERSION  FILE  HASH  NOTES  [RISKS]   a snapshot
//   log   TIME  FILE  HASH  ID|unknown  [TUNES]                a log saved while the unit held ID
// ID is the snapshot's number, 1, 2, 3 ... in the order recorded: short, and it never changes.
// TIME is local time "YYYY-MM-DD HH:MM:SS". NOTES is the first line of the notes. RISKS, when
// there, is every risk the user accepted to send the tune, "; " between them. TUNES, when
// there, is every tune the log ran on: "SAMPLE:HASH" from the sample on, blank-separated, an
// empty HASH for a tune not known ("0:0a1b2c3d4e5f6a7b 1200: 1350:7b6a5f4e3d2c1b0a"); a line
// without it ran on ID (or an unknown tune) from its first sample.
// Tunes kept during one live run carry the same ACTION, "Live session from HH:MM:SS", and are
// listed as one entry.

// 64-bit FNV-1a of the bytes, as 16 lower-case hexadecimal digits.
[[nodiscard]] std::string contentHash(std::string_view bytes);

struct TuneSnapshot {
    int id = 0;
    std::string time;
    std::string action;  // "Read All", "Write All", "Update", "Write Map", "Write", "Open", ...
    std::string unit;    // the program name and version text the session knew
    std::string version;
    std::string file;  // the caption's file name
    std::string notesLine;
    std::string hash;
    bool missing = false;                    // its data file is not in the folder
    std::vector<std::string> acceptedRisks;  // accepted to send it: "Ign Map N14 P17: 18 -> 23 ..."
};

// "Accepted risk: Ign Map N14 P17: 18 -> 23 degrees (+5)", a line each, as the entry shows them.
[[nodiscard]] std::vector<std::string> acceptedRiskLines(const TuneSnapshot& snapshot);

struct LogLink {
    std::string time;
    std::string file;
    std::string hash;  // of the log file's contents
    int tune = 0;      // the snapshot the unit held when it was saved; 0 when unknown
    LogTunes tunes;    // every tune the log ran on, by sample
    // The snapshot of each of `tunes`: the last kept with that hash before the log was; 0 when
    // not known or never kept.
    std::vector<int> tuneIds;
};

struct HistoryIndex {
    std::vector<TuneSnapshot> snapshots;  // in the order recorded
    std::vector<LogLink> logs;
    // One message for each damaged line skipped: the file, the line number and what is wrong.
    std::vector<std::string> problems;

    [[nodiscard]] const TuneSnapshot* find(int id) const;
    // The logs that ran on tune `id` for some of their samples, in the order saved.
    [[nodiscard]] std::vector<LogLink> logsOf(int id) const;
    // The last link of a log with these contents, if it was ever saved here.
    [[nodiscard]] const LogLink* logWithHash(std::string_view hash) const;
    [[nodiscard]] int largestId() const;

    // Built by the reader, so that a long history reads and lists in time that grows with its
    // length: where each ID is in `snapshots`, and the logs of each tune hash.
    std::unordered_map<int, std::size_t> byId;
    std::unordered_map<std::string, std::vector<std::size_t>> logsByHash;
};

// An entry of the history as the user reads it: one snapshot, or every tune kept during one live
// run (all of them restorable by their own IDs).
struct HistoryEntry {
    std::vector<int> ids;  // in the order recorded
    std::string action;    // "Live session from 14:32:05, 3 tunes sent (Update)" for a live run
};
[[nodiscard]] std::vector<HistoryEntry> historyEntries(const HistoryIndex& index);

// The tunes the history knows a log with these contents ran on; empty when never saved here.
[[nodiscard]] LogTunes logTunesOf(const HistoryIndex& index, std::string_view logContents);
// The same, by the content hash of the log.
[[nodiscard]] LogTunes logTunesOfHash(const HistoryIndex& index, std::string_view logHash);

// Reads index text; a damaged line is skipped and told in `problems`, naming `indexName`.
[[nodiscard]] HistoryIndex parseHistoryIndex(std::string_view text, const std::string& indexName);

inline constexpr const char* kNoEarlierTuneLog = "No log of an earlier tune is in the history.";
// The log to lay over a shown log to see what the last change of tune did: the newest log saved
// before it that ran on the tune its own tune replaced (the snapshot before it with other
// contents), else the newest earlier log that ran on another tune. Nothing when the shown log
// (by the hash of its contents) was never saved here or its tune is not known.
[[nodiscard]] const LogLink* logOfPreviousTune(const HistoryIndex& index,
                                               std::string_view shownLogHash);

// That log found on disk: the history keeps file names only, so it is looked for in the folder of
// the shown log, then in the Logs folder, and taken only with the contents it was saved with.
struct PreviousTuneLog {
    std::string path;     // empty when not found
    std::string message;  // why not: no such log, or its file gone
    const LogLink* link = nullptr;
};
[[nodiscard]] PreviousTuneLog findLogOfPreviousTune(const HistoryIndex& index,
                                                    const std::string& shownLogPath,
                                                    const std::string& logsFolder);

// "ran on tune 5 (Write All, 2026-12-06 22:10:03)", "ran on an unknown tune", "ran on tune 5
// (...) then tune 7 (...)", "ran on 4 tunes, from tune 5 (...) to tune 9 (...)", or empty when
// the log was never saved while this history was kept.
[[nodiscard]] std::string logTuneText(const HistoryIndex& index, std::string_view logContents);

// The History folder of a files folder: beside Maps and Logs.
[[nodiscard]] std::string historyFolderOf(const std::string& filesFolder);

// The folder and its files. Writing a data file goes through the FileWriter (whole or not at all);
// an index line is appended and flushed to disk in one write, so a crash can cut at most the
// line being written, never an earlier one.
class TuneHistory {
public:
    TuneHistory(
        std::string folder, FileWriter& writer,
        std::function<std::time_t()> now = [] { return std::time(nullptr); });

    [[nodiscard]] const std::string& folder() const { return m_folder; }
    [[nodiscard]] std::string indexPath() const;
    [[nodiscard]] std::string snapshotPath(const std::string& hash) const;

    // The index as it is on disk now, each snapshot checked for its data file.
    [[nodiscard]] HistoryIndex load() const;
    // Local time by the history's clock, "YYYY-MM-DD HH:MM:SS".
    [[nodiscard]] std::string now() const;

    struct Recorded {
        int id = 0;         // 0 when nothing was recorded
        std::string error;  // why not
    };
    // A snapshot of the tune's image and notes, with the risks accepted to send it. A tune kept
    // before costs one index line.
    Recorded recordSnapshot(const Tune& tune, const std::string& action, const std::string& file,
                            const std::vector<std::string>& acceptedRisks = {});
    // A log saved while the unit held snapshot `tune` (0: unknown), that ran on `tunes` (none:
    // on `tune` throughout). Returns an error, empty on success.
    std::string recordLog(const std::string& logPath, std::string_view contents, int tune,
                          const LogTunes& tunes = {});

    // The data-file text of a snapshot, or nothing and why (its file missing or altered).
    [[nodiscard]] std::optional<std::string> snapshotText(const HistoryIndex& index, int id,
                                                          std::string& error) const;

private:
    [[nodiscard]] HistoryIndex readIndex() const;
    std::string appendLine(const std::string& line);

    std::string m_folder;
    FileWriter& m_writer;
    std::function<std::time_t()> m_now;
};

// What the unit holds, as far as this program knows: the snapshot last read from it or written to
// it since the program started. Unknown before that, and once the unit may have changed since: a
// write that failed or was cancelled, Initialise, another unit identified.
class UnitTune {
public:
    [[nodiscard]] int snapshot() const { return m_snapshot; }  // 0: unknown
    // The content hash of the tune, empty when unknown (known even when it could not be kept).
    [[nodiscard]] const std::string& hash() const { return m_hash; }
    void held(int snapshot, std::string hash, std::string identity) {
        m_snapshot = snapshot;
        m_hash = std::move(hash);
        m_identity = std::move(identity);
    }
    void forget() {
        m_snapshot = 0;
        m_hash.clear();
    }
    // A unit answered with this identity: another unit's tune is not known.
    void identified(const std::string& identity) {
        if (identity != m_identity) forget();
    }

private:
    int m_snapshot = 0;
    std::string m_hash;
    std::string m_identity;
};

// What a command with the unit did to the tune it holds.
enum class UnitCommand {
    ReadPart,    // Read Map, a frame's Read: the unit is as it was
    ReadWhole,   // Read All: the image is what the unit holds
    Write,       // Write All, Update, Write Map, a frame's Write: the unit holds the image now
    HeldBack,    // a write held back before its first byte: the unit is as it was
    Initialise,  // the unit's data are gone
};

// Records the program's actions into a history: what the main window and the command line hold.
// Only what succeeded is recorded. A history that cannot be written never stops the action; the
// user is told once. It follows the live run: it tells the run what the unit holds after every
// command, keeps the tunes written during a run as one live session, and links the logs the run
// saves to every tune they ran on.
class TuneRecorder final : public LiveConsumer {
public:
    TuneRecorder(TuneHistory& history, UserPrompts& prompts)
        : m_history(history), m_prompts(prompts) {}

    [[nodiscard]] TuneHistory& history() { return m_history; }
    [[nodiscard]] const UnitTune& unit() const { return m_unit; }

    // After a command with the unit, named `action` in the history; `file` is the caption's. A
    // write keeps the risks the user accepted to send it.
    void afterUnitCommand(const Tune& tune, const std::string& file, UnitCommand command,
                          const std::string& action, bool succeeded,
                          const std::vector<std::string>& acceptedRisks = {});
    // Open, Save, Auto Tune: a snapshot; the unit keeps what it holds.
    void snapshot(const Tune& tune, const std::string& file, const std::string& action);
    // A log saved: linked to the tune the unit holds, or to the tunes it is known to have run on.
    void logSaved(const std::string& path, std::string_view contents, const LogTunes& tunes = {});
    void logSaved(const SavedLog& saved) override {
        logSaved(saved.path, saved.contents, saved.tunes);
    }
    void followRun(UnitTuneSink* run) override;
    void runStarted() override { m_session.clear(); }
    void partStarted(int /*part*/) override {}

private:
    TuneHistory::Recorded record(const Tune& tune, const std::string& file,
                                 const std::string& action,
                                 const std::vector<std::string>& acceptedRisks = {});
    void tell(const std::string& error);
    void unitChanged();

    TuneHistory& m_history;
    UserPrompts& m_prompts;
    UnitTune m_unit;
    bool m_told = false;
    UnitTuneSink* m_run = nullptr;
    std::string m_session;  // the live run's action, once something was written during it
    std::unordered_map<std::string, int> m_sessionTunes;  // kept during it, by hash
};

// The identity a unit answered with, as the session keeps it.
[[nodiscard]] std::string unitIdentity(const Tune& tune);

// The newest snapshot a read from or a write to the unit identified as `identified` kept: what it
// held when this program last knew. Nothing when there is none.
[[nodiscard]] const TuneSnapshot* lastUnitSnapshot(const HistoryIndex& index,
                                                   const Tune& identified);

}  // namespace tunalyx
