#include "sim/fast_drive.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "sim/default_blocks.h"
#include "sim/sim_unit.h"
#include "support/recording_prompts.h"

namespace tunalyx {
namespace {

// What a finished log told of itself.
struct Part {
    int number;
    int samples;
    std::int64_t startMs;
    std::int64_t lastMs;
    bool last;
};

// A stop asked for while a full log is still being saved (a slow disk) ends the run after the
// save, with the samples polled meanwhile as its last log: none is lost and the files follow
// each other by one cycle.
TEST(ContinuousRun, AStopDuringTheSaveOfAFullLogKeepsTheSamplesPolledMeanwhile) {
    FastDrive drive;
    drive.seconds = 600;
    drive.include[kGroupAdvanced] = true;
    test::RecordingPrompts prompts;
    std::vector<Part> parts;
    std::atomic<bool> fullLogSaved = false;  // set on the thread that saves it
    LoggedRunHooks hooks;
    hooks.stopRequested = [&] { return fullLogSaved.load(); };
    hooks.finished = [&](const LoggedPart& part) {
        if (part.full) std::this_thread::sleep_for(std::chrono::milliseconds(30));
        parts.push_back({part.number, part.log.sampleCount(), part.startMs,
                         part.startMs + part.log.LogTime(part.log.LogLast), part.last});
        fullLogSaved = true;
        return true;
    };
    const LoggedRunResult result = driveInFastTime(defaultBlocks(simUnit(SimUnitKind::Det1_501)),
                                                   LayoutFamily::Family5, drive, prompts, hooks);

    EXPECT_EQ(result.end, LoggedRunEnd::Stopped);
    ASSERT_TRUE(fullLogSaved);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].samples, LogStore::kMaxRunSamples);
    EXPECT_FALSE(parts[0].last);
    EXPECT_TRUE(parts[1].last);
    EXPECT_GE(parts[1].samples, 1);
    // The advanced group takes 6-7 ms a cycle on the wire.
    const std::int64_t step = parts[1].startMs - parts[0].lastMs;
    EXPECT_GE(step, 6);
    EXPECT_LE(step, 7);
}

}  // namespace
}  // namespace tunalyx
