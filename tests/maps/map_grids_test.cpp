#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "maps/map_grids.h"

namespace tunalyx {
namespace {

class MapGridsTest : public ::testing::Test {
protected:
    MapGridsTest() {
        maps.GridInit();
        maps.onChange = [this] { ++changes; };
    }

    void setByte(std::uint8_t block, int pos, std::uint8_t value) {
        image[block][static_cast<std::size_t>(pos) - 1] = value;
    }
    std::uint8_t byteAt(std::uint8_t block, int pos) const {
        return image[block][static_cast<std::size_t>(pos) - 1];
    }
    // Sets raw values without marking anything, as a read from the unit does.
    void load(int grid, int row, int col, int raw) {
        const CellAddress a = cellAddress(maps.descriptor(grid), row, col);
        setByte(a.block, a.byte, static_cast<std::uint8_t>(raw & 0xFF));
        if (maps.descriptor(grid).width == 2)
            setByte(a.block, a.byte + 1, static_cast<std::uint8_t>(raw >> 8));
    }
    void expectUnmarked(int grid) const {
        EXPECT_EQ(maps.changedCellCount(grid), 0);
        EXPECT_FALSE(dirty.any());
        EXPECT_EQ(changes, 0);
    }
    static std::vector<std::string> textsOf(const std::vector<CellText>& cells) {
        std::vector<std::string> texts;
        for (const CellText& c : cells)
            texts.push_back(c.text);
        return texts;
    }

    PacketImage image;
    PacketDirty dirty;
    MapGrids maps{image, dirty};
    int changes = 0;
};

TEST(MapDescriptor, ParsesTagFieldsAndRejectsMalformedTags) {
    const auto base = parseMapDescriptor("176,2,0.004,-1.5,0.000,0,65535");
    ASSERT_TRUE(base);
    EXPECT_EQ(base->block, 0xB0);
    EXPECT_EQ(base->width, 2);
    EXPECT_EQ(base->scale, 0.004f);  // single precision, as typed values are computed
    EXPECT_EQ(base->offset, -1.5f);
    EXPECT_EQ(base->format, "0.000");
    EXPECT_EQ(base->max, 65535.0f);
    EXPECT_TRUE(parseMapDescriptor("&HFC,1,1,0,0,0,255"));  // last block 0xFF

    for (const char* bad :
         {"&H81,1,1,0,0,0", "&H81,1,1,0,0,0,255,1", "&H81,3,1,0,0,0,255", "&H81,1,0,0,0,0,255",
          "&H81,1,1,0,0,x,255", "&HFD,1,1,0,0,0,255", "&HF9,2,1,0,0,0,255", "-1,1,1,0,0,0,255", ""})
        EXPECT_FALSE(parseMapDescriptor(bad)) << bad;
}

TEST_F(MapGridsTest, InitFillsEveryMapBlockWithZeroBytes) {
    EXPECT_EQ(maps.mapBlocks(kInjMap), (std::vector<std::uint8_t>{0x86, 0x87, 0x88, 0x89}));
    for (std::uint8_t block : {0x81, 0x84, 0x86, 0x89, 0xB0, 0xB7})
        EXPECT_EQ(image[block], Bytes(100, 0)) << int(block);
    EXPECT_TRUE(image[0x85].empty());
    EXPECT_TRUE(image[0xB8].empty());
    EXPECT_FALSE(dirty.any());
}

TEST_F(MapGridsTest, CellsAreStoredColumnByColumn) {
    struct Case {
        int grid, row, col;
        std::uint8_t block;
        int byte;
    };
    for (const Case& c : {Case{kInjMap, 1, 1, 0x86, 1}, Case{kInjMap, 4, 7, 0x87, 24},
                          Case{kInjMap, 20, 5, 0x86, 100}, Case{kInjMap, 1, 6, 0x87, 1},
                          Case{kIgnMap, 20, 20, 0x84, 100}, Case{kBaseMap, 10, 3, 0xB0, 99},
                          Case{kBaseMap, 11, 3, 0xB1, 1}, Case{kBaseMap, 20, 20, 0xB7, 99}}) {
        const CellAddress a = cellAddress(maps.descriptor(c.grid), c.row, c.col);
        EXPECT_EQ(a.block, c.block) << c.row << "," << c.col;
        EXPECT_EQ(a.byte, c.byte) << c.row << "," << c.col;
    }
    setByte(0xB0, 99, 0xFF);  // low byte
    setByte(0xB0, 100, 0xFF);
    EXPECT_EQ(maps.GridData(kBaseMap, 10, 3), 65535);
    EXPECT_EQ(maps.cellText(kBaseMap, 10, 3), "262.140");
    setByte(0x87, 24, 192);
    EXPECT_EQ(maps.cellText(kInjMap, 4, 7), "1.250");
}

TEST_F(MapGridsTest, CellsThatCannotBeAddressedReadZeroAndStoreNothing) {
    load(kIgnMap, 1, 1, 99);
    for (auto [grid, row, col] :
         {std::array{kIgnMap, 0, 1}, std::array{kIgnMap, 1, 21}, std::array{3, 1, 1}})
        EXPECT_EQ(maps.GridData(grid, row, col), 0);
    image[0x81].resize(10);  // a short slot, e.g. from a truncated file
    EXPECT_EQ(maps.GridData(kIgnMap, 1, 1), 99);
    EXPECT_EQ(maps.GridData(kIgnMap, 11, 1), 0);
    EXPECT_FALSE(maps.GridSetData(kIgnMap, 11, 1, 5));
    expectUnmarked(kIgnMap);
}

TEST_F(MapGridsTest, SetDataEncodesAndMarksOnlyChangedBytes) {
    struct Case {
        int grid;
        std::int32_t value;
        Bytes stored;
    };
    for (const Case& c : {Case{kIgnMap, 300, {255}}, Case{kIgnMap, -5, {0}},
                          Case{kIgnMap, 17, {17}}, Case{kBaseMap, 65535, {0xFF, 0xFF}},
                          Case{kBaseMap, 70000, {0x70, 0xFF}},  // only the high byte saturates
                          Case{kBaseMap, 1234, {0xD2, 0x04}}, Case{kBaseMap, -1, {0, 0}}}) {
        maps.GridInit();
        maps.clearCellChanged(c.grid);
        dirty.clearAll();
        changes = 0;
        const bool changed = maps.GridSetData(c.grid, 4, 7, c.value);
        const CellAddress a = cellAddress(maps.descriptor(c.grid), 4, 7);
        for (std::size_t i = 0; i < c.stored.size(); ++i)
            EXPECT_EQ(byteAt(a.block, a.byte + static_cast<int>(i)), c.stored[i]) << c.value;
        const bool expectChange = c.stored != Bytes(c.stored.size(), 0);
        EXPECT_EQ(changed, expectChange) << c.value;
        EXPECT_EQ(maps.CellChanged(c.grid, 4, 7), expectChange) << c.value;
        EXPECT_EQ(dirty.isSet(a.block), expectChange) << c.value;
        EXPECT_EQ(dirty.count(), expectChange ? 1u : 0u) << c.value;
        EXPECT_EQ(changes, expectChange ? 1 : 0) << c.value;
    }
}

TEST_F(MapGridsTest, TypedValuesAreScaledClampedAndRoundedHalfEven) {
    struct Case {
        int grid;
        const char* typed;
        std::int32_t raw;
    };
    for (const Case& c :
         {Case{kInjMap, "1", 128}, Case{kInjMap, "2", 255}, Case{kInjMap, "0.4", 0},
          Case{kInjMap, "1.001953125", 128},  // 128.5
          Case{kInjMap, "1.005859375", 130},  // 129.5
          Case{kInjMap, " 1.25 ", 192}, Case{kInjMap, "abc", 0}, Case{kInjMap, "", 0},
          Case{kIgnMap, "-3", 0}, Case{kIgnMap, "14", 14}, Case{kBaseMap, "262.14", 65535},
          Case{kBaseMap, "300", 65535}, Case{kBaseMap, "4", 1000}, Case{kBaseMap, "1e3", 0}})
        EXPECT_EQ(maps.GridParse(c.grid, c.typed), c.raw) << c.typed;

    EXPECT_EQ(maps.fText(kInjMap, 128), "1.000");
    EXPECT_EQ(maps.fText(kIgnMap, 14), "14");
    EXPECT_EQ(maps.fText(kBaseMap, 1000), "4.000");
    maps.setLocale(NumberLocale{','});
    EXPECT_EQ(maps.fText(kInjMap, 192), "1,250");
    EXPECT_EQ(maps.GridParse(kInjMap, "0,75"), 64);
}

TEST_F(MapGridsTest, StepsStopAtTheLimitsAndWalkRowByRow) {
    load(kIgnMap, 1, 1, 250);
    load(kIgnMap, 1, 2, 255);
    load(kIgnMap, 2, 1, 5);
    load(kIgnMap, 2, 2, 100);
    const CellRange backwards{2, 2, 1, 1};  // selected from the bottom right

    const auto up = maps.GridIncrease(kIgnMap, backwards, 10);
    ASSERT_EQ(up.size(), 4u);
    EXPECT_EQ((std::array{up[1].row, up[1].col, up[2].row, up[2].col}), (std::array{1, 2, 2, 1}));
    EXPECT_EQ(textsOf(up), (std::vector<std::string>{"255", "255", "15", "110"}));
    EXPECT_EQ(maps.GridData(kIgnMap, 1, 1), 255);
    EXPECT_FALSE(maps.CellChanged(kIgnMap, 1, 2));  // already at max
    EXPECT_EQ(maps.changedCellCount(kIgnMap), 3);
    EXPECT_TRUE(dirty.isSet(0x81));

    const auto down = maps.GridDecrease(kIgnMap, backwards, 10);
    EXPECT_EQ(textsOf(down), (std::vector<std::string>{"245", "245", "5", "100"}));
    EXPECT_EQ(textsOf(maps.GridDecrease(kIgnMap, {2, 1, 2, 1}, 10)), std::vector<std::string>{"0"});
}

TEST_F(MapGridsTest, AnEditToTheStoredValueMarksNothingButRewritesTheText) {
    load(kInjMap, 3, 3, 128);
    EXPECT_EQ(textsOf(maps.GridSetRange(kInjMap, {3, 3, 3, 3}, 128)),
              std::vector<std::string>{"1.000"});
    const auto typed = [](int, int) { return std::string("1.0"); };
    EXPECT_EQ(textsOf(maps.GridCommit(kInjMap, {3, 3, 3, 3}, typed)),
              std::vector<std::string>{"1.000"});
    expectUnmarked(kInjMap);

    const auto set = maps.GridSetRange(kInjMap, {1, 1, 2, 20}, 128);  // Delete on two rows
    EXPECT_EQ(set.size(), 40u);
    EXPECT_EQ(maps.changedCellCount(kInjMap), 40);
    EXPECT_TRUE(dirty.isSet(0x86) && dirty.isSet(0x89));
}

TEST_F(MapGridsTest, PasteFillsOnlyTheSelection) {
    for (int row = 1; row <= kMapRows; ++row)
        for (int col = 1; col <= kMapCols; ++col)
            load(kIgnMap, row, col, row * 10 + col);
    const std::string clip = maps.clipText(kIgnMap, CellRange::all());
    EXPECT_EQ(maps.clipText(kIgnMap, {2, 2, 1, 1}), "11\t12\r21\t22");
    maps.GridInit();

    maps.paste(kIgnMap, {5, 5, 5, 5}, clip);
    EXPECT_EQ(maps.GridData(kIgnMap, 5, 5), 11);
    EXPECT_EQ(maps.changedCellCount(kIgnMap), 1);

    maps.paste(kIgnMap, CellRange::all(), clip);
    EXPECT_EQ(maps.clipText(kIgnMap, CellRange::all()), clip);
    EXPECT_EQ(maps.changedCellCount(kIgnMap), 400);
}

TEST_F(MapGridsTest, PasteAcceptsSpreadsheetLineBreaksAndKeepsCellsBeyondTheText) {
    struct Case {
        const char* clip;
        std::vector<std::string> texts;  // cells (2,2) (2,3) (3,2) (3,3)
    };
    for (const Case& c :
         {Case{"1\t2\t3\r\n4\t5\t6\r\n", {"1", "2", "4", "5"}},
          Case{"1\t2\n4\t5\n7", {"1", "2", "4", "5"}}, Case{"9\r", {"9", "33", "42", "43"}},
          Case{"\t7", {"0", "7", "42", "43"}}, Case{"", {"22", "33", "42", "43"}}}) {
        maps.GridInit();
        load(kIgnMap, 2, 2, 22);
        load(kIgnMap, 2, 3, 33);
        load(kIgnMap, 3, 2, 42);
        load(kIgnMap, 3, 3, 43);
        EXPECT_EQ(textsOf(maps.paste(kIgnMap, {2, 2, 3, 3}, c.clip)), c.texts) << c.clip;
        EXPECT_EQ(maps.GridData(kIgnMap, 3, 3), std::stoi(c.texts[3])) << c.clip;
        EXPECT_EQ(maps.GridData(kIgnMap, 4, 2), 0) << c.clip;  // below the selection
    }
}

TEST_F(MapGridsTest, ReCalcBaseFoldsTheShownInjectionFactorIntoTheBaseMap) {
    load(kInjMap, 1, 1, 192);  // 1.250
    load(kBaseMap, 1, 1, 1000);
    load(kInjMap, 2, 1, 129);  // 1.00390625, shown as 1.004
    load(kBaseMap, 2, 1, 126);
    load(kInjMap, 3, 1, 128);
    load(kBaseMap, 3, 1, 500);

    maps.ReCalcBase();
    EXPECT_EQ(maps.GridData(kBaseMap, 1, 1), 1250);
    EXPECT_EQ(maps.GridData(kBaseMap, 2, 1), 127);  // 126.504 from the shown factor
    EXPECT_EQ(maps.GridData(kBaseMap, 3, 1), 500);
    EXPECT_EQ(maps.GridData(kBaseMap, 4, 1), 0);
    EXPECT_EQ(maps.GridData(kInjMap, 20, 20), 128);
    EXPECT_EQ(maps.changedCellCount(kInjMap), 400);
    EXPECT_EQ(maps.changedCellCount(kBaseMap), 400);  // unchanged cells too
    EXPECT_TRUE(dirty.isSet(0xB0));
    EXPECT_FALSE(dirty.isSet(0xB7));
    EXPECT_GE(changes, 1);
}

TEST_F(MapGridsTest, AxisLabelsComeFromTheMapReferenceWhenAsked) {
    const auto columns = maps.columnLabels(false);
    ASSERT_EQ(columns.size(), 20u);
    EXPECT_EQ(columns.front(), "N01");
    EXPECT_EQ(columns.back(), "N20");
    EXPECT_EQ(maps.rowLabels(false)[8], "P09");

    image[0x8A].assign(80, 0);
    for (int k = 0; k < 20; ++k) {
        setByte(0x8A, 1 + 2 * k, static_cast<std::uint8_t>(10 * k));  // rows: 0, 10 .. 190
        setByte(0x8A, 41 + 2 * k, static_cast<std::uint8_t>(400 * (k + 1) & 0xFF));
        setByte(0x8A, 42 + 2 * k, static_cast<std::uint8_t>(400 * (k + 1) >> 8));
    }
    EXPECT_EQ(maps.columnLabels(true)[0], "400");
    EXPECT_EQ(maps.columnLabels(true)[19], "8000");
    EXPECT_EQ(maps.rowLabels(true)[0], "0");
    EXPECT_EQ(maps.rowLabels(true)[19], "190");
    EXPECT_EQ(maps.columnLabels(false)[0], "N01");

    image[0x8A].resize(44);  // a short block: the labels it cannot hold are empty
    EXPECT_EQ(maps.columnLabels(true)[1], "800");
    EXPECT_EQ(maps.columnLabels(true)[2], "");
    maps.MapRefBlock = 0x51;
    EXPECT_EQ(maps.rowLabels(true)[0], "");
}

TEST_F(MapGridsTest, MovingAMapBlockMovesTheCellsAndTheTag) {
    maps.setMapBlock(kInjMap, 0x56);
    EXPECT_EQ(maps.tag(kInjMap), "&H56,1,0.00390625,0.5,0.000,0,255");
    EXPECT_EQ(maps.mapBlocks(kInjMap), (std::vector<std::uint8_t>{0x56, 0x57, 0x58, 0x59}));
    image[0x57].assign(100, 0);
    EXPECT_TRUE(maps.GridSetData(kInjMap, 4, 7, 77));
    EXPECT_EQ(byteAt(0x57, 24), 77);
    EXPECT_TRUE(dirty.isSet(0x57));
    EXPECT_FALSE(dirty.isSet(0x87));

    maps.setMapBlock(kBaseMap, 0xF9);  // eight blocks would pass 0xFF
    EXPECT_EQ(maps.descriptor(kBaseMap).block, 0xB0);
    EXPECT_EQ(maps.tag(kBaseMap), "&HB0,2,0.004,0,0.000,0,65535");

    maps.GridInit();  // re-parses the moved Tag
    EXPECT_EQ(maps.descriptor(kInjMap).block, 0x56);
    EXPECT_EQ(image[0x56], Bytes(100, 0));
}

TEST(MapTracer, MarkerCoversCellsOverlappedByMoreThanAQuarter) {
    struct Case {
        double x, y;
        CellRange cells;  // row, col, rowSel, colSel
    };
    for (const Case& c :
         {Case{0.2, 0.2, {1, 1, 1, 1}}, Case{0.5, 0.5, {1, 1, 2, 2}}, Case{0.8, 0, {1, 2, 1, 2}},
          Case{19, 19, {20, 20, 20, 20}}, Case{0.25, 0.75, {2, 1, 2, 2}},
          Case{3.74, 7.26, {8, 4, 9, 5}}, Case{0, -0.5, {0, 1, 1, 1}}}) {
        const CellRange r = coveredCells(c.x, c.y);
        EXPECT_EQ((std::array{r.row, r.col, r.rowSel, r.colSel}),
                  (std::array{c.cells.row, c.cells.col, c.cells.rowSel, c.cells.colSel}))
            << c.x << "," << c.y;
    }
}

}  // namespace
}  // namespace tunalyx
