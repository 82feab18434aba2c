#include "watches/watch_file.h"

#include <gtest/gtest.h>

#include <string>

#include "model/number_format.h"
#include "ports/memory_settings_store.h"
#include "support/recording_prompts.h"

namespace tunalyx {
namespace {

using test::RecordingPrompts;

constexpr WatchFileVersion kVersion{"SR20DET2", "2.21"};
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

TEST(WatchNumbers, KeyFileFormsCarryABlankAndNoLeadingZero) {
    EXPECT_EQ(keyFileNumber(0.5), " .5");
    EXPECT_EQ(keyFileNumber(-0.25), "-.25");
    EXPECT_EQ(keyFileNumber(1500), " 1500");
    EXPECT_EQ(keyFileNumber(-2147483633.0), "-2147483633");
    EXPECT_EQ(keyFileNumber(1e-7), " .0000001");  // never an exponent the reader would cut
    EXPECT_EQ(leadingNumber(" .5"), 0.5);
    EXPECT_EQ(leadingNumber("12abc"), 12);
    EXPECT_EQ(leadingNumber("abc"), 0);
}

TEST(WatchSettings, AnEmptyStoreGivesTenHiddenCascadedWatches) {
    const MemorySettingsStore store;
    const WatchSet set = loadWatches(store);
    for (int i = 0; i < kWatchCount; ++i) {
        const WatchSettings& w = set[static_cast<std::size_t>(i)];
        EXPECT_EQ(w.Left, i * 100);
        EXPECT_EQ(w.Top, i * 100);
        EXPECT_EQ(w.Width, 1500);
        EXPECT_EQ(w.Height, 800);
        EXPECT_FALSE(w.Visible);
        EXPECT_EQ(w.BackColour, kButtonFaceColour);
        EXPECT_EQ(w.FontName, "Comic Sans MS");
        EXPECT_EQ(w.FontSize, 20);
        EXPECT_EQ(w.Colour[0], 0u);
    }
    EXPECT_EQ(set[0].Caption, "Watch  1");
    EXPECT_EQ(set[9].Caption, "Watch  10");
}

TEST(WatchSettings, TheStoreKeepsEveryFieldAndSystemColoursAsNegativeNumbers) {
    MemorySettingsStore store;
    WatchSet set = defaults();
    set[3].Colours = 3;
    set[3].Colour[2] = 0x0000FF;
    set[3].MaxValue[1] = 12.5;
    set[3].ItemIndex = 58;
    set[3].FontItalic = true;
    set[3].DecimalPlaces = 2;
    set[3].Visible = true;
    saveWatches(store, set);
    EXPECT_EQ(store.text("Watch3BackColour", ""), "-2147483633");
    EXPECT_EQ(store.text("Watch3Visible", ""), "True");
    EXPECT_EQ(loadWatches(store), set);
}

TEST(WatchFile, WhatIsWrittenReadsBackUnchanged) {
    TraceItems items;
    items.InitTraceItemLookup({{"Wide Band", "raw", "raw", "raw"}});
    WatchSet set = defaults();
    set[0] = {1200,
              300,
              900,
              2200,
              "A/F",
              0xFFFFFF,
              3,
              {255, 0xC000, 0x80FF, 0, 0},
              {11.5, 13, 0, 0},
              58,
              "DejaVu Sans",
              true,
              false,
              24,
              1,
              true};
    set[9].MaxValue = {-0.5, 0.25, 1e6, -3};
    const std::string text = watchFileText(set, items, kVersion);
    EXPECT_NE(text.find("[Corvalink Watch File]\r\nVerName\tSR20DET2\r\nVerNumber\t2.21\r\n"
                        "Watchs\t 1\r\nWatchID\t 0\r\nLeft\t 1200\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("MaxValue1\t-.5\r\nMaxValue2\t .25\r\n"), std::string::npos);
    EXPECT_NE(text.find("ItemIndex\t 58\r\nItemGroup\t 2\r\nItemGroupIndex\t 4\r\n"
                        "ItemName\tAN1 Wide Band\r\nVisible\tTrue\r\n"),
              std::string::npos)
        << text.substr(0, 600);
    EXPECT_NE(text.find("BackColour\t-2147483633\r\n"), std::string::npos);

    WatchSet read = defaults();
    RecordingPrompts prompts;
    EXPECT_EQ(applyWatchFileText(text, read, items, kVersion, prompts), WatchFileOutcome::Loaded);
    EXPECT_TRUE(prompts.messages().empty());
    EXPECT_EQ(read, set);
}

TEST(WatchFile, AnotherVersionAsksOnceAtWatchsAndNoStopsThere) {
    const TraceItems items;
    const std::string text =
        "Caption\tEarly\r\n" + header("SR20DET1", "5.01") + "WatchID\t 1\r\nVisible\tTrue\r\n";
    RecordingPrompts prompts;
    WatchSet set = defaults();
    EXPECT_EQ(applyWatchFileText(text, set, items, kVersion, prompts), WatchFileOutcome::Declined);
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].text,
              "The Watch File does not match the current PFC version.\n"
              "Some items may not match. Do you want to proceed?");
    EXPECT_EQ(prompts.messages()[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(set[0].Caption, "Early");  // the line before the question stays applied
    EXPECT_FALSE(set[1].Visible);

    prompts.answerNext(MessageAnswer::Yes);
    EXPECT_EQ(applyWatchFileText(text, set, items, kVersion, prompts), WatchFileOutcome::Loaded);
    EXPECT_TRUE(set[1].Visible);
    EXPECT_EQ(prompts.messages().size(), 2u);  // once per file

    // Without a "Watchs" line nothing is asked.
    RecordingPrompts quiet;
    EXPECT_EQ(applyWatchFileText("VerName\tOther\r\nTop\t 50\r\n", set, items, kVersion, quiet),
              WatchFileOutcome::Loaded);
    EXPECT_TRUE(quiet.messages().empty());
    EXPECT_EQ(set[0].Top, 50);  // before any "WatchID": watch 0
}

TEST(WatchFile, AnItemIsFoundByNameWithinItsGroupElseByGroupAndIndex) {
    const TraceItems items;
    RecordingPrompts prompts;
    WatchSet set = defaults();
    // Written by a version that had Boost elsewhere: the name finds it in the same group.
    const std::string moved = header() +
                              "WatchID\t 2\r\nItemIndex\t 5\r\nItemGroup\t 4\r\n"
                              "ItemGroupIndex\t 5\r\nItemName\tBoost\r\n";
    EXPECT_EQ(applyWatchFileText(moved, set, items, kVersion, prompts), WatchFileOutcome::Loaded);
    EXPECT_EQ(set[2].ItemIndex, kBoost);

    // "Boost" also exists in the Basic group; the group decides.
    const std::string basic = header() +
                              "WatchID\t 3\r\nItemGroup\t 0\r\nItemGroupIndex\t 0\r\n"
                              "ItemName\tBoost\r\n";
    EXPECT_EQ(applyWatchFileText(basic, set, items, kVersion, prompts), WatchFileOutcome::Loaded);
    EXPECT_EQ(items.TraceGroup[static_cast<std::size_t>(set[3].ItemIndex)], kGroupBasic);
    EXPECT_EQ(items.TraceName[static_cast<std::size_t>(set[3].ItemIndex)], "Boost");

    // A name found nowhere is reported; the item by group and index stays and reading goes on.
    const std::string unknown = header() +
                                "WatchID\t 4\r\nItemGroup\t 4\r\nItemGroupIndex\t 1\r\n"
                                "ItemName\tTurbo Lag\r\nCaption\tAfter\r\n";
    EXPECT_EQ(applyWatchFileText(unknown, set, items, kVersion, prompts), WatchFileOutcome::Loaded);
    EXPECT_EQ(prompts.texts().back(), "Item Turbo Lag not found.");
    EXPECT_EQ(set[4].ItemIndex, items.TraceLookup[4][1]);
    EXPECT_EQ(set[4].Caption, "After");
}

TEST(WatchFile, AnErrorStopsTheReadingAndKeepsWhatCameBefore) {
    const TraceItems items;
    for (const char* bad : {"WatchID\t 10\r\n", "ItemGroup\t 5\r\nItemGroupIndex\t 0\r\n",
                            "ItemGroupIndex\t 31\r\n", "\r\n", "ItemIndex\t 64\r\n"}) {
        RecordingPrompts prompts;
        WatchSet set = defaults();
        const std::string text =
            header() + "WatchID\t 1\r\nCaption\tBefore\r\n" + bad + "Caption\tAfter\r\n";
        EXPECT_EQ(applyWatchFileText(text, set, items, kVersion, prompts), WatchFileOutcome::Failed)
            << bad;
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Error Opening Watch File"});
        EXPECT_EQ(set[1].Caption, "Before");
    }
    RecordingPrompts prompts;
    WatchSet set = defaults();
    EXPECT_EQ(openWatchFile("/nonexistent/w.dwf", set, items, kVersion, prompts),
              WatchFileOutcome::Failed);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Error Opening Watch File"});
}

}  // namespace
}  // namespace tunalyx
