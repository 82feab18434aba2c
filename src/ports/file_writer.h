#pragma once

#include <string>
#include <string_view>

namespace tunalyx {

// Replaces whole files so that a failure never leaves half of one: the old contents stay until
// the new ones are complete on disk, and the file keeps its permissions.
class FileWriter {
public:
    virtual ~FileWriter() = default;
    // The error text, empty on success. A target that exists but is not a regular file (a
    // device, a folder) is refused; a link is followed to the file it names.
    [[nodiscard]] virtual std::string writeWhole(const std::string& path,
                                                 std::string_view contents) = 0;
};

}  // namespace tunalyx
