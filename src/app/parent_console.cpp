#include "app/parent_console.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#endif

namespace tunalyx {

void useParentConsole() {
#ifdef _WIN32
    const auto unconnected = [](DWORD which) {
        const HANDLE handle = GetStdHandle(which);
        return handle == nullptr || handle == INVALID_HANDLE_VALUE ||
               GetFileType(handle) == FILE_TYPE_UNKNOWN;
    };
    if (!unconnected(STD_OUTPUT_HANDLE) && !unconnected(STD_ERROR_HANDLE)) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (unconnected(STD_OUTPUT_HANDLE)) std::freopen("CONOUT$", "w", stdout);
    if (unconnected(STD_ERROR_HANDLE)) std::freopen("CONOUT$", "w", stderr);
#endif
}

}  // namespace tunalyx
