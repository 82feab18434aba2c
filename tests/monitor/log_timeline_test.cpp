#include "monitor/log_timeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "monitor/log_csv.h"
#include "monitor/log_writer.h"
#include "support/plain_file_writer.h"
#include "support/recording_prompts.h"

namespace tunalyx {
namespace {

namespace fs = std::filesystem;

class LogTimelineTest : public ::testing::Test {
protected:
    LogTimelineTest() {
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    ~LogTimelineTest() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    // A log of `samples` rows from `startMs`, 100 ms apart, of the groups given; every value of
    // an item is `base` + the sample's number.
    std::string write(const std::string& name, std::vector<int> groups, int startMs, int samples,
                      double base) {
        LogStore store;
        for (int g : groups)
            store.IncludeGroup[static_cast<std::size_t>(g)] = true;
        for (int s = 0; s < samples; ++s) {
            store.setLogTime(s, startMs + 100 * s);
            for (int item = 0; item < kTraceItemCount; ++item)
                store.setLogData(item, s, base + s);
        }
        store.LogLast = samples - 1;
        const std::string path = (folder / name).string();
        EXPECT_EQ(writer.writeWhole(path, logFileText(store, items)), "");
        return path;
    }

    const fs::path folder = fs::temp_directory_path() /
                            (std::string("tunalyx_timeline_") +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    const TraceItems items;
    test::PlainFileWriter writer;
    test::RecordingPrompts prompts;
    LogTimeline timeline;
};

TEST_F(LogTimelineTest, PartsFollowInOrderAnotherRunMovedPastTheLastWithAGap) {
    const int advanced = items.lookup(kGroupAdvanced, 0);
    const int aux = items.lookup(kGroupAux, 0);
    // A run of two parts (the second carries on in time), then a later run from 0 without Aux.
    const std::vector<std::string> paths = {
        write("day.txt", {kGroupAdvanced, kGroupAux}, 0, 30, 100),
        write("day-001.txt", {kGroupAdvanced, kGroupAux}, 3000, 20, 200),
        write("other.txt", {kGroupAdvanced}, 0, 10, 300)};
    std::vector<std::string> asked;
    ASSERT_TRUE(timeline.open(paths, items, prompts, [&](const std::string& path) {
        asked.push_back(path);
        return LogTunes{{0, "tune-of-" + fs::path(path).filename().string()}};
    }));
    EXPECT_TRUE(prompts.texts().empty());
    EXPECT_EQ(asked, paths);

    ASSERT_EQ(timeline.sampleCount(), 60);
    ASSERT_EQ(timeline.parts().size(), 3u);
    EXPECT_EQ(timeline.parts()[1].firstSample, 30);
    EXPECT_EQ(timeline.parts()[1].timeShift, 0);
    EXPECT_EQ(timeline.parts()[2].firstSample, 50);
    EXPECT_EQ(timeline.parts()[2].sampleCount, 10);
    EXPECT_DOUBLE_EQ(timeline.timeSeconds(29), 2.9);
    EXPECT_DOUBLE_EQ(timeline.timeSeconds(30), 3.0);
    // The second run starts a second after the first one's last sample (4.9 s).
    EXPECT_DOUBLE_EQ(timeline.parts()[2].timeShift, 5.9);
    EXPECT_DOUBLE_EQ(timeline.timeSeconds(50), 5.9);
    EXPECT_DOUBLE_EQ(timeline.timeSeconds(59), 6.8);
    EXPECT_EQ(timeline.gaps(), std::vector<int>{50});
    for (int s = 1; s < timeline.sampleCount(); ++s)
        ASSERT_LE(timeline.timeSeconds(s - 1), timeline.timeSeconds(s)) << s;

    EXPECT_DOUBLE_EQ(timeline.value(advanced, 0), 100);
    EXPECT_DOUBLE_EQ(timeline.value(advanced, 31), 201);
    EXPECT_DOUBLE_EQ(timeline.value(advanced, 59), 309);
    // Aux is in the union, but the part that did not log it reads NaN.
    EXPECT_TRUE(timeline.hasItem(aux));
    EXPECT_DOUBLE_EQ(timeline.value(aux, 49), 219);
    EXPECT_TRUE(std::isnan(timeline.value(aux, 50)));
    EXPECT_FALSE(timeline.hasItem(items.lookup(kGroupBasic, 0)));
    EXPECT_TRUE(std::isnan(timeline.value(items.lookup(kGroupBasic, 0), 0)));
    // As CSV, the log without Aux leaves its fields empty and the others stand.
    std::vector<std::string> rows;
    std::istringstream csv(samplesCsvText(timeline, items, nullptr, Precision::Single));
    for (std::string row; std::getline(csv, row);)
        rows.push_back(row);
    ASSERT_EQ(rows.size(), 61u);
    EXPECT_EQ(rows[50].find(",,"), std::string::npos) << rows[50];
    EXPECT_NE(rows[51].find(",,,,,,,,300,"), std::string::npos) << rows[51];

    EXPECT_EQ(timeline.partOf(29), 0);
    EXPECT_EQ(timeline.partOf(30), 1);
    EXPECT_EQ(timeline.partOf(59), 2);
    EXPECT_EQ(timeline.tuneOf(30), "tune-of-day-001.txt");
    EXPECT_EQ(
        timeline.tunes(),
        (LogTunes{{0, "tune-of-day.txt"}, {30, "tune-of-day-001.txt"}, {50, "tune-of-other.txt"}}));
}

TEST_F(LogTimelineTest, APartThatCannotBeReadIsToldAndLeftOutTheRestOpens) {
    const std::string good = write("good.txt", {kGroupAdvanced}, 0, 5, 0);
    const std::string bad = (folder / "bad.txt").string();
    ASSERT_EQ(writer.writeWhole(bad, "not a log\r\n"), "");
    const std::string cut = (folder / "cut.txt").string();
    ASSERT_EQ(writer.writeWhole(cut, "[SR20DET]\r\nTime(S)\tRpm\tLoad\t\r\n1\t2\t3\t\r\n4\t5"), "");
    const std::string missing = (folder / "missing.txt").string();

    ASSERT_TRUE(timeline.open({bad, good, missing, cut}, items, prompts));
    EXPECT_EQ(prompts.texts(), (std::vector<std::string>{
                                   "This is not a SR20DET Log File",
                                   "bad.txt was left out of the session.",
                                   "Error opening missing.txt",
                                   "missing.txt was left out of the session.",
                                   "The last line of cut.txt, line 4, ends in the middle of a row; "
                                   "that sample was left out.",
                               }));
    ASSERT_EQ(timeline.parts().size(), 2u);
    EXPECT_EQ(timeline.parts()[0].path, good);
    EXPECT_EQ(timeline.sampleCount(), 6);

    prompts = {};
    EXPECT_FALSE(timeline.open({bad}, items, prompts));
    EXPECT_EQ(timeline.sampleCount(), 0);
}

TEST_F(LogTimelineTest, APartOfARunBringsTheOthersThatExistInOrder) {
    for (const char* name : {"run.txt", "run-001.txt", "run-002.txt", "run-004.txt", "runx.txt"})
        write(name, {kGroupAdvanced}, 0, 1, 0);
    const auto path = [&](const char* name) { return (folder / name).string(); };
    const std::vector<std::string> run = {path("run.txt"), path("run-001.txt"),
                                          path("run-002.txt")};
    EXPECT_EQ(sessionPartsOf(path("run-001.txt")), run);
    EXPECT_EQ(sessionPartsOf(path("run.txt")), run);
    // A part past a missing one still brings those before it.
    EXPECT_EQ(sessionPartsOf(path("run-004.txt")),
              (std::vector<std::string>{path("run.txt"), path("run-001.txt"), path("run-002.txt"),
                                        path("run-004.txt")}));
    EXPECT_EQ(sessionPartsOf(path("runx.txt")), std::vector<std::string>{path("runx.txt")});
}

}  // namespace
}  // namespace tunalyx
