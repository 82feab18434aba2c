#include "ui/window_placement.h"

#include <cmath>

namespace tunalyx {

WindowPlacement loadWindowPlacement(const SettingsStore& store, const std::string& name,
                                    const WindowPlacement& defaults) {
    WindowPlacement p;
    p.left = store.integer(name + "Left", defaults.left);
    p.top = store.integer(name + "Top", defaults.top);
    p.height = store.integer(name + "Height", defaults.height);
    p.width = store.integer(name + "Width", defaults.width);
    p.windowState = static_cast<int>(store.integer(name + "WindowState", defaults.windowState));
    return p;
}

void saveWindowPlacement(SettingsStore& store, const std::string& name, const WindowPlacement& p) {
    store.setInteger(name + "WindowState", p.windowState);
    if (p.windowState != 0) return;
    store.setInteger(name + "Left", p.left);
    store.setInteger(name + "Top", p.top);
    store.setInteger(name + "Height", p.height);
    store.setInteger(name + "Width", p.width);
}

int twipsToPixels(long long twips, double dotsPerInch) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dotsPerInch / 1440.0));
}

long long pixelsToTwips(int pixels, double dotsPerInch) {
    return std::llround(static_cast<double>(pixels) * 1440.0 / dotsPerInch);
}

}  // namespace tunalyx
