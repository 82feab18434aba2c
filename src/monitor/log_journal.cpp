#include "monitor/log_journal.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <optional>
#include <sstream>
#include <system_error>

#include "model/descriptors.h"
#include "model/number_format.h"
#include "monitor/log_file.h"
#include "ports/local_time.h"
#include "ports/whole_file.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace tunalyx {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kJournalMark = "TUNALYX-JOURNAL";
constexpr std::string_view kTuneMark = "TUNALYX-TUNE\t";
constexpr std::string_view kMarkerMark = "TUNALYX-MARKER\t";
constexpr std::string_view kJournalPrefix = "journal-";
constexpr std::string_view kJournalExtension = ".tlj";
// Lines wait in memory at most this long (by the samples' own clock) or this much.
constexpr std::size_t kMostPending = 256 * 1024;

// A journal holds one log at most, a few megabytes; anything far larger is not one.
constexpr std::uintmax_t kLargestJournal = 64ull * 1024 * 1024;

std::optional<std::string> journalText(const std::string& path) {
    WholeFile file = readWholeFile(path, kLargestJournal);
    if (file.problem != WholeFile::Problem::None) return std::nullopt;
    return std::move(file.contents);
}

// A journal is held by the run writing it for as long as that program keeps it open; the hold
// goes with the program, however it ends. Another program's run is not offered for recovery.
void holdJournal(std::FILE* file) {
#ifndef _WIN32
    flock(fileno(file), LOCK_EX | LOCK_NB);
#else
    (void)file;
#endif
}

bool heldByARun(const std::string& path) {
#ifndef _WIN32
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
#else
    (void)path;
    return false;
#endif
}

// A tune's content hash, or empty for a tune not known.
bool isTuneHash(std::string_view text) {
    return text.empty() || (text.size() == 16 && std::all_of(text.begin(), text.end(), [](char c) {
                                return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
                            }));
}

}  // namespace

std::string freeSuffixedPath(const std::string& path, std::string_view suffix) {
    std::error_code ec;
    const fs::path p(path);
    for (int n = 1;; ++n) {
        const std::string tail = std::string(suffix) + (n == 1 ? "" : "-" + std::to_string(n));
        const fs::path candidate =
            p.parent_path() / (p.stem().string() + tail + p.extension().string());
        if (!fs::exists(candidate, ec)) return candidate.string();
    }
}

// Built front to back: inserting into the digits trips a false overlap warning of GCC 12.
std::string groupedCount(long n) {
    const std::string digits = std::to_string(n < 0 ? -n : n);
    std::string grouped = n < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

std::string journalFolderOf(const std::string& filesFolder) {
    return (fs::path(filesFolder) / "Logs").string();
}

LogJournal::LogJournal(std::string folder, const LogStore& log, const TraceItems& items,
                       const LogTunes& tunes)
    : m_folder(std::move(folder)), m_log(log), m_items(items), m_tunes(tunes) {}

LogJournal::~LogJournal() {
    close();
}

void LogJournal::runStarted() {
    // A journal still here belongs to a run the user chose not to save (or it was saved and
    // this one is the next file of a continuous run, in which case it went already).
    discard();
    m_failed = false;
}

bool LogJournal::open() {
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    const std::time_t started = std::time(nullptr);
    const std::string stamp = localTimeText("%Y%m%d-%H%M%S", started);
    fs::path path;
    for (int n = 1;; ++n) {
        path = fs::path(m_folder) /
               (std::string(kJournalPrefix) + stamp + (n > 1 ? "-" + std::to_string(n) : "") +
                std::string(kJournalExtension));
        if (!fs::exists(path, ec)) break;
    }
    errno = 0;
    m_file = std::fopen(path.string().c_str(), "wb");
    if (!m_file) {
        fail("cannot be made in " + m_folder, errno);
        return false;
    }
    holdJournal(m_file);
    m_path = path.string();
    m_tunesWritten = 0;
    m_columns = logColumns(m_log, m_items);
    m_pending = std::string(kJournalMark) + '\t' + localTimeText("%Y-%m-%d %H:%M:%S", started) +
                '\t' + m_target + std::string(kLineEnd) + logFileHeaderText(m_columns);
    return true;
}

void LogJournal::samplePublished(const PublishedSample& sample) {
    if (m_failed) return;
    if (!m_file && !open()) return;
    for (; m_tunesWritten < m_tunes.size() && m_tunes[m_tunesWritten].firstSample <= sample.index;
         ++m_tunesWritten)
        m_pending.append(kTuneMark)
            .append(std::to_string(m_tunes[m_tunesWritten].firstSample))
            .append("\t")
            .append(m_tunes[m_tunesWritten].tuneHash)
            .append(kLineEnd);
    appendLogLine(m_pending, m_log, m_columns, sample.index);
    // Once a second of the run (and with the first sample), or sooner when much is waiting.
    if (sample.refresh || m_pending.size() >= kMostPending) flush();
}

void LogJournal::markerSet(const LogMarker& marker) {
    if (m_failed) return;
    if (!m_file && !open()) return;
    m_pending.append(kMarkerMark).append(markerLine(marker)).append(kLineEnd);
    flush();
}

void LogJournal::runEnded() {
    flush();
}

void LogJournal::flush() {
    if (!m_file || m_pending.empty()) return;
    errno = 0;
    const bool written =
        std::fwrite(m_pending.data(), 1, m_pending.size(), m_file) == m_pending.size() &&
        std::fflush(m_file) == 0;
    if (!written) {
        fail("cannot be written", errno);
        return;
    }
    m_pending.clear();
    syncToDisk(m_file);
}

void LogJournal::fail(const std::string& what, int error) {
    m_failed = true;
    m_pending.clear();
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_problem =
        what + (error ? " (" + std::generic_category().message(error) + ")" : std::string());
    if (failed)
        failed("The log journal " + m_problem +
               ", so a crash now would lose this run; logging goes on in memory. Save the log "
               "when the run ends.");
}

void LogJournal::close() {
    if (!m_file) return;
    flush();
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
}

void LogJournal::saved() {
    close();
    if (!m_path.empty()) {
        std::error_code ec;
        fs::remove(m_path, ec);
    }
    m_path.clear();
    m_pending.clear();
}

void LogJournal::discard() {
    saved();
}

RecoveredLog recoverJournalText(const std::string& text, const std::string& name) {
    RecoveredLog out;
    std::size_t at = text.find(kLineEnd);
    if (text.rfind(kJournalMark, 0) != 0 || at == std::string::npos) {
        out.problem = name + " is not a log journal.";
        return out;
    }
    at += kLineEnd.size();
    // Which fields of a sample line must be numbers, as the log reader sees them.
    std::vector<bool> numeric;
    for (int line = 0;; ++line) {
        const std::size_t end = text.find(kLineEnd, at);
        if (end == std::string::npos) {
            out.cut = at < text.size();
            break;
        }
        const std::string_view row(text.data() + at, end - at);
        at = end + kLineEnd.size();
        if (line >= 2 && row.starts_with(kTuneMark)) {
            // A tune from a sample already journaled (the unit was told of late) or the next.
            const std::vector<std::string_view> f = splitFields(row, '\t');
            const std::optional<long> first =
                f.size() == 3 ? parseFieldInteger(f[1]) : std::nullopt;
            if (!first || *first > out.samples ||
                *first <= (out.tunes.empty() ? -1 : out.tunes.back().firstSample) ||
                !isTuneHash(f[2])) {
                out.cut = true;
                break;
            }
            out.tunes.push_back({static_cast<int>(*first), std::string(f[2])});
            continue;
        }
        // A damaged marker line costs that marker only, not the samples after it.
        if (line >= 2 && row.starts_with(kMarkerMark)) {
            if (auto marker = parseMarkerLine(row.substr(kMarkerMark.size())))
                putMarker(out.markers, std::move(*marker));
            continue;
        }
        // The header and the headings, then sample lines the log reader reads as whole rows of
        // as many fields as there are headings: recovery counts what the reader will read.
        bool whole = row.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
        if (whole && line == 0) whole = row == kLogFileHeader;
        if (whole && line == 1) {
            whole = row.rfind(kLogTimeHeader, 0) == 0;
            for (std::string_view heading : splitFields(row, '\t'))
                numeric.push_back(numeric.empty() || !heading.empty());
        }
        if (whole && line >= 2) {
            const std::vector<std::string_view> fields = splitFields(row, '\t');
            whole = fields.size() == numeric.size();
            for (std::size_t j = 0; whole && j < fields.size(); ++j)
                whole = !numeric[j] || wholeLeadingNumber(fields[j]).has_value();
        }
        if (!whole) {
            out.cut = true;
            break;
        }
        if (line >= 2) ++out.samples;
        out.text.append(row).append(kLineEnd);
    }
    // A tune line after the last sample names no sample.
    while (!out.tunes.empty() && out.tunes.back().firstSample >= out.samples)
        out.tunes.pop_back();
    if (out.samples == 0) {
        out.problem = name + " holds no whole sample, so there is nothing to recover.";
        out.text.clear();
    }
    return out;
}

RecoveredLog recoverJournal(const std::string& path) {
    const std::optional<std::string> text = journalText(path);
    if (!text) {
        RecoveredLog out;
        out.problem = "The log journal " + path + " cannot be read.";
        return out;
    }
    return recoverJournalText(*text, fs::path(path).filename().string());
}

std::vector<UnsavedJournal> unsavedJournals(const std::string& folder) {
    std::vector<UnsavedJournal> found;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kJournalPrefix, 0) != 0 || entry.path().extension() != kJournalExtension ||
            heldByARun(entry.path().string()))
            continue;
        const std::optional<std::string> read = journalText(entry.path().string());
        if (!read) continue;
        const std::string& text = *read;
        const RecoveredLog log = recoverJournalText(text, name);
        if (!log.problem.empty()) continue;
        UnsavedJournal j;
        j.path = entry.path().string();
        j.samples = log.samples;
        // The journal's own line: its mark, the start time and the target.
        const std::string first = text.substr(0, text.find(kLineEnd));
        const std::size_t tab1 = first.find('\t');
        const std::size_t tab2 = first.find('\t', tab1 + 1);
        j.started =
            first.substr(tab1 + 1, tab2 == std::string::npos ? std::string::npos : tab2 - tab1 - 1);
        if (tab2 != std::string::npos) j.target = first.substr(tab2 + 1);
        found.push_back(std::move(j));
    }
    std::sort(found.begin(), found.end(), [](const UnsavedJournal& a, const UnsavedJournal& b) {
        return a.started != b.started ? a.started > b.started : a.path > b.path;
    });
    return found;
}

std::string recoveryQuestion(const UnsavedJournal& journal, const std::string& today) {
    // "2026-12-06 14:32:05": the time alone for a run of today.
    const std::string day = journal.started.substr(0, 10);
    const std::string minute = journal.started.size() >= 16 ? journal.started.substr(11, 5) : "";
    const std::string when = day == today ? minute : day + " " + minute;
    return "Recover the log of " + when + ", " + groupedCount(journal.samples) +
           (journal.samples == 1 ? " sample?" : " samples?");
}

std::string recoveredLogPath(const UnsavedJournal& journal, const std::string& logsFolder) {
    std::error_code ec;
    if (!journal.target.empty() && !fs::exists(journal.target, ec)) return journal.target;
    std::tm t{};
    std::istringstream in(journal.started);
    in >> std::get_time(&t, "%Y-%m-%d %H:%M:%S");
    const fs::path name = in.fail() ? fs::path("Log1.txt") : fs::path(defaultLogName(t));
    return freeSuffixedPath((fs::path(logsFolder) / name).string(), "-recovered");
}

RecoveryResult recoverTo(const UnsavedJournal& journal, const std::string& out,
                         FileWriter& writer) {
    RecoveryResult result;
    RecoveredLog log = recoverJournal(journal.path);
    if (!log.problem.empty()) {
        result.message = log.problem;
        return result;
    }
    // A log already there is never written over.
    std::error_code ec;
    result.path = fs::exists(out, ec) ? freeSuffixedPath(out, "-recovered") : out;
    if (const std::string error = writer.writeWhole(result.path, log.text); !error.empty()) {
        result.message = error + ". The log journal " + journal.path + " is kept.";
        return result;
    }
    const std::string markersError = saveLogMarkers(writer, result.path, log.markers);
    fs::remove(journal.path, ec);
    result.recovered = true;
    result.message = "Recovered " + groupedCount(log.samples) +
                     (log.samples == 1 ? " sample" : " samples") + " of the log of " +
                     journal.started.substr(0, 16) + " to " + result.path + "." +
                     (log.cut ? " Its last line was cut off in the middle and is left out." : "") +
                     (markersError.empty() ? "" : " Its markers were lost: " + markersError + ".");
    result.text = std::move(log.text);
    result.tunes = std::move(log.tunes);
    return result;
}

std::vector<std::string> offerJournalRecovery(
    const std::string& journalFolder, const std::string& logsFolder, UserPrompts& prompts,
    FileWriter& writer,
    const std::function<void(const std::string& path, std::string_view text,
                             const LogTunes& tunes)>& saved) {
    std::vector<std::string> written;
    const std::string today = localTimeText("%Y-%m-%d");
    for (const UnsavedJournal& journal : unsavedJournals(journalFolder)) {
        const MessageAnswer answer = prompts.showMessage(
            recoveryQuestion(journal, today), MessageIcon::Question, MessageButtons::YesNo);
        if (answer != MessageAnswer::Yes) {
            std::error_code ec;
            fs::remove(journal.path, ec);
            continue;
        }
        const std::string out = recoveredLogPath(journal, logsFolder);
        const RecoveryResult result = recoverTo(journal, out, writer);
        prompts.tell(result.message,
                     result.recovered ? MessageIcon::Information : MessageIcon::Critical);
        if (!result.recovered) continue;
        if (saved) saved(result.path, result.text, result.tunes);
        written.push_back(result.path);
    }
    return written;
}

}  // namespace tunalyx
