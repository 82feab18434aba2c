#include "app/main_window_state.h"

namespace tunalyx {

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

}  // namespace tunalyx
