#pragma once

#include <array>

#include "model/trace_items.h"
#include "ports/settings_store.h"

namespace tunalyx {

// The groups ticked for polling, by group number.
using IncludeGroups = std::array<bool, kTraceGroupCount>;

// "MonitorInclude": the monitor's include boxes as "0"/"1" joined by commas, Advanced alone
// ("0,0,0,0,1") until the monitor has been closed once. Fields past the fifth are ignored and
// missing ones leave their group out.
[[nodiscard]] IncludeGroups loadMonitorInclude(const SettingsStore& store);
void saveMonitorInclude(SettingsStore& store, const IncludeGroups& include);

// "LogContinuous": Log > Continuous, off until chosen.
[[nodiscard]] bool loadLogContinuous(const SettingsStore& store);
void saveLogContinuous(SettingsStore& store, bool on);

}  // namespace tunalyx
