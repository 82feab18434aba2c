#pragma once

#include <string>

#include "ports/settings_store.h"

namespace tunalyx {

// Where a window sits, as the settings store keeps it under the window's name: "<name>Left",
// "<name>Top", "<name>Height", "<name>Width" in twips and "<name>WindowState" (0 normal,
// 1 minimised, 2 maximised).
struct WindowPlacement {
    long long left = 0;
    long long top = 0;
    long long height = 0;
    long long width = 0;
    int windowState = 0;
};
[[nodiscard]] WindowPlacement loadWindowPlacement(const SettingsStore& store,
                                                  const std::string& name,
                                                  const WindowPlacement& defaults);
// The state always; the position and size only when the window is normal, so that closing a
// maximised window keeps its last normal placement.
void saveWindowPlacement(SettingsStore& store, const std::string& name,
                         const WindowPlacement& placement);

// 1440 twips an inch.
[[nodiscard]] int twipsToPixels(long long twips, double dotsPerInch);
[[nodiscard]] long long pixelsToTwips(int pixels, double dotsPerInch);

}  // namespace tunalyx
