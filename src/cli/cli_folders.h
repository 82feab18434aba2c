#pragma once

#include <string>

namespace tunalyx::cli {

// The user's files folder, the one the window keeps Maps, Logs and History in: beside the
// program when it runs from its own folder, under the user's documents when installed.
// TUNALYX_FILES_FOLDER names another (scripts, tests).
[[nodiscard]] std::string cliFilesFolder();

}  // namespace tunalyx::cli
