#pragma once

#include <fstream>

#include "ports/file_writer.h"

namespace tunalyx::test {

// Writes straight to the file: enough for tests that save and open again (the window and the
// command line replace files through a temporary one, and their tests check that).
class PlainFileWriter final : public FileWriter {
public:
    [[nodiscard]] std::string writeWhole(const std::string& path,
                                         std::string_view contents) override {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        out.close();
        return out ? std::string() : "Cannot write " + path;
    }
};

}  // namespace tunalyx::test
