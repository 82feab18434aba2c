#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "monitor/log_store.h"
#include "monitor/trace_items.h"
#include "ports/file_writer.h"
#include "ports/settings_store.h"
#include "ports/user_prompts.h"

namespace tunalyx {

// A log file is never larger than this (a full log of every group is about 15 MB); anything
// bigger is refused before it is read.
inline constexpr std::uintmax_t kLargestLogFile = 64 * 1024 * 1024;

inline constexpr std::string_view kLogFileHeader = "[SR20DET]";

// `FormatTruncated`: the shortest decimal text of the value without a leading zero before the
// point, padded and cut (never rounded) to the decimals of `format` ("0.00" keeps two, "0"
// none): 3.14159 "0.00" -> "3.14", 0.5 "0.000" -> ".500", -0.25 "0.00" -> "-.25".
[[nodiscard]] std::string FormatTruncated(double value, std::string_view format);
// The number form of switches and map references: a blank or "-", the shortest text without a
// leading zero, a blank (37 -> " 37 ").
[[nodiscard]] std::string logNumberForm(double value);

// The whole log file of samples 0..`LogLast`, with only the included groups; CR LF line ends.
[[nodiscard]] std::string logFileText(const LogStore& store, const TraceItems& items);
// Whether any group is included; without one there is nothing to save and no dialog is shown.
[[nodiscard]] bool logHasGroups(const LogStore& store);
// Writes the log file through the writer and clears `LogUnsaved`. Returns the error text, empty
// on success; a log without any included group is not written and gives an error text.
[[nodiscard]] std::string saveLogFile(LogStore& store, const TraceItems& items, FileWriter& writer,
                                      const std::string& path);

struct LogReadResult {
    bool isLogFile = false;  // false: the first line was not "[SR20DET]" and nothing changed
    int rowsInFile = 0;      // data rows in the text, even those past what the store holds

    [[nodiscard]] bool cut() const { return rowsInFile > LogStore::kMaxRunSamples; }
};

// Reads log file text into the store: groups found from the header by the current item names,
// absent groups read 0 and are not included, at most 32767 rows are kept. On success
// `LogUnsaved` is cleared; when the first line is wrong the store is untouched.
[[nodiscard]] LogReadResult readLogText(std::string_view text, LogStore& store,
                                        const TraceItems& items);
// Opens a log file with the program's messages ("This is not a SR20DET Log File", too large,
// unreadable, rows cut). `shownName` is the name without folder. True when the file was taken,
// also when its rows were cut.
bool openLogFile(LogStore& store, const TraceItems& items, UserPrompts& prompts,
                 const std::string& path, const std::string& shownName);

// The log as CSV for other tools: "Time (s)" and the item names of the included groups, then a
// row per sample with the time to the millisecond and the values in full; LF line ends.
[[nodiscard]] std::string logCsvText(const LogStore& store, const TraceItems& items);
// Log file text as CSV, column for column as the file holds them, whatever item names the
// program uses now (other versions name their sensors differently); nothing for a text that is
// not a log file.
[[nodiscard]] std::optional<std::string> logTextAsCsv(std::string_view text);
// Reads a log file and writes it as CSV; every failure is told through the prompts. True when
// the CSV file was written.
bool exportLogCsv(const std::string& logPath, const std::string& csvPath, UserPrompts& prompts,
                  FileWriter& writer);

// "LogPath": the folder the log dialogs start in, the program's Logs folder until one is used.
[[nodiscard]] std::string logPath(const SettingsStore& store, const std::string& programFolder);
void rememberLogPath(SettingsStore& store, const std::string& chosenPath);
// The name the save dialog proposes, "Log_yyyymmdd_hhmm.txt", or "Log1.txt" for a time that
// cannot be written so.
[[nodiscard]] std::string defaultLogName(const std::tm& when);
// The same for the local time now.
[[nodiscard]] std::string defaultLogName();

}  // namespace tunalyx
