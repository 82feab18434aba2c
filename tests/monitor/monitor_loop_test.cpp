#include "monitor/monitor_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "monitor/monitor_settings.h"
#include "monitor/session_monitor_port.h"
#include "ports/memory_settings_store.h"
#include "sim/in_process_simulator.h"
#include "support/recording_prompts.h"
#include "transfer/transfer_operations.h"
#include "versions/version_identification.h"

namespace tunalyx {
namespace {

using Include = std::array<bool, kTraceGroupCount>;
constexpr Include kAdvancedOnly = {false, false, false, false, true};
constexpr Include kAllGroups = {true, true, true, true, true};

struct Recorder final : SampleListener {
    void runStarted() override { events.push_back("start"); }
    void sampleLogged(int s, const LiveSample&, bool refresh) override {
        events.push_back(std::to_string(s) + (refresh ? " refresh" : ""));
    }
    void runEnded() override { events.push_back("end"); }
    std::vector<std::string> events;
};

class MonitorLoopTest : public ::testing::Test {
protected:
    explicit MonitorLoopTest(LineFaults faults = {})
        : sim(SimUnitKind::Det1_501, clock, std::move(faults)) {
        EXPECT_TRUE(sim.port().open());
        session.maps.GridInit();
        // As after a Read All: the data in the window are the unit's version.
        EXPECT_TRUE(SR20DET_Version(session, {.FromPFC = true, .NoDisplay = true}));
        loop.addListener(&recorder);
    }
    // Steps until the run is over, the clock moving `stepMs` a cycle.
    int runSteps(int steps, int stepMs) {
        int done = 0;
        for (; done < steps && loop.step(); ++done)
            clock.advanceMs(stepMs);
        return done;
    }

    ManualClock clock;
    test::RecordingPrompts prompts;
    InProcessSimulator sim;
    Session session{sim.port(), clock, prompts};
    LogStore log;
    AuxCalibration aux;
    MonitorLoop loop{monitorPortOf(session, true), log, clock, aux};
    Recorder recorder;
};

TEST_F(MonitorLoopTest, OnlyAdvancedIsReadAndTheOtherGroupsStoreZero) {
    ASSERT_TRUE(loop.start(kAdvancedOnly, {}));
    sim.ecu().clearRequestLog();
    EXPECT_EQ(runSteps(5, 250), 5);
    for (const Bytes& request : sim.ecu().requests())
        EXPECT_EQ(request.front(), kAdvancedLiveCmd);
    EXPECT_EQ(sim.ecu().requests().size(), 5u);
    for (int s = 0; s < 5; ++s) {
        EXPECT_EQ(log.LogTime(s), 250 * s);
        EXPECT_GT(log.LogData(0, s), 0);   // Rpm
        EXPECT_EQ(log.LogData(20, s), 0);  // InjDuty, Basic
        EXPECT_EQ(log.LogData(62, s), 0);  // N, Map
    }
    EXPECT_TRUE(log.LogUnsaved);
    loop.cmdLogStop_Click();
    EXPECT_FALSE(loop.step());
    EXPECT_EQ(log.LogLast, 4);
    // Fields refresh with the first sample and when the whole second changes (at 1000 ms).
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"start", "0 refresh", "1", "2", "3", "4 refresh", "end"}));
}

TEST_F(MonitorLoopTest, EveryGroupInOrderTheMaximaAndAnEmptyRun) {
    ASSERT_TRUE(loop.start(kAllGroups, {}));
    sim.ecu().clearRequestLog();
    EXPECT_TRUE(loop.step());
    std::vector<int> commands;
    for (const Bytes& request : sim.ecu().requests())
        commands.push_back(request.front());
    const LiveCommands& live = session.layout.live;
    EXPECT_EQ(commands,
              (std::vector<int>{live.basic, live.sensor, kAuxLiveCmd, live.map, kAdvancedLiveCmd}));
    EXPECT_FALSE(loop.fields().txtMonitor[3].empty());  // Eng Rev shown with the first sample
    // Inj Duty and Bat Volt are tenths held as singles: "14.2", never "14.199999809265137".
    runSteps(29, 10);
    for (const std::string& max : {loop.fields().txtMonitorMax[0], loop.fields().txtMonitorMax[9]})
        EXPECT_LE(max.size() - std::min(max.find('.'), max.size()), 2u) << max;
    loop.cmdMonMaxRst_Click();
    EXPECT_EQ(loop.fields().txtMonitorMax, loop.fields().txtMonitor);
    loop.cmdLogStop_Click();
    EXPECT_FALSE(loop.step());
    EXPECT_EQ(log.LogLast, 29);

    // A run that logs nothing also ends with LogLast 0; Start twice does nothing the second time.
    ASSERT_TRUE(loop.start(kAdvancedOnly, {}));
    EXPECT_FALSE(loop.start(kAdvancedOnly, {}));
    loop.cmdLogStop_Click();
    EXPECT_FALSE(loop.step());
    EXPECT_EQ(log.LogLast, 0);
}

TEST_F(MonitorLoopTest, NothingIsPolledWithoutGroupsOrAfterCancel) {
    // Cancel keeps the chart and the map watch; without groups they are reset all the same.
    EXPECT_FALSE(loop.start(kAdvancedOnly, [] { return MessageAnswer::Cancel; }));
    EXPECT_FALSE(loop.start({}, {}));
    EXPECT_EQ(recorder.events, std::vector<std::string>{"start"});
    EXPECT_FALSE(loop.runInProgress());
    EXPECT_FALSE(loop.step());
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

TEST(CheckUnsavedLog, AsksOnlyWhenSomethingIsUnsaved) {
    LogStore log;
    test::RecordingPrompts prompts;
    EXPECT_FALSE(CheckUnsavedLog(log, prompts, {}));
    EXPECT_TRUE(prompts.messages().empty());

    log.LogUnsaved = true;
    for (MessageAnswer a : {MessageAnswer::Yes, MessageAnswer::Yes, MessageAnswer::No})
        prompts.answerNext(a);
    EXPECT_EQ(CheckUnsavedLog(log, prompts, [&] { log.LogUnsaved = false; }), MessageAnswer::Yes);
    log.LogUnsaved = true;
    EXPECT_EQ(CheckUnsavedLog(log, prompts, [] {}), MessageAnswer::Cancel);  // save cancelled
    EXPECT_EQ(CheckUnsavedLog(log, prompts, [] {}), MessageAnswer::No);
}

TEST_F(MonitorLoopTest, AFailedReadEndsTheRunKeepingTheCompletedSamples) {
    ASSERT_TRUE(loop.start(kAdvancedOnly, {}));
    // Two samples, then the unit is silent through every retry.
    const std::uint64_t next = sim.line().requestCount() + 1;
    for (std::uint64_t n = next + 2; n < next + 10; ++n)
        sim.line().faults().dropReplyTo.insert(n);
    EXPECT_EQ(runSteps(10, 100), 2);
    EXPECT_FALSE(loop.runInProgress());
    EXPECT_EQ(log.LogLast, 1);
    EXPECT_EQ(recorder.events.back(), "end");
    // The port is free again: the next transfer gets it (it would wait for ever otherwise).
    ASSERT_FALSE(session.PortBusy);
    sim.line().faults().dropReplyTo.clear();
    EXPECT_TRUE(TransferOperations(session).cmdReadMap_Click(0));
}

}  // namespace
}  // namespace tunalyx
