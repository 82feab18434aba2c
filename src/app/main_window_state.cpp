#include "app/main_window_state.h"

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

MainPlacement loadMainPlacement(const SettingsStore& store, int lastTab) {
    MainPlacement p;
    const WindowPlacement w =
        loadWindowPlacement(store, "Main", {p.left, p.top, p.height, p.width, 0});
    p.left = w.left;
    p.top = w.top;
    p.height = w.height;
    p.width = w.width;
    p.windowState = w.windowState;
    p.tab = static_cast<int>(store.integer("MainTab", lastTab));
    return p;
}

void saveMainPlacement(SettingsStore& store, const MainPlacement& p) {
    saveWindowPlacement(store, "Main", {p.left, p.top, p.height, p.width, p.windowState});
    if (p.windowState == 0) store.setInteger("MainTab", p.tab);
}

MainOptions loadMainOptions(const SettingsStore& store) {
    MainOptions o;
    o.chartVisible = store.boolean("ChartVisible", false);
    o.mapWatchVisible = store.boolean("MapWatchVisible", false);
    o.mapTraceSource = static_cast<int>(store.integer("MainMapTraceSource", 0));
    o.mapRefLabels = store.boolean("MainMapRefLabels", false);
    o.mapTrace = store.boolean("MainMapTrace", false);
    o.mapTraceGhost = store.boolean("MainMapTraceGhost", false);
    o.mapHeatColours = store.boolean("MapHeatColours", false);
    o.mapAutoSelect = store.boolean("MainMapAutoSelect", false);
    o.verifyWrites = store.boolean("VerifyWrites", true);
    return o;
}

void saveMainOptions(SettingsStore& store, const MainOptions& o) {
    store.setBoolean("ChartVisible", o.chartVisible);
    store.setBoolean("MapWatchVisible", o.mapWatchVisible);
    store.setInteger("MainMapTraceSource", o.mapTraceSource);
    store.setBoolean("MainMapRefLabels", o.mapRefLabels);
    store.setBoolean("MainMapTrace", o.mapTrace);
    store.setBoolean("MainMapTraceGhost", o.mapTraceGhost);
    store.setBoolean("MapHeatColours", o.mapHeatColours);
    store.setBoolean("MainMapAutoSelect", o.mapAutoSelect);
    store.setBoolean("VerifyWrites", o.verifyWrites);
}

int twipsToPixels(long long twips, double dotsPerInch) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dotsPerInch / 1440.0));
}

long long pixelsToTwips(int pixels, double dotsPerInch) {
    return std::llround(static_cast<double>(pixels) * 1440.0 / dotsPerInch);
}

}  // namespace tunalyx
