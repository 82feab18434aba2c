#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "charts/chart_config.h"
#include "model/key_value_file.h"
#include "model/trace_items.h"
#include "ports/file_writer.h"
#include "ports/user_prompts.h"

namespace tunalyx {

inline constexpr std::string_view kChartSetupHeader = "[Corvalink Chart Setup File]";
// A setup file is a few kilobytes; anything much larger is not one and is refused unread.
inline constexpr std::uintmax_t kLargestChartSetupFile = 1024 * 1024;

// The setup file: the header, the version, the panes shown and all 20 traces, one "key TAB value"
// per line with CR LF. A trace with an item also names it by group, index in the group and name,
// so that another version's item table can find it again. The math items follow the traces
// ("MathName", "MathExpression"); a trace showing one writes TraceItem 0 and "TraceMath" with its
// name, so that other readers see a trace without an item.
[[nodiscard]] std::string chartSetupText(const ChartConfig& config, const TraceItems& items,
                                         SetupFileVersion version);
// Writes the setup file through the writer; the error text, empty on success.
[[nodiscard]] std::string saveChartSetup(const ChartConfig& config, const TraceItems& items,
                                         SetupFileVersion version, FileWriter& writer,
                                         const std::string& path);

// Applies setup file text to the configuration, all of it or, when the user declines a file of
// another version or the file is damaged (a value out of range or no number, an empty line, no
// setup key at all: said so with the line), nothing. An item is found by its number, then by its
// group and index, and finally by its name within the group; a name found nowhere is reported and
// the item by group and index kept. Unknown keys are ignored. The file's math items replace the
// configuration's; ones that do not compile refuse the whole file. True when the file was applied
// (the chart then needs redrawing).
bool applyChartSetupText(std::string_view text, ChartConfig& config, const TraceItems& items,
                         SetupFileVersion version, UserPrompts& prompts);
// The same for a file; one that cannot be read gives "Error Opening Corvalink Chart Setup File".
bool openChartSetup(const std::string& path, ChartConfig& config, const TraceItems& items,
                    SetupFileVersion version, UserPrompts& prompts);

}  // namespace tunalyx
