#include "app/program_folders.h"

#include <system_error>

namespace tunalyx {

ProgramFolders findProgramFolders(const std::filesystem::path& executableFolder,
                                  const std::filesystem::path& documentsFolder) {
    std::error_code ec;
    if (std::filesystem::exists(executableFolder / "default.dat", ec))
        return {executableFolder, executableFolder};
    const std::filesystem::path installed =
        (executableFolder.parent_path() / "share" / "tunalyx").lexically_normal();
    if (std::filesystem::exists(installed / "default.dat", ec))
        return {installed, documentsFolder / "Tunalyx"};
    return {executableFolder, executableFolder};
}

}  // namespace tunalyx
