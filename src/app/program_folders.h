#pragma once

#include <filesystem>

namespace tunalyx {

// Where the program keeps its own files and where the file dialogs start.
struct ProgramFolders {
    // Holds default.dat (File > Default).
    std::filesystem::path program;
    // Base of the folders the file dialogs start in until the user picks one (Maps, Logs,
    // Watchs, Charts).
    std::filesystem::path files;
};

// Whether a program run from its own folder keeps the user's files there. On Windows a program
// folder is for programs (under Program Files, or an unzipped folder the next version replaces
// whole), so the user's files always go under Documents there.
#ifdef _WIN32
inline constexpr bool kFilesBesideProgram = false;
#else
inline constexpr bool kFilesBesideProgram = true;
#endif

// A program run from its own folder (the build tree, a folder copied to a laptop) finds
// default.dat beside it and, with `filesBesideProgram`, keeps the user's files there too. An
// installed program (bin/tunalyx with share/tunalyx/default.dat) may not write where it is
// installed, so the dialogs start under the user's documents instead.
[[nodiscard]] ProgramFolders findProgramFolders(const std::filesystem::path& executableFolder,
                                                const std::filesystem::path& documentsFolder,
                                                bool filesBesideProgram = kFilesBesideProgram);

}  // namespace tunalyx
