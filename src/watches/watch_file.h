#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "monitor/trace_items.h"
#include "ports/file_writer.h"
#include "ports/user_prompts.h"
#include "watches/watch_settings.h"

namespace tunalyx {

inline constexpr std::string_view kWatchFileHeader = "[Corvalink Watch File]";
// A watch file is a few kilobytes; anything much larger is not one and is refused unread.
inline constexpr std::uintmax_t kLargestWatchFile = 1024 * 1024;

// The identity of the connected unit, written into a watch file and checked when one is loaded.
struct WatchFileVersion {
    std::string_view VerName;
    std::string_view VerNumber;
};

// The watch file: the header, the version, the number of visible watches, then all ten watches
// as "key TAB value" lines ended by CR LF, each naming its item also by group, index in the group
// and name.
[[nodiscard]] std::string watchFileText(const WatchSet& watches, const TraceItems& items,
                                        WatchFileVersion version);
// Writes it through the writer; the error text, empty on success.
[[nodiscard]] std::string saveWatchFile(const WatchSet& watches, const TraceItems& items,
                                        WatchFileVersion version, FileWriter& writer,
                                        const std::string& path);

enum class WatchFileOutcome {
    Loaded,    // read to the end: every watch is to be initialised again
    Declined,  // the user stopped at the version question
    Failed,    // an error stopped the reading; "Error Opening Watch File" has been shown
};

// Applies watch file text line by line to the watches. What the lines before a stop (a No to the
// version question, a line in error) set stays set. An item is found by its name within its
// group where possible, else by group and index in the group.
WatchFileOutcome applyWatchFileText(std::string_view text, WatchSet& watches,
                                    const TraceItems& items, WatchFileVersion version,
                                    UserPrompts& prompts);
// The same for a file; one that cannot be read fails.
WatchFileOutcome openWatchFile(const std::string& path, WatchSet& watches, const TraceItems& items,
                               WatchFileVersion version, UserPrompts& prompts);

}  // namespace tunalyx
