#include "cli/cli_folders.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <cstdlib>

#include "app/program_folders.h"

namespace tunalyx::cli {

std::string cliFilesFolder() {
    if (const char* folder = std::getenv("TUNALYX_FILES_FOLDER"); folder && *folder) return folder;
    return findProgramFolders(
               QCoreApplication::applicationDirPath().toStdString(),
               QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString())
        .files.string();
}

}  // namespace tunalyx::cli
