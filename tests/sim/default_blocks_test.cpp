#include "sim/default_blocks.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace tunalyx {
namespace {

constexpr SimUnitKind kAllKinds[] = {SimUnitKind::Det1_501,    SimUnitKind::Det2_312A,
                                     SimUnitKind::Det1_170B,   SimUnitKind::T2D_511A,
                                     SimUnitKind::Unsupported, SimUnitKind::NotSr20};

int word(const Bytes& slot, int pos) {
    return slot.at(pos - 1) + 256 * slot.at(pos);
}

// A map cell read the way the grids address it: column by column, 100 bytes per block.
int cell(const BlockStore& s, int base, int width, int row, int col) {
    const int p = (col * 20 + row) * width;
    const Bytes& slot = s.at(static_cast<std::size_t>(base + p / 100));
    return width == 2 ? word(slot, p % 100 + 1) : slot.at(static_cast<std::size_t>(p % 100));
}

TEST(DefaultBlocks, HoldsExactlyTheReadAllBlocksAtTheirLengths) {
    for (SimUnitKind kind : kAllKinds) {
        const SimUnit unit = simUnit(kind);
        const BlockStore s = defaultBlocks(unit);
        std::set<int> listed;
        for (const ListedBlock& entry : familyLayout(unit.layout).readAll) {
            listed.insert(entry.command);
            EXPECT_EQ(s[entry.command].size(), entry.length)
                << unit.versionText << " block " << int(entry.command);
        }
        if (unit.olderUnit) listed.insert(0x6B);
        for (int b = 0; b < 256; ++b)
            EXPECT_TRUE(listed.count(b) || s[static_cast<std::size_t>(b)].empty()) << b;
    }
}

TEST(DefaultBlocks, IdentityAndItemNamesFollowTheUnit) {
    // Name and version text: 0xF3/0xF5, or 0x6B/0x6C on the older unit.
    for (auto [kind, nameBlock, versionBlock, identity] :
         {std::tuple{SimUnitKind::Det1_501, 0xF3, 0xF5, "SR20DET15.01 "},
          {SimUnitKind::Det2_312A, 0xF3, 0xF5, "SR20DET23.12A"},
          {SimUnitKind::Det1_170B, 0x6B, 0x6C, "SR20DET11.70B"},
          {SimUnitKind::T2D_511A, 0xF3, 0xF5, "SR20T2-D5.11A"},
          {SimUnitKind::Unsupported, 0xF3, 0xF5, "SR20DET24.07 "},
          {SimUnitKind::NotSr20, 0xF3, 0xF5, "RB25DET15.01 "}}) {
        const BlockStore s = defaultBlocks(simUnit(kind));
        EXPECT_EQ(textFromBytes(s[nameBlock]) + textFromBytes(s[versionBlock]), identity);
    }
    EXPECT_EQ(textFromBytes(defaultBlocks(simUnit(SimUnitKind::Det1_501))[0xDD]),
              "AF-1THROBOSTWTRTO2-1EXTM********IGNSTRA/CPWSNTR*********ECCWRNEXTF/PVTCO2HACRFAN");
    EXPECT_EQ(textFromBytes(defaultBlocks(simUnit(SimUnitKind::Det2_312A))[0x69]),
              "AF-1THROBOSTWTRTO2-1EXTM********IGNSTRA/CPWSNTR*********ECCWRNEXTF/PFP1EAIO2HACR");
}

TEST(DefaultBlocks, MapReferenceRisesOnBothAxes) {
    for (SimUnitKind kind : kAllKinds) {
        const Bytes ref =
            defaultBlocks(simUnit(kind))[familyLayout(simUnit(kind).layout).mapRefBlock];
        ASSERT_EQ(ref.size(), 80u);
        for (int k = 1; k < 20; ++k) {
            EXPECT_LT(word(ref, 2 * k - 1), word(ref, 2 * k + 1)) << "load " << k;
            EXPECT_LT(word(ref, 2 * k + 39), word(ref, 2 * k + 41)) << "rpm " << k;
        }
    }
}

TEST(DefaultBlocks, MapsAndCurvesLookLikeATurboTune) {
    for (SimUnitKind kind :
         {SimUnitKind::Det1_501, SimUnitKind::Det1_170B, SimUnitKind::T2D_511A}) {
        const FamilyLayout& layout = familyLayout(simUnit(kind).layout);
        const BlockStore s = defaultBlocks(simUnit(kind));
        const auto inj = [&](int r, int c) { return cell(s, layout.injMapBlock, 1, r, c); };
        const auto ign = [&](int r, int c) { return cell(s, layout.ignMapBlock, 1, r, c); };
        for (int c = 0; c < 20; ++c) {
            for (int r = 0; r < 20; ++r) {
                EXPECT_GE(inj(r, c) / 256.0 + 0.5, 0.9);
                EXPECT_LE(inj(r, c) / 256.0 + 0.5, 1.31);
                EXPECT_GE(ign(r, c), 10);
                EXPECT_LE(ign(r, c), 40);
                if (r == 0) continue;
                EXPECT_GE(inj(r, c), inj(r - 1, c));  // more load: more fuel, less advance
                EXPECT_LE(ign(r, c), ign(r - 1, c));
                if (layout.baseMapShown) {
                    EXPECT_GT(cell(s, kBaseMapBlock, 2, r, c), cell(s, kBaseMapBlock, 2, r - 1, c));
                    EXPECT_LT(cell(s, kBaseMapBlock, 2, r, c) * 0.004, 15.0);
                }
            }
        }
        EXPECT_GE(ign(0, 19), 35);   // light load, high rpm
        EXPECT_LE(ign(19, 19), 16);  // full boost
    }
    const BlockStore s = defaultBlocks(simUnit(SimUnitKind::Det1_501));
    // Cranking pulse (point 0 = -30 C at byte 11) shortens as the engine warms; the sensor
    // curves of 0xA0..0xA5 rise.
    for (int pos = 11; pos > 1; pos -= 2)
        EXPECT_GT(word(s[0x8E], pos), word(s[0x8E], pos - 2));
    for (std::size_t b = 0xA0; b <= 0xA5; ++b)
        for (int pos = 3; pos < 64; pos += 2)
            EXPECT_GT(word(s[b], pos), word(s[b], pos - 2));
}

// Boost control and function select hold the same settings in the old and new layouts, so
// converting a default image does not change the tune.
TEST(DefaultBlocks, MovedSettingsAgreeAcrossLayouts) {
    const BlockStore f5 = defaultBlocks(simUnit(SimUnitKind::Det1_501));
    const BlockStore older = defaultBlocks(simUnit(SimUnitKind::Det1_170B));
    const Bytes &ab = f5[0xAB], &d5 = f5[0xD5];
    Bytes rebuilt(ab.begin() + 2, ab.begin() + 7);
    rebuilt.insert(rebuilt.end(), d5.begin() + 5, d5.begin() + 9);
    rebuilt.insert(rebuilt.end(), ab.begin() + 7, ab.end());
    EXPECT_EQ(rebuilt, d5);
    EXPECT_EQ(ab[0], f5[0xD6][0]);  // boost kit flag
    EXPECT_EQ(older[0x5C], d5);
    EXPECT_EQ(defaultBlocks(simUnit(SimUnitKind::Det2_312A))[0x5C], d5);
    EXPECT_EQ(Bytes(older[0x65].begin() + 2, older[0x65].begin() + 5),
              Bytes(f5[0xD6].begin() + 1, f5[0xD6].begin() + 4));
}

}  // namespace
}  // namespace tunalyx
