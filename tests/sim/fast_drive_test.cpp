#include "sim/fast_drive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "sim/default_blocks.h"
#include "sim/sim_unit.h"
#include "support/plain_file_writer.h"
#include "support/recording_prompts.h"

namespace tunalyx {
namespace {

namespace fs = std::filesystem;

// Every sample of a run as it is handed on, and what is wrong with any.
struct EverySample final : LiveConsumer {
    explicit EverySample(const LogStore& store) : log(store) {}
    void runStarted() override { parts.emplace_back(); }
    void samplePublished(const PublishedSample& s) override {
        if (s.index != static_cast<int>(parts.back().size())) ++outOfOrder;
        // The values are the sample's own, also for samples moved in from the spare.
        if (s.values.value[0] <= 0 || log.LogData(0, s.index) != s.values.value[0]) ++badValues;
        parts.back().push_back(s.timeMs);
    }
    void logSaved(const SavedLog& saved) override {
        if (onSaved) onSaved(saved);
    }
    const LogStore& log;
    std::vector<std::vector<std::int32_t>> parts;  // the times of each part's samples
    int outOfOrder = 0;
    int badValues = 0;
    std::function<void(const SavedLog&)> onSaved;
};

// A 600 s drive of the Advanced group into LOG.txt of a folder of its own, every sample watched.
struct Drive600 {
    explicit Drive600(const std::string& name)
        : folder(fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()))),
          unit(defaultBlocks(simUnit(SimUnitKind::Det1_501)), LayoutFamily::Family5, settings(),
               prompts, files),
          every(unit.run().log()) {
        fs::create_directories(folder);
        unit.run().addConsumer(&every);
    }
    ~Drive600() { fs::remove_all(folder); }
    static FastDrive settings() {
        FastDrive drive;
        drive.seconds = 600;
        drive.include[kGroupAdvanced] = true;
        return drive;
    }
    // Runs the drive to its end.
    [[nodiscard]] bool run() {
        if (!unit.start((folder / "LOG.txt").string())) return false;
        unit.run().presentUntilOver({});
        return true;
    }
    fs::path folder;
    test::RecordingPrompts prompts;
    test::PlainFileWriter files;
    FastDriveUnit unit;
    EverySample every;
};

// A full log saved slowly (a slow disk) while the worker polls on into the spare, then a stop
// asked for just after: the samples polled meanwhile are the next log's and are saved too, none
// lost or told twice, and the next log's first sample follows the last by one cycle.
TEST(FastDrive, ASlowSaveOfAFullLogAndAStopMeanwhileLoseNoSample) {
    Drive600 d("tunalyx-fast-drive");
    FastDriveUnit& unit = d.unit;
    EverySample& every = d.every;
    every.onSaved = [&](const SavedLog& saved) {
        if (!saved.runGoesOn) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        unit.run().requestStop();
    };
    ASSERT_TRUE(d.run());

    EXPECT_EQ(unit.run().end(), LiveRunEnd::Stopped);
    ASSERT_EQ(every.parts.size(), 2u);
    EXPECT_EQ(every.parts[0].size(), std::size_t{LogStore::kMaxRunSamples});
    EXPECT_GE(every.parts[1].size(), 1u);
    EXPECT_EQ(every.outOfOrder, 0);
    EXPECT_EQ(every.badValues, 0);
    // The advanced group takes 6-7 ms a cycle on the wire.
    const std::int32_t step = every.parts[1].front() - every.parts[0].back();
    EXPECT_GE(step, 6);
    EXPECT_LE(step, 7);
    EXPECT_TRUE(fs::exists(d.folder / "LOG.txt"));
    EXPECT_TRUE(fs::exists(d.folder / "LOG-001.txt"));
}

// Returns once the drive's time has stood still for a while: its worker waits, or is done.
void waitUntilStill(const Clock& clock) {
    std::int64_t last = -1;
    for (int still = 0, looks = 0; still < 3 && looks < 600; ++looks) {
        const std::int64_t now = clock.nowMicros();
        still = now == last ? still + 1 : 0;
        last = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

// The first full log's save outlasts the polling of a whole spare, as on a loaded machine where
// the fast-time worker outruns the disk: the worker waits for the log to come back rather than
// ending the run, and the drive goes on to its end in every file it needs, without a gap.
TEST(FastDrive, ASaveThatOutlastsAWholeSpareEndsNothing) {
    Drive600 d("tunalyx-fast-drive-spare");
    FastDriveUnit& unit = d.unit;
    EverySample& every = d.every;
    std::vector<int> saved;  // the samples of each file, as saved
    every.onSaved = [&](const SavedLog& log) {
        saved.push_back(log.log.sampleCount());
        if (log.part == 0) waitUntilStill(unit.clock());
    };
    ASSERT_TRUE(d.run());

    EXPECT_EQ(unit.run().end(), LiveRunEnd::Stopped);
    // Two whole logs and the rest: the drive's 600 s at 6-7 ms a cycle.
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved[0], LogStore::kMaxRunSamples);
    EXPECT_EQ(saved[1], LogStore::kMaxRunSamples);
    EXPECT_GT(saved[2], 20'000);
    ASSERT_EQ(every.parts.size(), 3u);
    EXPECT_EQ(every.outOfOrder, 0);
    EXPECT_EQ(every.badValues, 0);
    std::int32_t longestStep = 0;
    for (std::size_t p = 1; p < every.parts.size(); ++p)
        longestStep = std::max(longestStep, every.parts[p].front() - every.parts[p - 1].back());
    EXPECT_LE(longestStep, 7);
    EXPECT_GE(every.parts.back().back(), 600'000);
    for (const char* name : {"LOG.txt", "LOG-001.txt", "LOG-002.txt"})
        EXPECT_TRUE(fs::exists(d.folder / name)) << name;
}

// A unit that answers a live block with a whole packet of the wrong length is not silent: the run
// ends there, keeps and saves what came before, and its end says what came instead, since the
// line shows no message for it.
TEST(FastDrive, AReplyOfTheWrongLengthEndsTheDriveSayingSo) {
    Drive600 d("tunalyx-fast-drive-short");
    FastDriveUnit& unit = d.unit;
    EverySample& every = d.every;
    // Well into the polling, one request a sample.
    unit.simulator().line().faults().shortReplyTo.insert(1000);
    ASSERT_TRUE(d.run());

    EXPECT_EQ(unit.run().end(), LiveRunEnd::UnitSilent);
    EXPECT_EQ(unit.run().endProblem(),
              "The unit's reply to live block F0 had 29 data bytes instead of 30.");
    // Nor is the unit said to be silent: it answered.
    EXPECT_EQ(d.prompts.texts(), std::vector<std::string>{});
    ASSERT_EQ(every.parts.size(), 1u);
    EXPECT_GT(every.parts[0].size(), 900u);
    EXPECT_LT(every.parts[0].size(), 1000u);
    EXPECT_TRUE(fs::exists(d.folder / "LOG.txt"));
}

}  // namespace
}  // namespace tunalyx
