#include "watches/watch_file.h"

#include <gtest/gtest.h>

#include <string>

#include "ports/memory_settings_store.h"
#include "support/recording_prompts.h"

namespace tunalyx {
namespace {

using test::RecordingPrompts;

constexpr SetupFileVersion kVersion{"SR20DET2", "2.21"};
constexpr int kBoost = 8;  // Advanced group, index 8

WatchSet defaults() {
    WatchSet set;
    for (int i = 0; i < kWatchCount; ++i)
        set[static_cast<std::size_t>(i)] = defaultWatch(i);
    return set;
}

std::string header(std::string_view name = kVersion.VerName,
                   std::string_view number = kVersion.VerNumber) {
    return std::string(kWatchFileHeader) + "\r\nVerName\t" + std::string(name) + "\r\nVerNumber\t" +
           std::string(number) + "\r\nWatchs\t 1\r\n";
}

TEST(WatchSettings, AnEmptyStoreGivesTenHiddenCascadedWatchesAndTheStoreKeepsEveryField) {
    MemorySettingsStore store;
    WatchSet set = loadWatches(store);
    for (int i = 0; i < kWatchCount; ++i) {
        const WatchSettings& w = set[static_cast<std::size_t>(i)];
        EXPECT_EQ((std::array{w.Left, w.Top, w.Width, w.Height, w.FontSize}),
                  (std::array<double, 5>{i * 100.0, i * 100.0, 1500, 800, 20}));
        EXPECT_EQ(w.Caption, "Watch  " + std::to_string(i + 1));
        EXPECT_EQ(w.FontName, "Comic Sans MS");
        EXPECT_FALSE(w.Visible);
    }
    // A place far off any screen: moved back onto it, at most half its free area either way.
    EXPECT_EQ(heldOnScreen({1e300, -1e300, 1e300, -5}, {0, 0, 19200, 13500}),
              (WatchPlace{9600, 0, 9600, 0}));
    set[3].Colours = 5;
    set[3].Colour[4] = 0x0000FF;
    set[3].MaxValue[1] = 12.5;
    set[3].ItemIndex = 58;
    set[3].FontItalic = set[3].Visible = true;
    set[3].DecimalPlaces = 2;
    saveWatches(store, set);
    EXPECT_EQ(store.text("Watch3BackColour", ""), "-2147483633");  // the button face
    EXPECT_EQ(store.text("Watch3Visible", ""), "True");
    EXPECT_EQ(loadWatches(store), set);
}

TEST(WatchFile, WhatIsWrittenReadsBackUnchanged) {
    TraceItems items;
    items.InitTraceItemLookup({{"Wide Band", "raw", "raw", "raw"}});
    WatchSet set = defaults();
    WatchSettings& w = set[0];
    w = {.Left = 1200, .Top = 300, .Height = 900, .Width = 2200, .Caption = "A/F"};
    w.Colours = 5;
    w.Colour = {255, 0xC000, 0x80FF, 0, 0x80000012};
    w.MaxValue = {11.5, 13, 0, 0};
    w.ItemIndex = 58;
    w.FontName = "DejaVu Sans";
    w.FontSize = 24;
    w.FontBold = w.Visible = true;
    w.DecimalPlaces = 1;
    set[9].MaxValue = {-0.5, 0.25, 1e6, 1e-7};
    const std::string text = watchFileText(set, items, kVersion);
    for (const char* lines : {"[Corvalink Watch File]\r\nVerName\tSR20DET2\r\nVerNumber\t2.21\r\n"
                              "Watchs\t 1\r\nWatchID\t 0\r\nLeft\t 1200\r\n",
                              "BackColour\t-2147483633\r\n",
                              "MaxValue1\t-.5\r\nMaxValue2\t .25\r\nMaxValue3\t 1000000\r\n"
                              "MaxValue4\t .0000001\r\n",
                              "ItemIndex\t 58\r\nItemGroup\t 2\r\nItemGroupIndex\t 4\r\n"
                              "ItemName\tAN1 Wide Band\r\nVisible\tTrue\r\n"})
        EXPECT_NE(text.find(lines), std::string::npos) << lines;

    WatchSet read = defaults();
    RecordingPrompts prompts;
    EXPECT_EQ(applyWatchFileText(text, read, items, kVersion, prompts), KeyFileOutcome::Loaded);
    EXPECT_TRUE(prompts.messages().empty());
    EXPECT_EQ(read, set);
}

TEST(WatchFile, AnotherVersionAsksOnceAtWatchsAndNoChangesNothing) {
    const TraceItems items;
    const std::string text =
        "Caption\tEarly\r\n" + header("SR20DET1", "5.01") + "WatchID\t 1\r\nVisible\t True\r\n";
    RecordingPrompts prompts;
    WatchSet set = defaults();
    EXPECT_EQ(applyWatchFileText(text, set, items, kVersion, prompts), KeyFileOutcome::Declined);
    EXPECT_EQ(set, defaults());  // not even the line before the question is taken
    prompts.answerNext(MessageAnswer::Yes);
    EXPECT_EQ(applyWatchFileText(text, set, items, kVersion, prompts), KeyFileOutcome::Loaded);
    EXPECT_EQ(set[0].Caption, "Early");  // before any "WatchID": watch 0
    EXPECT_TRUE(set[1].Visible);
    ASSERT_EQ(prompts.messages().size(), 2u);  // once per file
    EXPECT_EQ(prompts.messages()[0].text,
              "The Watch File does not match the current PFC version.\n"
              "Some items may not match. Do you want to proceed?");

    // Without a "Watchs" line nothing is asked.
    EXPECT_EQ(applyWatchFileText("VerName\tOther\r\nTop\t 50\r\n", set, items, kVersion, prompts),
              KeyFileOutcome::Loaded);
    EXPECT_EQ(prompts.messages().size(), 2u);
}

TEST(WatchFile, AnItemIsFoundByNameWithinItsGroupElseByGroupAndIndex) {
    const TraceItems items;
    RecordingPrompts prompts;
    WatchSet set = defaults();
    const std::string text =
        header() +
        // An index before any group line is one of group 0.
        "WatchID\t 5\r\nItemGroupIndex\t 3\r\n"
        // Written where Boost was elsewhere in its group: the name finds it.
        "WatchID\t 2\r\nItemIndex\t 5\r\nItemGroup\t 4\r\n"
        "ItemGroupIndex\t 5\r\nItemName\tBoost\r\n"
        // "Boost" is in the Basic group as well: the group decides.
        "WatchID\t 3\r\nItemGroup\t 0\r\nItemGroupIndex\t 0\r\nItemName\tBoost\r\n";
    EXPECT_EQ(applyWatchFileText(text, set, items, kVersion, prompts), KeyFileOutcome::Loaded);
    EXPECT_EQ(set[2].ItemIndex, kBoost);
    EXPECT_EQ(items.TraceGroup[static_cast<std::size_t>(set[3].ItemIndex)], kGroupBasic);
    EXPECT_EQ(items.TraceName[static_cast<std::size_t>(set[3].ItemIndex)], "Boost");
    EXPECT_EQ(set[5].ItemIndex, items.TraceLookup[0][3]);
    EXPECT_TRUE(prompts.messages().empty());
}

TEST(WatchFile, ADamagedFileChangesNothingAndSaysWhichLine) {
    const TraceItems items;
    struct Case {
        const char* key;
        const char* value;
        const char* why;  // what the value must be
    };
    for (const Case& c : {
             Case{"WatchID", "10", "must be a whole number from 0 to 9"},
             Case{"ItemIndex", "64", "must be a whole number from 0 to 63"},
             Case{"ItemGroup", "5", "must be a whole number from 0 to 4"},
             Case{"ItemGroupIndex", "31", "must be a whole number from 0 to 30"},
             Case{"Colours", "0", "must be a whole number from 1 to 5"},
             Case{"DecimalPlaces", "10", "must be a whole number from 0 to 9"},
             Case{"Colour2", "-2147483649", "is not a colour"},
             Case{"Width", "wide", "is not a number"},
             Case{"Top", "1e999", "is too large a number"},
             Case{"Visible", "Yes", "is neither True nor False"},
         }) {
        RecordingPrompts prompts;
        WatchSet set = defaults();
        const std::string text = header() + "WatchID\t 1\r\nCaption\tBefore\r\n" + c.key + "\t " +
                                 c.value + "\r\nCaption\tAfter\r\n";  // shown without the blank
        EXPECT_EQ(applyWatchFileText(text, set, items, kVersion, prompts), KeyFileOutcome::Failed);
        EXPECT_EQ(prompts.texts(),
                  std::vector<std::string>{"Error Opening Watch File\nLine 7 gives " +
                                           std::string(c.key) + " as \"" + c.value + "\", which " +
                                           c.why + ". Nothing was changed."});
        EXPECT_EQ(set, defaults()) << c.key;
    }
    RecordingPrompts prompts;
    WatchSet set = defaults();
    for (const char* text : {"Caption\tA\r\n\r\nCaption\tB\r\n", "PK\x03\x04\x14"})
        EXPECT_EQ(applyWatchFileText(text, set, items, kVersion, prompts), KeyFileOutcome::Failed);
    EXPECT_EQ(openWatchFile("/nonexistent/w.dwf", set, items, kVersion, prompts),
              KeyFileOutcome::Failed);
    EXPECT_EQ(set, defaults());
    EXPECT_EQ(prompts.texts(),
              (std::vector<std::string>{
                  "Error Opening Watch File\nLine 2 is empty. Nothing was changed.",
                  "Error Opening Watch File\nThe file holds no watches. Nothing was changed.",
                  "Error Opening Watch File"}));
}

}  // namespace
}  // namespace tunalyx
