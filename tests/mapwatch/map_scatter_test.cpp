#include "mapwatch/map_scatter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace tunalyx {
namespace {

constexpr int kScatterAfr = 54;
constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

class MapScatterTest : public ::testing::Test {
protected:
    MapScatterTest() {
        for (int i = 0; i < kMapWatchSize; ++i) {
            axes.column[static_cast<std::size_t>(i)] = 1000 + 500 * i;
            axes.row[static_cast<std::size_t>(i)] = 100 * i;
            // A later tune's axes, shifted by half a cell, so a sample's cell depends on its tune.
            later.column[static_cast<std::size_t>(i)] = 1250 + 500 * i;
            later.row[static_cast<std::size_t>(i)] = 50 + 100 * i;
        }
        log->IncludeGroup[kGroupAdvanced] = log->IncludeGroup[kGroupAux] = true;
    }
    void sample(int ms, double rpm, double load, double v) {
        const int s = next++;
        log->setLogTime(s, ms);
        log->setLogData(kRpmItem, s, rpm);
        log->setLogData(kLoadItem, s, load);
        log->setLogData(kScatterAfr, s, v);
        log->LogLast = s;
    }
    // A drive that wanders over the grid, dwelling a few samples per place.
    void wander(int samples) {
        for (int i = 0; i < samples; ++i)
            sample(10 * i, 900 + 37.0 * ((i / 3) % 300), 20 + 13.0 * ((i / 4) % 150),
                   11 + (i % 17) * 0.25);
    }

    std::unique_ptr<LogStore> log = std::make_unique<LogStore>();
    LogStoreSource source{*log};
    MapAxes axes;
    MapAxes later;
    int next = 0;
};

TEST_F(MapScatterTest, SamplesAndStatisticsAreTheMapWatchsOnEachSamplesOwnTune) {
    wander(2000);
    sample(20000, 3000, 500, 99);  // above Max Val: not taken
    const std::vector<MapAxesFrom> ranOn{{0, axes}, {900, later}};
    MapWatch watch(*log);
    watch.ranOnAxes = ranOn;
    watch.options.item = kScatterAfr;
    watch.options.holdOffMs = 30;
    watch.options.maxVal = 14;  // some of the drive's values are over it
    watch.RecalculateMap(axes);

    ScatterPoints points;
    points.place(source, ranOn, axes);
    ASSERT_EQ(points.size(), static_cast<std::size_t>(log->sampleCount()));
    for (std::size_t i = 0; i < points.size(); ++i) {
        const MapWatch::Cell cell = watch.cellOf(points.sample[i]);
        ASSERT_EQ(std::lround(std::floor(points.x[i] + 0.5)), cell.col) << i;
        ASSERT_EQ(std::lround(std::floor(points.y[i] + 0.5)), cell.row) << i;
    }

    CellStatistics stats;
    stats.options = watch.options;
    stats.compute(source, ranOn, axes);
    int cells = 0;
    for (int f :
         {MapWatchOptions::Min, MapWatchOptions::Max, MapWatchOptions::Avg, MapWatchOptions::Num}) {
        watch.options.function = stats.options.function = f;
        for (int row = 0; row < kMapWatchSize; ++row)
            for (int col = 0; col < kMapWatchSize; ++col) {
                ASSERT_EQ(stats.cellText(row, col), watch.cellText(row, col)) << row << "," << col;
                cells += watch.count(row, col) > 0;
            }
    }
    EXPECT_GT(cells, 4 * 40);  // the drive covers many cells, not a few
}

TEST_F(MapScatterTest, NoNumberIsSkipped) {
    sample(0, 3000, 500, 14);
    sample(10, 3000, 500, kNoValue);
    sample(20, kNoValue, 500, 18);  // nowhere on the map
    sample(30, 3000, 500, 16);
    CellStatistics stats;
    stats.options.item = kScatterAfr;
    stats.options.function = MapWatchOptions::Avg;
    stats.options.decimalPlaces = 1;
    stats.compute(source, {}, axes);
    EXPECT_EQ(stats.count(5, 4), 2);
    EXPECT_EQ(stats.cellText(5, 4), "15.0");
    EXPECT_EQ(stats.valuesIn(source, 5, 4), (std::vector<double>{14, 16}));

    ScatterPoints points;
    points.place(source, {}, axes);
    points.colourBy(source, kScatterAfr);
    ASSERT_EQ(points.sample, (std::vector<int>{0, 1, 3}));
    EXPECT_TRUE(std::isnan(points.colour[1]));
    EXPECT_EQ(points.low, 14);
    EXPECT_EQ(points.high, 16);
    // An item whose group was not logged colours nothing and fills no cell.
    points.colourBy(source, 20);
    EXPECT_GT(points.low, points.high);
}

TEST(HistogramTest, BinsSpanTheCellsRange) {
    const Histogram h = histogramOf({10, 11, 12, 19.9, 20, 15, kNoValue}, 5);
    EXPECT_EQ(h.edges, (std::vector<double>{10, 12, 14, 16, 18, 20}));
    // 12 opens the second bin; the greatest value closes the last.
    EXPECT_EQ(h.counts, (std::vector<int>{2, 1, 1, 0, 2}));
    const Histogram one = histogramOf({7, 7, 7});
    EXPECT_EQ(one.counts, std::vector<int>{3});
    EXPECT_EQ(one.edges, (std::vector<double>{7, 7}));
    EXPECT_TRUE(histogramOf({kNoValue}).counts.empty());
}

}  // namespace
}  // namespace tunalyx
