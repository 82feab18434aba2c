#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/number_format.h"
#include "model/trace_items.h"
#include "monitor/log_store.h"
#include "ports/file_writer.h"

namespace tunalyx {

inline constexpr std::string_view kLogFileHeader = "[SR20DET]";
inline constexpr std::string_view kLogTimeHeader = "Time(S)";
// The Map group is headed by these, whatever its items are called.
inline constexpr std::array<std::string_view, 2> kLogMapNames = {"MAPN", "MAPP"};

// One column after the time: its heading, the item it holds and how its values are written.
struct LogColumn {
    enum class Form { Truncated, Number };
    std::string_view name;
    int item;
    Form form;
    int decimals;  // of the truncated form
    Precision precision;
};
// The columns of the included groups, in file order.
[[nodiscard]] std::vector<LogColumn> logColumns(const LogStore& store, const TraceItems& items);
// The same for the groups `include` says.
[[nodiscard]] std::vector<LogColumn> logColumns(const std::array<bool, kTraceGroupCount>& include,
                                                const TraceItems& items);

// The file's first two lines: the header and the column headings.
[[nodiscard]] std::string logFileHeaderText(const std::vector<LogColumn>& columns);
// The line of sample `s`: its time and a value for each column, as the file holds them.
void appendLogLine(std::string& text, const LogStore& store, const std::vector<LogColumn>& columns,
                   int s);
// The whole log file of samples 0..`LogLast`, with only the included groups; CR LF line ends.
[[nodiscard]] std::string logFileText(const LogStore& store, const TraceItems& items);
// Whether any group is included; without one there is nothing to save and no dialog is shown.
[[nodiscard]] bool logHasGroups(const LogStore& store);
// Writes the log file through the writer and clears `LogUnsaved`. Returns the error text, empty
// on success; a log without any included group is not written and gives an error text.
// `saved` is told of the file written (the tune history links it to its tune).
using LogSavedHook = std::function<void(const std::string& path, std::string_view contents)>;
[[nodiscard]] std::string saveLogFile(LogStore& store, const TraceItems& items, FileWriter& writer,
                                      const std::string& path, const LogSavedHook& saved = {});

// Where a run too long for one log goes on: the first file is `path` itself, the n-th after it
// the same name with "-001", "-002", ... before its extension (LOG.txt, LOG-001.txt, LOG-002.txt).
[[nodiscard]] std::string continuedLogPath(const std::string& path, int part);
// Which file of a run a log file's name says it is: LOG-002.txt is the second after LOG.txt;
// any other name is the first file of a run of its own.
struct LogFilePart {
    std::string first;
    int part = 0;
};
[[nodiscard]] LogFilePart logFilePartOf(const std::string& path);
// Whether `path` is the part that follows `previous` in that naming.
[[nodiscard]] bool continuesLog(const std::string& previous, const std::string& path);

// The most a log of these groups and samples can take on disk.
[[nodiscard]] std::uintmax_t logFileSizeBound(const std::array<bool, kTraceGroupCount>& include,
                                              int samples);
// The bytes free to this user in a folder; nothing when the disk does not say.
using FreeSpace = std::function<std::optional<std::uintmax_t>(const std::string& folder)>;
[[nodiscard]] std::optional<std::uintmax_t> diskFreeSpace(const std::string& folder);
// A size as messages give it: "640 kB", in MB from 10 MB on; rounded up below that.
[[nodiscard]] std::string diskSizeText(std::uintmax_t bytes);
// The message of too little room: "Only 640 kB are free in FOLDER, and `what` may take up to
// 2 MB; make room or log fewer samples."
[[nodiscard]] std::string freeSpaceProblem(std::uintmax_t available, const std::string& folder,
                                           std::string_view what, std::uintmax_t needed);
// Why a file of `bytes` cannot be saved as `path`, found before a run that would be lost: a
// missing folder, one that takes no new file, a target that is no regular file (a folder, a
// device, a FIFO) or not writable, too little free space. Empty when nothing stands in the way.
[[nodiscard]] std::string logTargetProblem(const std::string& path, std::uintmax_t bytes,
                                           const FreeSpace& freeSpace = diskFreeSpace);
// The same for a run journaled in `journalFolder` (none when empty): the journal grows as the log
// does and stays until the log is saved, so a folder on the same disk needs room for both.
[[nodiscard]] std::string logRunProblem(const std::string& path, std::uintmax_t bytes,
                                        const std::string& journalFolder,
                                        const FreeSpace& freeSpace = diskFreeSpace);

}  // namespace tunalyx
