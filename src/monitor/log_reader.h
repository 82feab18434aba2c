#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/trace_items.h"
#include "monitor/log_store.h"
#include "ports/user_prompts.h"

namespace tunalyx {

// A log file is never larger than this (a full log of every group is about 15 MB); anything
// bigger is refused before it is read.
inline constexpr std::uintmax_t kLargestLogFile = 64 * 1024 * 1024;

// What the rows of a log file lack. The writer gives every row a field for each heading, each a
// number; a file cut short or edited by hand may not.
struct LogDamage {
    int firstDamagedLine = 0;  // line number (the first line is 1) of the first such row, or 0
    int damagedLines = 0;
    int cutLine = 0;  // the last line, ended in the middle of a row and left out; 0 when whole
};

// The lines of log text: the first line, the heading line, then the data rows, each read
// against the headings. A byte-order mark an editor put in front and blank lines at the end are
// no part of the log.
class LogLines {
public:
    explicit LogLines(std::string_view text);

    // The first line is "[SR20DET]".
    [[nodiscard]] bool isLogFile() const { return m_isLogFile; }
    [[nodiscard]] std::string_view header() const { return m_header; }
    // The next row as numbers, one per heading (the time first) by the leading-number rule;
    // missing fields read 0. False at the end: a last row cut off is not given.
    bool nextRow(std::vector<double>& values);
    [[nodiscard]] const LogDamage& damage() const { return m_damage; }

private:
    bool nextLine(std::string_view& line);

    std::string_view m_rest;
    std::string_view m_header;
    std::vector<bool> m_numeric;  // which fields of a row must be numbers: those with a heading
    bool m_isLogFile = false;
    bool m_endsWithLineEnd = false;
    int m_line = 0;
    LogDamage m_damage;
};

struct LogReadResult {
    bool isLogFile = false;  // false: the first line was not "[SR20DET]" and nothing changed
    bool hasItems = false;   // false: no heading is an item of this layout and nothing changed
    int rowsInFile = 0;      // data rows read, even those past what the store holds
    LogDamage damage;
    // The first heading outside the groups found that is no item name of this layout ("PIM"
    // read with the air-flow names): a log of another version.
    std::string unknownHeading;

    [[nodiscard]] bool read() const { return isLogFile && hasItems; }
    [[nodiscard]] bool cut() const { return rowsInFile > LogStore::kMaxRunSamples; }
};

// Reads log file text into the store: groups found from the header by the current item names,
// absent groups read 0 and are not included, at most 32767 rows are kept. On success
// `LogUnsaved` is cleared; without a known group or with a wrong first line the store is
// untouched.
[[nodiscard]] LogReadResult readLogText(std::string_view text, LogStore& store,
                                        const TraceItems& items);
// Opens a log file with the program's messages ("This is not a SR20DET Log File", too large,
// unreadable, another version's headings, damaged or cut rows, rows past the last sample).
// `shownName` is the name without folder. True when the file was taken, also with a warning.
bool openLogFile(LogStore& store, const TraceItems& items, UserPrompts& prompts,
                 const std::string& path, const std::string& shownName);
// The same for the file's contents, read already.
bool openLogContents(LogStore& store, const TraceItems& items, UserPrompts& prompts,
                     std::string_view contents, const std::string& shownName);

// The whole file, or nothing after a message; the size is checked before anything is read.
[[nodiscard]] std::optional<std::string> readLogContents(UserPrompts& prompts,
                                                         const std::string& path,
                                                         const std::string& shownName);
// Tells what was wrong with the rows, naming the file and the line.
void tellLogDamage(UserPrompts& prompts, const LogDamage& damage, const std::string& shownName);
// A time in seconds as the file has it, in whole milliseconds (ties to even).
[[nodiscard]] std::int32_t logMilliseconds(double seconds);

}  // namespace tunalyx
