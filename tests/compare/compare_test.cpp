#include "compare/compare.h"

#include "session/session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

#include "sim/default_blocks.h"
#include "sim/in_process_simulator.h"
#include "support/recording_prompts.h"
#include "transfer/data_file.h"
#include "versions/tune_file.h"
#include "versions/version_identification.h"

namespace tunalyx {
namespace {

namespace fs = std::filesystem;

class CompareTest : public ::testing::Test {
protected:
    CompareTest() {
        session.maps.GridInit();
        fs::create_directories(dir);
    }
    ~CompareTest() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    // A data file of the simulated unit's tune, changed by `edit` first.
    std::string writeTune(const std::string& name, SimUnitKind kind,
                          const std::function<void(Session&)>& edit = {}) {
        Session tune{sim.port(), clock, prompts};
        tune.maps.GridInit();
        tune.image.assign(defaultBlocks(simUnit(kind)));
        tune.notes = "tune notes\r\n";
        EXPECT_TRUE(SR20DET_Version(tune, {.FromPFC = false, .NoDisplay = true}));
        if (edit) edit(tune);
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << dataFileText(tune.image, tune.notes);
        return path.string();
    }
    void openWindow(SimUnitKind kind) {
        ASSERT_TRUE(OpenDataFile(session.document(), session.workspace(),
                                 writeTune("window.dat", kind), "window.dat"));
        prompts.clear();
    }
    std::optional<Comparison> compare(const std::string& path) {
        return compareWithFile(session, prompts, path, fs::path(path).filename().string());
    }

    ManualClock clock;
    test::RecordingPrompts prompts;
    InProcessSimulator sim{SimUnitKind::Det1_501, clock};
    Session session{sim.port(), clock, prompts};
    const fs::path dir =
        fs::temp_directory_path() /
        ("tunalyx_compare_" +
         std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
};

TEST_F(CompareTest, AFileComparedWithItselfMarksNothingOnTheMapsItsLayoutShows) {
    for (const auto& [kind, maps] :
         {std::pair{SimUnitKind::Det1_501, 2u}, std::pair{SimUnitKind::T2D_511A, 3u}}) {
        openWindow(kind);
        const auto same = compare((dir / "window.dat").string());
        ASSERT_TRUE(same);
        EXPECT_FALSE(same->differs());
        EXPECT_TRUE(same->settings.empty());
        ASSERT_EQ(same->maps.size(), maps);  // the base map only where its tab shows
        for (const MapDifference& map : same->maps)
            for (const auto& row : map.cells)
                for (const CellDifference& cell : row)
                    EXPECT_EQ(cell.text, "0");
        EXPECT_TRUE(prompts.messages().empty());
    }
}

TEST_F(CompareTest, DifferencesAreTheWindowsValuesMinusTheFilesColouredBySign) {
    openWindow(SimUnitKind::Det1_501);
    const std::string changed = writeTune("changed.dat", SimUnitKind::Det1_501, [](Session& s) {
        s.codec.UpdateData(s.settings.find(ControlKind::Text, 196)->tag, "7000");  // Rev Limit
        s.codec.SetSettingCheck("&HAC,1,255", 1);                                  // Protect On
        s.maps.GridSetData(kInjMap, 5, 3, s.maps.GridData(kInjMap, 5, 3) + 1);
        s.maps.GridSetData(kInjMap, 12, 18, s.maps.GridData(kInjMap, 12, 18) - 3);
        s.maps.GridSetData(kIgnMap, 10, 10, s.maps.GridData(kIgnMap, 10, 10) - 2);
        s.maps.GridSetData(kIgnMap, 1, 1, s.maps.GridData(kIgnMap, 1, 1) + 1);
        s.notes = "other notes";
    });
    const auto diff = compare(changed);
    ASSERT_TRUE(diff);
    ASSERT_EQ(diff->settings.size(), 2u);
    EXPECT_EQ(diff->settings[0].control->caption, "Rev Limit");
    EXPECT_EQ(diff->settings[0].windowText, "7500");
    EXPECT_EQ(diff->settings[0].fileText, "7000");
    EXPECT_EQ(diff->settings[1].control->caption, "Protect On");
    EXPECT_EQ(diff->settings[1].windowText + "/" + diff->settings[1].fileText, "off/on");
    EXPECT_TRUE(diff->notesDiffer);
    EXPECT_EQ(diff->fileNotes, "other notes\r\n");

    // Less fuel in the window is red on the fuel map; more advance is red on the ignition map.
    const MapDifference& inj = diff->maps[0];
    const MapDifference& ign = diff->maps[1];
    EXPECT_EQ(inj.at(5, 3).text, "-4");  // thousandths of the injection factor
    EXPECT_EQ(inj.at(5, 3).colour, kCompareRed);
    EXPECT_EQ(inj.at(12, 18).text, "12");
    EXPECT_EQ(inj.at(12, 18).colour, kCompareYellow);
    EXPECT_EQ(ign.at(10, 10).text, "2");
    EXPECT_EQ(ign.at(10, 10).colour, kCompareRed);
    EXPECT_EQ(ign.at(1, 1).text, "-1");
    EXPECT_EQ(ign.at(1, 1).colour, kCompareYellow);
    EXPECT_FALSE(inj.at(5, 4).differs());
}

// The window's own tune saved under another version: once converted back it is the same. The
// older unit keeps its identity in other blocks than the rest, and it is the window's identity
// that the file is converted to.
TEST_F(CompareTest, AFileOfAnotherFamilyIsConvertedToTheWindowsLayoutFirst) {
    for (const auto& [kind, menu, item, family] :
         {std::tuple{SimUnitKind::Det1_501, 1, 1, LayoutFamily::Family3},
          std::tuple{SimUnitKind::Det1_170B, 0, 2, LayoutFamily::Family5}}) {
        openWindow(kind);
        const std::string other = writeTune("other.dat", kind, [&](Session& s) {
            // Converted without the names the display step gives the functions.
            ASSERT_TRUE(storeVersionMenuIdentity(s.image, menu, item));
            ASSERT_TRUE(SR20DET_Version(s, {.FromPFC = false, .NoDisplay = true}));
            ASSERT_EQ(s.layout.family, family);
        });
        const auto diff = compare(other);
        ASSERT_TRUE(diff);
        EXPECT_FALSE(diff->differs()) << int(family);
    }
}

}  // namespace
}  // namespace tunalyx
