#pragma once

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

namespace tunalyx {

// The local time of `t`, nothing when the system cannot give it.
[[nodiscard]] std::optional<std::tm> localTimeOf(std::time_t t);
// Now in local time written with a strftime `format`; empty when it cannot be had.
[[nodiscard]] std::string localTimeText(const char* format, std::time_t t = std::time(nullptr));

// What the system holds of an open file goes to the disk (after fflush): a pulled power cord
// then loses nothing written before. False when the disk refused.
bool syncToDisk(std::FILE* file);

}  // namespace tunalyx
