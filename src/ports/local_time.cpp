#include "ports/local_time.h"

#include <atomic>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tunalyx {

std::optional<std::tm> localTimeOf(std::time_t t) {
    std::tm parts{};
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
#ifdef _WIN32
    if (localtime_s(&parts, &t) != 0) return std::nullopt;
#else
    if (localtime_r(&t, &parts) == nullptr) return std::nullopt;
#endif
    return parts;
}

std::string localTimeText(const char* format, std::time_t t) {
    const std::optional<std::tm> parts = localTimeOf(t);
    char text[64];
    if (!parts || std::strftime(text, sizeof text, format, &*parts) == 0) return {};
    return text;
}

namespace {
std::atomic<unsigned long> g_synced{0};
}  // namespace

bool syncToDisk(std::FILE* file) {
    ++g_synced;
    if (std::fflush(file) != 0) return false;
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

unsigned long filesSyncedToDisk() {
    return g_synced;
}

}  // namespace tunalyx
