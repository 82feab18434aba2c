#include "monitor/log_markers.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "model/number_format.h"
#include "monitor/log_numbers.h"
#include "ports/whole_file.h"

namespace tunalyx {

namespace {

namespace fs = std::filesystem;

constexpr int kTimeDecimals = 3;  // as the log writes its times
constexpr int kMostNumberDigits = 9;
// A markers file holds a few lines per minute of logging; anything far larger is not one.
constexpr std::uintmax_t kLargestMarkersFile = 4 * 1024 * 1024;

std::optional<int> markerNumber(std::string_view text) {
    if (text.empty() || text.size() > kMostNumberDigits ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int n = 0;
    for (const char c : text)
        n = n * 10 + (c - '0');
    return n > 0 ? std::optional<int>(n) : std::nullopt;
}

}  // namespace

std::string markersPathOf(const std::string& logPath) {
    return fs::path(logPath).replace_extension(".markers").string();
}

std::string markerNoteText(std::string_view note) {
    std::string text(note);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return text;
}

std::string markerLine(const LogMarker& marker) {
    std::string line = std::to_string(marker.number) + '\t';
    appendTruncated(line, marker.seconds, kTimeDecimals, Precision::Double);
    line += '\t';
    line += markerNoteText(marker.note);
    return line;
}

std::optional<LogMarker> parseMarkerLine(std::string_view line) {
    const std::size_t tab1 = line.find('\t');
    if (tab1 == std::string_view::npos) return std::nullopt;
    const std::size_t tab2 = line.find('\t', tab1 + 1);
    const std::string_view time =
        line.substr(tab1 + 1, tab2 == std::string_view::npos ? tab2 : tab2 - tab1 - 1);
    const std::string_view note =
        tab2 == std::string_view::npos ? std::string_view() : line.substr(tab2 + 1);
    const std::optional<int> number = markerNumber(line.substr(0, tab1));
    const std::optional<double> seconds = wholeLeadingNumber(time);
    if (!number || !seconds || !std::isfinite(*seconds) || *seconds < 0 ||
        note.find_first_of("\t\r\n") != std::string_view::npos)
        return std::nullopt;
    return LogMarker{*number, *seconds, std::string(note)};
}

void putMarker(std::vector<LogMarker>& markers, LogMarker marker) {
    const auto at =
        std::lower_bound(markers.begin(), markers.end(), marker.number,
                         [](const LogMarker& m, int number) { return m.number < number; });
    if (at != markers.end() && at->number == marker.number)
        *at = std::move(marker);
    else
        markers.insert(at, std::move(marker));
}

std::string logMarkersText(const std::vector<LogMarker>& markers) {
    std::string text(kLogMarkersHeader);
    text += kLineEnd;
    for (const LogMarker& m : markers)
        text.append(markerLine(m)).append(kLineEnd);
    return text;
}

LogMarkersRead readLogMarkersText(std::string_view text, const std::string& name) {
    LogMarkersRead read;
    // An editor may have put a byte-order mark in front and left LF line ends.
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    int damaged = 0;
    int firstDamaged = 0;
    std::vector<int> seen;
    for (int number = 1; !text.empty(); ++number) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (number == 1) {
            if (line != kLogMarkersHeader) {
                read.problem =
                    name + " is not a markers file, so the log is shown without markers.";
                return read;
            }
            continue;
        }
        if (line.empty()) continue;
        std::optional<LogMarker> marker = parseMarkerLine(line);
        if (marker && std::find(seen.begin(), seen.end(), marker->number) == seen.end()) {
            seen.push_back(marker->number);
            putMarker(read.markers, std::move(*marker));
            continue;
        }
        if (damaged++ == 0) firstDamaged = number;
    }
    if (damaged == 1)
        read.problem = "Line " + std::to_string(firstDamaged) + " of " + name +
                       " is damaged, so its marker was skipped.";
    else if (damaged > 1)
        read.problem = std::to_string(damaged) + " lines of " + name +
                       " are damaged (the first is line " + std::to_string(firstDamaged) +
                       "), so their markers were skipped.";
    return read;
}

LogMarkersRead readLogMarkers(const std::string& logPath) {
    const std::string path = markersPathOf(logPath);
    const std::string name = fs::path(path).filename().string();
    std::error_code ec;
    if (!fs::exists(path, ec)) return {};
    WholeFile file = readWholeFile(path, kLargestMarkersFile);
    if (file.problem != WholeFile::Problem::None)
        return {{}, name + " cannot be read, so the log is shown without markers."};
    return readLogMarkersText(file.contents, name);
}

std::string saveLogMarkers(FileWriter& writer, const std::string& logPath,
                           const std::vector<LogMarker>& markers) {
    const std::string path = markersPathOf(logPath);
    if (!markers.empty()) return writer.writeWhole(path, logMarkersText(markers));
    // The old log's markers would otherwise be shown over the new one.
    std::error_code ec;
    if (fs::remove(path, ec) || !ec) return {};
    return "The old markers file " + path + " cannot be removed (" + ec.message() + ").";
}

const LogMarker* markerReached(const std::vector<LogMarker>& markers, double from, double to) {
    const LogMarker* reached = nullptr;
    for (const LogMarker& m : markers) {
        const bool crossed = from < to   ? m.seconds > from && m.seconds <= to
                             : from > to ? m.seconds >= to && m.seconds < from
                                         : m.seconds == to;
        // Going forward the last one crossed is the latest; going back, the earliest.
        if (crossed && (!reached || (from <= to ? m.seconds >= reached->seconds
                                                : m.seconds < reached->seconds)))
            reached = &m;
    }
    return reached;
}

}  // namespace tunalyx
