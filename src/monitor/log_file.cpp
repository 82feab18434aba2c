#include "monitor/log_file.h"

#include <cstdio>

#include "ports/local_time.h"

namespace tunalyx {

std::string logPath(const SettingsStore& store, const std::string& programFolder) {
    return store.folder("LogPath", programFolder, "Logs");
}

void rememberLogPath(SettingsStore& store, const std::string& chosenPath) {
    store.rememberFolderOf("LogPath", chosenPath);
}

std::string defaultLogName(const std::tm& when) {
    const int year = when.tm_year + 1900;
    const bool writable = year >= 0 && year <= 9999 && when.tm_mon >= 0 && when.tm_mon <= 11 &&
                          when.tm_mday >= 1 && when.tm_mday <= 31 && when.tm_hour >= 0 &&
                          when.tm_hour <= 23 && when.tm_min >= 0 && when.tm_min <= 59;
    if (!writable) return "Log1.txt";
    char buf[64];  // the ranges above need 22; room for any int keeps compilers quiet
    std::snprintf(buf, sizeof buf, "Log_%04d%02d%02d_%02d%02d.txt", year, when.tm_mon + 1,
                  when.tm_mday, when.tm_hour, when.tm_min);
    return buf;
}

std::string defaultLogName() {
    const std::optional<std::tm> now = localTimeOf(std::time(nullptr));
    return now ? defaultLogName(*now) : "Log1.txt";
}

}  // namespace tunalyx
