#include "monitor/monitor_settings.h"

#include "model/descriptors.h"

namespace tunalyx {

namespace {

constexpr const char* kIncludeKey = "MonitorInclude";
constexpr const char* kDefaultInclude = "0,0,0,0,1";
constexpr const char* kContinuousKey = "LogContinuous";

}  // namespace

IncludeGroups loadMonitorInclude(const SettingsStore& store) {
    IncludeGroups include{};
    const std::string text = store.text(kIncludeKey, kDefaultInclude);
    const auto flags = splitFields(text);
    for (std::size_t g = 0; g < flags.size() && g < include.size(); ++g)
        include[g] = flags[g] == "1";
    return include;
}

void saveMonitorInclude(SettingsStore& store, const IncludeGroups& include) {
    std::string text;
    for (std::size_t g = 0; g < include.size(); ++g) {
        if (g > 0) text += ',';
        text += include[g] ? '1' : '0';
    }
    store.setValue(kIncludeKey, text);
}

bool loadLogContinuous(const SettingsStore& store) {
    return store.boolean(kContinuousKey, false);
}

void saveLogContinuous(SettingsStore& store, bool on) {
    store.setBoolean(kContinuousKey, on);
}

}  // namespace tunalyx
