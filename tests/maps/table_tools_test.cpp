#include "maps/table_tools.h"

#include "maps/heat_colours.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tunalyx {
namespace {

class TableToolsTest : public ::testing::Test {
protected:
    TableToolsTest() { maps.GridInit(); }

    // Sets a display value without marking anything, as a read from the unit does.
    void load(int grid, int row, int col, double display) {
        const CellAddress a = cellAddress(maps.descriptor(grid), row, col);
        const std::int32_t raw = maps.rawOfDisplay(grid, display);
        image[a.block].at(static_cast<std::size_t>(a.byte) - 1) =
            static_cast<std::uint8_t>(raw & 0xFF);
        if (maps.descriptor(grid).width == 2)
            image[a.block].at(static_cast<std::size_t>(a.byte)) =
                static_cast<std::uint8_t>(raw >> 8);
    }
    std::string text(int grid, int row, int col) const { return maps.cellText(grid, row, col); }

    PacketImage image;
    PacketDirty dirty;
    MapLayout layout;
    CellFlags changed;
    MapGrids maps{image, dirty, layout, changed};
};

TEST_F(TableToolsTest, BilinearFillsABlockBetweenItsCornersInDisplaySteps) {
    load(kBaseMap, 3, 4, 1);  // corners of rows 3..5, columns 4..6
    load(kBaseMap, 3, 6, 2);
    load(kBaseMap, 5, 4, 3);
    load(kBaseMap, 5, 6, 4);
    const auto texts = interpolateCells(maps, kBaseMap, {5, 6, 3, 4}, InterpolateMode::Block);
    ASSERT_EQ(texts.size(), 9u);
    EXPECT_EQ(text(kBaseMap, 4, 5), "2.500");
    EXPECT_EQ(text(kBaseMap, 3, 5), "1.500");
    EXPECT_EQ(text(kBaseMap, 4, 4), "2.000");
    // The corners keep their bytes, so only the five cells between them are changed.
    EXPECT_FALSE(maps.CellChanged(kBaseMap, 3, 4));
    EXPECT_TRUE(maps.CellChanged(kBaseMap, 4, 5));
    EXPECT_EQ(maps.changedCellCount(kBaseMap), 5);
}

TEST_F(TableToolsTest, RowsAndColumnsEachUseTheirOwnEnds) {
    load(kIgnMap, 1, 1, 10);
    load(kIgnMap, 1, 5, 30);
    load(kIgnMap, 2, 1, 0);
    load(kIgnMap, 2, 5, 40);
    interpolateCells(maps, kIgnMap, {1, 1, 2, 5}, InterpolateMode::Rows);
    EXPECT_EQ(text(kIgnMap, 1, 3), "20");
    EXPECT_EQ(text(kIgnMap, 2, 2), "10");
    // A single column selected for a block fill runs from its top to its bottom cell.
    load(kIgnMap, 10, 7, 0);
    load(kIgnMap, 14, 7, 8);
    interpolateCells(maps, kIgnMap, {10, 7, 14, 7}, InterpolateMode::Block);
    EXPECT_EQ(text(kIgnMap, 11, 7), "2");
    EXPECT_EQ(text(kIgnMap, 13, 7), "6");
    interpolateCells(maps, kIgnMap, {10, 7, 14, 7}, InterpolateMode::Columns);
    EXPECT_EQ(text(kIgnMap, 12, 7), "4");
}

TEST_F(TableToolsTest, SmoothingWeighsTheCellAndItsNeighboursFromTheOldValues) {
    load(kIgnMap, 5, 5, 160);   // a spike in a flat map of 0
    load(kIgnMap, 20, 20, 90);  // and one in the last corner
    smoothCells(maps, kIgnMap, CellRange::all());
    EXPECT_EQ(text(kIgnMap, 5, 5), "40");  // 4 x 160 / 16
    EXPECT_EQ(text(kIgnMap, 4, 5), "20");  // 2 x 160 / 16, not from the new centre
    EXPECT_EQ(text(kIgnMap, 4, 4), "10");
    // At the map's edge only the neighbours inside count: (4 x 90) / (4 + 2 + 2 + 1) in the
    // corner, (2 x 90) / (4 + 2 + 2 + 2 + 1 + 1) beside it.
    EXPECT_EQ(text(kIgnMap, 20, 20), "40");
    EXPECT_EQ(text(kIgnMap, 19, 20), "15");
    EXPECT_EQ(text(kIgnMap, 20, 19), "15");
}

TEST_F(TableToolsTest, ScalingIsClampedToTheRawRange) {
    load(kIgnMap, 2, 2, 240);
    load(kIgnMap, 2, 3, 100);
    scaleCells(maps, kIgnMap, {2, 2, 2, 3}, 110, 0);
    EXPECT_EQ(text(kIgnMap, 2, 2), "255");
    EXPECT_EQ(text(kIgnMap, 2, 3), "110");
    scaleCells(maps, kIgnMap, {2, 2, 2, 3}, 100, -200);
    EXPECT_EQ(text(kIgnMap, 2, 3), "0");
    EXPECT_TRUE(dirty.isSet(maps.descriptor(kIgnMap).block));
}

TEST_F(TableToolsTest, HeatColoursSpanTheMapFromBlueToRed) {
    load(kIgnMap, 1, 1, 40);
    load(kIgnMap, 2, 2, 20);
    const RawSpan span = mapSpan(maps, kIgnMap);
    EXPECT_EQ(span.low, 0);
    EXPECT_EQ(span.high, 40);
    const auto blue = [](CellColour c) { return static_cast<int>(c >> 16 & 0xFF); };
    const auto red = [](CellColour c) { return static_cast<int>(c & 0xFF); };
    EXPECT_GT(blue(heatColour(0, span)), red(heatColour(0, span)));
    EXPECT_GT(red(heatColour(40, span)), blue(heatColour(40, span)));
    EXPECT_EQ(heatColour(20, span), heatColour(7, {7, 7}));  // the middle, and a flat map
}

}  // namespace
}  // namespace tunalyx
