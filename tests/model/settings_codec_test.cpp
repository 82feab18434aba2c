#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "model/settings_codec.h"

namespace tunalyx {
namespace {

class SettingsCodecTest : public ::testing::Test {
protected:
    SettingsCodecTest() {
        codec.onChange = [this] { ++changes; };
    }

    // A slot of `length` zero bytes with `bytes` from 1-based `pos` on.
    void fill(std::uint8_t block, std::size_t length, std::size_t pos, const Bytes& bytes) {
        image[block].assign(length, 0);
        std::copy(bytes.begin(), bytes.end(), image[block].begin() + (pos - 1));
    }
    Bytes at(std::uint8_t block, std::size_t pos, std::size_t count) const {
        const Bytes& s = image[block];
        return Bytes(s.begin() + (pos - 1), s.begin() + (pos - 1 + count));
    }
    void expectUntouched() const {
        EXPECT_FALSE(dirty.any());
        EXPECT_EQ(changes, 0);
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
    const char* lag = "&H8D,19,2,0.004,-131.072,0.00";
    for (const Case& c : {
             Case{inj, 0xCB, 99, {128}, "100.0", "49", {0}},
             Case{inj, 0xCB, 99, {128}, "100.0", "200", {255}},
             Case{inj, 0xCB, 99, {0}, "50.0", "100", {128}},
             Case{inj, 0xCB, 99, {0}, "50.0", "50.9765625", {2}},  // raw 2.5
             Case{inj, 0xCB, 99, {0}, "50.0", "51.3671875", {4}},  // raw 3.5
             Case{"&HAD,2,129,-1,0,0", 0xAD, 2, {0}, "0", "10", {0xF6}},
             Case{"&HAD,2,129,-1,0,0", 0xAD, 2, {0}, "0", "-200", {0x7F}},
             Case{"&HAD,2,129,-1,0,0", 0xAD, 2, {0}, "0", "200", {0x80}},
             Case{"&HAD,3,1, 0.00390625,0.5,0.00", 0xAD, 3, {0x80}, "1.00", "0.75", {0x40}},
             Case{lag, 0x8D, 19, {0x00, 0x80}, "0.00", "1", {0xFA, 0x80}},
             Case{lag, 0x8D, 19, {0x00, 0x80}, "0.00", "1.002", {0xFA, 0x80}},  // 33018.5
             Case{lag, 0x8D, 19, {0x00, 0x80}, "0.00", "1.006", {0xFC, 0x80}},  // 33019.5
             Case{lag, 0x8D, 19, {0x00, 0x80}, "0.00", "-200", {0x00, 0x00}},
             Case{lag, 0x8D, 19, {0x00, 0x80}, "0.00", "1000", {0xFF, 0xFF}},
         }) {
        SCOPED_TRACE(std::string(c.tag) + " <- " + c.entered);
        image.clear();
        dirty.clearAll();
        changes = 0;
        fill(c.block, 107, c.pos, c.stored);
        EXPECT_EQ(codec.DisplayData(c.tag), c.shown);
        EXPECT_TRUE(codec.UpdateData(c.tag, c.entered));
        EXPECT_EQ(at(c.block, c.pos, c.expected.size()), c.expected);
        EXPECT_TRUE(dirty.isSet(c.block));
        EXPECT_EQ(dirty.count(), 1u);
        EXPECT_EQ(changes, 1);
    }
}

TEST_F(SettingsCodecTest, AnEntryThatRoundsToTheStoredValueFlagsNothing) {
    fill(0xCB, 107, 99, {128});
    const char* tag = "&HCB,99,1,0.390625,50,0.0";
    for (const char* entered : {"100", "100.1", " 99.9 ", "100.0"})
        EXPECT_FALSE(codec.UpdateData(tag, entered)) << entered;
    fill(0xAD, 8, 2, {0xF6});
    EXPECT_EQ(codec.DisplayData("&HAD,2,129,-1,0,0"), "10");
    EXPECT_FALSE(codec.UpdateData("&HAD,2,129,-1,0,0", "10"));
    expectUntouched();
    EXPECT_EQ(image[0xCB][98], 128);
}

TEST_F(SettingsCodecTest, UndecodableDescriptorsShowNothingAndStoreNothing) {
    fill(0xCB, 107, 99, {128});
    fill(0x8D, 20, 20, {0x12});
    const PacketImage before = image;
    for (const char* tag : {
             "&HCB,99,1,0,50,0.0",  // scale 0
             "&HCB,99,130,1,0,0",   // type not handled here
             "&HCB,108,1,1,0,0",    // past the end of the slot
             "&H8D,20,2,1,0,0",     // high byte missing
             "&HCC,1,1,1,0,0",      // never read
             "&HCB,x,1,1,0,0",
             "&HCB,99,1,1,0",
         }) {
        EXPECT_EQ(codec.DisplayData(tag), "") << tag;
        EXPECT_FALSE(codec.UpdateData(tag, "1")) << tag;
    }
    const char* tag = "&HCB,99,1,0.390625,50,0.0";
    for (const char* entered : {"abc", "", " ", "100,0" /* comma under a "." locale */, "1e2"})
        EXPECT_FALSE(codec.UpdateData(tag, entered)) << entered;
    expectUntouched();
    EXPECT_EQ(image, before);
}

TEST_F(SettingsCodecTest, EnteredAndShownNumbersFollowTheLocale) {
    codec.setLocale(NumberLocale{','});
    fill(0xCB, 107, 99, {0});
    const char* tag = "&HCB,99,1,0.390625,50,0.0";
    EXPECT_EQ(codec.DisplayData(tag), "50,0");
    EXPECT_TRUE(codec.UpdateData(tag, "100,0"));
    EXPECT_EQ(image[0xCB][98], 128);
    EXPECT_EQ(codec.DisplayData(tag), "100,0");
    EXPECT_TRUE(codec.UpdateData(tag, "50.5"));  // "." still reads when there is no ","
    EXPECT_EQ(image[0xCB][98], 1);
}

TEST_F(SettingsCodecTest, CheckBoxesStoreTheirValueByXor) {
    struct Case {
        const char* tag;
        std::uint8_t before;
        int check;
        std::uint8_t after;
    };
    for (const Case& c : {
             Case{"&HAC,1,255", 0x00, 1, 255},
             Case{"&HAC,1,255", 0xFF, 0, 0},
             Case{"&HAC,1,255", 0x80, 0, 0},  // neither value: rewritten when cleared
             Case{"&HAC,1,0", 0xFF, 1, 0},    // a value-0 box is inverted
             Case{"&HAC,1,0", 0x00, 0, 255},
             Case{"&HAC,1,1", 0x00, 1, 255},  // any non-zero value behaves like 255
             Case{"&HAC,1,1", 0x01, 0, 0},
         }) {
        SCOPED_TRACE(std::string(c.tag) + " check " + std::to_string(c.check));
        dirty.clearAll();
        changes = 0;
        fill(0xAC, 10, 1, {c.before});
        EXPECT_TRUE(codec.SetSettingCheck(c.tag, c.check));
        EXPECT_EQ(image[0xAC][0], c.after);
        EXPECT_TRUE(dirty.isSet(0xAC));
        EXPECT_EQ(changes, 1);
        // Clicking again with the same state writes nothing.
        EXPECT_FALSE(codec.SetSettingCheck(c.tag, c.check));
        EXPECT_EQ(changes, 1);
    }
}

TEST_F(SettingsCodecTest, CheckBoxReadsTheByteValue) {
    fill(0xAC, 10, 1, {0xFF, 0x80, 0x00});
    EXPECT_TRUE(codec.IsSettingChecked("&HAC,1,255"));
    EXPECT_FALSE(codec.IsSettingChecked("&HAC,2,255"));  // 0x80 is not 255
    EXPECT_TRUE(codec.IsSettingChecked("&HAC,3,0"));
    EXPECT_FALSE(codec.IsSettingChecked("&HAC,11,0"));  // past the slot
    EXPECT_FALSE(codec.IsSettingChecked("&HAC,1"));
    // The redisplay of a value-255 box over 0x80: it shows cleared, and its click stores 0.
    EXPECT_TRUE(codec.SetSettingCheck("&HAC,2,255", 0));
    EXPECT_EQ(image[0xAC][1], 0);
    EXPECT_TRUE(dirty.isSet(0xAC));
}

TEST_F(SettingsCodecTest, BitCheckBoxesTouchOnlyTheirBits) {
    fill(0xAD, 8, 1, {0xC3});
    EXPECT_TRUE(codec.IsSettingBitSet("&HAD,1,128"));
    EXPECT_TRUE(codec.IsSettingBitSet("&HAD,1,1"));
    EXPECT_FALSE(codec.IsSettingBitSet("&HAD,1,4"));
    EXPECT_FALSE(codec.IsSettingBitSet("&HAD,9,1"));

    EXPECT_FALSE(codec.SetSettingBit("&HAD,1,128", 1));  // already set
    expectUntouched();
    EXPECT_TRUE(codec.SetSettingBit("&HAD,1,128", 0));
    EXPECT_EQ(image[0xAD][0], 0x43);
    EXPECT_TRUE(codec.SetSettingBit("&HAD,1,4", 1));
    EXPECT_EQ(image[0xAD][0], 0x47);
    EXPECT_TRUE(dirty.isSet(0xAD));
    EXPECT_EQ(changes, 2);
    EXPECT_FALSE(codec.SetSettingBit("&HAD,9,4", 1));
}

TEST_F(SettingsCodecTest, OptionsCompareUnderTheMaskButWriteTheWholeByte) {
    fill(0x5A, 107, 1, {0xF4});
    EXPECT_TRUE(codec.IsOptionSelected("&H5A,1,4,7"));
    EXPECT_FALSE(codec.IsOptionSelected("&H5A,1,2,7"));
    EXPECT_FALSE(codec.IsOptionSelected("&H5A,200,4,7"));

    EXPECT_TRUE(codec.SetSettingOption("&H5A,1,4,7"));
    EXPECT_EQ(image[0x5A][0], 0x04);  // bits outside the mask cleared
    EXPECT_TRUE(dirty.isSet(0x5A));
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(codec.SetSettingOption("&H5A,1,4,7"));
    EXPECT_TRUE(codec.SetSettingOption("&H5A,1,2,7"));
    EXPECT_EQ(image[0x5A][0], 0x02);
    EXPECT_TRUE(codec.SetSettingOption("&H5A,1,300,7"));  // clamped to a byte
    EXPECT_EQ(image[0x5A][0], 0xFF);
    EXPECT_EQ(changes, 3);
}

TEST_F(SettingsCodecTest, LabelsShowTheBytesThatExist) {
    image[0xF3] = bytesFromText("SR20D");
    EXPECT_EQ(codec.SettingText("&HF3,1,8"), "SR20D");
    EXPECT_EQ(codec.SettingText("&HF3,3,2"), "20");
    EXPECT_EQ(codec.SettingText("&HF3,6,8"), "");
    EXPECT_EQ(codec.SettingText("&HF5,1,5"), "");
    EXPECT_EQ(codec.SettingText("&HF3,1"), "");
}

TEST_F(SettingsCodecTest, TunerStringIsPaddedOrCutToEightAndAlwaysFlagged) {
    codec.setTunerString("abc");
    EXPECT_EQ(image[0xAD], bytesFromText("abc     "));
    EXPECT_TRUE(dirty.isSet(0xAD));
    EXPECT_EQ(changes, 1);

    dirty.clearAll();
    codec.setTunerString("abc");
    EXPECT_TRUE(dirty.isSet(0xAD));
    EXPECT_EQ(changes, 2);

    codec.setTunerString("0123456789");
    EXPECT_EQ(image[0xAD], bytesFromText("01234567"));
    EXPECT_EQ(codec.SettingText("&HAD,1,8"), "01234567");
    EXPECT_EQ(dirty.count(), 1u);
}

}  // namespace
}  // namespace tunalyx
