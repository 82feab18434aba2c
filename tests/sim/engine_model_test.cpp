#include "sim/engine_model.h"

#include <gtest/gtest.h>

#include <array>

#include "sim/default_blocks.h"

namespace tunalyx {
namespace {

int word(const Bytes& b, int pos) {
    return b.at(pos - 1) + 256 * b.at(pos);
}

// The monitor's boost rule.
int decodeBoost(int raw) {
    return (raw & 0x8000) ? raw - 32768 : raw - 760;
}

// Breakpoints base + step * k on both axes: 20 load words, then 20 rpm words.
Bytes reference(int loadBase, int rpmBase, int step) {
    Bytes ref;
    for (int base : {loadBase, rpmBase}) {
        for (int k = 0; k < 20; ++k) {
            ref.push_back(static_cast<std::uint8_t>((base + step * k) & 0xFF));
            ref.push_back(static_cast<std::uint8_t>((base + step * k) >> 8));
        }
    }
    return ref;
}

// The load range of the model and the breakpoints of the default tune must fit each other.
TEST(EngineModel, PathCoversTheWholeDefaultMap) {
    const Bytes ref = defaultBlocks(simUnit(SimUnitKind::Det1_501))[0x8A];
    EngineModel model;
    std::array<std::array<bool, 20>, 20> seen{};
    std::array<bool, 4> quadrant{};
    for (int i = 0; i <= 12000; ++i) {
        model.advanceTo(i * 0.05);
        const Bytes at = model.mapBlock(ref);
        ASSERT_LT(at[0], 20);
        ASSERT_LT(at[1], 20);
        seen[at[1]][at[0]] = true;
        if (i <= 1200) quadrant[(at[1] >= 10 ? 2 : 0) + (at[0] >= 10 ? 1 : 0)] = true;
    }
    for (bool q : quadrant)
        EXPECT_TRUE(q);  // within the first minute
    int cells = 0;
    for (const auto& row : seen)
        for (bool s : row)
            cells += s;
    EXPECT_GE(cells, 380);  // within ten minutes
    EXPECT_TRUE(seen[0][0] && seen[19][19]);
}

TEST(EngineModel, IsDeterministicAndNeverRunsBackwards) {
    EngineModel a, b;
    a.advanceTo(12.5);
    b.advanceTo(3.0);
    b.advanceTo(12.5);
    EXPECT_EQ(a.advancedBlock(), b.advancedBlock());
    EXPECT_EQ(a.sensorBlock(), b.sensorBlock());
    const Bytes before = a.advancedBlock();
    a.advanceTo(1.0);
    EXPECT_EQ(a.advancedBlock(), before);
}

TEST(EngineModel, LiveBlocksDecodeToPlausibleValues) {
    EngineModel model;
    int lastWater = -100;
    bool sawIdle = false, sawOpen = false;
    for (double t = 0; t <= 400; t += 0.37) {
        model.advanceTo(t);
        const Bytes adv = model.advancedBlock();
        const Bytes basic = model.basicBlock();
        const Bytes sensors = model.sensorBlock();
        const Bytes aux = model.auxBlock();
        ASSERT_EQ(adv.size(), 30u);
        ASSERT_EQ(basic.size(), 20u);
        ASSERT_EQ(sensors.size(), 18u);
        ASSERT_EQ(aux.size(), 4u);
        const int rpm = word(adv, 1);
        EXPECT_NEAR(rpm, model.rpm(), 1);
        EXPECT_NEAR(word(adv, 3), model.load(), 1);
        EXPECT_LE(word(adv, 5) * 0.001, 5.0);   // MAFS1 V
        EXPECT_LT(word(adv, 9) * 0.004, 15.0);  // injector ms
        EXPECT_GE(adv[12], 5);                  // ignition degrees
        EXPECT_LE(adv[12], 45);
        const int water = adv[18] - 80;
        EXPECT_GE(water, lastWater);  // warms up, never cools
        lastWater = water;
        EXPECT_NEAR(adv[21] * 0.1, 14.0, 1.0);  // battery
        EXPECT_GE(word(adv, 29) * 0.001, 0.4);  // TPS V
        EXPECT_LE(word(adv, 29) * 0.001, 4.5);

        // Boost: the flag bit marks pressure, otherwise vacuum below 760.
        const int boost = decodeBoost(word(adv, 15));
        EXPECT_EQ(boost > 0, (word(adv, 15) & 0x8000) != 0);
        const double loadFrac = (model.load() - 900) / (13500 - 900);
        EXPECT_TRUE(loadFrac < 0.9 || boost > 50) << t;   // boost at high load
        EXPECT_TRUE(loadFrac > 0.1 || boost < -40) << t;  // vacuum at light load

        // The basic block reports the same engine.
        EXPECT_EQ(word(basic, 7), rpm);
        EXPECT_EQ(decodeBoost(word(basic, 11)), boost);
        EXPECT_EQ(word(basic, 15) - 80, water);
        EXPECT_LE(word(basic, 1) * 0.1, 100.0);  // injector duty %

        // Switches: one flag bit per pair; idle contact closed only with the throttle shut.
        for (int k = 0; k < 8; ++k)
            EXPECT_EQ(sensors[2 * k + 1] & 0xFE, 0) << "flag or stray bits";
        const double tpsVolts = (sensors[4] + 256 * (sensors[5] & 1)) / 100.0;
        const bool idle = sensors[16] & 0x04;
        EXPECT_EQ(sensors[16] & 0x03, 0x01);  // ignition on, not cranking
        EXPECT_TRUE(sensors[17] & 0x04);      // fuel pump running
        EXPECT_TRUE(!idle || tpsVolts < 0.5) << tpsVolts;
        EXPECT_TRUE(idle || tpsVolts >= 0.48) << tpsVolts;
        sawIdle = sawIdle || idle;
        sawOpen = sawOpen || !idle;

        const double afr = aux[0] / 51.0 * 2 + 10;  // wide-band 0..5 V = 10..20 A/F
        EXPECT_GE(afr, 11.0);
        EXPECT_LE(afr, 15.5);
        EXPECT_TRUE(model.load() < 12000 || afr < 12.5) << afr;  // rich on boost
    }
    EXPECT_TRUE(lastWater > 80 && lastWater <= 86);
    EXPECT_TRUE(sawIdle && sawOpen);
}

TEST(EngineModel, MapBlockIndexesClampToTheGrid) {
    EngineModel model;
    model.advanceTo(0);  // idle: 800 rpm, load 900
    ASSERT_NEAR(model.rpm(), 800, 1);
    ASSERT_NEAR(model.load(), 900, 1);
    EXPECT_EQ(model.mapBlock(Bytes(79, 0)), (Bytes{0, 0}));
    EXPECT_EQ(model.mapBlock(reference(0, 0, 10)), (Bytes{19, 19}));
    EXPECT_EQ(model.mapBlock(reference(5000, 5000, 100)), (Bytes{0, 0}));
    // A value on a breakpoint belongs to that breakpoint's cell.
    EXPECT_EQ(model.mapBlock(reference(600, 500, 100)), (Bytes{3, 3}));
    EXPECT_EQ(model.mapBlock(reference(650, 550, 100)), (Bytes{2, 2}));
}

}  // namespace
}  // namespace tunalyx
