#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/key_value_file.h"
#include "model/trace_items.h"
#include "ports/file_writer.h"
#include "ports/user_prompts.h"
#include "watches/watch_settings.h"

namespace tunalyx {

inline constexpr std::string_view kWatchFileHeader = "[Corvalink Watch File]";
// A watch file is a few kilobytes; anything much larger is not one and is refused unread.
inline constexpr std::uintmax_t kLargestWatchFile = 1024 * 1024;

// The watch file: the header, the version, the number of visible watches, then all ten watches
// as "key TAB value" lines ended by CR LF, each naming its item also by group, index in the group
// and name.
[[nodiscard]] std::string watchFileText(const WatchSet& watches, const TraceItems& items,
                                        SetupFileVersion version);
// Writes it through the writer; the error text, empty on success.
[[nodiscard]] std::string saveWatchFile(const WatchSet& watches, const TraceItems& items,
                                        SetupFileVersion version, FileWriter& writer,
                                        const std::string& path);

// Applies watch file text to the watches, all of it or, when the user declines a file of another
// version or the file is damaged (a value out of range or no number, an empty line, no watch key
// at all: said so with the line), nothing. An item is found by its name within its group where
// possible, else by group and index in the group. Loaded means every watch is to be initialised
// again.
KeyFileOutcome applyWatchFileText(std::string_view text, WatchSet& watches, const TraceItems& items,
                                  SetupFileVersion version, UserPrompts& prompts);
// The same for a file; one that cannot be read fails.
KeyFileOutcome openWatchFile(const std::string& path, WatchSet& watches, const TraceItems& items,
                             SetupFileVersion version, UserPrompts& prompts);

}  // namespace tunalyx
