#include "watches/watch_display.h"

#include <gtest/gtest.h>

namespace tunalyx {
namespace {

TEST(WatchDisplay, TextAndBandFollowWhatIsShown) {
    const NumberLocale locale;
    const std::array<double, 4> limits{10, 20, 0, 0};
    EXPECT_EQ(watchText(10.4, 0, locale), "10");
    EXPECT_EQ(watchText(3.14159, 2, locale), "3.14");
    // A sensor's 0.35 V is held as a single (0.3499999940...): it rounds from its own digits.
    EXPECT_EQ(watchText(double{0.35f}, 1, locale, Precision::Single), "0.4");
    // Three bands split at 10 and 20; the rule reads the shown text.
    EXPECT_EQ(watchBand(watchText(10.4, 0, locale), 3, limits, locale), 0);
    EXPECT_EQ(watchBand(watchText(10.4, 1, locale), 3, limits, locale), 1);
    EXPECT_EQ(watchBand("20", 3, limits, locale), 1);
    EXPECT_EQ(watchBand("20.01", 3, limits, locale), 2);
    EXPECT_EQ(watchBand("-5", 3, limits, locale), 0);
    EXPECT_EQ(watchBand("abc", 3, limits, locale), 0);
    EXPECT_EQ(watchBand("99", 1, limits, locale), 0);  // one band colours everything
    // Limits not ascending: the highest band whose lower limit is exceeded wins.
    EXPECT_EQ(watchBand("15", 3, {20, 10, 0, 0}, locale), 2);
}

}  // namespace
}  // namespace tunalyx
