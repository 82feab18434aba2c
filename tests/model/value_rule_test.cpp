#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/value_rule.h"

namespace tunalyx {
namespace {

TEST(ValueRule, RoundingTiesGoToTheEvenNeighbour) {
    struct Case {
        double in, out;
    };
    for (const Case& c : {Case{2.5, 2}, Case{3.5, 4}, Case{0.5, 0}, Case{1.5, 2}, Case{-2.5, -2},
                          Case{-3.5, -4}, Case{-0.5, 0}, Case{2.4999999, 2}, Case{2.5000001, 3},
                          Case{-0.4, 0}, Case{7, 7}, Case{4503599627370497.0, 4503599627370497.0}})
        EXPECT_EQ(roundHalfEven(c.in), c.out) << c.in;
}

TEST(ValueRule, ClampIsTestedBeforeRounding) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct ByteCase {
        float in;
        int out;
    };
    for (const ByteCase& c :
         {ByteCase{-0.4f, 0}, ByteCase{-0.6f, 0}, ByteCase{-1000, 0}, ByteCase{0.5f, 0},
          ByteCase{1.5f, 2}, ByteCase{254.5f, 254}, ByteCase{255.4f, 255}, ByteCase{255.5f, 255},
          ByteCase{1e30f, 255}, ByteCase{nan, 0}})
        EXPECT_EQ(ClampByte(c.in), c.out) << c.in;

    for (const ByteCase& c :
         {ByteCase{-128.4f, -128}, ByteCase{-128.6f, -128}, ByteCase{-127.5f, -128},
          ByteCase{-126.5f, -126}, ByteCase{-0.5f, 0}, ByteCase{126.5f, 126}, ByteCase{127.4f, 127},
          ByteCase{127.6f, 127}, ByteCase{-1e30f, -128}})
        EXPECT_EQ(ClampSignedByte(c.in), c.out) << c.in;

    for (const ByteCase& c :
         {ByteCase{-0.4f, 0}, ByteCase{33018.5f, 33018}, ByteCase{33019.5f, 33020},
          ByteCase{65534.5f, 65534}, ByteCase{65535.4f, 65535}, ByteCase{70000, 65535}})
        EXPECT_EQ(ClampWord(c.in), c.out) << c.in;
}

TEST(ValueRule, WordsAreLittleEndianAtOneBasedPositions) {
    const Bytes slot{0x00, 0x80, 0xFA};
    EXPECT_EQ(ReadWord(slot, 1), 0x8000);
    EXPECT_EQ(ReadWord(slot, 2), 0xFA80);
    EXPECT_FALSE(ReadWord(slot, 3));  // high byte missing
    EXPECT_FALSE(ReadWord(slot, 0));
    EXPECT_FALSE(ReadWord(Bytes{}, 1));
}

}  // namespace
}  // namespace tunalyx
