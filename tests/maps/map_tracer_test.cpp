#include "maps/map_tracer.h"

#include <gtest/gtest.h>

namespace tunalyx {
namespace {

class MapTracerTest : public ::testing::Test {
protected:
    int redCells(int grid) const {
        int n = 0;
        for (int r = 1; r <= kMapRows; ++r)
            for (int c = 1; c <= kMapCols; ++c)
                n += colours.at(grid, r, c) == kGhostColour;
        return n;
    }
    MapColours colours;
    MapTracer tracer{colours};
};

TEST_F(MapTracerTest, DrawsOnlyWhileOnAndRemembersTheLastPosition) {
    EXPECT_FALSE(tracer.ShowMapPos(3.5, 2.0, kInjMap));
    // Turning it on redraws where the trace last was.
    const auto on = tracer.mnuMapTrace_Click(kInjMap);
    ASSERT_TRUE(on);
    EXPECT_EQ(std::pair(on->x, on->y), std::pair(3.5, 2.0));
    const auto again = tracer.ShowMapPos(-1, -1, kInjMap);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->x, 3.5);
    EXPECT_FALSE(again->select);
    tracer.mnuAutoSelect_Click();
    EXPECT_TRUE(tracer.ShowMapPos(1, 1, kInjMap)->select);
    // A settings tab traces on the last grid's coordinates.
    EXPECT_EQ(tracer.ShowMapPos(1, 1, 5)->grid, kBaseMap);
    EXPECT_EQ(redCells(kInjMap), 0);  // no ghost: no colour
    EXPECT_FALSE(tracer.mnuMapTrace_Click(kInjMap));
}

TEST_F(MapTracerTest, CoveredCellsStayInsideTheMap) {
    tracer.mnuMapTrace_Click(kIgnMap);
    EXPECT_EQ(tracer.ShowMapPos(19, 19, kIgnMap)->covered.right(), 20);
    const CellRange past = tracer.ShowMapPos(19.9, 25, kIgnMap)->covered;
    EXPECT_EQ((std::array{past.row, past.col, past.rowSel, past.colSel}),
              (std::array{20, 20, 20, 20}));
    const CellRange before = tracer.ShowMapPos(0, -0.5, kIgnMap)->covered;
    EXPECT_EQ((std::array{before.top(), before.bottom()}), (std::array{1, 1}));
}

TEST_F(MapTracerTest, GhostTrailIsCarriedToTheNextMapAndClearedWithTheGhost) {
    tracer.mnuMapTrace_Click(kInjMap);
    tracer.mnuMapTraceGhost_Click();
    tracer.ShowMapPos(0.5, 0.5, kInjMap);  // four cells
    tracer.ShowMapPos(19, 0, kInjMap);     // one more
    EXPECT_EQ(redCells(kInjMap), 5);
    EXPECT_EQ(colours.at(kInjMap, 1, 20), kGhostColour);
    const MapTracer::TabChange change = tracer.SSTab1_Click(kIgnMap);
    EXPECT_EQ(change.carriedFrom, kInjMap);
    ASSERT_TRUE(change.drawing);
    EXPECT_EQ(change.drawing->grid, kIgnMap);
    EXPECT_EQ(redCells(kIgnMap), 5);
    EXPECT_EQ(tracer.TraceTab(), kIgnMap);
    // Compare's differences on a grid are not the trail: they stay where they are.
    colours.set(kIgnMap, 10, 10, kGhostColour);
    EXPECT_FALSE(tracer.SSTab1_Click(kInjMap, false).carriedFrom);
    EXPECT_EQ(redCells(kInjMap), 5);
    tracer.mnuMapTraceGhost_Click();  // off: every grid is cleared
    EXPECT_EQ(redCells(kInjMap) + redCells(kIgnMap), 0);
}

TEST_F(MapTracerTest, WithTheTracerOffTabChangesOnlyFollowTheTab) {
    colours.set(kInjMap, 4, 4, kGhostColour);
    const MapTracer::TabChange change = tracer.SSTab1_Click(kIgnMap);
    EXPECT_FALSE(change.carriedFrom || change.drawing);
    EXPECT_EQ(tracer.TraceTab(), kIgnMap);
    EXPECT_EQ(redCells(kIgnMap), 0);
    tracer.SSTab1_Click(6);  // a settings tab changes nothing
    EXPECT_EQ(tracer.TraceTab(), kIgnMap);
}

}  // namespace
}  // namespace tunalyx
