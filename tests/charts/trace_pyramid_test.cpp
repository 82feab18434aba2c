#include "charts/trace_pyramid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <vector>

#include "charts/strip_chart.h"

namespace tunalyx {
namespace {

// Samples of one item held in vectors; time steps that vary and repeat, as a real log's do.
class VectorSource final : public SampleSource {
public:
    std::vector<double> time;
    std::vector<double> values;
    [[nodiscard]] int sampleCount() const override { return static_cast<int>(time.size()); }
    [[nodiscard]] double timeSeconds(int s) const override {
        return time[static_cast<std::size_t>(s)];
    }
    [[nodiscard]] double value(int, int s) const override {
        return values[static_cast<std::size_t>(s)];
    }
    [[nodiscard]] bool hasItem(int) const override { return true; }
};

VectorSource randomSource(unsigned seed, int n) {
    std::mt19937 rng(seed);
    VectorSource src;
    double t = 5;
    for (int s = 0; s < n; ++s) {
        t += (rng() % 4) * 0.01;  // some samples share a time
        src.time.push_back(t);
        // Runs of NaN, as a part that did not log the item leaves.
        const bool none = (s / 500) % 7 == 3 || rng() % 50 == 0;
        src.values.push_back(none ? std::numeric_limits<double>::quiet_NaN()
                                  : static_cast<double>(rng() % 10000) - 5000);
    }
    return src;
}

TEST(TracePyramid, EveryColumnHasTheMinAndMaxOfAPlainScanOverRandomWindows) {
    const VectorSource src = randomSource(3, 20000);
    StripChart chart;
    const double scale = -0.5;  // a negative scale turns min and max round
    const double offset = 7;
    const double shift = 2;
    chart.setTraceSource(0, {&src, 0, scale, offset, shift, {}});
    std::mt19937 rng(11);
    std::vector<StripColumn> out;
    for (int round = 0; round < 60; ++round) {
        const double lower = std::uniform_real_distribution<>(0, 220)(rng);
        const double width = std::uniform_real_distribution<>(0.05, 250)(rng);
        const int columns = 1 + static_cast<int>(rng() % 1500);
        chart.setWindow(lower, lower + width);
        chart.decimate(0, columns, out);

        std::map<int, std::pair<double, double>> expected;
        const double perSecond = columns / chart.windowWidth();
        for (int s = 0; s < src.sampleCount(); ++s) {
            const double px =
                (src.time[static_cast<std::size_t>(s)] + shift - chart.windowLower()) * perSecond;
            const double v = src.values[static_cast<std::size_t>(s)];
            if (px < 0 || px > columns || std::isnan(v)) continue;
            const double y = scale * v + offset;
            const int col = std::min(static_cast<int>(px), columns - 1);
            auto [at, added] = expected.try_emplace(col, y, y);
            at->second = {std::min(at->second.first, y), std::max(at->second.second, y)};
        }
        std::map<int, std::pair<double, double>> got;
        for (const StripColumn& c : out)
            if (c.x >= 0 && c.x < columns && c.x == std::floor(c.x))
                got[static_cast<int>(c.x)] = {c.min, c.max};
        ASSERT_EQ(got, expected) << "round " << round;
    }
}

TEST(TracePyramid, GapsAndNaNBreakTheLineAndTheCursorFindsItsSample) {
    VectorSource src;
    for (int s = 0; s < 300; ++s) {
        src.time.push_back(s < 200 ? s * 0.125 : 30 + s * 0.125);  // a part moved after 199
        src.values.push_back(s >= 100 && s < 130 ? std::numeric_limits<double>::quiet_NaN() : s);
    }
    StripChart chart;
    chart.setTraceSource(0, {&src, 0, 1, 0, 0, {200}});
    chart.setTraceSource(StripChart::kTimeTrace, {&src, TraceSource::kSampleIndex, 1, 0, 0, {}});
    EXPECT_TRUE(chart.hasData(0));
    chart.fitAll();
    EXPECT_DOUBLE_EQ(chart.windowUpper(), 67.375);
    chart.setWindow(0, 68);
    std::vector<StripColumn> out;
    chart.decimate(0, 544, out);  // a column a sample
    std::vector<double> broken;
    for (const StripColumn& c : out)
        if (c.breakBefore) broken.push_back(c.first);
    EXPECT_EQ(broken, (std::vector<double>{130, 200}));

    chart.setCursor(24.9);
    EXPECT_EQ(chart.valueAtCursor(StripChart::kTimeTrace), 199);
    chart.setCursor(55);
    EXPECT_EQ(chart.valueAtCursor(StripChart::kTimeTrace), 200);
    EXPECT_EQ(chart.valueAt(0, 55.2), 201);
    chart.clearTrace(0);
    EXPECT_FALSE(chart.hasData(0));
}

}  // namespace
}  // namespace tunalyx
