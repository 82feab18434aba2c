#include "autotune/live_auto_tune.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace tunalyx {
namespace {

// A run's log as the worker leaves it: 100 samples a second, published up to where it got.
class RunLog {
public:
    explicit RunLog(int samples, std::int32_t firstMs = 0) {
        for (int n = 0; n < samples; ++n) {
            m_log->setLogTime(n, firstMs + n * 10);
            m_log->setLogData(kRpmItem, n, 3400);
        }
    }
    void publish(int n) { m_log->publish(n); }
    [[nodiscard]] const LogStore& store() const { return *m_log; }

private:
    std::unique_ptr<LogStore> m_log = std::make_unique<LogStore>();
};

TEST(LiveAutoTune, WritesAtMostEvery15SecondsOfTheRunAndRemembersWhenEachCellWent) {
    RunLog run(8000);
    LiveAutoTune live(run.store());
    run.publish(3500);
    EXPECT_FALSE(live.takeNewSamples());  // no run is being logged
    live.joinRun(false, 0);
    EXPECT_FALSE(live.takeNewSamples());
    // A window opened while the run is logged follows it from its first sample.
    live.joinRun(true, 0);
    ASSERT_TRUE(live.takeNewSamples());
    EXPECT_FALSE(live.takeNewSamples());  // nothing new since
    // Only what is published is read: the samples after it are not there yet.
    const std::optional<AutoTuneLog> soFar = live.runSoFar();
    ASSERT_TRUE(soFar);
    EXPECT_EQ(soFar->log->sampleCount(), 3500);
    EXPECT_FALSE(soFar->continuesRun);

    EXPECT_TRUE(live.mayWrite());
    // Update sent the cells while the worker polled on: the write is as late as its newest sample.
    run.publish(3600);
    live.written({{5, 7, "1.060"}, {6, 7, "1.020"}});
    EXPECT_DOUBLE_EQ(live.writtenAt()[4][6], 35.99);
    EXPECT_DOUBLE_EQ(live.writtenAt()[5][6], 35.99);
    EXPECT_TRUE(std::isinf(live.writtenAt()[0][0]));

    run.publish(5099);  // 14.99 s after the write
    EXPECT_FALSE(live.mayWrite());
    run.publish(5100);
    EXPECT_TRUE(live.mayWrite());
    live.written({});  // nothing sent: nothing written, no wait to come
    EXPECT_TRUE(live.mayWrite());
}

TEST(LiveAutoTune, TheNextPartOfARunCarriesOnAndANewRunOrAnOpenedLogForgetsTheWrites) {
    RunLog first(LogStore::kMaxRunSamples);
    LiveAutoTune live(first.store());
    live.runStarted();
    first.publish(2000);
    live.written({{5, 7, "1.060"}});
    const double at = live.writtenAt()[4][6];

    // The log starts again from sample 0; its times go on, and so do the writes. A window opened
    // now takes the part as going on from the one before.
    first.publish(0);
    LiveAutoTune joined(first.store());
    joined.joinRun(true, 1);
    live.partStarted(1);
    EXPECT_FALSE(live.runSoFar());
    first.publish(100);
    ASSERT_TRUE(live.takeNewSamples());
    const std::optional<AutoTuneLog> next = live.runSoFar();
    ASSERT_TRUE(next);
    EXPECT_TRUE(next->continuesRun);
    EXPECT_TRUE(joined.runSoFar()->continuesRun);
    EXPECT_EQ(next->log->sampleCount(), 100);
    EXPECT_DOUBLE_EQ(live.writtenAt()[4][6], at);
    EXPECT_FALSE(live.mayWrite());

    live.logReplaced();
    EXPECT_TRUE(std::isinf(live.writtenAt()[4][6]));
    EXPECT_TRUE(live.mayWrite());
    live.written({{5, 7, "1.060"}});
    live.runEnded();
    EXPECT_FALSE(live.takeNewSamples());
    live.runStarted();
    EXPECT_TRUE(std::isinf(live.writtenAt()[4][6]));
    EXPECT_FALSE(live.runSoFar()->continuesRun);
}

}  // namespace
}  // namespace tunalyx
