#include "curves/curve_edit.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/settings_table.h"

namespace tunalyx {
namespace {

std::string curveTag(int index) {
    return SettingsTable::standard().find(ControlKind::CurveButton, index)->tag;
}

class CurveEditTest : public ::testing::Test {
protected:
    PacketImage image;
    PacketDirty dirty;
    SettingsCodec codec{image, dirty};
    CurveEdit edit;
};

TEST_F(CurveEditTest, InterleavedPointsAreReadAndWrittenWhereTheyLive) {
    // Curve 7: X bytes at 7, 4, 1 and Y words at 8-9, 5-6, 2-3 of block 0x94.
    image[0x94] = {30, 0x10, 0x00, 20, 0x20, 0x00, 10, 0x30, 0x00};
    ASSERT_TRUE(edit.DisplayCurve(curveTag(7), image, false));
    EXPECT_EQ(edit.XVal(), (std::vector<double>{10, 20, 30}));
    EXPECT_EQ(edit.YVal(), (std::vector<double>{0x30, 0x20, 0x10}));
    EXPECT_FALSE(edit.lockX() || edit.lockY());

    edit.dropPoint(1, 25.4, 0x1234);
    // Each lock holds its own axis only.
    edit.setLockY(true);
    edit.dropPoint(0, 12, 0x99);
    edit.setLockY(false);
    edit.setLockX(true);
    edit.dropPoint(2, 33, 0x77);
    edit.writeBack(codec);
    EXPECT_EQ(image[0x94], (Bytes{30, 0x77, 0x00, 25, 0x34, 0x12, 12, 0x30, 0x00}));
    EXPECT_TRUE(dirty.isSet(0x94));
}

TEST_F(CurveEditTest, PointsNotMovedKeepTheirBytesWhateverTheFormatRounds) {
    // Curve 6: words of 0.004 shown with one decimal; raw 309 is 1.236, which "0.0" would make 1.2.
    image[0x8E] = Bytes(12, 0);
    image[0x8E][8] = 309 & 0xFF;  // point 1 at positions 9-10
    image[0x8E][9] = 309 >> 8;
    ASSERT_TRUE(edit.DisplayCurve(curveTag(6), image, false));
    edit.dropPoint(0, 0, 2.0);
    edit.writeBack(codec);
    EXPECT_EQ(image[0x8E][8], 309 & 0xFF);
    EXPECT_EQ(image[0x8E][10], 500 & 0xFF);  // point 0 at positions 11-12: 2.0 ms
    EXPECT_EQ(image[0x8E][11], 500 >> 8);
}

TEST_F(CurveEditTest, LockedAndViewOnlyCurvesWriteNothing) {
    // Curve 29: both axes locked by its flags.
    image[0x51] = Bytes(80, 7);
    ASSERT_TRUE(edit.DisplayCurve(curveTag(29), image, false));
    EXPECT_TRUE(edit.lockX() && edit.lockXFixed() && edit.lockY() && edit.lockYFixed());
    edit.setLockX(false);
    edit.dropPoint(3, 1000, 1000);
    edit.writeBack(codec);
    EXPECT_FALSE(dirty.isSet(0x51));
    EXPECT_EQ(image[0x51], Bytes(80, 7));

    // A constant X axis locks X alone; compare mode locks both.
    ASSERT_TRUE(edit.DisplayCurve(curveTag(1), image, false));
    EXPECT_TRUE(edit.lockXFixed() && !edit.lockYFixed() && !edit.viewOnly());
    ASSERT_TRUE(edit.DisplayCurve(curveTag(7), image, true));
    EXPECT_TRUE(edit.lockXFixed() && edit.lockYFixed() && edit.viewOnly());
}

TEST_F(CurveEditTest, SnapKeepsToTheRawStepsAndRange) {
    // Curve 34: Y bytes of 0.390625 from 50; X constant, never snapped.
    ASSERT_TRUE(edit.DisplayCurve(curveTag(34), image, false));
    EXPECT_DOUBLE_EQ(edit.snapY(51.0), 51.171875);   // raw 2.56 -> 3
    EXPECT_DOUBLE_EQ(edit.snapY(50.58), 50.390625);  // raw 1.48 -> 1
    EXPECT_DOUBLE_EQ(edit.snapY(10), 50);            // below raw 0
    EXPECT_DOUBLE_EQ(edit.snapY(500), 50 + 255 * 0.390625);
    EXPECT_DOUBLE_EQ(edit.snapX(1234.5), 1234.5);
    EXPECT_EQ(edit.pointText(1000, 51.0, {}), "1000, 51.2");

    // A word axis stops at 65535.
    ASSERT_TRUE(edit.DisplayCurve(curveTag(0), image, false));
    EXPECT_DOUBLE_EQ(edit.snapY(70000), 65535);
    EXPECT_DOUBLE_EQ(edit.snapX(1.0026), 1.005);
}

TEST_F(CurveEditTest, RangesAndThePlotMappingBothWays) {
    image[0x94] = {30, 0x10, 0x00, 20, 0x10, 0x00, 10, 0x10, 0x00};  // Y all 16
    ASSERT_TRUE(edit.DisplayCurve(curveTag(7), image, false));
    EXPECT_DOUBLE_EQ(edit.xRange().min, 10);
    EXPECT_DOUBLE_EQ(edit.xRange().max, 30);
    EXPECT_DOUBLE_EQ(edit.yRange().min, 16 * 0.9);
    EXPECT_DOUBLE_EQ(edit.yRange().max, 16 * 1.1);

    // The range fills 90 % with a 4.5 % margin left and top; Y grows upwards.
    EXPECT_DOUBLE_EQ(edit.screenX(10, 1000), 45);
    EXPECT_DOUBLE_EQ(edit.screenX(30, 1000), 945);
    EXPECT_NEAR(edit.screenY(16 * 1.1, 500), 22.5, 1e-9);
    EXPECT_DOUBLE_EQ(edit.valueX(edit.screenX(17, 640), 640), 17);
    EXPECT_DOUBLE_EQ(edit.valueY(edit.screenY(15.5, 480), 480), 15.5);

    // A block never read shows all zeros: drawn from -1 to 1.
    ASSERT_TRUE(edit.DisplayCurve(curveTag(7), PacketImage{}, false));
    EXPECT_EQ(edit.YVal(), (std::vector<double>{0, 0, 0}));
    EXPECT_DOUBLE_EQ(edit.yRange().min, -1);
    EXPECT_DOUBLE_EQ(edit.yRange().max, 1);
}

TEST_F(CurveEditTest, AirFlowCurvesShareTheirVoltageAxis) {
    for (int curve : {0, 16, 17, 31, 32}) {
        ASSERT_TRUE(edit.DisplayCurve(curveTag(curve), image, false)) << curve;
        EXPECT_EQ(edit.descriptor().x.block, 0xA0) << curve;
    }
    image[0xA0] = Bytes(64, 0);
    ASSERT_TRUE(edit.DisplayCurve(curveTag(31), image, false));
    edit.dropPoint(0, 0.25, 0);
    edit.writeBack(codec);
    EXPECT_EQ(image[0xA0][0], 50);  // 0.25 V at 0.005 V a count
    ASSERT_TRUE(edit.DisplayCurve(curveTag(16), image, false));
    EXPECT_DOUBLE_EQ(edit.XVal()[0], 0.25);
}

TEST(CurveDrag, ModifiersKeepToOneAxisAndLocksHold) {
    EXPECT_EQ(constrainDrag(5, -3, false, false, false).dx, 5);
    EXPECT_EQ(constrainDrag(5, -3, true, false, false).dy, 0);
    EXPECT_EQ(constrainDrag(3, -3, true, false, false).dx, 0);  // a tie moves vertically
    EXPECT_EQ(constrainDrag(5, -3, false, true, false).dx, 0);
    EXPECT_EQ(constrainDrag(5, -3, false, false, true).dy, 0);
}

}  // namespace
}  // namespace tunalyx
