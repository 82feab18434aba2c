#include "cli/cli_folders.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/program_folders.h"

namespace tunalyx::cli {

std::string cliFilesFolder() {
    if (const char* folder = std::getenv("TUNALYX_FILES_FOLDER"); folder && *folder) return folder;
    std::filesystem::path folder = QCoreApplication::applicationDirPath().toStdString();
    // In the build tree the command line sits one folder below the window program and its
    // default.dat: the two share that folder's files, as they share Documents when installed.
    std::error_code ec;
    if (!std::filesystem::exists(folder / "default.dat", ec) &&
        std::filesystem::exists(folder.parent_path() / "default.dat", ec))
        folder = folder.parent_path();
    return findProgramFolders(
               folder,
               QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString())
        .files.string();
}

}  // namespace tunalyx::cli
