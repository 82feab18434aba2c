#include <gtest/gtest.h>

#include <set>

#include "versions/layout_family.h"

namespace tunalyx {
namespace {

TEST(VersionKey, KeyAndFamilyOfTheKnownUnits) {
    EXPECT_EQ(versionKey("SR20DET1", "5.01 "), "DET15.01");
    EXPECT_EQ(versionKey("SR20T2-D", "5.11A"), "T2-D5.11");
    EXPECT_EQ(versionKey("SR20DET1", "1.70B"), "DET11.70");
    EXPECT_EQ(versionKey("SR20DET5", "3.12A"), "DET53.12");
    EXPECT_EQ(familyOfKey("DET11.70"), LayoutFamily::Family170);
    EXPECT_EQ(familyOfKey("DET53.12"), LayoutFamily::Family3);
    EXPECT_EQ(familyOfKey("DET23.12"), LayoutFamily::Family3);
    EXPECT_EQ(familyOfKey("DET35.05"), LayoutFamily::Family5);
    EXPECT_EQ(familyOfKey("T2-D5.11"), LayoutFamily::FamilyT2D);
    EXPECT_FALSE(familyOfKey("DET24.07"));
    EXPECT_FALSE(familyOfKey(""));
    EXPECT_EQ(familyFromName("t2-d"), LayoutFamily::FamilyT2D);
    EXPECT_EQ(familyFromName("1.70"), LayoutFamily::Family170);
    EXPECT_FALSE(familyFromName("4"));
}

TEST(FamilyLayouts, ListSizesAndUniqueBlocks) {
    struct Expect {
        LayoutFamily family;
        std::size_t readAll, writeAll;
    };
    for (const Expect& e :
         {Expect{LayoutFamily::Family170, 23, 7}, Expect{LayoutFamily::Family3, 51, 33},
          Expect{LayoutFamily::Family5, 51, 34}, Expect{LayoutFamily::FamilyT2D, 54, 30}}) {
        const FamilyLayout& l = familyLayout(e.family);
        EXPECT_EQ(l.family, e.family);
        EXPECT_EQ(l.readAll.size(), e.readAll) << l.name;
        EXPECT_EQ(l.writeAll.size(), e.writeAll) << l.name;
        std::set<int> read;
        for (const auto& b : l.readAll)
            EXPECT_TRUE(read.insert(b.command).second) << l.name;
        // Everything written is read back with the same length.
        for (const auto& w : l.writeAll) {
            const auto it =
                std::find_if(l.readAll.begin(), l.readAll.end(),
                             [&](const ListedBlock& r) { return r.command == w.command; });
            ASSERT_NE(it, l.readAll.end()) << l.name << " " << int(w.command);
            EXPECT_EQ(it->length, w.length);
        }
    }
    EXPECT_EQ(startupReadAllList().size(), 51u);
    EXPECT_EQ(startupWriteAllList().size(), 35u);
}

}  // namespace
}  // namespace tunalyx
