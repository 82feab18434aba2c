#include "charts/log_overlay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tunalyx {
namespace {

// Rpm and TPS V sampled every 0.1 s, nothing else logged.
struct PullLog final : SampleSource {
    std::vector<double> rpm;
    std::vector<double> tps;
    double step = 0.1;

    void add(double r, double volts, int times = 1) {
        for (int k = 0; k < times; ++k) {
            rpm.push_back(r);
            tps.push_back(volts);
        }
    }
    void ramp(double from, double perSample, int samples, double volts) {
        for (int k = 0; k < samples; ++k)
            add(from + perSample * k, volts);
    }
    int sampleCount() const override { return static_cast<int>(rpm.size()); }
    double timeSeconds(int s) const override { return s * step; }
    double value(int item, int s) const override {
        const auto at = static_cast<std::size_t>(s);
        return item == kRpmItem ? rpm[at] : item == kThrottleVoltsItem ? tps[at] : 0.0;
    }
    bool hasItem(int item) const override { return item == kRpmItem || item == kThrottleVoltsItem; }
};

TEST(LogOverlay, APullIsFoundToAFractionOfASampleAtTheLogsOwnWideOpenThrottle) {
    PullLog log;
    log.add(2000, 0.5, 10);
    // 2980 at sample 17, 3120 at 18: 3000 is a seventh of the way between them.
    log.ramp(2000, 140, 30, 3.6);  // this sensor tops out at 3.6 V
    log.add(2500, 0.5, 10);
    log.ramp(2000, 140, 30, 3.6);
    const auto first = findPullStart(log, 3000);
    ASSERT_TRUE(first);
    EXPECT_NEAR(*first, 1.7 + 0.1 * 20 / 140, 1e-9);
    // From a chosen time on, the next pull.
    const auto second = findPullStart(log, 3000, {.from = *first + 0.01});
    ASSERT_TRUE(second);
    EXPECT_NEAR(*second, *first + 4.0, 1e-9);
    EXPECT_NEAR(nearestPullStart(log, 3000, *second - 1.5).value(), *second, 1e-9);
    EXPECT_NEAR(nearestPullStart(log, 3000, *first + 1.5).value(), *first, 1e-9);
}

TEST(LogOverlay, NoPullWithoutWideOpenThrottleAtTheCrossing) {
    PullLog partThrottle;
    partThrottle.add(2000, 0.5, 5);
    partThrottle.ramp(2000, 140, 30, 1.8);
    EXPECT_FALSE(findPullStart(partThrottle, 3000));

    // Wide open elsewhere in the log does not make the part-throttle rise a pull.
    PullLog elsewhere = partThrottle;
    elsewhere.add(6000, 4.2, 5);
    EXPECT_FALSE(findPullStart(elsewhere, 3000));

    EXPECT_EQ(noPullText(3000, "LOG-001.txt"),
              "No pull through 3000 rpm at wide-open throttle in LOG-001.txt.");
}

TEST(LogOverlay, FallingOrHoveringRpmIsNoPull) {
    PullLog log;
    log.ramp(5000, -150, 20, 4.2);  // falls through 3000 wide open
    for (int k = 0; k < 20; ++k)    // holds at 3000, the reading dithering across it
        log.add(k % 2 ? 3010 : 2990, 4.2);
    log.ramp(2000, 140, 30, 4.2);
    const auto start = findPullStart(log, 3000);
    ASSERT_TRUE(start);
    EXPECT_NEAR(*start, 4.7 + 0.1 * 20 / 140, 1e-9);
}

TEST(LogOverlay, TheDifferenceReadsTheShiftedOverlayBetweenItsSamples) {
    PullLog shown;
    shown.ramp(3000, 0, 11, 4.0);  // 0 .. 1.0 s
    PullLog overlay;
    overlay.ramp(1000, 100, 6, 4.0);  // 0 .. 0.5 s, 1000 .. 1500 rpm
    const std::vector<double> d = differenceTrace(shown, overlay, kRpmItem, 0.25);
    ASSERT_EQ(d.size(), 11u);
    // Shown at 0.3 s is overlay at 0.05 s: halfway from 1000 to 1100.
    EXPECT_NEAR(d[3], 3000 - 1050, 1e-9);
    EXPECT_NEAR(d[7], 3000 - 1450, 1e-9);
    for (std::size_t s : {0u, 1u, 2u, 8u, 9u, 10u})
        EXPECT_TRUE(std::isnan(d[s])) << s;  // outside the overlay
    for (double v : differenceTrace(shown, overlay, kLoadItem, 0.25))
        EXPECT_TRUE(std::isnan(v));  // an item the logs lack
}

TEST(LogOverlay, NudgesGoOnTopOfTheAlignmentUntilTheNextOne) {
    PullLog log;
    log.add(1000, 1, 6);
    log.step = 0.05;
    EXPECT_DOUBLE_EQ(sampleStepSeconds(log), 0.05);

    OverlayShift shift;
    shift.align(12.5, 10.186);
    shift.nudge(-0.1);
    EXPECT_EQ(shiftText(shift.seconds()), "overlay +2.214 s");
    shift.align(10, 10.1);
    EXPECT_EQ(shiftText(shift.seconds()), "overlay -0.100 s");
    EXPECT_EQ(shiftText(-0.0004), "overlay +0.000 s");
}

TEST(LogOverlay, ADifferenceIsCentredInItsPane) {
    ChartConfig config;
    config.ChartMin[1] = 0;
    config.ChartMax[1] = 100;
    config.Charts = 2;
    config.TraceChart[3] = 1;
    config.TraceMaxVal[3] = 10000;
    // At its trace's scale: 10000 rpm over 100.
    const TraceScale traced = differenceScale(config, 3, 1, {});
    EXPECT_DOUBLE_EQ(traced.y(0), 50);
    EXPECT_DOUBLE_EQ(traced.y(-1000), 40);
    // Without a trace the largest difference reaches the pane's edge.
    const TraceScale fitted = differenceScale(config, -1, 1, {20, -40, std::nan("")});
    EXPECT_DOUBLE_EQ(fitted.y(-40), 0);
}

}  // namespace
}  // namespace tunalyx
