#include "charts/strip_chart.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace tunalyx {
namespace {

constexpr int kT = 0;

void plotAll(StripChart& chart, int t, std::initializer_list<std::pair<double, double>> points) {
    for (auto [x, y] : points)
        ASSERT_TRUE(chart.plot(t, x, y));
}

TEST(StripChartLookup, ValueAtIsThePointAtOrBeforeTheTime) {
    StripChart chart;
    EXPECT_EQ(chart.valueAt(kT, 1.0), 0);  // empty trace
    plotAll(chart, kT, {{1.0, 10}, {2.0, 20}, {2.0, 21}, {3.5, 35}});
    struct Case {
        double x;
        double value;
    };
    for (const Case& c : {Case{0.5, 10},    // before the first point: the first
                          Case{1.0, 10},    // exactly on a point
                          Case{1.999, 10},  // between points: the earlier one
                          Case{2.0, 21},    // on two points with one time: the later
                          Case{3.4, 21}, Case{3.5, 35}, Case{99, 35}})  // after the last point
        EXPECT_EQ(chart.valueAt(kT, c.x), c.value) << "at " << c.x;
}

TEST(StripChartStorage, PointsThatDoNotFitAreRefusedAndStorageNeverMoves) {
    StripChart chart;
    const double* storage = chart.xs(3).data();
    for (int s = 0; s < StripChart::kCapacity; ++s)
        ASSERT_TRUE(chart.plot(3, s, s));
    EXPECT_FALSE(chart.plot(3, StripChart::kCapacity, 1));  // full
    EXPECT_EQ(chart.xs(3).data(), storage);
    EXPECT_EQ(chart.ys(3).back(), StripChart::kCapacity - 1);
    plotAll(chart, kT, {{5, 1}, {5, 2}});  // equal times are in order
    for (double x : {4.9, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_FALSE(chart.plot(kT, x, 3));
    EXPECT_FALSE(chart.plot(StripChart::kStoredTraces, 6, 3));
    EXPECT_FALSE(chart.plot(-1, 6, 3));
    EXPECT_EQ(chart.pointCount(kT), 2);
}

TEST(StripChartStorage, ClearEmptiesEveryTraceOrJustOneAndTheScrollLimitFollows) {
    StripChart chart;
    chart.setWindow(0, 30);
    plotAll(chart, 1, {{0, 1}, {50, 2}});
    plotAll(chart, StripChart::kTimeTrace, {{0, 1}, {20, 2}});
    EXPECT_EQ(chart.scrollLimit(), 50);  // the last time on any trace
    chart.clearTrace(1);
    EXPECT_EQ(chart.pointCount(1), 0);
    EXPECT_EQ(chart.pointCount(StripChart::kTimeTrace), 2);
    EXPECT_EQ(chart.scrollLimit(), 30);  // never less than the window's width
    EXPECT_TRUE(chart.plot(1, 0, 5));    // a cleared trace starts again from any time
    chart.clear();
    for (int t = 0; t < StripChart::kStoredTraces; ++t)
        EXPECT_EQ(chart.pointCount(t), 0);
    EXPECT_EQ(chart.scrollLimit(), 30);
}

TEST(StripChartPanes, CountIsOneToFourAndTracesBeyondItShowInTheLast) {
    StripChart chart;
    chart.setPaneCount(0);
    EXPECT_EQ(chart.paneCount(), 1);
    chart.setPaneCount(9);
    EXPECT_EQ(chart.paneCount(), 4);
    chart.setPaneCount(2);
    chart.setTracePane(5, 3);
    EXPECT_EQ(chart.tracePane(5), 3);
    EXPECT_EQ(chart.shownPane(5), 1);
    chart.setPaneCount(4);
    EXPECT_EQ(chart.shownPane(5), 3);
}

TEST(StripChartWindow, EndsInEitherOrderAndNeverEmpty) {
    StripChart chart;
    chart.setWindow(20, 5);
    EXPECT_EQ(chart.windowLower(), 5);
    EXPECT_EQ(chart.windowUpper(), 20);
    chart.setWindow(7, 7);
    EXPECT_NEAR(chart.windowWidth(), StripChart::kMinWindow, 1e-12);
    chart.setWindow(1, std::numeric_limits<double>::infinity());
    EXPECT_EQ(chart.windowLower(), 7);
    chart.setWindow(1e300, 1e300);  // no width left after rounding
    EXPECT_EQ(chart.windowLower(), 7);
}

TEST(StripChartWindow, ScrollingStaysBetweenZeroAndTheScrollLimit) {
    StripChart chart;
    plotAll(chart, 0, {{0, 0}, {100, 0}});
    chart.setWindow(50, 60);
    chart.scrollBy(15);
    EXPECT_EQ(chart.windowLower(), 65);
    chart.scrollBy(1000);
    EXPECT_EQ(chart.windowUpper(), 100);
    EXPECT_EQ(chart.windowWidth(), 10);
    chart.scrollBy(-1000);
    EXPECT_EQ(chart.windowLower(), 0);
}

TEST(StripChartWindow, ZoomKeepsTheAnchorAndStopsAtTheWholeLog) {
    StripChart chart;
    plotAll(chart, 0, {{100, 0}, {300, 0}});  // a log that starts 100 s in
    chart.setWindow(200, 240);
    chart.zoom(210, 0.5);  // the anchor was a quarter in and stays there
    EXPECT_DOUBLE_EQ(chart.windowLower(), 205);
    EXPECT_DOUBLE_EQ(chart.windowUpper(), 225);
    chart.zoom(210, 1e-9);
    EXPECT_NEAR(chart.windowWidth(), StripChart::kMinWindow, 1e-12);
    chart.zoom(210, 1e9);  // fully out: the whole log, as Fit Whole Log shows it
    EXPECT_DOUBLE_EQ(chart.windowLower(), 100);
    EXPECT_DOUBLE_EQ(chart.windowUpper(), 300);
    chart.setWindow(110, 150);
    chart.zoom(140, 2);  // near the start: held there rather than opening time before the log
    EXPECT_DOUBLE_EQ(chart.windowLower(), 100);
    EXPECT_DOUBLE_EQ(chart.windowUpper(), 180);
}

TEST(StripChartWindow, FitAllSpansEveryTrace) {
    StripChart chart;
    chart.setWindow(3, 4);
    chart.fitAll();
    EXPECT_EQ(chart.windowLower(), 0);
    EXPECT_EQ(chart.windowUpper(), StripChart::kDefaultWindow);
    plotAll(chart, 2, {{1.5, 0}, {8, 0}});
    plotAll(chart, 7, {{2, 0}, {9.5, 0}});
    chart.fitAll();
    EXPECT_EQ(chart.windowLower(), 1.5);
    EXPECT_EQ(chart.windowUpper(), 9.5);
}

class StripChartDecimation : public ::testing::Test {
protected:
    StripChart chart;
    std::vector<StripColumn> out;
};

TEST_F(StripChartDecimation, EachColumnKeepsItsFirstMinMaxAndLast) {
    chart.setWindow(0, 10);
    // Ten points a column, each column rising from 10 c; a spike and a dip hide in two of them.
    for (int i = 0; i <= 100; ++i) {
        double y = 10 * (i / 10) + i % 10;
        if (i == 34) y = 1000;
        if (i == 77) y = -1000;
        ASSERT_TRUE(chart.plot(kT, i * 0.1, y));
    }
    chart.decimate(kT, 10, out);
    ASSERT_EQ(out.size(), 10U);  // the point at the window's upper end joins the last column
    for (int c = 0; c < 10; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(out[c].x, c);
        EXPECT_EQ(out[c].first, 10 * c);
        EXPECT_EQ(out[c].last, c == 9 ? 100 : 10 * c + 9);
        EXPECT_EQ(out[c].max, c == 3 ? 1000 : c == 9 ? 100 : 10 * c + 9);
        EXPECT_EQ(out[c].min, c == 7 ? -1000 : 10 * c);
    }
}

TEST_F(StripChartDecimation, OnlyTheVisibleRangeIsReducedAndTheLineRunsToTheEdges) {
    for (int i = 0; i <= 1000; ++i)
        ASSERT_TRUE(chart.plot(kT, i, i % 2 == 0 ? 0 : 500));
    chart.setWindow(400.5, 410.5);
    chart.decimate(kT, 5, out);
    // Edge entries come from the points outside, each within a pixel of its edge (2 s a pixel).
    ASSERT_EQ(out.size(), 7U);
    EXPECT_DOUBLE_EQ(out.front().x, -0.25);
    EXPECT_EQ(out.front().first, 0);  // point 400
    EXPECT_DOUBLE_EQ(out.back().x, 5.25);
    EXPECT_EQ(out.back().first, 500);  // point 411
    for (int c = 1; c <= 5; ++c) {
        EXPECT_EQ(out[c].min, 0);
        EXPECT_EQ(out[c].max, 500);
    }
}

TEST_F(StripChartDecimation, FarPointsOutsideAreCutAtAPixelBeyondTheEdge) {
    plotAll(chart, kT, {{-10, 0}, {20, 30}});
    chart.setWindow(0, 10);
    chart.decimate(kT, 10, out);
    ASSERT_EQ(out.size(), 2U);
    EXPECT_EQ(out[0].x, -1);
    EXPECT_DOUBLE_EQ(out[0].first, 9);  // the line at -1 s
    EXPECT_EQ(out[1].x, 11);
    EXPECT_DOUBLE_EQ(out[1].first, 21);  // the line at 11 s
}

TEST_F(StripChartDecimation, NothingWhenTheTraceEndsBeforeTheWindowOrIsEmpty) {
    chart.decimate(kT, 100, out);
    EXPECT_TRUE(out.empty());
    plotAll(chart, kT, {{0, 1}, {5, 2}});
    chart.setWindow(10, 20);
    chart.decimate(kT, 100, out);
    EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace tunalyx
