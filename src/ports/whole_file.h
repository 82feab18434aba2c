#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ports/user_prompts.h"

namespace tunalyx {

// The program's text files end their lines with CR LF on every system.
inline constexpr std::string_view kLineEnd = "\r\n";

// The file name of a path, without its folder.
[[nodiscard]] std::string fileNameOf(const std::string& path);

// A text file read at once, refused before reading when it is larger than the caller's limit.
struct WholeFile {
    enum class Problem { None, CannotOpen, TooLarge, CannotRead };
    Problem problem = Problem::None;
    std::string contents;
};

// A path that is not a regular file cannot be opened; a file that grows past what its size said
// while it is read cannot be read.
[[nodiscard]] WholeFile readWholeFile(const std::string& path, std::uintmax_t largest);

// The messages a reader of one kind of file gives for each problem (critical icon).
struct WholeFileMessages {
    std::string cannotOpen;
    std::string tooLarge;
    std::string cannotRead;
};
// The whole file, or nothing after the message for its problem.
[[nodiscard]] std::optional<std::string> readWholeFile(UserPrompts& prompts,
                                                       const std::string& path,
                                                       std::uintmax_t largest,
                                                       const WholeFileMessages& messages);

}  // namespace tunalyx
