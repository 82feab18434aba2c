#pragma once

#include "ports/settings_store.h"
#include "ui/window_placement.h"

namespace tunalyx {

// Placement of the main window as the settings store keeps it: twips and a window state
// (0 normal, 1 minimised, 2 maximised).
struct MainPlacement {
    long long left = 450;
    long long top = 450;
    long long height = 8025;
    long long width = 11130;
    int windowState = 0;
    int tab = 0;
};

// "MainLeft", "MainTop", "MainHeight", "MainWidth", "MainWindowState", "MainTab"; the tab
// defaults to the last one.
[[nodiscard]] MainPlacement loadMainPlacement(const SettingsStore& store, int lastTab);
// The state always; the position, size and tab only when the window is normal, so that closing
// a maximised window keeps its last normal placement.
void saveMainPlacement(SettingsStore& store, const MainPlacement& placement);

// The main window's options that other windows own, restored at start and saved at exit.
struct MainOptions {
    bool chartVisible = false;
    bool mapWatchVisible = false;
    int mapTraceSource = 0;
    bool mapRefLabels = false;
    bool mapTrace = false;
    bool mapTraceGhost = false;
    bool mapHeatColours = false;
    bool mapAutoSelect = false;
    bool verifyWrites = true;
};
[[nodiscard]] MainOptions loadMainOptions(const SettingsStore& store);
void saveMainOptions(SettingsStore& store, const MainOptions& options);

}  // namespace tunalyx
