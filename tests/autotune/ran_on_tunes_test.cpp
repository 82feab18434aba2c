#include "autotune/ran_on_tunes.h"

#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
}  // namespace tunalyx
