#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "model/number_format.h"

namespace tunalyx {
namespace {

const NumberLocale kDot{'.'};
const NumberLocale kComma{','};

TEST(NumberFormat, PatternsGiveFixedDecimalsRoundedHalfAwayFromZero) {
    struct Case {
        double value;
        const char* pattern;
        const char* text;
    };
    for (const Case& c : {
             Case{100.0, "0.0", "100.0"},
             Case{10, "0", "10"},
             Case{0, "0.00", "0.00"},
             Case{1.005, "0.00", "1.01"},  // stored as 1.00499999..., shown as meant
             Case{-1.005, "0.00", "-1.01"},
             Case{2.5, "0", "3"},
             Case{-2.5, "0", "-3"},
             Case{0.05, "0.0", "0.1"},
             Case{99.95, "0.0", "100.0"},
             Case{0.999, "0", "1"},
             Case{0.390625, "0.000", "0.391"},
             Case{0.0004, "0.000", "0.000"},
             Case{1234567.891, "0.00", "1234567.89"},
             Case{1e20, "0", "100000000000000000000"},
             Case{-0.04, "0.0", "0.0"},  // never "-0.0"
             Case{-0.0, "0", "0"},
             Case{-0.05, "0.0", "-0.1"},
             Case{0.5, "0.", "1"},
         })
        EXPECT_EQ(formatValue(c.value, c.pattern, kDot), c.text) << c.value << " " << c.pattern;
}

TEST(NumberFormat, OtherPatternsUseTheShortestGeneralForm) {
    struct Case {
        double value;
        const char* pattern;
        const char* text;
    };
    for (const Case& c :
         {Case{14, "", "14"}, Case{0.1, "", "0.1"}, Case{-1.5, "", "-1.5"}, Case{-0.0, "", "0"},
          Case{2.25, "#0.0", "2.25"}, Case{2.25, "0.0#", "2.25"}, Case{2.25, "x", "2.25"}})
        EXPECT_EQ(formatValue(c.value, c.pattern, kDot), c.text) << c.value << " " << c.pattern;
    const double third = 1.0 / 3;
    EXPECT_EQ(parseUserNumber(formatValue(third, "", kDot), kDot), third);
}

TEST(NumberFormat, ShownNumbersUseTheLocaleSeparator) {
    EXPECT_EQ(formatValue(100, "0.0", kComma), "100,0");
    EXPECT_EQ(formatValue(-0.25, "0.00", kComma), "-0,25");
    EXPECT_EQ(formatValue(0.1, "", kComma), "0,1");
    EXPECT_EQ(formatValue(7, "0", kComma), "7");
}

TEST(NumberFormat, UserNumbers) {
    struct Case {
        const char* text;
        const NumberLocale& locale;
        std::optional<double> value;
    };
    const std::optional<double> none;
    for (const Case& c : {
             Case{"100", kDot, 100},    Case{" 49 ", kDot, 49},      Case{"-1.5", kDot, -1.5},
             Case{"+2", kDot, 2},       Case{".5", kDot, 0.5},       Case{"5.", kDot, 5},
             Case{"\t7\t", kDot, 7},    Case{"1,5", kDot, none},     Case{"", kDot, none},
             Case{"  ", kDot, none},    Case{"-", kDot, none},       Case{".", kDot, none},
             Case{"1.2.3", kDot, none}, Case{"1e3", kDot, none},     Case{"abc", kDot, none},
             Case{"- 1", kDot, none},   Case{"1 2", kDot, none},     Case{"0x10", kDot, none},
             Case{"--1", kDot, none},   Case{"1,5", kComma, 1.5},    Case{"1.5", kComma, 1.5},
             Case{"-,5", kComma, -0.5}, Case{"1,5.2", kComma, none}, Case{"1.000,5", kComma, none},
         })
        EXPECT_EQ(parseUserNumber(c.text, c.locale), c.value)
            << "'" << c.text << "' with " << c.locale.decimalSeparator;
}

TEST(NumberFormat, DescriptorFieldNumbers) {
    struct Case {
        const char* field;
        std::optional<double> value;
    };
    const std::optional<double> none;
    for (const Case& c :
         {Case{"&HCB", 203}, Case{"&hcb", 203}, Case{"&H5c", 92}, Case{" &HAD", 173},
          Case{"0.390625", 0.390625}, Case{" 0.00390625", 0.00390625}, Case{"-131.072", -131.072},
          Case{"50 ", 50}, Case{"0.0", 0}, Case{"&H", none}, Case{"&HXY", none}, Case{"&H-1", none},
          Case{"&H 1", none}, Case{"H10", none}, Case{"1,5", none}, Case{"", none}, Case{" ", none},
          Case{"0.0.1", none}})
        EXPECT_EQ(parseFieldNumber(c.field), c.value) << "'" << c.field << "'";
}

TEST(NumberFormat, DescriptorFieldIntegers) {
    struct Case {
        const char* field;
        std::optional<long> value;
    };
    const std::optional<long> none;
    for (const Case& c : {Case{"&HAD", 173}, Case{"&HFF", 255}, Case{"99", 99}, Case{"-1", -1},
                          Case{" 8 ", 8}, Case{"1.0", 1}, Case{"1.5", none}, Case{"abc", none},
                          Case{"", none}, Case{"&H", none}, Case{"99999999999999999999999", none}})
        EXPECT_EQ(parseFieldInteger(c.field), c.value) << "'" << c.field << "'";
}

}  // namespace
}  // namespace tunalyx
