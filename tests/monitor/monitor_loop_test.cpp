#include "monitor/monitor_loop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/in_process_simulator.h"
#include "support/recording_prompts.h"
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
        EXPECT_TRUE(SR20DET_Version(session, true, true, true, false));
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
    AuxSetup aux;
    MonitorLoop loop{session, log, clock, aux};
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

TEST_F(MonitorLoopTest, EveryGroupInOrderAndAnEmptyRun) {
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
    loop.cmdLogStop_Click();
    EXPECT_FALSE(loop.step());
    EXPECT_EQ(log.LogLast, 0);

    // A run that logs nothing also ends with LogLast 0; Start twice does nothing the second time.
    ASSERT_TRUE(loop.start(kAdvancedOnly, {}));
    EXPECT_FALSE(loop.start(kAdvancedOnly, {}));
    loop.cmdLogStop_Click();
    EXPECT_FALSE(loop.step());
    EXPECT_EQ(log.LogLast, 0);
}

TEST_F(MonitorLoopTest, NothingIsPolledWithoutGroupsOrAfterCancel) {
    EXPECT_FALSE(loop.start({}, {}));
    EXPECT_FALSE(loop.start(kAdvancedOnly, [] { return MessageAnswer::Cancel; }));
    EXPECT_FALSE(loop.Logging());
    EXPECT_FALSE(loop.step());
}

TEST_F(MonitorLoopTest, MaximaFollowEverySampleInTheGeneralFormAndResetToTheFields) {
    ASSERT_TRUE(loop.start(kAllGroups, {}));
    runSteps(1, 10);
    // The maxima start from the first sample whatever they held.
    const std::string first = loop.fields().txtMonitorMax[7];  // Wtr Temp
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first.find('.'), std::string::npos);  // general form of a whole number
    loop.cmdMonMaxRst_Click();
    EXPECT_EQ(loop.fields().txtMonitorMax, loop.fields().txtMonitor);
}

TEST_F(MonitorLoopTest, TheRunEndsAt32767Samples) {
    ASSERT_TRUE(loop.start(kAdvancedOnly, {}));
    EXPECT_EQ(runSteps(40000, 1), LogStore::kMaxRunSamples);
    EXPECT_EQ(log.LogLast, LogStore::kMaxRunSamples - 1);
}

TEST(MonitorMaxima, TheGeneralFormForEveryNewMaximum) {
    const NumberLocale locale;
    EXPECT_EQ(nextMaximum("99", 3, true, locale), "3");  // the first sample sets it
    EXPECT_EQ(nextMaximum("14.0", 13.5, false, locale), "14.0");
    // After Reset the field holds the formatted value; a new maximum shows without its format.
    EXPECT_EQ(nextMaximum("13.0", 14, false, locale), "14");
    EXPECT_EQ(nextMaximum("--", 0.5, false, locale), "0.5");  // no number counts as 0
    EXPECT_EQ(nextMaximum("", -1, false, locale), "");
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
    EXPECT_FALSE(loop.Logging());
    EXPECT_EQ(log.LogLast, 1);
    EXPECT_EQ(recorder.events.back(), "end");
}

}  // namespace
}  // namespace tunalyx
