#include <gtest/gtest.h>

#include <cmath>
#include <limits>
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
    // 1.005 is stored as 1.00499999... and shown as meant; there is never a "-0.0".
    for (const Case& c :
         {Case{1.005, "0.00", "1.01"}, Case{-1.005, "0.00", "-1.01"}, Case{2.5, "0", "3"},
          Case{-2.5, "0", "-3"}, Case{99.95, "0.0", "100.0"}, Case{0.999, "0", "1"},
          Case{0.0004, "0.000", "0.000"}, Case{1234567.891, "0.00", "1234567.89"},
          Case{1e20, "0", "100000000000000000000"}, Case{-0.04, "0.0", "0.0"}, Case{-0.0, "0", "0"},
          Case{-0.05, "0.0", "-0.1"}, Case{0.5, "0.", "1"},
          // Any other pattern: the shortest general form.
          Case{-1.5, "", "-1.5"}, Case{-0.0, "", "0"}, Case{2.25, "#0.0", "2.25"},
          Case{2.25, "0.0#", "2.25"}, Case{2.25, "x", "2.25"}})
        EXPECT_EQ(formatValue(c.value, c.pattern, kDot), c.text) << c.value << " " << c.pattern;
    const double third = 1.0 / 3;
    EXPECT_EQ(parseUserNumber(formatValue(third, "", kDot), kDot), third);
    EXPECT_EQ(formatValue(-0.25, "0.00", kComma), "-0,25");
    EXPECT_EQ(formatValue(static_cast<float>(14.2), "", kComma, Precision::Single), "14,2");
    EXPECT_EQ(formatValue(static_cast<float>(0.35), "0.0", kDot, Precision::Single), "0.4");
}

// Every file and the general form write numbers through this one text.
TEST(NumberFormat, ShortestDecimalOfTheValuesOwnType) {
    const double single = static_cast<float>(14.2);
    EXPECT_EQ(shortestDecimal(single, Precision::Single), "14.2");
    EXPECT_EQ(shortestDecimal(single), "14.199999809265137");
    EXPECT_EQ(shortestDecimal(-0.25, Precision::Single, LeadingZero::Drop), "-.25");
    EXPECT_EQ(shortestDecimal(1e20), "100000000000000000000");  // never an exponent
    for (double v : {-0.0, -1e-50, -std::numeric_limits<double>::infinity(), std::nan("")})
        EXPECT_EQ(shortestDecimal(v, Precision::Single), "0") << v;
    EXPECT_EQ(shortestDecimal(1e300, Precision::Single), shortestDecimal(1e300));  // no single
}

// The short way for whole multiples must give exactly the digit rule's text, for the values a
// tune shows: raw numbers through the descriptor scales and offsets.
TEST(NumberFormat, ShortWayAgreesWithTheDigitRule) {
    const char* patterns[] = {"0", "0.0", "0.00", "0.000", "0.0000"};
    const double scales[] = {1, 0.5, 0.1, 0.05, 0.01, 0.25, 0.0625, 1.5625, 0.078125, 12.5, 0.001};
    const double offsets[] = {0, -40, -0.5, 14.7};
    for (int decimals = 0; decimals <= 4; ++decimals)
        for (double scale : scales)
            for (double offset : offsets)
                for (int raw = -1024; raw <= 70000; raw += 7) {
                    const double value = raw * scale + offset;
                    ASSERT_EQ(formatValue(value, patterns[decimals], kDot),
                              fixedTextByDigits(value, decimals, '.'))
                        << value << " " << patterns[decimals];
                }
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
        std::optional<double> number;
        std::optional<long> integer;
    };
    const std::nullopt_t none = std::nullopt;
    for (const Case& c :
         {Case{"&hcb", 203, 203}, Case{" &HFF ", 255, 255}, Case{"-131.072", -131.072, none},
          Case{"-1", -1, -1}, Case{"1.0", 1, 1}, Case{"&H", none, none}, Case{"&HXY", none, none},
          Case{"&H-1", none, none}, Case{"&H 1", none, none}, Case{"H10", none, none},
          Case{"1,5", none, none}, Case{" ", none, none}, Case{"0.0.1", none, none},
          Case{"99999999999999999999999", 99999999999999999999999.0, none}}) {
        EXPECT_EQ(parseFieldNumber(c.field), c.number) << "'" << c.field << "'";
        EXPECT_EQ(parseFieldInteger(c.field), c.integer) << "'" << c.field << "'";
    }
}

}  // namespace
}  // namespace tunalyx
