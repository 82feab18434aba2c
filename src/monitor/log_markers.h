#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/file_writer.h"

namespace tunalyx {

// A numbered point of a log the user set while logging, with an optional note.
struct LogMarker {
    int number = 0;
    double seconds = 0;  // on the log's own time axis
    std::string note;
    bool operator==(const LogMarker&) const = default;
};

// The markers file beside a log, LOG.markers for LOG.txt: the log file itself stays as it is.
// Its first line is the header, then a line per marker, number TAB time TAB note, CR LF ends.
inline constexpr std::string_view kLogMarkersHeader = "[Tunalyx Log Markers]";
[[nodiscard]] std::string markersPathOf(const std::string& logPath);

// A note as the file keeps it: a TAB or a line break typed in it becomes a blank.
[[nodiscard]] std::string markerNoteText(std::string_view note);
// "3\t412.3\tnote", the time written as the log writes its times; no line end.
[[nodiscard]] std::string markerLine(const LogMarker& marker);
// The marker of such a line; nothing for a damaged one.
[[nodiscard]] std::optional<LogMarker> parseMarkerLine(std::string_view line);
// Puts `marker` in the list, replacing the one of its number, kept in the order of numbers.
void putMarker(std::vector<LogMarker>& markers, LogMarker marker);

[[nodiscard]] std::string logMarkersText(const std::vector<LogMarker>& markers);

struct LogMarkersRead {
    std::vector<LogMarker> markers;
    std::string problem;  // what was skipped and why, naming the file; empty when nothing was
};
// A line that cannot be read (or repeats a number) is skipped and told; the rest are read.
[[nodiscard]] LogMarkersRead readLogMarkersText(std::string_view text, const std::string& name);
// The markers of the log at `logPath`; a log without a markers file has none.
[[nodiscard]] LogMarkersRead readLogMarkers(const std::string& logPath);
// Writes the markers beside the log at `logPath`, or removes an old markers file when there are
// none, so the file always follows its log. The error text, empty on success.
[[nodiscard]] std::string saveLogMarkers(FileWriter& writer, const std::string& logPath,
                                         const std::vector<LogMarker>& markers);

// The marker the cursor reached going from `from` to `to` seconds: the last one crossed, or one
// exactly at `to`; nothing when none was reached.
[[nodiscard]] const LogMarker* markerReached(const std::vector<LogMarker>& markers, double from,
                                             double to);

}  // namespace tunalyx
