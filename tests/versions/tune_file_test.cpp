#include "versions/tune_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "sim/default_blocks.h"
#include "support/recording_prompts.h"
#include "versions/version_identification.h"

namespace tunalyx {
namespace {

TEST(TuneFileText, WriterRules) {
    PacketImage image;
    image[0xF5] = {0x35, 0x2E};
    image[0x0A] = {0x01, 0xFF};
    image[0x00] = {0x00};
    image[0x10] = {};  // empty slots produce no line
    const std::string blocks = "0000\r\n0A01FF\r\nF5352E\r\n";
    struct Case {
        const char* notes;
        const char* lines;
    };
    for (const Case& c : {Case{"", ""}, Case{"x", "TTx\r\n"}, Case{"a\r\nb", "TTa\r\nTTb\r\n"},
                          Case{"a\r\n", "TTa\r\nTT\r\n"}, Case{"a\rb\nc", "TTa\rb\nc\r\n"}})
        EXPECT_EQ(dataFileText(image, c.notes), blocks + c.lines) << c.notes;
}

TEST(TuneFileText, ReaderRules) {
    struct Case {
        const char* text;
        std::uint8_t block;
        Bytes slot;  // empty: the slot stays empty
        const char* notes = "";
    };
    for (const Case& c : {
             Case{"0a01ff", 0x0A, Bytes{0x01, 0xFF}},     // lower case, no final break
             Case{"0A1\r\n", 0x0A, Bytes{}},              // 3 characters: skipped
             Case{"0A01F\r\n", 0x0A, Bytes{0x01, 0x0F}},  // last single digit
             Case{"0000\r\n", 0x00, Bytes{0x00}},
             Case{"0AZZ01\r\n", 0x0A, Bytes{0x00, 0x01}},          // non-hex pair reads as 0
             Case{"0A1G2\r\n", 0x0A, Bytes{0x00, 0x02}},           // half a hex pair is still 0
             Case{"0A01\r0B02\r", 0x0B, Bytes{0x02}},              // CR alone ends a line
             Case{"0A01\r\n0A0203\r\n", 0x0A, Bytes{0x02, 0x03}},  // later line wins
             Case{"\r\n\r\n8C01\r\nTTa\r\nTT\r\nTTTT", 0x8C, Bytes{0x01}, "a\r\n\r\nTT\r\n"},
             Case{"TTa\rTTb", 0x0A, Bytes{}, "a\r\nb\r\n"},
             Case{"\357\273\2778A0102\r\n", 0x8A,
                  Bytes{0x01, 0x02}},  // an editor's byte-order mark
         }) {
        PacketImage image;
        PacketDirty dirty;
        std::string notes = "left from before";
        readDataFileText(c.text, image, dirty, notes);
        EXPECT_EQ(image[c.block], c.slot) << c.text;
        EXPECT_EQ(notes, c.notes) << c.text;
    }
}

// A simulated unit's tune, identified from its own blocks.
Tune unitTune(SimUnitKind kind, UserPrompts& prompts) {
    Tune tune;
    tune.image.assign(defaultBlocks(simUnit(kind)));
    EXPECT_EQ(identifyVersion(tune, prompts, {.NoDisplay = true}), Identification::Identified);
    return tune;
}

// Opened as a tune of its own or read into a tune's layout, a written tune is the same tune
// again, its notes as written once the break reading adds is taken off: what a restore from the
// history relies on.
TEST(TuneFile, WrittenAndReadBackItIsTheSameTuneNotesByteForByte) {
    test::RecordingPrompts prompts;
    Tune tune = unitTune(SimUnitKind::Det1_501, prompts);
    for (const char* notes : {"", "one line", "a\r\nb", "ends with a break\r\n", "\r\n",
                              "a\r\n\r\n", "TT\r\nTT", "line feed\nalone"}) {
        SCOPED_TRACE(notes);
        tune.notes = notes;
        const std::string text = dataFileText(tune);
        Tune opened;
        opened.notes = "notes of the tune before";
        ASSERT_TRUE(takeTuneFile(opened, text, "a.dat", prompts));
        const std::optional<Tune> inLayout = tuneFileInLayoutOf(tune, text, "Tune 1", prompts);
        ASSERT_TRUE(inLayout);
        for (const Tune* read : {static_cast<const Tune*>(&opened), &*inLayout}) {
            EXPECT_EQ(notesAsWritten(read->notes), notes);
            EXPECT_EQ(read->image, tune.image);
        }
    }
    EXPECT_TRUE(prompts.messages().empty());
}

// The data of a file that cannot be had in the host's layout are refused, and the messages name
// the file as the caller does.
TEST(TuneFile, ARefusedFileIsNamedAsTheCallerNamesIt) {
    test::RecordingPrompts prompts;
    const Tune host = unitTune(SimUnitKind::Det1_501, prompts);
    Tune broken170 = unitTune(SimUnitKind::Det1_170B, prompts);
    broken170.image[0x5C].resize(9);  // too short for the conversion to family 5
    struct Case {
        Tune host;
        std::string text;
        const char* message;
    };
    for (const Case& c : {
             Case{Tune{}, dataFileText(host),
                  "Tune 5 cannot be compared: the window holds no recognised SR20DET data"},
             Case{host, "hello\r\n", "Tune 5 is not a Recognised SR20DET File"},
             Case{host, dataFileText(broken170), "Error converting from 170 data"},
         }) {
        prompts.clear();
        EXPECT_FALSE(tuneFileInLayoutOf(c.host, c.text, "Tune 5", prompts)) << c.message;
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{c.message});
    }
}

}  // namespace
}  // namespace tunalyx
