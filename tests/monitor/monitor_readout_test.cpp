#include "monitor/monitor_readout.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "monitor/monitor_settings.h"
#include "ports/memory_settings_store.h"

namespace tunalyx {
namespace {

TEST(MonitorReadout, FieldsOnRefreshMaximaEverySampleInTheItemsOwnPrecision) {
    const TraceItems items;
    const NumberLocale locale;
    MonitorReadout readout(items, locale);
    const int injDuty = items.lookup(kGroupBasic, 0);
    const int engRev = items.lookup(kGroupBasic, 3);
    LiveSample values;
    const auto publish = [&](int s, double duty, int rpm, bool refresh) {
        // Inj Duty is tenths held as a single: "14.2", never "14.199999809265137".
        values.value[static_cast<std::size_t>(injDuty)] = static_cast<float>(duty);
        values.value[static_cast<std::size_t>(engRev)] = rpm;
        readout.samplePublished({s, 0, 0, values, refresh});
    };
    publish(0, 14.2, 900, true);
    EXPECT_EQ(readout.fields().txtMonitor[0], "14.2");
    EXPECT_EQ(readout.fields().txtMonitorMax[0], "14.2");
    publish(1, 12.5, 2400, false);  // no refresh: the field stays, the maximum follows Eng Rev
    EXPECT_EQ(readout.fields().txtMonitor[3], "900");
    EXPECT_EQ(readout.fields().txtMonitorMax[3], "2400");
    EXPECT_EQ(readout.fields().txtMonitorMax[0], "14.2");
    EXPECT_EQ(readout.count(), 2);
    readout.resetMaxima();
    EXPECT_EQ(readout.fields().txtMonitorMax, readout.fields().txtMonitor);
    // A part's first sample sets the maxima whatever they held.
    publish(0, 3.1, 800, true);
    EXPECT_EQ(readout.fields().txtMonitorMax[3], "800");
    EXPECT_EQ(readout.count(), 1);
}

TEST(MonitorMaxima, AFieldFollowsOnlyGreaterValuesInTheGeneralForm) {
    // One field through a run: the first sample sets it whatever it held; after a Reset ("14,0")
    // an equal value keeps the format and a greater one shows without it; no number counts as 0.
    const std::pair<double, const char*> run[] = {
        {13.5, "13,5"}, {12.1, "13,5"}, {14.2, "14,2"}, {14, "14,0"}, {14.5, "14,5"}};
    std::string shown = "99";
    for (std::size_t s = 0; s < std::size(run); ++s) {
        if (s == 3) shown = "14,0";
        shown = nextMaximum(shown, static_cast<float>(run[s].first), Precision::Single, s == 0,
                            NumberLocale{','});
        EXPECT_EQ(shown, run[s].second) << s;
    }
    EXPECT_EQ(nextMaximum("--", 0.5, Precision::Single, false, {}), "0.5");
}

TEST(MonitorInclude, AdvancedAloneUntilStoredThenAsStored) {
    MemorySettingsStore store;
    EXPECT_EQ(loadMonitorInclude(store), (IncludeGroups{false, false, false, false, true}));
    saveMonitorInclude(store, {true, false, true, true, false});
    EXPECT_EQ(store.text("MonitorInclude", ""), "1,0,1,1,0");
    store.setValue("MonitorInclude", "1,1");  // the rest left out
    EXPECT_EQ(loadMonitorInclude(store), (IncludeGroups{true, true, false, false, false}));
}

}  // namespace
}  // namespace tunalyx
