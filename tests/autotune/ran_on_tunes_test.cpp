#include "autotune/ran_on_tunes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "sim/default_blocks.h"
#include "support/plain_file_writer.h"
#include "support/recording_prompts.h"
#include "versions/tune_file.h"
#include "versions/version_identification.h"

namespace tunalyx {
namespace {

namespace fs = std::filesystem;

// A tune the history kept, T0, and the window's tune, T1: T0 with one Inj Map cell changed.
class RanOnTunesTest : public ::testing::Test {
protected:
    RanOnTunesTest() {
        fs::remove_all(folder);
        t0.image.assign(defaultBlocks(simUnit(SimUnitKind::Det1_501)));
        EXPECT_EQ(identifyVersion(t0, prompts, {.NoDisplay = true}), Identification::Identified);
        t1 = t0;
        MapGrids maps(t1.image, t1.dirty, t1.mapLayout, t1.cellChanged);
        maps.GridSetData(kInjMap, 5, 7, maps.GridData(kInjMap, 5, 7) + 9);
        kept = history.recordSnapshot(t0, "Read All", "t0.dat").id;
    }
    ~RanOnTunesTest() override { fs::remove_all(folder); }

    // A folder of each test's own: ctest runs them side by side.
    const fs::path folder =
        fs::temp_directory_path() /
        ("tunalyx-ran-on-" +
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    test::PlainFileWriter writer;
    TuneHistory history{folder.string(), writer};
    test::RecordingPrompts prompts;
    Tune t0;
    Tune t1;
    int kept = 0;
};

TEST_F(RanOnTunesTest, AHashIsTheWindowsTuneOrAKeptSnapshotInTheWindowsLayout) {
    RanOnTunes tunes(t1, &history, prompts);
    const std::string h0 = contentHash(dataFileText(t0));
    const std::string h1 = contentHash(dataFileText(t1));
    ASSERT_NE(tunes.find(h0), nullptr);
    ASSERT_NE(tunes.find(h1), nullptr);
    EXPECT_EQ(tunes.find(h1)->raw[4][6], tunes.find(h0)->raw[4][6] + 9);
    EXPECT_EQ(tunes.find(h0)->raw[4][7], tunes.find(h1)->raw[4][7]);
    EXPECT_EQ(tunes.find(""), nullptr);
    EXPECT_EQ(tunes.find("0123456789abcdef"), nullptr);
    EXPECT_EQ(RanOnTunes(t1, nullptr, prompts).find(h0), nullptr);

    // A part on an unknown tune is taken as run on the window's.
    const RanOnTunes::Resolved both = tunes.resolve({{0, h0}, {700, ""}});
    EXPECT_FALSE(both.known);
    ASSERT_EQ(both.ranOn.size(), 2u);
    EXPECT_EQ(both.ranOn[0].tune.raw, tunes.find(h0)->raw);
    EXPECT_EQ(both.ranOn[1].firstSample, 700);
    EXPECT_EQ(both.ranOn[1].tune.raw, tunes.hostMap().raw);
    EXPECT_TRUE(tunes.resolve({{0, h0}}).known);
    EXPECT_FALSE(tunes.resolve({}).known);
    // The stretch of a write during a run, between two known tunes, is of the tune before it.
    const RanOnTunes::Resolved written = tunes.resolve({{0, h0}, {700, ""}, {720, h1}});
    EXPECT_TRUE(written.known);
    ASSERT_EQ(written.ranOn.size(), 3u);
    EXPECT_EQ(written.ranOn[1].firstSample, 700);
    EXPECT_EQ(written.ranOn[1].tune.raw, tunes.find(h0)->raw);
    EXPECT_FALSE(tunes.resolve({{0, ""}, {700, h0}}).known);
}

TEST_F(RanOnTunesTest, ASavedLogIsFoundByItsContents) {
    ASSERT_EQ(history.recordLog("d.txt", "the log's text", kept), "");
    ASSERT_EQ(history.recordLog("e.txt", "another log", 0), "");
    const RanOnTunes tunes(t1, &history, prompts);
    EXPECT_EQ(tunes.tunesOfLog(contentHash("the log's text")),
              (LogTunes{{0, contentHash(dataFileText(t0))}}));
    EXPECT_EQ(tunes.tunesOfLog(contentHash("another log")), (LogTunes{{0, ""}}));
    EXPECT_TRUE(tunes.tunesOfLog(contentHash("never saved")).empty());
    const std::string h0 = contentHash(dataFileText(t0));
    EXPECT_EQ(tunes.describe({{0, h0}, {5000, contentHash(dataFileText(t1))}, {6000, ""}},
                             "the tune in the window"),
              "ran on " + tunes.nameOf(h0, "") +
                  "; from sample 5001 on the tune in the window; from sample 6001 on an unknown "
                  "tune");
    EXPECT_TRUE(tunes.nameOf(h0, "").starts_with("tune 1 (Read All, "));
}

TEST_F(RanOnTunesTest, ARefreshReadsAgainOnlyTheHistoryOrTuneThatChanged) {
    std::optional<RanOnTunes> window;
    RanOnTunes& tunes = refreshedTunes(window, t1, &history, prompts);
    const std::string h0 = contentHash(dataFileText(t0));
    const std::string h1 = contentHash(dataFileText(t1));
    ASSERT_EQ(tunes.find(h1), &tunes.hostMap());

    // The window's tune edited: its map and hash follow; the tune before is no longer its own.
    Tune t2 = t1;
    MapGrids maps(t2.image, t2.dirty, t2.mapLayout, t2.cellChanged);
    maps.GridSetData(kInjMap, 2, 2, maps.GridData(kInjMap, 2, 2) + 5);
    EXPECT_EQ(&refreshedTunes(window, t2, &history, prompts), &tunes);
    EXPECT_EQ(tunes.find(contentHash(dataFileText(t2))), &tunes.hostMap());
    EXPECT_EQ(tunes.hostMap().raw[1][1], maps.GridData(kInjMap, 2, 2));
    EXPECT_EQ(tunes.find(h1), nullptr);

    // Kept since: the index has grown and is read again, and a hash not found before is found.
    ASSERT_GT(history.recordSnapshot(t1, "Update", "t1.dat").id, 0);
    tunes.refresh(t2, &history);
    ASSERT_NE(tunes.find(h1), nullptr);
    EXPECT_EQ(tunes.find(h1)->raw[4][6], tunes.find(h0)->raw[4][6] + 9);

    // An index of the same size and time is the one read: not read again.
    const fs::path index = history.indexPath();
    const auto time = fs::last_write_time(index);
    std::string text;
    {
        std::ifstream in(index, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    text.replace(text.find(h0), h0.size(), std::string(h0.size(), '0'));
    std::ofstream(index, std::ios::binary | std::ios::trunc) << text;
    fs::last_write_time(index, time);
    tunes.refresh(t2, &history);
    EXPECT_TRUE(tunes.nameOf(h0, "").starts_with("tune 1 ("));
    fs::last_write_time(index, time + std::chrono::seconds(2));
    tunes.refresh(t2, &history);
    EXPECT_EQ(tunes.nameOf(h0, ""), "an unknown tune");
}

}  // namespace
}  // namespace tunalyx
