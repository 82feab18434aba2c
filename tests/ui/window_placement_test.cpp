#include <gtest/gtest.h>

#include "ports/memory_settings_store.h"
#include "ui/window_placement.h"

namespace tunalyx {
namespace {

TEST(WindowPlacement, AMaximisedWindowKeepsItsLastNormalPlace) {
    MemorySettingsStore store;
    const WindowPlacement defaults{105, 0, 3495, 10395, 0};
    EXPECT_EQ(loadWindowPlacement(store, "Chart", defaults).width, 10395);

    saveWindowPlacement(store, "Chart", {10, 20, 300, 400, 0});
    saveWindowPlacement(store, "Chart", {0, 0, 9000, 12000, 2});
    const WindowPlacement p = loadWindowPlacement(store, "Chart", defaults);
    EXPECT_EQ(p.left, 10);
    EXPECT_EQ(p.top, 20);
    EXPECT_EQ(p.height, 300);
    EXPECT_EQ(p.width, 400);
    EXPECT_EQ(p.windowState, 2);
    EXPECT_EQ(store.all().count("ChartLeft"), 1U);
    EXPECT_EQ(store.all().count("MainLeft"), 0U);
}

TEST(WindowPlacement, TwipsAndPixelsRoundToTheNearest) {
    EXPECT_EQ(twipsToPixels(1440, 96.0), 96);
    EXPECT_EQ(twipsToPixels(105, 96.0), 7);
    EXPECT_EQ(twipsToPixels(-50, 96.0), -3);
    EXPECT_EQ(pixelsToTwips(7, 96.0), 105);
    EXPECT_EQ(pixelsToTwips(1, 144.0), 10);
}

}  // namespace
}  // namespace tunalyx
