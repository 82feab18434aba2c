#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include "maps/map_grids.h"

namespace tunalyx {
namespace {

using Texts = std::vector<std::string>;

class MapGridsTest : public ::testing::Test {
protected:
    MapGridsTest() {
        maps.GridInit();
        maps.onChange = [this] { ++changes; };
    }

    std::uint8_t& byteAt(std::uint8_t block, int pos) {
        return image[block].at(static_cast<std::size_t>(pos) - 1);
    }
    // Sets raw values without marking anything, as a read from the unit does.
    void load(int grid, int row, int col, int raw) {
        const CellAddress a = cellAddress(maps.descriptor(grid), row, col);
        byteAt(a.block, a.byte) = static_cast<std::uint8_t>(raw & 0xFF);
        if (maps.descriptor(grid).width == 2)
            byteAt(a.block, a.byte + 1) = static_cast<std::uint8_t>(raw >> 8);
    }
    static Texts textsOf(const std::vector<CellText>& cells) {
        Texts texts;
        for (const CellText& c : cells)
            texts.push_back(c.text);
        return texts;
    }

    PacketImage image;
    PacketDirty dirty;
    MapLayout layout;
    CellFlags cellFlags;
    MapGrids maps{image, dirty, layout, cellFlags};
    int changes = 0;
};

TEST(MapDescriptor, ParsesTagFieldsAndRejectsMalformedTags) {
    const auto d = parseMapDescriptor("176,2,0.004,-1.5,0.000,0,65535");
    ASSERT_TRUE(d);
    // Single precision, as typed values are computed.
    EXPECT_EQ(std::tuple(d->block, d->width, d->scale, d->offset, d->format, d->max),
              std::tuple(0xB0, 2, 0.004f, -1.5f, "0.000", 65535.0f));
    EXPECT_TRUE(parseMapDescriptor("&HFC,1,1,0,0,0,255"));  // last block 0xFF
    for (const char* bad :
         {"&H81,1,1,0,0,0", "&H81,1,1,0,0,0,255,1", "&H81,3,1,0,0,0,255", "&H81,1,0,0,0,0,255",
          "&H81,1,1,0,0,x,255", "&HFD,1,1,0,0,0,255", "&HF9,2,1,0,0,0,255", "-1,1,1,0,0,0,255", ""})
        EXPECT_FALSE(parseMapDescriptor(bad)) << bad;
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
        EXPECT_EQ(std::tuple(a.block, a.byte), std::tuple(c.block, c.byte))
            << c.row << "," << c.col;
    }
    // Init fills the map blocks, and only them, with zero bytes.
    EXPECT_EQ(image[0x86], Bytes(100, 0));
    EXPECT_TRUE(image[0x85].empty() && image[0xB8].empty());
    byteAt(0xB0, 99) = 0xFF;  // low byte
    byteAt(0xB0, 100) = 0xFF;
    EXPECT_EQ(maps.GridData(kBaseMap, 10, 3), 65535);
    EXPECT_EQ(maps.cellText(kBaseMap, 10, 3), "262.140");
    byteAt(0x87, 24) = 192;
    EXPECT_EQ(maps.cellText(kInjMap, 4, 7), "1.250");
}

TEST_F(MapGridsTest, SetDataEncodesAndMarksOnlyChangedBytesOfCellsThatExist) {
    struct Case {
        int grid;
        std::int32_t value;
        Bytes stored;
    };
    // A word keeps the low byte and saturates only the high byte.
    for (const Case& c :
         {Case{kIgnMap, 300, {255}}, Case{kIgnMap, -5, {0}}, Case{kIgnMap, 17, {17}},
          Case{kBaseMap, 65535, {0xFF, 0xFF}}, Case{kBaseMap, 70000, {0x70, 0xFF}},
          Case{kBaseMap, 1234, {0xD2, 0x04}}, Case{kBaseMap, -1, {0, 0}}}) {
        SCOPED_TRACE(c.value);
        maps.GridInit();
        maps.clearCellChanged(c.grid);
        dirty.clearAll();
        changes = 0;
        const bool changed = maps.GridSetData(c.grid, 4, 7, c.value);
        const CellAddress a = cellAddress(maps.descriptor(c.grid), 4, 7);
        const auto at = image[a.block].begin() + (a.byte - 1);
        EXPECT_EQ(Bytes(at, at + static_cast<std::ptrdiff_t>(c.stored.size())), c.stored);
        const bool expected = c.stored != Bytes(c.stored.size(), 0);
        EXPECT_EQ(changed, expected);
        EXPECT_EQ(maps.CellChanged(c.grid, 4, 7), expected);
        EXPECT_EQ(dirty.isSet(a.block), expected);
        EXPECT_EQ(dirty.count(), expected ? 1u : 0u);
        EXPECT_EQ(changes, expected ? 1 : 0);
    }
    // Cells that cannot be addressed read 0 and store nothing.
    load(kIgnMap, 1, 1, 99);
    image[0x81].resize(10);  // a short slot, e.g. from a truncated file
    EXPECT_EQ(maps.GridData(kIgnMap, 1, 1), 99);
    for (const auto& [grid, row, col] : std::initializer_list<std::array<int, 3>>{
             {kIgnMap, 0, 1}, {kIgnMap, 1, 21}, {3, 1, 1}, {kIgnMap, 11, 1}}) {
        EXPECT_EQ(maps.GridData(grid, row, col), 0);
        EXPECT_FALSE(maps.GridSetData(grid, row, col, 5));
    }
    EXPECT_FALSE(dirty.any());
}

TEST_F(MapGridsTest, TypedValuesAreScaledClampedAndRoundedHalfEven) {
    struct Case {
        int grid;
        const char* typed;
        std::int32_t raw;
    };
    // 1.001953125 is raw 128.5, 1.005859375 raw 129.5.
    for (const Case& c :
         {Case{kInjMap, "1", 128}, Case{kInjMap, "2", 255}, Case{kInjMap, "0.4", 0},
          Case{kInjMap, "1.001953125", 128}, Case{kInjMap, "1.005859375", 130},
          Case{kInjMap, " 1.25 ", 192}, Case{kInjMap, "abc", 0}, Case{kInjMap, "", 0},
          Case{kIgnMap, "-3", 0}, Case{kIgnMap, "14", 14}, Case{kBaseMap, "262.14", 65535},
          Case{kBaseMap, "300", 65535}, Case{kBaseMap, "4", 1000}, Case{kBaseMap, "1e3", 0}})
        EXPECT_EQ(maps.GridParse(c.grid, c.typed), c.raw) << c.typed;
    EXPECT_EQ(maps.fText(kIgnMap, 14), "14");
    EXPECT_EQ(maps.fText(kBaseMap, 1000), "4.000");
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
    EXPECT_EQ(textsOf(up), (Texts{"255", "255", "15", "110"}));
    EXPECT_FALSE(maps.CellChanged(kIgnMap, 1, 2));  // already at max
    EXPECT_EQ(maps.changedCellCount(kIgnMap), 3);
    EXPECT_TRUE(dirty.isSet(0x81));
    EXPECT_EQ(textsOf(maps.GridDecrease(kIgnMap, backwards, 10)),
              (Texts{"245", "245", "5", "100"}));
    EXPECT_EQ(textsOf(maps.GridDecrease(kIgnMap, {2, 1, 2, 1}, 10)), Texts{"0"});
}

TEST_F(MapGridsTest, AnEditToTheStoredValueMarksNothingButRewritesTheText) {
    load(kInjMap, 3, 3, 128);
    EXPECT_EQ(textsOf(maps.GridSetRange(kInjMap, {3, 3, 3, 3}, 128)), Texts{"1.000"});
    const auto typed = [](int, int) { return std::string("1.0"); };
    EXPECT_EQ(textsOf(maps.GridCommit(kInjMap, {3, 3, 3, 3}, typed)), Texts{"1.000"});
    EXPECT_EQ(maps.changedCellCount(kInjMap), 0);
    EXPECT_FALSE(dirty.any());
    EXPECT_EQ(changes, 0);
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
        Texts texts;  // cells (2,2) (2,3) (3,2) (3,3), which held 22 33 42 43
    };
    for (const Case& c :
         {Case{"1\t2\t3\r\n", {"1", "2", "42", "43"}}, Case{"1\t2\n4\t5\n7", {"1", "2", "4", "5"}},
          Case{"9\r", {"9", "33", "42", "43"}}, Case{"\t7", {"0", "7", "42", "43"}},
          Case{"", {"22", "33", "42", "43"}}}) {
        maps.GridInit();
        for (const auto& [row, col, raw] : std::initializer_list<std::array<int, 3>>{
                 {2, 2, 22}, {2, 3, 33}, {3, 2, 42}, {3, 3, 43}})
            load(kIgnMap, row, col, raw);
        EXPECT_EQ(textsOf(maps.paste(kIgnMap, {2, 2, 3, 3}, c.clip)), c.texts) << c.clip;
        EXPECT_EQ(maps.GridData(kIgnMap, 3, 3), std::stoi(c.texts[3])) << c.clip;
        EXPECT_EQ(maps.GridData(kIgnMap, 4, 2), 0) << c.clip;  // below the selection
    }
}

TEST_F(MapGridsTest, ReCalcBaseFoldsTheShownInjectionFactorIntoTheBaseMap) {
    // 1.250 x 1000; 1.00390625, shown as 1.004, x 126 = 126.504; 1.000 x 500.
    for (const auto& [row, inj, base] :
         std::initializer_list<std::array<int, 3>>{{1, 192, 1000}, {2, 129, 126}, {3, 128, 500}}) {
        load(kInjMap, row, 1, inj);
        load(kBaseMap, row, 1, base);
    }
    maps.ReCalcBase();
    EXPECT_EQ(maps.GridData(kBaseMap, 1, 1), 1250);
    EXPECT_EQ(maps.GridData(kBaseMap, 2, 1), 127);
    EXPECT_EQ(maps.GridData(kBaseMap, 3, 1), 500);
    EXPECT_EQ(maps.GridData(kBaseMap, 4, 1), 0);
    EXPECT_EQ(maps.GridData(kInjMap, 1, 1), 128);  // the injection map back to 1.000
    EXPECT_EQ(maps.changedCellCount(kInjMap), 400);
    EXPECT_EQ(maps.changedCellCount(kBaseMap), 400);  // unchanged cells too
    EXPECT_TRUE(dirty.isSet(0xB0));
    EXPECT_FALSE(dirty.isSet(0xB7));
    EXPECT_GE(changes, 1);
}

TEST_F(MapGridsTest, AxisLabelsComeFromTheMapReferenceWhenAsked) {
    // Words from byte 1 for the rows and from byte 41 for the columns; a block too short for
    // a label leaves it empty.
    image[0x8A].assign(44, 0);
    byteAt(0x8A, 1) = 10;
    byteAt(0x8A, 41) = 0x90;  // 400
    byteAt(0x8A, 42) = 0x01;
    byteAt(0x8A, 44) = 0x03;  // 768
    EXPECT_EQ(maps.columnLabels(false).back(), "N20");
    EXPECT_EQ(maps.rowLabels(false)[8], "P09");
    EXPECT_EQ(maps.rowLabels(true)[0], "10");
    EXPECT_EQ(maps.rowLabels(true)[19], "0");
    const Texts columns = maps.columnLabels(true);
    EXPECT_EQ(Texts(columns.begin(), columns.begin() + 3), (Texts{"400", "768", ""}));
}

TEST_F(MapGridsTest, MovingAMapBlockMovesTheCellsAndTheTag) {
    maps.setMapBlock(kInjMap, 0x56);
    EXPECT_EQ(maps.tag(kInjMap), "&H56,1,0.00390625,0.5,0.000,0,255");
    image[0x57].assign(100, 0);
    EXPECT_TRUE(maps.GridSetData(kInjMap, 4, 7, 77));
    EXPECT_EQ(byteAt(0x57, 24), 77);
    EXPECT_TRUE(dirty.isSet(0x57));
    EXPECT_FALSE(dirty.isSet(0x87));
    maps.setMapBlock(kBaseMap, 0xF9);  // eight blocks would pass 0xFF
    EXPECT_EQ(maps.tag(kBaseMap), "&HB0,2,0.004,0,0.000,0,65535");
    maps.GridInit();  // re-parses the moved Tag
    EXPECT_EQ(maps.mapBlocks(kInjMap), (std::vector<std::uint8_t>{0x56, 0x57, 0x58, 0x59}));
    EXPECT_EQ(image[0x56], Bytes(100, 0));
}

TEST(MapTracer, MarkerCoversCellsOverlappedByMoreThanAQuarter) {
    struct Case {
        double x, y;
        std::array<int, 4> cells;  // row, col, rowSel, colSel
    };
    for (const Case& c :
         {Case{0.2, 0.2, {1, 1, 1, 1}}, Case{0.5, 0.5, {1, 1, 2, 2}}, Case{0.8, 0, {1, 2, 1, 2}},
          Case{19, 19, {20, 20, 20, 20}}, Case{0.25, 0.75, {2, 1, 2, 2}},
          Case{3.74, 7.26, {8, 4, 9, 5}}, Case{0, -0.5, {0, 1, 1, 1}}}) {
        const CellRange r = coveredCells(c.x, c.y);
        EXPECT_EQ((std::array{r.row, r.col, r.rowSel, r.colSel}), c.cells) << c.x << "," << c.y;
    }
}

}  // namespace
}  // namespace tunalyx
