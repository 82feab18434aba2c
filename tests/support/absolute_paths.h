#pragma once

#include <filesystem>
#include <string>

namespace tunalyx::test {

// The start of an absolute path on this system. On Windows a path from "/" alone is relative
// to the current drive, and making it absolute names that drive.
inline std::string absoluteRoot() {
#if defined(_WIN32)
    return "C:/";
#else
    return "/";
#endif
}

// A path with "/" between its names: Windows writes "\" where a path was made absolute.
inline std::string withForwardSlashes(const std::string& path) {
    return std::filesystem::path(path).generic_string();
}

}  // namespace tunalyx::test
