#include "curves/curve_descriptor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/descriptors.h"

namespace tunalyx {
namespace {

TEST(CurveDescriptor, FieldsFlagsAndRejectedForms) {
    const auto locked =
        parseCurveDescriptor("20,LockY,Other,LockX;&H51,1,2,2,1,0,0;&H91,41,-4,1,1,-80,0.0");
    ASSERT_TRUE(locked);
    EXPECT_EQ(locked->count, 20);
    EXPECT_TRUE(locked->lockX && locked->lockY);
    EXPECT_EQ(locked->y.block, 0x91);
    EXPECT_EQ(locked->y.position(10), 1);
    EXPECT_EQ(locked->y.offset, -80);
    EXPECT_EQ(locked->y.format, "0.0");

    // A constant axis locks X on its own; the scale may lack its leading zero.
    const auto constant = parseCurveDescriptor("6;Const,,,,,,0,-30,-10,10;&H92,11,-2,2,.004,0,0");
    ASSERT_TRUE(constant);
    EXPECT_TRUE(constant->x.constant && constant->xLocked() && !constant->lockX);
    EXPECT_EQ(constant->x.values, (std::vector<double>{-30, -10, 10}));
    EXPECT_DOUBLE_EQ(constant->y.scale, 0.004);

    for (const char* bad : {
             "",
             "6;&H93,5,-1,1,40,0,0",                              // no Y
             "6;&H93,5,-1,1,40,0,0;&H93,14,-2,2,0.004,0,0.000;",  // a fourth part
             "0;&H93,5,-1,1,40,0,0;&H93,14,-2,2,0.004,0,0.000",   // no points
             "x;&H93,5,-1,1,40,0,0;&H93,14,-2,2,0.004,0,0.000",
             "5;&H93,5,-1,1,40,0;&H93,14,-2,2,0.004,0,0.000",     // six fields
             "5;&H193,5,-1,1,40,0,0;&H93,14,-2,2,0.004,0,0.000",  // block past 0xFF
             "5;&H93,5,-1,1,0,0,0;&H93,14,-2,2,0.004,0,0.000",    // scale 0
             "5;&H93,5,-1.5,1,40,0,0;&H93,14,-2,2,0.004,0,0.000",
             "6;Const,,,,,,0;&H8E,11,-2,2,0.004,0,0.0",  // no constants
             "6;Const,,,,,,0,-30,x;&H8E,11,-2,2,0.004,0,0.0",
             "6;&H8E,11,-2,2,0.004,0,0.0;Const,,,,,,0,-30,-10",  // Y cannot be constant
         }) {
        EXPECT_FALSE(parseCurveDescriptor(bad)) << bad;
    }
}

// Values of points 0..count-1 of one axis.
std::vector<double> values(const CurveElement& axis, const PacketImage& image, int count) {
    std::vector<double> out;
    for (int i = 0; i < count; ++i)
        out.push_back(axis.value(image, i));
    return out;
}

TEST(CurveDescriptor, ValuesScaleOffsetAndWhatCannotBeRead) {
    PacketImage image;
    image[0x91] = {0, 0, 0, 0, 100, 192};
    const auto temps = parseCurveDescriptor("3;&H91,5,-2,1,1,-80,0;&H91,6,-2,1,0.0078125,0,0.000");
    ASSERT_TRUE(temps);
    // 100 - 80; raw 0 still takes the offset; point 2 lies before the first byte (and point 3
    // past the curve's end).
    EXPECT_EQ(values(temps->x, image, 4), (std::vector<double>{20, -80, -80, 0}));
    EXPECT_EQ(temps->y.value(image, 0), 1.5);
    EXPECT_EQ(temps->y.value(image, 3), 0);
    image[0x91].clear();  // the block of a curve that was never read is empty
    EXPECT_EQ(temps->x.value(image, 0), 0);

    // A word reaching past the end of its slot, and a type the curves do not read.
    image[0x92] = {1, 2, 3};
    CurveElement word = parseCurveDescriptor("2;Const,,,,,,0,1;&H92,2,1,2,1,0,0")->y;
    EXPECT_EQ(values(word, image, 2), (std::vector<double>{0x0302, 0}));
    word.type = kTypeSigned8;
    EXPECT_EQ(word.value(image, 0), 0);

    // A constant list shorter than the curve repeats its last value.
    const auto shortList = parseCurveDescriptor("4;Const,,,,,,0,5,7;&H92,1,1,1,1,0,0");
    ASSERT_TRUE(shortList);
    EXPECT_EQ(values(shortList->x, image, 4), (std::vector<double>{5, 7, 7, 7}));

    // Positions far past any block (a step near the int range) read as 0, never wrap round.
    const auto huge = parseCurveDescriptor("3;Const,,,,,,0,1;&H92,1,2147483647,1,1,0,0");
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->y.position(2), 1 + 2 * std::int64_t{2147483647});
    EXPECT_EQ(values(huge->y, image, 3), (std::vector<double>{1, 0, 0}));
}

}  // namespace
}  // namespace tunalyx
