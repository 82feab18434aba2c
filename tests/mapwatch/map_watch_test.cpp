#include "mapwatch/map_watch.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>

namespace tunalyx {
namespace {

constexpr int kRpm = 0;
constexpr int kLoad = 1;
constexpr int kAfr = 54;  // an aux input, the usual thing to watch per cell

class MapWatchTest : public ::testing::Test {
protected:
    MapWatchTest() {
        for (int i = 0; i < kMapWatchSize; ++i) {
            axes.column[static_cast<std::size_t>(i)] = 1000 + 500 * i;  // rpm
            axes.row[static_cast<std::size_t>(i)] = 100 * i;            // load
        }
        watch.options.item = kAfr;
        watch.options.decimalPlaces = 0;
        watch.axes = axes;
        log->IncludeGroup[kGroupAdvanced] = log->IncludeGroup[kGroupAux] = true;
    }
    // A sample at `ms` with the engine at (rpm, load) and the watched value v.
    void sample(int ms, double rpm, double load, double v) {
        const int s = next++;
        log->setLogTime(s, ms);
        log->setLogData(kRpm, s, rpm);
        log->setLogData(kLoad, s, load);
        log->setLogData(kAfr, s, v);
        log->LogLast = s;
    }

    std::unique_ptr<LogStore> log = std::make_unique<LogStore>();
    MapAxes axes;
    MapWatch watch{*log};
    int next = 0;
};

TEST_F(MapWatchTest, AxesClampAndInterpolate) {
    EXPECT_EQ(fractionalPosition(500, axes.column), 0);     // below the first breakpoint
    EXPECT_EQ(fractionalPosition(20000, axes.column), 19);  // beyond the last
    EXPECT_DOUBLE_EQ(fractionalPosition(1250, axes.column), 0.5);
    EXPECT_DOUBLE_EQ(fractionalPosition(1500, axes.column), 1);
    sample(0, 1240, 160, 14.7);  // column 0.48 -> 0, row 1.6 -> 2
    EXPECT_EQ(watch.cellOf(0).col, 0);
    EXPECT_EQ(watch.cellOf(0).row, 2);
    // The unit's own N and P, whole cells, kept on the grid.
    log->setLogData(62, 0, 7);
    log->setLogData(63, 0, 25);
    watch.options.source = MapWatchOptions::Logged;
    EXPECT_EQ(watch.cellOf(0).col, 7);
    EXPECT_EQ(watch.cellOf(0).row, 19);
}

TEST_F(MapWatchTest, TheFourStatisticsOfACell) {
    sample(0, 3000, 500, 10);
    sample(10, 3000, 500, 20);
    sample(20, 3000, 500, 30);
    watch.RecalculateMap(axes);
    const MapWatch::Cell c = watch.cellOf(0);
    EXPECT_EQ(watch.cellText(c.row, c.col), "20");
    watch.options.function = MapWatchOptions::Num;
    EXPECT_EQ(watch.cellText(c.row, c.col), "3");
    watch.options.function = MapWatchOptions::Min;
    EXPECT_EQ(watch.cellText(c.row, c.col), "10");
    watch.options.function = MapWatchOptions::Max;
    watch.options.decimalPlaces = 2;
    EXPECT_EQ(watch.cellText(c.row, c.col), "30.00");
    // An item held as a single rounds from its own digits (30.1499996... shows as 30.2).
    sample(30, 3000, 500, double{30.15f});
    watch.RecalculateMap(axes);
    watch.options.decimalPlaces = 1;
    EXPECT_EQ(watch.cellText(c.row, c.col, {}, Precision::Single), "30.2");
    EXPECT_EQ(watch.cellText(0, 0), "");  // never visited
}

TEST_F(MapWatchTest, AnItemIsShownInItsOwnFormatAndAnItemNotLoggedFillsNoCell) {
    sample(0, 3000, 500, 14.7);
    sample(10, 3000, 500, 14.8);
    watch.options.decimalPlaces = MapWatchOptions::kItemsOwn;
    watch.options.function = MapWatchOptions::Max;
    watch.RecalculateMap(axes);
    EXPECT_EQ(watch.cellText(5, 4), "14.800");  // an aux input, as the Monitor shows it
    watch.options.item = kLoad;                 // Advanced items by their descriptor's format
    watch.RecalculateMap(axes);
    EXPECT_EQ(watch.cellText(5, 4), "500");
    constexpr int kInjMs = 4;
    log->setLogData(kInjMs, 1, 2.5);
    watch.options.item = kInjMs;
    watch.RecalculateMap(axes);
    EXPECT_EQ(watch.cellText(5, 4), "2.500");

    log->IncludeGroup[kGroupAux] = false;
    watch.options.item = kAfr;
    watch.RecalculateMap(axes);
    EXPECT_FALSE(watch.itemLogged());
    EXPECT_EQ(watch.count(5, 4), 0);
    EXPECT_EQ(watch.cellText(5, 4), "");
}

TEST_F(MapWatchTest, ASampleIsPlacedWithTheAxesOfTheTuneItRanOn) {
    // From sample 2 on the tune's columns start at 2000 rpm, 1000 higher.
    MapAxes moved = axes;
    for (double& rpm : moved.column)
        rpm += 1000;
    sample(0, 3000, 500, 14);
    sample(10, 3000, 500, 14);
    sample(20, 3000, 500, 14);
    sample(30, 3000, 500, 14);
    watch.ranOnAxes = {{0, axes}, {2, moved}};
    watch.options.function = MapWatchOptions::Num;
    watch.RecalculateMap(axes);
    EXPECT_EQ(watch.count(5, 4), 2);
    EXPECT_EQ(watch.count(5, 2), 2);
    EXPECT_DOUBLE_EQ(watch.positionOf(3, MapWatchOptions::Advanced).x, 2);
}

TEST_F(MapWatchTest, HoldOffCountsOnlyOnceTheCellHasLasted) {
    watch.options.holdOffMs = 200;
    for (int ms = 0; ms <= 150; ms += 50)
        sample(ms, 3000, 500, 14);
    watch.RecalculateMap(axes);
    EXPECT_EQ(watch.count(5, 4), 0);  // 150 ms in the cell: nothing yet
    sample(200, 3000, 500, 14);
    sample(250, 3000, 500, 14);
    watch.RecalculateMap(axes);
    EXPECT_EQ(watch.count(5, 4), 2);
}

TEST_F(MapWatchTest, AValueAboveTheMaximumIsNotTaken) {
    watch.options.maxVal = 20;
    sample(0, 3000, 500, 10);     // cell (4, 5)
    sample(100, 5000, 1000, 99);  // cell (8, 10), too high: ignored, and the cell not entered
    // So the next sample enters it afresh and counts, even where the clock stepped back (the
    // only place where it shows which cell was remembered).
    sample(50, 5000, 1000, 12);
    watch.RecalculateMap(axes);
    watch.options.function = MapWatchOptions::Max;
    EXPECT_EQ(watch.cellText(5, 4), "10");
    EXPECT_EQ(watch.cellText(10, 8), "12");
    EXPECT_EQ(watch.count(10, 8), 1);
}

TEST_F(MapWatchTest, ALogOfOneSampleReplaysNothing) {
    sample(0, 3000, 500, 10);
    watch.RecalculateMap(axes);
    EXPECT_EQ(watch.count(5, 4), 0);
    EXPECT_TRUE(watch.AddMapLog(0));  // while logging, the first sample counts
    EXPECT_EQ(watch.count(5, 4), 1);
    watch.ResetMap(axes);
    EXPECT_EQ(watch.count(5, 4), 0);
}

// Twice the watched aux input, as a math item would work it out.
struct TwiceAfr final : DerivedItems {
    [[nodiscard]] int count() const override { return 1; }
    [[nodiscard]] std::string name(int) const override { return "Afr x2"; }
    [[nodiscard]] double value(const SampleSource& base, int, int s) const override {
        return 2 * base.value(kAfr, s);
    }
    [[nodiscard]] bool available(const SampleSource& base, int) const override {
        return base.hasItem(kAfr);
    }
};

TEST_F(MapWatchTest, OverOtherSamplesAMathItemIsWatchedAndNaNCountsInNoCell) {
    const double none = std::numeric_limits<double>::quiet_NaN();
    sample(0, 3000, 500, 10);
    sample(10, 3000, 500, none);  // a part that did not log the item
    sample(20, none, none, 12);   // nor Rpm and Load
    sample(30, 3000, 500, 11);
    const LogStoreSource logged(*log);
    const WithDerivedItems samples(logged, std::make_shared<TwiceAfr>());
    watch.setSource(samples);
    watch.options.item = kFirstMathItem;
    watch.options.decimalPlaces = MapWatchOptions::kItemsOwn;
    EXPECT_TRUE(watch.itemLogged());
    watch.RecalculateMap(axes);
    EXPECT_EQ(watch.count(5, 4), 2);
    EXPECT_EQ(watch.cellText(5, 4), "21.00");
    watch.options.item = kAfr;
    watch.RecalculateMap(axes);
    EXPECT_EQ(watch.count(5, 4), 2);
    int counted = 0;
    for (int row = 0; row < kMapWatchSize; ++row)
        for (int col = 0; col < kMapWatchSize; ++col)
            counted += watch.count(row, col);
    EXPECT_EQ(counted, 2);
}

TEST(MapAxes, FromTheMapReferenceBlock) {
    PacketImage image;
    PacketDirty dirty;
    SettingsCodec codec(image, dirty);
    image[0x8A] = Bytes(80, 0);
    image[0x8A][0] = 0xE8;  // row 0: 1000
    image[0x8A][1] = 0x03;
    image[0x8A][40] = 0x20;  // column 0: 800
    image[0x8A][41] = 0x03;
    const MapAxes axes = LoadMapAxes(codec, 0x8A);
    EXPECT_EQ(axes.row[0], 1000);
    EXPECT_EQ(axes.column[0], 800);
    EXPECT_EQ(axes.column[19], 0);
}

}  // namespace
}  // namespace tunalyx
