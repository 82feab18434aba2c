#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "model/descriptors.h"
#include "monitor/trace_items.h"
#include "versions/layout_family.h"

namespace tunalyx {
namespace {

TEST(TraceItems, LookupByGroupAndIndex) {
    const TraceItems t;
    // Every item is found again under its own group and index, counted from 0 in item order.
    int groupSize[kTraceGroupCount] = {};
    for (std::size_t i = 0; i < kTraceItemCount; ++i) {
        EXPECT_EQ(t.TraceGroupIndex[i], groupSize[t.TraceGroup[i]]++) << i;
        EXPECT_EQ(t.lookup(t.TraceGroup[i], t.TraceGroupIndex[i]), static_cast<int>(i));
    }
    // 0 beyond a group's last item or outside the table.
    const std::pair<int, int> outside[] = {
        {kGroupMap, 2}, {kGroupAdvanced, 20}, {-1, 0}, {kTraceGroupCount, 0}};
    for (const auto& [group, index] : outside)
        EXPECT_EQ(t.lookup(group, index), 0) << group << ":" << index;
}

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

// The monitor's captions start as the item names: sensor labels and switch boxes as items 30..53
// (an unnamed switch left blank), the tuning labels as items 0.. .
TEST(MonitorCaptions, StartAsTheItemNames) {
    const MonitorCaptions c;
    const TraceItems t;
    for (std::size_t i = 0; i < c.sensorLabels.size(); ++i)
        EXPECT_EQ(c.sensorLabels[i], t.TraceName[30 + i]) << i;
    for (std::size_t i = 0; i < c.switchCaptions.size(); ++i) {
        const std::string& item = t.TraceName[38 + i];
        EXPECT_EQ(c.switchCaptions[i], item == "***" ? "" : item) << i;
    }
    for (std::size_t i = 0; i < c.lblTuning.size(); ++i)
        EXPECT_EQ(c.lblTuning[i], t.TraceName[i]) << i;
}

}  // namespace
}  // namespace tunalyx
