#include "sim/engine_model.h"

#include <gtest/gtest.h>

#include <array>

#include "sim/default_blocks.h"

namespace tunalyx {
namespace {

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
