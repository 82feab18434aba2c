#include "history/tune_history.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "monitor/log_reader.h"
#include "ports/local_time.h"
#include "ports/whole_file.h"
#include "transfer/data_file.h"
#include "versions/tune_file.h"

namespace tunalyx {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTuneLine = "tune";
constexpr std::string_view kLogLine = "log";
constexpr std::size_t kTuneFields = 9;  // and the accepted risks, when there are any
constexpr std::size_t kLogFields = 5;
constexpr std::string_view kUnknown = "unknown";
constexpr std::string_view kLiveSession = "Live session from ";
constexpr std::string_view kRiskSeparator = "; ";
// An index of a lifetime of tuning is a few megabytes; anything far larger is not one.
constexpr std::uintmax_t kLargestIndex = 256ull * 1024 * 1024;

std::vector<std::string_view> tabFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos) return fields;
        line.remove_prefix(tab + 1);
    }
}

// A field never holds the characters that end fields and lines.
std::string field(std::string_view text) {
    std::string out(text);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return out;
}

bool isHash(std::string_view text) {
    return text.size() == 16 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

// "YYYY-MM-DD HH:MM:SS"
bool isTime(std::string_view text) {
    constexpr std::string_view kShape = "0000-00-00 00:00:00";
    if (text.size() != kShape.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == '0' ? !digit : text[i] != kShape[i]) return false;
    }
    return true;
}

std::optional<int> tuneId(std::string_view text) {
    int id = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (ec != std::errc() || end != text.data() + text.size() || id < 1) return std::nullopt;
    return id;
}

// "0:HASH 1200: 1350:HASH": sample numbers rising from 0, each hash 16 digits or empty.
std::optional<LogTunes> parseLogTunes(std::string_view text) {
    LogTunes tunes;
    while (!text.empty()) {
        const std::size_t blank = text.find(' ');
        const std::string_view item = text.substr(0, blank);
        text.remove_prefix(blank == std::string_view::npos ? text.size() : blank + 1);
        const std::size_t colon = item.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        int first = -1;
        const auto [end, ec] = std::from_chars(item.data(), item.data() + colon, first);
        const std::string_view hash = item.substr(colon + 1);
        if (ec != std::errc() || end != item.data() + colon || (!hash.empty() && !isHash(hash)))
            return std::nullopt;
        if (tunes.empty() ? first != 0 : first <= tunes.back().firstSample) return std::nullopt;
        tunes.push_back({first, std::string(hash)});
    }
    if (tunes.empty()) return std::nullopt;
    return tunes;
}

std::string logTunesText(const LogTunes& tunes) {
    std::string text;
    for (const TuneSegment& t : tunes)
        text += (text.empty() ? "" : " ") + std::to_string(t.firstSample) + ":" + t.tuneHash;
    return text;
}

// What is wrong with a line, empty when it was taken.
std::string readIndexLine(std::string_view line, HistoryIndex& index) {
    const std::vector<std::string_view> f = tabFields(line);
    if (f[0] == kTuneLine) {
        if (f.size() != kTuneFields && f.size() != kTuneFields + 1)
            return "a tune line has " + std::to_string(kTuneFields) + " or " +
                   std::to_string(kTuneFields + 1) + " fields, this one " +
                   std::to_string(f.size());
        const auto id = tuneId(f[1]);
        if (!id) return "the tune number is not a number from 1 up";
        if (!isTime(f[2])) return "the time is not YYYY-MM-DD HH:MM:SS";
        if (!isHash(f[7])) return "the hash is not 16 hexadecimal digits";
        if (!index.byId.emplace(*id, index.snapshots.size()).second)
            return "tune " + std::to_string(*id) + " is there twice";
        index.snapshots.push_back({*id,
                                   std::string(f[2]),
                                   std::string(f[3]),
                                   std::string(f[4]),
                                   std::string(f[5]),
                                   std::string(f[6]),
                                   std::string(f[8]),
                                   std::string(f[7]),
                                   false,
                                   {}});
        for (std::string_view risks = f.size() > kTuneFields ? f[kTuneFields] : "";
             !risks.empty();) {
            const std::size_t end = risks.find(kRiskSeparator);
            index.snapshots.back().acceptedRisks.emplace_back(risks.substr(0, end));
            risks.remove_prefix(end == std::string_view::npos ? risks.size()
                                                              : end + kRiskSeparator.size());
        }
        return {};
    }
    if (f[0] == kLogLine) {
        if (f.size() != kLogFields && f.size() != kLogFields + 1)
            return "a log line has " + std::to_string(kLogFields) + " or " +
                   std::to_string(kLogFields + 1) + " fields, this one " + std::to_string(f.size());
        if (!isTime(f[1])) return "the time is not YYYY-MM-DD HH:MM:SS";
        if (!isHash(f[3])) return "the hash is not 16 hexadecimal digits";
        const auto id = f[4] == kUnknown ? std::optional<int>(0) : tuneId(f[4]);
        if (!id) return "the tune is neither a number from 1 up nor unknown";
        LogLink link{std::string(f[1]), std::string(f[2]), std::string(f[3]), *id, {}, {}};
        if (f.size() > kLogFields) {
            const auto tunes = parseLogTunes(f[5]);
            if (!tunes) return "the tunes are not SAMPLE:HASH from sample 0 on";
            link.tunes = *tunes;
        }
        index.logs.push_back(std::move(link));
        return {};
    }
    return "it is neither a tune line nor a log line";
}

// The identity blocks pad their texts with blanks and NULs.
std::string withoutPadding(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return text;
}

// A log line without tunes ran on its one tune; each tune is named by the last snapshot of it
// kept before the log.
void nameTunes(LogLink& log, const HistoryIndex& index,
               const std::unordered_map<std::string, int>& lastIdOfHash) {
    if (log.tunes.empty()) {
        const TuneSnapshot* s = log.tune > 0 ? index.find(log.tune) : nullptr;
        log.tunes = {{0, s ? s->hash : std::string()}};
        log.tuneIds = {s ? s->id : 0};
        return;
    }
    for (const TuneSegment& t : log.tunes) {
        const auto at = lastIdOfHash.find(t.tuneHash);
        log.tuneIds.push_back(at == lastIdOfHash.end() ? 0 : at->second);
    }
}

std::string firstLine(const std::string& notes) {
    return field(notes.substr(0, notes.find_first_of("\r\n")));
}

}  // namespace

std::string contentHash(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

const TuneSnapshot* HistoryIndex::find(int id) const {
    if (byId.size() == snapshots.size()) {
        const auto at = byId.find(id);
        return at == byId.end() ? nullptr : &snapshots[at->second];
    }
    const auto it = std::find_if(snapshots.begin(), snapshots.end(),
                                 [id](const TuneSnapshot& s) { return s.id == id; });
    return it == snapshots.end() ? nullptr : &*it;
}

std::vector<LogLink> HistoryIndex::logsOf(int id) const {
    std::vector<LogLink> found;
    const TuneSnapshot* s = find(id);
    if (!s) return found;
    if (const auto at = logsByHash.find(s->hash); at != logsByHash.end())
        for (std::size_t i : at->second)
            found.push_back(logs[i]);
    return found;
}

const LogLink* HistoryIndex::logWithHash(std::string_view hash) const {
    const auto it = std::find_if(logs.rbegin(), logs.rend(),
                                 [hash](const LogLink& l) { return l.hash == hash; });
    return it == logs.rend() ? nullptr : &*it;
}

int HistoryIndex::largestId() const {
    int largest = 0;
    for (const TuneSnapshot& s : snapshots)
        largest = std::max(largest, s.id);
    return largest;
}

HistoryIndex parseHistoryIndex(std::string_view text, const std::string& indexName) {
    HistoryIndex index;
    std::unordered_map<std::string, int> lastIdOfHash;
    for (int number = 1; !text.empty(); ++number) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        const bool cut = end == std::string_view::npos;
        text.remove_prefix(cut ? text.size() : end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty()) continue;
        // A line without its end was being written when the program stopped.
        const std::string problem = cut ? "it was cut short" : readIndexLine(line, index);
        if (!problem.empty()) {
            index.problems.push_back(indexName + " line " + std::to_string(number) +
                                     " is damaged and was skipped: " + problem + ".");
            continue;
        }
        if (line.starts_with(kTuneLine))
            lastIdOfHash[index.snapshots.back().hash] = index.snapshots.back().id;
        else
            nameTunes(index.logs.back(), index, lastIdOfHash);
    }
    // A log may name a tune another program kept after it.
    for (LogLink& log : index.logs)
        for (std::size_t i = 0; i < log.tunes.size(); ++i)
            if (log.tuneIds[i] == 0 && !log.tunes[i].tuneHash.empty())
                if (const auto at = lastIdOfHash.find(log.tunes[i].tuneHash);
                    at != lastIdOfHash.end())
                    log.tuneIds[i] = at->second;
    for (std::size_t i = 0; i < index.logs.size(); ++i) {
        std::vector<std::string> hashes;
        for (const TuneSegment& t : index.logs[i].tunes)
            if (!t.tuneHash.empty() &&
                std::find(hashes.begin(), hashes.end(), t.tuneHash) == hashes.end())
                hashes.push_back(t.tuneHash);
        for (const std::string& hash : hashes)
            index.logsByHash[hash].push_back(i);
    }
    return index;
}

std::string logTuneText(const HistoryIndex& index, std::string_view logContents) {
    const LogLink* link = index.logWithHash(contentHash(logContents));
    if (!link) return {};
    const auto named = [&](std::size_t i) -> std::string {
        const TuneSnapshot* tune =
            i < link->tuneIds.size() ? index.find(link->tuneIds[i]) : nullptr;
        if (!tune) return "an unknown tune";
        return "tune " + std::to_string(tune->id) + " (" + tune->action + ", " + tune->time + ")";
    };
    const std::size_t n = link->tunes.size();
    if (n <= 1) return "ran on " + named(0);
    if (n == 2) return "ran on " + named(0) + " then " + named(1);
    return "ran on " + std::to_string(n) + " tunes, from " + named(0) + " to " + named(n - 1);
}

LogTunes logTunesOf(const HistoryIndex& index, std::string_view logContents) {
    return logTunesOfHash(index, contentHash(logContents));
}

LogTunes logTunesOfHash(const HistoryIndex& index, std::string_view logHash) {
    // A log line of an older index, without tunes, reads as its one tune (see nameTunes).
    const LogLink* link = index.logWithHash(logHash);
    return link ? link->tunes : LogTunes{};
}

const LogLink* logOfPreviousTune(const HistoryIndex& index, std::string_view shownLogHash) {
    const auto shown = std::find_if(index.logs.rbegin(), index.logs.rend(),
                                    [&](const LogLink& l) { return l.hash == shownLogHash; });
    if (shown == index.logs.rend()) return nullptr;
    // The tune it ran on first: a log that saw a tune sent part way compares from its start.
    std::size_t segment = 0;
    while (segment < shown->tunes.size() && shown->tunes[segment].tuneHash.empty())
        ++segment;
    if (segment == shown->tunes.size()) return nullptr;
    const std::string& own = shown->tunes[segment].tuneHash;
    std::string previous;
    const int ownId = segment < shown->tuneIds.size() ? shown->tuneIds[segment] : 0;
    if (const auto at = index.byId.find(ownId); at != index.byId.end())
        for (std::size_t s = at->second; s-- > 0;)
            if (index.snapshots[s].hash != own) {
                previous = index.snapshots[s].hash;
                break;
            }
    const auto ranOn = [](const LogLink& log, auto&& pick) {
        return std::any_of(log.tunes.begin(), log.tunes.end(),
                           [&](const TuneSegment& t) { return !t.tuneHash.empty() && pick(t); });
    };
    const auto earlier = std::next(shown);
    const auto newest = [&](auto&& pick) -> const LogLink* {
        const auto it = std::find_if(earlier, index.logs.rend(), [&](const LogLink& l) {
            return l.hash != shownLogHash && ranOn(l, pick);
        });
        return it == index.logs.rend() ? nullptr : &*it;
    };
    if (!previous.empty())
        if (const LogLink* log =
                newest([&](const TuneSegment& t) { return t.tuneHash == previous; }))
            return log;
    return newest([&](const TuneSegment& t) { return t.tuneHash != own; });
}

PreviousTuneLog findLogOfPreviousTune(const HistoryIndex& index, const std::string& shownLogPath,
                                      const std::string& logsFolder) {
    PreviousTuneLog found;
    const WholeFile shown = readWholeFile(shownLogPath, kLargestLogFile);
    found.link = shown.problem == WholeFile::Problem::None
                     ? logOfPreviousTune(index, contentHash(shown.contents))
                     : nullptr;
    if (!found.link) {
        found.message = kNoEarlierTuneLog;
        return found;
    }
    const fs::path shownFolder = fs::path(shownLogPath).parent_path();
    // A later log may have been saved under the same name: only the same contents will do.
    for (const fs::path& folder : {shownFolder, fs::path(logsFolder)}) {
        const std::string path = (folder / found.link->file).string();
        const WholeFile candidate = readWholeFile(path, kLargestLogFile);
        if (candidate.problem == WholeFile::Problem::None &&
            contentHash(candidate.contents) == found.link->hash) {
            found.path = path;
            return found;
        }
    }
    found.message = "The log of the previous tune, " + found.link->file + ", is no longer in " +
                    (shownFolder.empty() ? fs::path(logsFolder) : shownFolder).string() + ".";
    return found;
}

std::vector<HistoryEntry> historyEntries(const HistoryIndex& index) {
    std::vector<HistoryEntry> entries;
    std::string session;
    std::vector<std::string> actions;
    for (const TuneSnapshot& s : index.snapshots) {
        const std::size_t comma = s.action.find(", ");
        const bool live = s.action.starts_with(kLiveSession) && comma != std::string::npos;
        const std::string run = live ? s.action.substr(0, comma) : std::string();
        if (live && run == session && !entries.empty()) {
            entries.back().ids.push_back(s.id);
        } else {
            entries.push_back({{s.id}, s.action});
            actions.clear();
        }
        session = run;
        if (!live) continue;
        const std::string action = s.action.substr(comma + 2);
        if (std::find(actions.begin(), actions.end(), action) == actions.end())
            actions.push_back(action);
        const std::size_t n = entries.back().ids.size();
        std::string sent;
        for (const std::string& a : actions)
            sent += (sent.empty() ? "" : ", ") + a;
        entries.back().action =
            run + ", " + std::to_string(n) + (n == 1 ? " tune" : " tunes") + " sent (" + sent + ")";
    }
    return entries;
}

std::string historyFolderOf(const std::string& filesFolder) {
    return (fs::path(filesFolder) / "History").string();
}

TuneHistory::TuneHistory(std::string folder, FileWriter& writer, std::function<std::time_t()> now)
    : m_folder(std::move(folder)), m_writer(writer), m_now(std::move(now)) {}

std::string TuneHistory::indexPath() const {
    return (fs::path(m_folder) / "index.txt").string();
}

std::string TuneHistory::snapshotPath(const std::string& hash) const {
    return (fs::path(m_folder) / (hash + ".dat")).string();
}

std::string TuneHistory::now() const {
    return localTimeText("%Y-%m-%d %H:%M:%S", m_now());
}

HistoryIndex TuneHistory::readIndex() const {
    const WholeFile file = readWholeFile(indexPath(), kLargestIndex);
    HistoryIndex index;
    std::error_code ec;
    if (file.problem == WholeFile::Problem::None)
        index = parseHistoryIndex(file.contents, indexPath());
    else if (fs::exists(indexPath(), ec))
        index.problems.push_back(indexPath() + " cannot be read.");
    return index;
}

HistoryIndex TuneHistory::load() const {
    HistoryIndex index = readIndex();
    std::error_code ec;
    // Many snapshots share a file: each is looked for once.
    std::unordered_map<std::string, bool> missing;
    for (TuneSnapshot& s : index.snapshots) {
        const auto [at, added] = missing.emplace(s.hash, false);
        if (added) at->second = !fs::is_regular_file(snapshotPath(s.hash), ec);
        s.missing = at->second;
    }
    return index;
}

std::string TuneHistory::appendLine(const std::string& line) {
    const std::string path = indexPath();
    std::string text = line + "\n";
    // A line cut by a crash gets its end first, so that it does not swallow this one.
    if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
        if (std::fseek(in, -1, SEEK_END) == 0 && std::fgetc(in) != '\n') text.insert(0, "\n");
        std::fclose(in);
    }
    std::FILE* out = std::fopen(path.c_str(), "ab");
    if (!out) return "The tune history cannot be written to " + path + ".";
    bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    ok = syncToDisk(out) && ok;
    ok = std::fclose(out) == 0 && ok;
    return ok ? std::string() : "The tune history cannot be written to " + path + ".";
}

TuneHistory::Recorded TuneHistory::recordSnapshot(const Tune& tune, const std::string& action,
                                                  const std::string& file,
                                                  const std::vector<std::string>& acceptedRisks) {
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    const std::string text = dataFileText(tune);
    const std::string hash = contentHash(text);
    const std::string path = snapshotPath(hash);
    // A tune kept before is not written again, unless its file has been damaged since.
    const WholeFile kept = readWholeFile(path, kLargestDataFile);
    if (kept.problem != WholeFile::Problem::None || kept.contents != text)
        if (std::string error = m_writer.writeWhole(path, text); !error.empty())
            return {0, std::move(error)};
    // The number follows what the index holds now: another program may have added to it.
    const int id = readIndex().largestId() + 1;
    std::string line = std::string(kTuneLine) + "\t" + std::to_string(id) + "\t" + now() + "\t" +
                       field(action) + "\t" + field(withoutPadding(tune.VerName)) + "\t" +
                       field(withoutPadding(tune.VerNumber)) + "\t" + field(file) + "\t" + hash +
                       "\t" + firstLine(tune.notes);
    for (std::size_t i = 0; i < acceptedRisks.size(); ++i)
        line += (i == 0 ? "\t" : std::string(kRiskSeparator)) + field(acceptedRisks[i]);
    if (std::string error = appendLine(line); !error.empty()) return {0, std::move(error)};
    return {id, {}};
}

std::string TuneHistory::recordLog(const std::string& logPath, std::string_view contents, int tune,
                                   const LogTunes& tunes) {
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    std::string line = std::string(kLogLine) + "\t" + now() + "\t" +
                       field(fs::path(logPath).filename().string()) + "\t" + contentHash(contents) +
                       "\t" + (tune > 0 ? std::to_string(tune) : std::string(kUnknown));
    if (!tunes.empty() && tunes.front().firstSample == 0) line += "\t" + logTunesText(tunes);
    return appendLine(line);
}

std::optional<std::string> TuneHistory::snapshotText(const HistoryIndex& index, int id,
                                                     std::string& error) const {
    const TuneSnapshot* s = index.find(id);
    if (!s) {
        error = "There is no tune " + std::to_string(id) + " in the history.";
        return std::nullopt;
    }
    const std::string path = snapshotPath(s->hash);
    WholeFile file = readWholeFile(path, kLargestDataFile);
    if (file.problem != WholeFile::Problem::None) {
        error = "Tune " + std::to_string(id) + " cannot be read: its file " + path + " is missing.";
        return std::nullopt;
    }
    if (contentHash(file.contents) != s->hash) {
        error = "Tune " + std::to_string(id) + " cannot be read: its file " + path +
                " has been changed since it was kept.";
        return std::nullopt;
    }
    return std::move(file.contents);
}

TuneHistory::Recorded TuneRecorder::record(const Tune& tune, const std::string& file,
                                           const std::string& action,
                                           const std::vector<std::string>& acceptedRisks) {
    TuneHistory::Recorded r = m_history.recordSnapshot(tune, action, file, acceptedRisks);
    if (!r.error.empty()) tell(r.error);
    return r;
}

void TuneRecorder::tell(const std::string& error) {
    if (m_told) return;
    m_told = true;
    m_prompts.tell(error + " The tune and the command go on; this is told once.",
                   MessageIcon::Exclamation);
}

void TuneRecorder::unitChanged() {
    if (m_run) m_run->unitHolds(m_unit.hash());
}

void TuneRecorder::followRun(UnitTuneSink* run) {
    m_run = run;
    unitChanged();
}

void TuneRecorder::afterUnitCommand(const Tune& tune, const std::string& file, UnitCommand command,
                                    const std::string& action, bool succeeded,
                                    const std::vector<std::string>& acceptedRisks) {
    // The run is told after every command, so that it knows which of its jobs were told of.
    if (command == UnitCommand::Initialise || (command == UnitCommand::Write && !succeeded)) {
        m_unit.forget();
        unitChanged();
        return;
    }
    if (!succeeded) return unitChanged();
    m_unit.identified(unitIdentity(tune));
    if (command != UnitCommand::ReadPart) {
        const std::string hash = contentHash(dataFileText(tune));
        const bool live = command == UnitCommand::Write && m_run && m_run->running();
        // "Live session from 14:32:05, Update": what is written while a run goes on is one entry.
        if (live && m_session.empty()) {
            m_session = std::string(kLiveSession) + m_history.now().substr(11);
            m_sessionTunes.clear();
        }
        int id = 0;
        // A tune sent again during the same run is kept once, unless a risk was accepted to send
        // it.
        if (const auto kept = m_sessionTunes.find(hash);
            live && kept != m_sessionTunes.end() && acceptedRisks.empty())
            id = kept->second;
        else
            id = record(tune, file, live ? m_session + ", " + action : action, acceptedRisks).id;
        if (live && id > 0) m_sessionTunes[hash] = id;
        m_unit.held(id, hash, unitIdentity(tune));
    }
    unitChanged();
}

void TuneRecorder::snapshot(const Tune& tune, const std::string& file, const std::string& action) {
    record(tune, file, action);
}

void TuneRecorder::logSaved(const std::string& path, std::string_view contents,
                            const LogTunes& tunes) {
    if (const std::string error = m_history.recordLog(path, contents, m_unit.snapshot(), tunes);
        !error.empty())
        tell(error);
}

std::string unitIdentity(const Tune& tune) {
    return tune.VerName + " " + tune.VerNumber;
}

std::vector<std::string> acceptedRiskLines(const TuneSnapshot& snapshot) {
    std::vector<std::string> lines;
    for (const std::string& risk : snapshot.acceptedRisks)
        lines.push_back("Accepted risk: " + risk);
    return lines;
}

const TuneSnapshot* lastUnitSnapshot(const HistoryIndex& index, const Tune& identified) {
    // What a read or a write kept, live or stopped; not what was opened, saved or auto-tuned.
    static constexpr std::string_view kUnitActions[] = {"Read All", "Write All", "Update",
                                                        "Write Map", "Write"};
    const std::string unit = withoutPadding(identified.VerName),
                      version = withoutPadding(identified.VerNumber);
    for (auto s = index.snapshots.rbegin(); s != index.snapshots.rend(); ++s) {
        if (s->unit != unit || s->version != version) continue;
        std::string_view action = s->action;
        if (const std::size_t comma = action.find(", ");
            action.starts_with(kLiveSession) && comma != std::string_view::npos)
            action.remove_prefix(comma + 2);
        if (action.ends_with(" (stopped)")) action.remove_suffix(10);
        if (std::find(std::begin(kUnitActions), std::end(kUnitActions), action) !=
            std::end(kUnitActions))
            return &*s;
    }
    return nullptr;
}

}  // namespace tunalyx
