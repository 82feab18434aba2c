#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "versions/layout_family.h"

namespace tunalyx {
namespace {

TEST(VersionKey, KeyAndFamilyOfTheKnownUnits) {
    EXPECT_EQ(versionKey("SR20DET1", "5.01 "), "DET15.01");
    EXPECT_EQ(versionKey("SR20T2-D", "5.11A"), "T2-D5.11");
    EXPECT_EQ(familyOfKey("DET11.70"), LayoutFamily::Family170);
    EXPECT_EQ(familyOfKey("DET53.12"), LayoutFamily::Family3);
    EXPECT_EQ(familyOfKey("DET35.05"), LayoutFamily::Family5);
    EXPECT_FALSE(familyOfKey("DET24.07"));
    EXPECT_FALSE(familyOfKey(""));
    EXPECT_EQ(familyFromName("t2-d"), LayoutFamily::FamilyT2D);
    EXPECT_FALSE(familyFromName("4"));
}

// Everything written is read back, at the same length, and nothing is read twice.
TEST(FamilyLayouts, WrittenBlocksAreReadBackAtTheirLength) {
    for (LayoutFamily family : {LayoutFamily::Family170, LayoutFamily::Family3,
                                LayoutFamily::Family5, LayoutFamily::FamilyT2D}) {
        const FamilyLayout& l = familyLayout(family);
        EXPECT_EQ(l.family, family);
        std::set<int> read;
        for (const auto& b : l.readAll)
            EXPECT_TRUE(read.insert(b.command).second) << l.name;
        for (const auto& w : l.writeAll) {
            const auto it = std::ranges::find(l.readAll, w.command, &ListedBlock::command);
            ASSERT_NE(it, l.readAll.end()) << l.name << " " << int(w.command);
            EXPECT_EQ(it->length, w.length);
        }
    }
}

}  // namespace
}  // namespace tunalyx
