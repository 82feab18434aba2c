#include "app/main_window_state.h"

#include <cmath>

namespace tunalyx {

MainPlacement loadMainPlacement(const SettingsStore& store, int lastTab) {
    MainPlacement p;
    p.left = store.integer("MainLeft", p.left);
    p.top = store.integer("MainTop", p.top);
    p.height = store.integer("MainHeight", p.height);
    p.width = store.integer("MainWidth", p.width);
    p.windowState = static_cast<int>(store.integer("MainWindowState", 0));
    p.tab = static_cast<int>(store.integer("MainTab", lastTab));
    return p;
}

void saveMainPlacement(SettingsStore& store, const MainPlacement& p) {
    store.setInteger("MainWindowState", p.windowState);
    if (p.windowState != 0) return;
    store.setInteger("MainLeft", p.left);
    store.setInteger("MainTop", p.top);
    store.setInteger("MainHeight", p.height);
    store.setInteger("MainWidth", p.width);
    store.setInteger("MainTab", p.tab);
}

MainOptions loadMainOptions(const SettingsStore& store) {
    MainOptions o;
    o.chartVisible = store.boolean("ChartVisible", false);
    o.mapWatchVisible = store.boolean("MapWatchVisible", false);
    o.mapTraceSource = static_cast<int>(store.integer("MainMapTraceSource", 0));
    o.mapRefLabels = store.boolean("MainMapRefLabels", false);
    o.mapTrace = store.boolean("MainMapTrace", false);
    o.mapTraceGhost = store.boolean("MainMapTraceGhost", false);
    o.mapAutoSelect = store.boolean("MainMapAutoSelect", false);
    return o;
}

void saveMainOptions(SettingsStore& store, const MainOptions& o) {
    store.setBoolean("ChartVisible", o.chartVisible);
    store.setBoolean("MapWatchVisible", o.mapWatchVisible);
    store.setInteger("MainMapTraceSource", o.mapTraceSource);
    store.setBoolean("MainMapRefLabels", o.mapRefLabels);
    store.setBoolean("MainMapTrace", o.mapTrace);
    store.setBoolean("MainMapTraceGhost", o.mapTraceGhost);
    store.setBoolean("MainMapAutoSelect", o.mapAutoSelect);
}

int twipsToPixels(long long twips, double dotsPerInch) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dotsPerInch / 1440.0));
}

long long pixelsToTwips(int pixels, double dotsPerInch) {
    return std::llround(static_cast<double>(pixels) * 1440.0 / dotsPerInch);
}

}  // namespace tunalyx
