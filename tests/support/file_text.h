#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tunalyx::test {

// A file's bytes as they are on disk.
inline std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace tunalyx::test
