#include "autotune/proposal_text.h"

#include <gtest/gtest.h>

namespace tunalyx {
namespace {

const MapDescriptor kInj = parseMapDescriptor(startupMapTags()[kInjMap]).value();
const NumberLocale kPoint{};

std::string injText(std::int32_t raw) {
    return formatValue(raw * kInj.scale + kInj.offset, kInj.format, kPoint);
}

// A cell of raw 128 (1.000) whose readings ask for `correction`, moved to `newRaw`.
CellResult cellOf(CellVerdict verdict, double correction, std::int32_t newRaw = 128) {
    CellResult c;
    c.verdict = verdict;
    c.samples = 23.44;
    c.correction = correction;
    c.spreadPercent = 1.23;
    c.oldRaw = 128;
    c.newRaw = newRaw;
    c.oldValue = 128 * kInj.scale + kInj.offset;
    c.newValue = newRaw * kInj.scale + kInj.offset;
    return c;
}

TEST(ProposalText, ACellShowsTheChangeProposedOrWhatItsReadingsAskFor) {
    const struct {
        CellResult cell;
        std::string text;
    } cases[] = {
        {cellOf(CellVerdict::Proposed, 1.06, 143), "+5.9"},  // 1.0586 in whole steps
        {cellOf(CellVerdict::Proposed, 0.97, 120), "-3.1"},
        {cellOf(CellVerdict::NoChange, 1.001), "0.0"},
        {cellOf(CellVerdict::OutOfRange, 1.3, 153), "+9.8"},
        // No proposal: what the readings would have asked, so a near miss can be seen.
        {cellOf(CellVerdict::TooFew, 1.042), "+4.2"},
        {cellOf(CellVerdict::Locked, 0.95), "-5.0"},
        {cellOf(CellVerdict::TooSpread, 0.9996), "0.0"},  // never "-0.0"
        {CellResult{}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cellChangeText(c.cell, kPoint), c.text) << static_cast<int>(c.cell.verdict);
    EXPECT_EQ(cellChangeText(cellOf(CellVerdict::Proposed, 1.06, 143), {','}), "+5,9");
}

TEST(ProposalText, TheVerdictIsToldInWordsWithItsNumbers) {
    const AutoTuneSettings s;
    CellResult few = cellOf(CellVerdict::TooFew, 1.05);
    few.samples = 9.6;  // rounded down: not yet the 10 needed
    CellResult spread = cellOf(CellVerdict::TooSpread, 1.05);
    spread.spreadPercent = 4.24;
    const struct {
        CellResult cell;
        std::string words;
    } cases[] = {
        {few, "not enough data: 9 of 10 samples"},
        {spread, "spread 4.2 % above 3 %"},
        {cellOf(CellVerdict::Locked, 1.05), "locked"},
        {cellOf(CellVerdict::NoChange, 1.001), "change below one step"},
        {cellOf(CellVerdict::Proposed, 1.06, 143), "proposed"},
        {cellOf(CellVerdict::OutOfRange, 1.6, 255), "beyond the map's range 0.500-1.496"},
        {CellResult{}, "no readings"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(verdictText(c.cell, s, kInj, injText, kPoint), c.words);
}

TEST(ProposalText, TheToolTipGivesSamplesSpreadCorrectionValuesAndVerdict) {
    const AutoTuneSettings s;
    EXPECT_EQ(
        cellToolTip(cellOf(CellVerdict::Proposed, 1.06, 143), false, s, kInj, injText, kPoint),
        "Samples 23.4\nSpread 1.2 %\nCorrection 1.060 (6.0 % lean)\n1.000 -> 1.059 (+5.9 %)\n"
        "proposed");
    EXPECT_EQ(cellToolTip(cellOf(CellVerdict::Locked, 0.98), true, s, kInj, injText, kPoint),
              "Samples 23.4\nSpread 1.2 %\nCorrection 0.980 (2.0 % rich)\nValue 1.000\nlocked");
    // A cell never visited, locked since: nothing measured, only its value and both facts.
    CellResult unvisited;
    unvisited.oldRaw = unvisited.newRaw = 128;
    EXPECT_EQ(cellToolTip(unvisited, true, s, kInj, injText, kPoint),
              "Value 1.000\nno readings\nlocked");
}

TEST(ProposalText, LeanAndRichHaveTheirOwnHueDeeperWithTheChange) {
    const auto channel = [](CellColour c, int shift) { return (c >> shift) & 0xFF; };
    const CellLook leanSmall = cellLook(cellOf(CellVerdict::Proposed, 1.01, 129), false, 10);
    const CellLook leanLarge = cellLook(cellOf(CellVerdict::Proposed, 1.1, 153), false, 10);
    const CellLook rich = cellLook(cellOf(CellVerdict::Proposed, 0.95, 122), false, 10);
    EXPECT_GT(channel(leanLarge.background, 0), channel(leanLarge.background, 16));  // red > blue
    EXPECT_GT(channel(rich.background, 16), channel(rich.background, 0));
    EXPECT_LT(channel(leanLarge.background, 16), channel(leanSmall.background, 16));
    EXPECT_NE(leanSmall.background, 0xFFFFFFu);  // one step still shows

    const CellLook unchanged = cellLook(cellOf(CellVerdict::NoChange, 1.001), false, 10);
    EXPECT_EQ(unchanged.background, kNormalBackground);
    const CellLook few = cellLook(cellOf(CellVerdict::TooFew, 1.2), false, 10);
    EXPECT_TRUE(few.dimmed && !few.hatched);
    EXPECT_EQ(few.background, cellLook(CellResult{}, false, 10).background);
    EXPECT_TRUE(cellLook(CellResult{}, true, 10).hatched);  // a lock shows without data too
    const CellLook beyond = cellLook(cellOf(CellVerdict::OutOfRange, 1.6, 153), false, 10);
    EXPECT_TRUE(beyond.flagged);
    EXPECT_NE(beyond.background, leanLarge.background);
}

TEST(ProposalText, LocksRoundTripAndDamagedTextLocksNothing) {
    CellLocks locks{};
    locks[0][0] = locks[4][6] = locks[19][19] = true;
    const std::string text = locksText(locks);
    ASSERT_EQ(text.size(), 400u);
    EXPECT_EQ(text[4 * 20 + 6], '1');
    EXPECT_EQ(locksOf(text), locks);
    EXPECT_EQ(locksOf(text.substr(1)), CellLocks{});
    EXPECT_EQ(locksOf(std::string(399, '0') + "x"), CellLocks{});
}

}  // namespace
}  // namespace tunalyx
