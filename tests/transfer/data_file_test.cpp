#include "transfer/data_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "session/session.h"
#include "sim/default_blocks.h"
#include "sim/in_process_simulator.h"
#include "support/plain_file_writer.h"
#include "support/recording_prompts.h"
#include "support/recording_view.h"
#include "versions/tune_file.h"

namespace tunalyx {
namespace {

namespace fs = std::filesystem;

using Texts = std::vector<std::string>;

class DataFileTest : public ::testing::Test {
protected:
    DataFileTest() {
        session.setView(&view);
        session.maps.GridInit();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~DataFileTest() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    // A whole tune of the simulated unit, as Read All would leave it.
    void loadUnitImage() {
        const BlockStore blocks = defaultBlocks(simUnit(SimUnitKind::Det1_501));
        for (int b = 0; b < 256; ++b)
            session.image[static_cast<std::uint8_t>(b)] = blocks[static_cast<std::size_t>(b)];
    }
    static std::string contents(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    ManualClock clock;
    test::RecordingPrompts prompts;
    InProcessSimulator sim{SimUnitKind::Det1_501, clock};
    Session session{sim.port(), clock, prompts};
    test::RecordingView view;
    test::PlainFileWriter writer;
    const fs::path dir =
        fs::temp_directory_path() /
        ("tunalyx_data_file_" +
         std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
};

TEST_F(DataFileTest, SaveThenOpenReproducesEverySlotAndTheNotesCutToTheListedLength) {
    loadUnitImage();
    session.image[0x10] = {0x00};                    // outside every list
    session.image[0x11] = {0x0F, 0xF0, 0x7E, 0x00};  // likewise
    session.image[0x12] = Bytes(30, 0x55);           // likewise: kept whole
    session.image[0x8C].resize(1);                   // listed with 2: shorter stays short
    session.notes = "first line\r\n\r\nlast line";
    PacketImage saved = session.image;
    session.image[0x8B].resize(15, 0xAA);  // listed with 12: cut on open
    session.dirty.set(0x8B);
    ASSERT_EQ(saveDataFile(session, writer, (dir / "default.dat").string()), "");
    EXPECT_TRUE(session.dirty.isSet(0x8B));  // saving is not sending

    session.image.clear();
    session.notes = "other";
    session.compareMode = true;
    session.programFolder = dir.string();
    ASSERT_TRUE(openDefaultDataFile(session.document(), session.workspace()));
    EXPECT_EQ(session.image, saved);
    EXPECT_EQ(session.notes, "first line\r\n\r\nlast line\r\n");
    EXPECT_FALSE(session.dirty.isSet(0x8B));
    EXPECT_EQ(session.captionFile, "default.dat");
    EXPECT_TRUE(prompts.messages().empty());
    EXPECT_FALSE(prompts.busy());
    ASSERT_GE(view.calls.size(), 5u);
    EXPECT_EQ(view.calls.front(), "endCompareMode");
    EXPECT_EQ(
        Texts(view.calls.end() - 5, view.calls.end()),
        (Texts{"DisplayAllData", "Update off", "Caption default.dat", "showNotes", "GridLabels"}));
}

TEST_F(DataFileTest, UnrecognisedMissingOrHugeFileLeavesTheSessionAsItWas) {
    loadUnitImage();
    session.notes = "mine\r\n";
    session.dirty.set(0x8B);
    session.dirty.set(0x8C);
    const PacketImage before = session.image;
    // No identity blocks: nothing to identify the version by.
    std::ofstream(dir / "other.dat", std::ios::binary) << "8B00\r\nTTtheirs\r\n";
    std::ofstream(dir / "empty.dat", std::ios::binary).flush();
    // Larger than any tune: refused before it is read.
    std::ofstream(dir / "huge.dat", std::ios::binary) << std::string(kLargestDataFile + 1, '0');
    fs::create_directories(dir / "folder.dat");
    // Line ends that lost their CRs: it would read as one line of nonsense.
    std::ofstream(dir / "unix.dat", std::ios::binary) << "8B00\nF5352E\nTTx\n";
    for (const char* name :
         {"none.dat", "other.dat", "empty.dat", "huge.dat", "folder.dat", "unix.dat"})
        EXPECT_FALSE(
            OpenDataFile(session.document(), session.workspace(), (dir / name).string(), name));
    EXPECT_EQ(prompts.texts(),
              (Texts{"Error opening none.dat", "other.dat is not a recognised SR20DET Data file",
                     "empty.dat is not a recognised SR20DET Data file",
                     "huge.dat is too large to be an SR20DET Data file", "Error opening folder.dat",
                     "unix.dat has lines that end in a line feed alone, as some editors and file "
                     "transfers leave them; the lines of a data file end in CR LF. Convert its "
                     "line ends (unix2dos does this) and open it again."}));
    for (const auto& m : prompts.messages())
        EXPECT_EQ(m.icon, MessageIcon::Critical);
    EXPECT_EQ(session.image, before);
    EXPECT_EQ(session.notes, "mine\r\n");
    EXPECT_EQ(session.captionFile, "Untitled.Dat");
    EXPECT_FALSE(session.dirty.isSet(0x8B));  // named in the file
    EXPECT_TRUE(session.dirty.isSet(0x8C));
    // The notes box is told to show the notes put back, so it never keeps the file's.
    EXPECT_EQ(view.count("showNotes"), 2);
    EXPECT_EQ(view.calls.back(), "GridLabels");
}

TEST_F(DataFileTest, ANonHexPairIsReadAsZeroAndTheWarningNamesItsLine) {
    loadUnitImage();
    std::string text = dataFileText(session.image, "");
    text[5] = 'G';                               // line 1: "810F0G0E..." of the Inj Map
    text.insert(text.find("\r\n8B") + 5, "x!");  // line 10, a settings block
    std::ofstream(dir / "typo.dat", std::ios::binary) << text;
    ASSERT_TRUE(OpenDataFile(session.document(), session.workspace(), (dir / "typo.dat").string(),
                             "typo.dat"));
    EXPECT_EQ(session.image[0x81][1], 0);
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(prompts.texts()[0],
              "Lines 1 and 10 of typo.dat hold characters that are not hexadecimal digits, and "
              "each byte written with them was read as 0. Check those values before the tune "
              "goes to the unit.");
    EXPECT_TRUE(nonHexWarning({3, 5, 8, 13, 21, 34}, "a.dat")
                    .starts_with("Lines 3, 5, 8, 13, 21 and 1 more of"));
}

TEST(NotesBox, ShowsLineFeedsAndGivesBackCrLf) {
    EXPECT_EQ(notesForDisplay("a\r\nb\r\n"), "a\nb\n");
    EXPECT_EQ(notesFromDisplay("a\nb\n"), "a\r\nb\r\n");
    for (const char* notes : {"", "x", "a\r\n\r\nb", "tail\r\n"})
        EXPECT_EQ(notesFromDisplay(notesForDisplay(notes)), notes) << notes;
}

}  // namespace
}  // namespace tunalyx
