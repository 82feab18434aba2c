#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/number_format.h"
#include "model/trace_items.h"
#include "monitor/log_reader.h"
#include "monitor/log_store.h"
#include "monitor/math_items.h"
#include "ports/file_writer.h"
#include "ports/user_prompts.h"

namespace tunalyx {

// The log as CSV for other tools: "Time (s)" and the item names of the included groups, then a
// row per sample with the time to the millisecond and the values in full; LF line ends. The math
// items whose inputs were logged follow as columns headed by their names, empty where NaN.
[[nodiscard]] std::string logCsvText(const LogStore& store, const TraceItems& items,
                                     const DerivedItems* math = nullptr);

// Any samples as CSV in the same form (a session of several logs): the columns of the groups the
// source holds, values read back in the precision `held` they are kept in, a value that is no
// number (an item one log of a session lacks) left empty.
[[nodiscard]] std::string samplesCsvText(const SampleSource& source, const TraceItems& items,
                                         const DerivedItems* math = nullptr,
                                         Precision held = Precision::Double);

struct LogCsv {
    std::string text;
    LogDamage damage;  // rows that were not whole, or a last row cut off and left out
};
// Log file text as CSV, column for column as the file holds them, whatever item names the
// program uses now (other versions name their sensors differently); nothing for a text that is
// not a log file. Math items (compiled against `items`) are read from the log as the program
// reads it and added as in logCsvText.
[[nodiscard]] std::optional<LogCsv> logTextAsCsv(std::string_view text,
                                                 const DerivedItems* math = nullptr,
                                                 const TraceItems& items = {});
// Reads a log file and writes it as CSV; every failure and damaged row is told through the
// prompts. True when the CSV file was written.
bool exportLogCsv(const std::string& logPath, const std::string& csvPath, UserPrompts& prompts,
                  FileWriter& writer, const DerivedItems* math = nullptr,
                  const TraceItems& items = {});

}  // namespace tunalyx
