#include "curves/fuel_curves.h"

#include <gtest/gtest.h>

#include "sim/default_blocks.h"
#include "sim/sim_unit.h"

namespace tunalyx {
namespace {

PacketImage imageOf(SimUnitKind kind) {
    const BlockStore blocks = defaultBlocks(simUnit(kind));
    PacketImage image;
    for (std::size_t b = 0; b < blocks.size(); ++b)
        image[static_cast<std::uint8_t>(b)] = blocks[b];
    return image;
}

TEST(FuelCurves, BothLayoutsReadTheSameCurvesFromTheirOwnBlocks) {
    const auto five =
        fuelCurvesOf(imageOf(SimUnitKind::Det1_501), familyLayout(LayoutFamily::Family5));
    const auto old =
        fuelCurvesOf(imageOf(SimUnitKind::Det1_170B), familyLayout(LayoutFamily::Family170));
    ASSERT_TRUE(five && old);
    for (const FuelCurves* c : {&*five, &*old}) {
        EXPECT_EQ(c->warmUp.x, (std::array<double, 6>{-30, -10, 10, 30, 50, 80}));
        EXPECT_EQ(c->warmUp.y, (std::array<double, 6>{2, 1.59375, 1.296875, 1.09375, 1, 1}));
        EXPECT_EQ(c->pump.pulse.x, (std::array<double, 5>{1000, 2000, 3000, 4000, 5000}));
        EXPECT_NEAR(c->pump.pulse.y[1], 1.6, 1e-9);
    }
    EXPECT_TRUE(five->pump.hasShare);
    EXPECT_FALSE(old->pump.hasShare);
    // Between points and beyond the ends.
    EXPECT_DOUBLE_EQ(five->warmUp.at(0), (1.59375 + 1.296875) / 2);
    EXPECT_DOUBLE_EQ(five->warmUp.at(-40), 2);
    EXPECT_DOUBLE_EQ(five->warmUp.at(95), 1);

    // An rpm axis that does not rise is no curve.
    PacketImage broken = imageOf(SimUnitKind::Det1_501);
    broken[0x93][4] = broken[0x93][3];
    EXPECT_FALSE(fuelCurvesOf(broken, familyLayout(LayoutFamily::Family5)));
}

TEST(FuelCurves, ThePumpFadesOverHalfASecondAndTakesItsShareOfTheThrottleSpeed) {
    AccelPump pump;
    pump.pulse = {{1000, 2000, 3000, 4000, 5000}, {2, 2, 1.6, 1.2, 1}};
    EXPECT_DOUBLE_EQ(pump.extraMs(2500, 5, 0), 1.8);
    EXPECT_DOUBLE_EQ(pump.extraMs(2500, 5, 0.25), 0.9);
    EXPECT_DOUBLE_EQ(pump.extraMs(2500, 5, 0.5), 0);
    EXPECT_DOUBLE_EQ(pump.extraMs(2500, 5, -0.1), 0);
    pump.hasShare = true;
    pump.share = {{0, AccelPump::shareSpeed(2), AccelPump::shareSpeed(4)}, {0, 0.5, 1}};
    EXPECT_DOUBLE_EQ(pump.extraMs(2500, 3, 0), 1.8 * 0.75);
}

}  // namespace
}  // namespace tunalyx
