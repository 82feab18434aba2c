#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/settings_codec.h"

namespace tunalyx {
namespace {

class SettingsCodecTest : public ::testing::Test {
protected:
    SettingsCodecTest() {
        codec.onChange = [this] { ++changes; };
    }

    // A slot of `length` zero bytes with `bytes` from 1-based `pos` on, nothing flagged.
    void fill(std::uint8_t block, std::size_t length, std::size_t pos, const Bytes& bytes) {
        image[block].assign(length, 0);
        std::ranges::copy(bytes, image[block].begin() + static_cast<std::ptrdiff_t>(pos - 1));
        dirty.clearAll();
        changes = 0;
    }
    // Exactly that block flagged by one change, or (no block) nothing flagged at all.
    void expectFlagged(std::optional<std::uint8_t> block) const {
        EXPECT_EQ(dirty.count(), block ? 1u : 0u);
        EXPECT_TRUE(!block || dirty.isSet(*block));
        EXPECT_EQ(changes, block ? 1 : 0);
    }

    PacketImage image;
    PacketDirty dirty;
    SettingsCodec codec{image, dirty};
    int changes = 0;
};

TEST_F(SettingsCodecTest, NumericDescriptorsShowAndStore) {
    struct Case {
        const char* tag;
        std::uint8_t block;
        std::size_t pos;
        Bytes stored;
        const char* shown;
        const char* entered;
        Bytes expected;
    };
    const char* inj = "&HCB,99,1,0.390625,50,0.0";
    const char* sgn = "&HAD,2,129,-1,0,0";
    const char* lag = "&H8D,19,2,0.004,-131.072,0.00";
    // Entries are clamped to the type, then ties go to the even raw value (2.5, 3.5). One that
    // comes back to the stored bytes flags nothing.
    for (const Case& c : {
             Case{inj, 0xCB, 99, {128}, "100.0", "100", {128}},
             Case{inj, 0xCB, 99, {128}, "100.0", "49", {0}},
             Case{inj, 0xCB, 99, {128}, "100.0", "200", {255}},
             Case{inj, 0xCB, 99, {0}, "50.0", "50.9765625", {2}},
             Case{inj, 0xCB, 99, {0}, "50.0", "51.3671875", {4}},
             Case{sgn, 0xAD, 2, {0xF6}, "10", "10", {0xF6}},
             Case{sgn, 0xAD, 2, {0xF6}, "10", "-200", {0x7F}},
             Case{sgn, 0xAD, 2, {0xF6}, "10", "200", {0x80}},
             Case{"&HAD,3,1, 0.00390625,0.5,0.00", 0xAD, 3, {0x80}, "1.00", "0.75", {0x40}},
             Case{"203,1,129,-0.5,0,", 0xCB, 1, {0xFD}, "1.5", "-1.25", {0x02}},  // general form
             Case{lag, 0x8D, 19, {0x00, 0x80}, "0.00", "1", {0xFA, 0x80}},
             Case{lag, 0x8D, 19, {0x00, 0x80}, "0.00", "1000", {0xFF, 0xFF}},
         }) {
        SCOPED_TRACE(std::string(c.tag) + " <- " + c.entered);
        fill(c.block, 107, c.pos, c.stored);
        EXPECT_EQ(codec.DisplayData(c.tag), c.shown);
        const bool changed = c.expected != c.stored;
        EXPECT_EQ(codec.UpdateData(c.tag, c.entered), changed);
        const auto at = image[c.block].begin() + static_cast<std::ptrdiff_t>(c.pos - 1);
        EXPECT_EQ(Bytes(at, at + static_cast<std::ptrdiff_t>(c.expected.size())), c.expected);
        expectFlagged(changed ? std::optional(c.block) : std::nullopt);
    }
}

TEST_F(SettingsCodecTest, UndecodableDescriptorsAndEntriesChangeNothing) {
    fill(0x8D, 20, 20, {0x12});
    fill(0xCB, 107, 99, {128});
    const PacketImage before = image;
    for (const char* tag : {
             "&HCB,99,1,0,50,0.0",  // scale 0
             "&HCB,99,130,1,0,0",   // type not handled here
             "&HCB,108,1,1,0,0",    // past the end of the slot
             "&H8D,20,2,1,0,0",     // high byte missing
             "&HCC,1,1,1,0,0",      // never read
         }) {
        EXPECT_EQ(codec.DisplayData(tag), "") << tag;
        EXPECT_FALSE(codec.UpdateData(tag, "1")) << tag;
    }
    for (const char* entered : {"abc", "", "100,0" /* comma under a "." locale */})
        EXPECT_FALSE(codec.UpdateData("&HCB,99,1,0.390625,50,0.0", entered)) << entered;
    expectFlagged(std::nullopt);
    EXPECT_EQ(image, before);
}

TEST_F(SettingsCodecTest, EnteredAndShownNumbersFollowTheLocale) {
    codec.setLocale(NumberLocale{','});
    fill(0xCB, 107, 99, {0});
    const char* tag = "&HCB,99,1,0.390625,50,0.0";
    EXPECT_EQ(codec.DisplayData(tag), "50,0");
    EXPECT_TRUE(codec.UpdateData(tag, "100,0"));
    EXPECT_EQ(codec.DisplayData(tag), "100,0");
    EXPECT_TRUE(codec.UpdateData(tag, "50.5"));  // "." still reads when there is no ","
    EXPECT_EQ(image[0xCB][98], 1);
}

TEST_F(SettingsCodecTest, CheckBoxesAreCheckedAtTheirValueAndStore255Or0) {
    struct Case {
        const char* tag;
        std::uint8_t before;
        int check;
        std::uint8_t after;
    };
    // A value-0 box is inverted, any other value behaves like 255; a byte holding neither value
    // shows cleared and is rewritten when clicked.
    for (const Case& c : {Case{"&HAC,1,255", 0x00, 1, 255}, Case{"&HAC,1,255", 0xFF, 0, 0},
                          Case{"&HAC,1,255", 0x80, 0, 0}, Case{"&HAC,1,0", 0xFF, 1, 0},
                          Case{"&HAC,1,0", 0x00, 0, 255}, Case{"&HAC,1,1", 0x00, 1, 255}}) {
        SCOPED_TRACE(std::string(c.tag) + " check " + std::to_string(c.check));
        fill(0xAC, 10, 1, {c.before});
        EXPECT_TRUE(codec.SetSettingCheck(c.tag, c.check));
        EXPECT_EQ(image[0xAC][0], c.after);
        expectFlagged(0xAC);
        EXPECT_FALSE(codec.SetSettingCheck(c.tag, c.check));  // the same state again: no write
        EXPECT_EQ(changes, 1);
    }
    fill(0xAC, 10, 1, {0xFF, 0x80, 0x00});
    EXPECT_TRUE(codec.IsSettingChecked("&HAC,1,255"));
    EXPECT_FALSE(codec.IsSettingChecked("&HAC,2,255"));
    EXPECT_TRUE(codec.IsSettingChecked("&HAC,3,0"));
    EXPECT_FALSE(codec.IsSettingChecked("&HAC,11,0"));  // past the slot
}

TEST_F(SettingsCodecTest, BitCheckBoxesTouchOnlyTheirBits) {
    fill(0xAD, 8, 1, {0xC3});
    EXPECT_TRUE(codec.IsSettingBitSet("&HAD,1,128"));
    EXPECT_FALSE(codec.IsSettingBitSet("&HAD,1,4"));
    EXPECT_FALSE(codec.IsSettingBitSet("&HAD,9,1"));
    EXPECT_FALSE(codec.SetSettingBit("&HAD,1,128", 1));  // already set
    EXPECT_FALSE(codec.SetSettingBit("&HAD,9,4", 1));
    expectFlagged(std::nullopt);
    EXPECT_TRUE(codec.SetSettingBit("&HAD,1,128", 0));
    EXPECT_EQ(image[0xAD][0], 0x43);
    expectFlagged(0xAD);
    EXPECT_TRUE(codec.SetSettingBit("&HAD,1,4", 1));
    EXPECT_EQ(image[0xAD][0], 0x47);
}

TEST_F(SettingsCodecTest, OptionsCompareUnderTheMaskButWriteTheWholeByte) {
    fill(0x5A, 107, 1, {0xF4});
    EXPECT_TRUE(codec.IsOptionSelected("&H5A,1,4,7"));
    EXPECT_FALSE(codec.IsOptionSelected("&H5A,1,2,7"));
    EXPECT_FALSE(codec.IsOptionSelected("&H5A,200,4,7"));
    EXPECT_TRUE(codec.SetSettingOption("&H5A,1,4,7"));
    EXPECT_EQ(image[0x5A][0], 0x04);  // bits outside the mask cleared
    expectFlagged(0x5A);
    EXPECT_FALSE(codec.SetSettingOption("&H5A,1,4,7"));
    EXPECT_TRUE(codec.SetSettingOption("&H5A,1,300,7"));  // clamped to a byte
    EXPECT_EQ(image[0x5A][0], 0xFF);
}

TEST_F(SettingsCodecTest, LabelsShowTheBytesThatExistAndTheTunerStringHasEight) {
    image[0xF3] = bytesFromText("SR20D");
    EXPECT_EQ(codec.SettingText("&HF3,1,8"), "SR20D");
    EXPECT_EQ(codec.SettingText("&HF3,3,2"), "20");
    EXPECT_EQ(codec.SettingText("&HF3,6,8"), "");
    EXPECT_EQ(codec.SettingText("&HF5,1,5"), "");

    fill(0xAD, 8, 1, bytesFromText("abc     "));
    codec.setTunerString("abc");
    EXPECT_EQ(image[0xAD], bytesFromText("abc     "));
    expectFlagged(0xAD);  // even unchanged, so that storing it always sends it
    codec.setTunerString("0123456789");
    EXPECT_EQ(image[0xAD], bytesFromText("01234567"));
    EXPECT_EQ(codec.tunerString(), "01234567");
    EXPECT_EQ(foldText(std::string(85, 'x'), 40),
              std::string(40, 'x') + "\n" + std::string(40, 'x') + "\n" + "xxxxx");
}

// Redisplay sets a box as a click would: a state change runs the encoder, so a byte holding
// neither of a check box's values is rewritten and flagged; an unchanged box writes nothing.
TEST_F(SettingsCodecTest, RedisplayRewritesWhatTheControlsCannotShow) {
    fill(0xAC, 10, 1, {0x80});
    EXPECT_FALSE(codec.redisplayedState(ControlKind::Check, "&HAC,1,255", false));
    expectFlagged(std::nullopt);  // already shown cleared
    EXPECT_FALSE(codec.redisplayedState(ControlKind::Check, "&HAC,1,255", true));
    EXPECT_EQ(image[0xAC][0], 0x00);
    expectFlagged(0xAC);

    fill(0xAD, 8, 1, {0x81});
    EXPECT_TRUE(codec.redisplayedState(ControlKind::CheckBit, "&HAD,1,128", false));
    expectFlagged(std::nullopt);  // the bit is set already: nothing to write

    fill(0x5A, 107, 1, {0xF4});  // selected under the mask, with stray bits
    EXPECT_TRUE(codec.redisplayedState(ControlKind::Option, "&H5A,1,4,7", true));
    expectFlagged(std::nullopt);
    EXPECT_TRUE(codec.redisplayedState(ControlKind::Option, "&H5A,1,4,7", false));
    EXPECT_EQ(image[0x5A][0], 0x04);
    expectFlagged(0x5A);
}

}  // namespace
}  // namespace tunalyx
