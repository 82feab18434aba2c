#pragma once

#include <cstdint>
#include <string>

namespace tunalyx {

// A text file read at once, refused before reading when it is larger than the caller's limit.
struct WholeFile {
    enum class Problem { None, CannotOpen, TooLarge, CannotRead };
    Problem problem = Problem::None;
    std::string contents;
};

// A path that is not a regular file cannot be opened; a file that grows past what its size said
// while it is read cannot be read.
[[nodiscard]] WholeFile readWholeFile(const std::string& path, std::uintmax_t largest);

}  // namespace tunalyx
