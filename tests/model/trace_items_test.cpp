#include <gtest/gtest.h>

#include <string>

#include "model/descriptors.h"
#include "model/trace_items.h"
#include "versions/layout_family.h"

namespace tunalyx {
namespace {

TEST(TraceItems, LabelsAndAuxNames) {
    TraceItems t;
    EXPECT_EQ(t.label(64), "");
    const auto choices = t.itemChoices();
    ASSERT_EQ(choices.size(), 65u);
    EXPECT_EQ(choices[0], "(None)");
    EXPECT_EQ(choices[1], "Advanced Rpm");
    EXPECT_EQ(choices[63], "Map N");

    AuxNames aux{{"AFR", "Oil", "EGT", "Fuel"}, false, false};
    t.InitTraceItemLookup(aux);
    EXPECT_EQ(t.label(58), "Aux AN1 AFR");
    EXPECT_EQ(t.TraceName[62], "N");  // the aux names end at item 61

    aux.an1MinusAn2 = aux.an3MinusAn4 = true;
    t.TraceName[1] = "PIM";
    t.InitTraceItemLookup(aux);
    EXPECT_EQ(t.TraceName[58], "AN1-AN2 AFR");
    EXPECT_EQ(t.TraceName[59], "AN2 Oil");
    EXPECT_EQ(t.TraceName[60], "AN3-AN4 EGT");
    EXPECT_EQ(t.TraceName[1], "Load");  // a rebuild undoes the sensor layout's renames
}

TEST(TraceItems, DescriptorsTileTheirReplies) {
    for (int item : {-1, 19, 30, 62, 64})
        EXPECT_STREQ(traceDescriptor(item), "") << item;

    // Each descriptor reads its group's block and the fields follow one another without gap
    // or overlap: a shifted or mistyped position shows up here.
    struct Range {
        int first, last, block, replyLength;
    };
    for (const Range& r : {Range{0, 18, kAdvancedLiveCmd, 30}, Range{20, 29, 0xDA, 20}}) {
        int nextPos = 1;
        for (int item = r.first; item <= r.last; ++item) {
            const auto d = parseParamDescriptor(traceDescriptor(item));
            ASSERT_TRUE(d) << item;
            EXPECT_EQ(d->block, r.block) << item;
            EXPECT_EQ(d->pos, nextPos) << item;
            nextPos = d->pos + (d->type == 1 ? 1 : 2);
        }
        EXPECT_EQ(nextPos, r.replyLength + 1);
    }
}

}  // namespace
}  // namespace tunalyx
