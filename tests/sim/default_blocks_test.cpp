#include "sim/default_blocks.h"

#include <gtest/gtest.h>

#include <set>

namespace tunalyx {
namespace {

constexpr SimUnitKind kAllUnits[] = {SimUnitKind::Det1_501,    SimUnitKind::Det2_312A,
                                     SimUnitKind::Det1_170B,   SimUnitKind::T2D_511A,
                                     SimUnitKind::Unsupported, SimUnitKind::NotSr20};

// Read All of every simulated unit finds each listed block, at its length, and nothing else.
TEST(DefaultBlocks, HoldsExactlyTheReadAllBlocksAtTheirLengths) {
    for (SimUnitKind kind : kAllUnits) {
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

}  // namespace
}  // namespace tunalyx
