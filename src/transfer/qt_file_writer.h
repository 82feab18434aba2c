#pragma once

#include "ports/file_writer.h"

namespace tunalyx {

// QSaveFile: the contents go to a temporary file of a unique name beside the target, are
// flushed to disk and then renamed over it.
class QtFileWriter final : public FileWriter {
public:
    [[nodiscard]] std::string writeWhole(const std::string& path,
                                         std::string_view contents) override;
};

}  // namespace tunalyx
