#include "history/tune_history.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "ports/local_time.h"
#include "ports/whole_file.h"
#include "transfer/data_file.h"
#include "versions/tune_file.h"

namespace tunalyx {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTuneLine = "tune";
constexpr std::string_view kLogLine = "log";
constexpr std::size_t kTuneFields = 9;
constexpr std::size_t kLogFields = 5;
constexpr std::string_view kUnknown = "unknown";
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

// What is wrong with a line, empty when it was taken.
std::string readIndexLine(std::string_view line, HistoryIndex& index) {
    const std::vector<std::string_view> f = tabFields(line);
    if (f[0] == kTuneLine) {
        if (f.size() != kTuneFields)
            return "a tune line has " + std::to_string(kTuneFields) + " fields, this one " +
                   std::to_string(f.size());
        const auto id = tuneId(f[1]);
        if (!id) return "the tune number is not a number from 1 up";
        if (!isTime(f[2])) return "the time is not YYYY-MM-DD HH:MM:SS";
        if (!isHash(f[7])) return "the hash is not 16 hexadecimal digits";
        if (index.find(*id)) return "tune " + std::to_string(*id) + " is there twice";
        index.snapshots.push_back({*id, std::string(f[2]), std::string(f[3]), std::string(f[4]),
                                   std::string(f[5]), std::string(f[6]), std::string(f[8]),
                                   std::string(f[7])});
        return {};
    }
    if (f[0] == kLogLine) {
        if (f.size() != kLogFields)
            return "a log line has " + std::to_string(kLogFields) + " fields, this one " +
                   std::to_string(f.size());
        if (!isTime(f[1])) return "the time is not YYYY-MM-DD HH:MM:SS";
        if (!isHash(f[3])) return "the hash is not 16 hexadecimal digits";
        const auto id = f[4] == kUnknown ? std::optional<int>(0) : tuneId(f[4]);
        if (!id) return "the tune is neither a number from 1 up nor unknown";
        index.logs.push_back({std::string(f[1]), std::string(f[2]), std::string(f[3]), *id});
        return {};
    }
    return "it is neither a tune line nor a log line";
}

// The identity blocks pad their texts with blanks and NULs.
std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return text;
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
    const auto it = std::find_if(snapshots.begin(), snapshots.end(),
                                 [id](const TuneSnapshot& s) { return s.id == id; });
    return it == snapshots.end() ? nullptr : &*it;
}

std::vector<LogLink> HistoryIndex::logsOf(int id) const {
    std::vector<LogLink> found;
    std::copy_if(logs.begin(), logs.end(), std::back_inserter(found),
                 [id](const LogLink& l) { return l.tune == id; });
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
    for (int number = 1; !text.empty(); ++number) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        const bool cut = end == std::string_view::npos;
        text.remove_prefix(cut ? text.size() : end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty()) continue;
        // A line without its end was being written when the program stopped.
        const std::string problem = cut ? "it was cut short" : readIndexLine(line, index);
        if (!problem.empty())
            index.problems.push_back(indexName + " line " + std::to_string(number) +
                                     " is damaged and was skipped: " + problem + ".");
    }
    return index;
}

std::string logTuneText(const HistoryIndex& index, std::string_view logContents) {
    const LogLink* link = index.logWithHash(contentHash(logContents));
    if (!link) return {};
    const TuneSnapshot* tune = index.find(link->tune);
    if (!tune) return "ran on an unknown tune";
    return "ran on tune " + std::to_string(tune->id) + " (" + tune->action + ", " + tune->time +
           ")";
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
    for (TuneSnapshot& s : index.snapshots)
        s.missing = !fs::is_regular_file(snapshotPath(s.hash), ec);
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
    ok = std::fflush(out) == 0 && ok;
    ok = syncToDisk(out) && ok;
    ok = std::fclose(out) == 0 && ok;
    return ok ? std::string() : "The tune history cannot be written to " + path + ".";
}

TuneHistory::Recorded TuneHistory::recordSnapshot(const Tune& tune, const std::string& action,
                                                  const std::string& file) {
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
    const std::string line = std::string(kTuneLine) + "\t" + std::to_string(id) + "\t" + now() +
                             "\t" + field(action) + "\t" + field(trimmed(tune.VerName)) + "\t" +
                             field(trimmed(tune.VerNumber)) + "\t" + field(file) + "\t" + hash +
                             "\t" + firstLine(tune.notes);
    if (std::string error = appendLine(line); !error.empty()) return {0, std::move(error)};
    return {id, {}};
}

std::string TuneHistory::recordLog(const std::string& logPath, std::string_view contents,
                                   int tune) {
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    return appendLine(std::string(kLogLine) + "\t" + now() + "\t" +
                      field(fs::path(logPath).filename().string()) + "\t" + contentHash(contents) +
                      "\t" + (tune > 0 ? std::to_string(tune) : std::string(kUnknown)));
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

int TuneRecorder::record(const Tune& tune, const std::string& file, const std::string& action) {
    const TuneHistory::Recorded r = m_history.recordSnapshot(tune, action, file);
    if (!r.error.empty()) tell(r.error);
    return r.id;
}

void TuneRecorder::tell(const std::string& error) {
    if (m_told) return;
    m_told = true;
    m_prompts.tell(error + " The tune and the command go on; this is told once.",
                   MessageIcon::Exclamation);
}

void TuneRecorder::afterUnitCommand(const Tune& tune, const std::string& file, UnitCommand command,
                                    const std::string& action, bool succeeded) {
    if (command == UnitCommand::Initialise || (command == UnitCommand::Write && !succeeded)) {
        m_unit.forget();
        return;
    }
    if (!succeeded) return;
    m_unit.identified(unitIdentity(tune));
    if (command == UnitCommand::ReadPart) return;
    m_unit.held(record(tune, file, action), unitIdentity(tune));
}

void TuneRecorder::snapshot(const Tune& tune, const std::string& file, const std::string& action) {
    record(tune, file, action);
}

void TuneRecorder::logSaved(const std::string& path, std::string_view contents) {
    if (const std::string error = m_history.recordLog(path, contents, m_unit.snapshot());
        !error.empty())
        tell(error);
}

std::string unitIdentity(const Tune& tune) {
    return tune.VerName + " " + tune.VerNumber;
}

}  // namespace tunalyx
