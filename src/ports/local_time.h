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

// What the program and the system hold of an open file goes to the disk: a pulled power cord
// then loses nothing written before. False when the disk refused.
bool syncToDisk(std::FILE* file);
// How many files this process has synced so far: what a test can see of a power cut it cannot
// stage.
[[nodiscard]] unsigned long filesSyncedToDisk();

}  // namespace tunalyx
