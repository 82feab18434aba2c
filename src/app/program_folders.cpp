#include "app/program_folders.h"

#include <system_error>

namespace tunalyx {

ProgramFolders findProgramFolders(const std::filesystem::path& executableFolder,
                                  const std::filesystem::path& documentsFolder,
                                  bool filesBesideProgram) {
    const std::filesystem::path userFiles = documentsFolder / "Tunalyx";
    std::error_code ec;
    if (std::filesystem::exists(executableFolder / "default.dat", ec))
        return {executableFolder, filesBesideProgram ? executableFolder : userFiles};
    const std::filesystem::path installed =
        (executableFolder.parent_path() / "share" / "tunalyx").lexically_normal();
    if (std::filesystem::exists(installed / "default.dat", ec)) return {installed, userFiles};
    return {executableFolder, filesBesideProgram ? executableFolder : userFiles};
}

}  // namespace tunalyx
