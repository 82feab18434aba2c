#include "airflow/air_flow_grid.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

namespace tunalyx {
namespace {

class AirFlowGridTest : public ::testing::Test {
protected:
    AirFlowGridTest() {
        for (std::uint8_t block : {0xA0, 0xA1, 0xA2})
            image[block].assign(64, 0);
        codec.onChange = [this] { ++changes; };
    }

    // Sets a point's word without marking anything, as a read from the unit does.
    void load(int row, int col, int raw) {
        Bytes& slot = image[static_cast<std::uint8_t>(0x9F + row)];
        slot.at(static_cast<std::size_t>(2 * col - 2)) = static_cast<std::uint8_t>(raw & 0xFF);
        slot.at(static_cast<std::size_t>(2 * col - 1)) = static_cast<std::uint8_t>(raw >> 8);
    }

    PacketImage image;
    PacketDirty dirty;
    SettingsCodec codec{image, dirty};
    AirFlowGrid grid{codec};
    int changes = 0;
};

TEST(AirFlowDescriptor, BlockPerRowWordPerColumn) {
    EXPECT_EQ(airFlowDescriptor(1, 1), "&HA0, 1,2,.005,0,0.000");
    EXPECT_EQ(airFlowDescriptor(2, 32), "&HA1, 63,2,1,0,0");
    EXPECT_EQ(airFlowDescriptor(6, 3), "&HA5, 5,2,1,0,0");
    for (auto [row, col] : {std::pair(0, 1), std::pair(7, 1), std::pair(1, 0), std::pair(1, 33)})
        EXPECT_EQ(airFlowDescriptor(row, col), "") << row << "," << col;
}

// The rest of the key table is the map grids'; what differs is Delete and the step counts.
TEST(AirFlowKeys, DeleteClearsToZeroExceptInCompareMode) {
    EXPECT_EQ(AirFlow_KeyDown(GridKey::Delete, 0, 0, false).kind, GridAction::Kind::SetRange);
    EXPECT_EQ(AirFlow_KeyDown(GridKey::Delete, 0, 0, false).value, 0);
    EXPECT_EQ(AirFlow_KeyDown(GridKey::Plus, 0, kCtrlMask, false).value, 10);
    EXPECT_EQ(AirFlow_KeyDown(GridKey::Delete, 0, 0, true).kind, GridAction::Kind::None);
}

TEST_F(AirFlowGridTest, NeverReadBlockShowsEmptyCellsAndTakesNoWrites) {
    image[0xA2].clear();
    load(1, 2, 500);
    EXPECT_EQ(grid.cellText(1, 2), "2.500");
    EXPECT_EQ(grid.cellText(3, 1), "");
    EXPECT_EQ(grid.clipText({3, 1, 3, 3}), "\t\t");
    grid.step(airFlowAllCells(), 1);
    grid.setRange({3, 1, 2, 2}, "7");  // rows 2 and 3, read and never read
    EXPECT_EQ(grid.clipText({2, 1, 2, 3}), "7\t7\t1");
    EXPECT_TRUE(image[0xA2].empty());
    EXPECT_FALSE(dirty.isSet(0xA2));
}

TEST_F(AirFlowGridTest, StepsAreFiveMillivoltsOrOneCountAndClampAtTheWordRange) {
    codec.setLocale({','});
    load(1, 1, 500);  // 2,500 V
    load(1, 2, 500);
    load(2, 1, 10);
    load(2, 2, 65535);
    load(3, 1, 5);
    grid.step({1, 1, 1, 1}, 1);
    grid.step({1, 2, 1, 2}, 10);
    grid.step({2, 1, 2, 1}, -1);
    grid.step({3, 1, 3, 1}, -10);
    EXPECT_EQ(grid.cellText(1, 1), "2,505");
    EXPECT_EQ(grid.cellText(1, 2), "2,550");
    EXPECT_EQ(grid.cellText(2, 1), "9");
    EXPECT_EQ(grid.cellText(3, 1), "0");
    dirty.clearAll();
    grid.step({2, 2, 2, 2}, 1);  // already at the top: unchanged, so clean
    EXPECT_EQ(grid.cellText(2, 2), "65535");
    EXPECT_FALSE(dirty.any());
}

TEST_F(AirFlowGridTest, WritesClampRoundAndFlagOnlyWhatChanged) {
    load(2, 4, 300);
    EXPECT_FALSE(grid.writeCell(2, 4, "300"));
    EXPECT_FALSE(dirty.any());
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(grid.writeCell(2, 5, "70000"));
    EXPECT_FALSE(grid.writeCell(1, 5, "-1"));  // clamps to the stored 0
    grid.writeCell(1, 6, "1.0026");            // 200.52 counts round to 201
    EXPECT_EQ(grid.cellText(2, 5), "65535");
    EXPECT_EQ(grid.cellText(1, 6), "1.005");
    EXPECT_EQ(image[0xA0][10], 201);
    EXPECT_TRUE(dirty.isSet(0xA1) && dirty.isSet(0xA0) && !dirty.isSet(0xA2));
    EXPECT_EQ(changes, 2);
}

// The map grids' tools, along each curve and through each cell's descriptor.
TEST_F(AirFlowGridTest, TableToolsWorkAlongEachCurveAndLeaveBlocksNeverRead) {
    image[0xA2].clear();
    load(1, 1, 500);  // 2.500 V to 4.500 V
    load(1, 5, 900);
    load(2, 1, 10);
    load(2, 5, 50);
    grid.interpolateRows({3, 5, 1, 1});
    EXPECT_EQ(grid.clipText({1, 1, 2, 5}), "2.500\t3.000\t3.500\t4.000\t4.500\r10\t20\t30\t40\t50");
    // A spike is smoothed with its two neighbours on its own curve, not with the voltages:
    // (4 x 90 + 2 x 20 + 2 x 40) / 8.
    load(2, 3, 90);
    grid.smoothRows({2, 3, 3, 3});
    EXPECT_EQ(grid.cellText(2, 3), "60");
    grid.scale({1, 1, 3, 2}, 110, 0.2);  // 11.2 counts round to 11
    EXPECT_EQ(grid.clipText({1, 1, 2, 2}), "2.950\t3.500\r11\t22");
    EXPECT_TRUE(image[0xA2].empty());
}

TEST_F(AirFlowGridTest, PasteFillsFromTheTopLeftAndKeepsCellsBeyondTheText) {
    load(2, 3, 42);
    // Selected bottom-right to top-left: the text still starts at the top-left cell.
    grid.paste({3, 3, 2, 2}, "1\t2\t99\r\n3\r\n");
    EXPECT_EQ(grid.clipText({2, 2, 3, 4}), "1\t2\t0\r3\t0\t0");
    grid.paste({1, 1, 1, 1}, "2.5\t9");
    EXPECT_EQ(grid.clipText({1, 1, 1, 2}), "2.500\t0.000");
    grid.paste({2, 3, 2, 3}, "");
    EXPECT_EQ(grid.cellText(2, 3), "2");
}

}  // namespace
}  // namespace tunalyx
