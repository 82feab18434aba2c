#include "autotune/cell_prediction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/even_map.h"

namespace tunalyx {
namespace {

// A smooth correction field, curved a little, over rows and columns 2..13.
double fieldAt(int row, int col) {
    return 1 + 0.006 * col - 0.004 * row + 0.0002 * col * row;
}

// Measured there (every sample needed), except a hole P07-P10 N07-N10 read too thinly.
AutoTuneProposal measuredWithAHole(const TuneMap& tune) {
    AutoTuneProposal p;
    for (int row = 0; row < kMapAxisSize; ++row)
        for (int col = 0; col < kMapAxisSize; ++col) {
            CellResult& cell = p.cells[std::size_t(row)][std::size_t(col)];
            cell.oldRaw = cell.newRaw = tune.raw[std::size_t(row)][std::size_t(col)];
            cell.oldValue = cell.newValue = tune.value(row, col);
            const bool inside = row >= 2 && row <= 13 && col >= 2 && col <= 13;
            const bool hole = row >= 6 && row <= 9 && col >= 6 && col <= 9;
            if (!inside) continue;
            cell.verdict = hole ? CellVerdict::TooFew : CellVerdict::Proposed;
            cell.samples = hole ? 4 : 50;
            cell.correction = fieldAt(row, col);
        }
    return p;
}

TEST(CellPrediction, AHoleInASmoothFieldIsFilledSurelyNearItsEdgeAndFaintlyFarAway) {
    const TuneMap tune = test::flatMap(kInjMap, 128);
    CellLocks locks{};
    locks[8][8] = true;
    const AutoTuneProposal proposal = measuredWithAHole(tune);
    const CellPredictions predicted = predictUnmeasured(proposal, tune, locks, {});

    for (int row = 6; row <= 9; ++row)
        for (int col = 6; col <= 9; ++col) {
            const CellPrediction& p = predicted[std::size_t(row)][std::size_t(col)];
            if (row == 8 && col == 8) {
                EXPECT_FALSE(p.predicted);
                EXPECT_FALSE(p.changes());
                continue;
            }
            ASSERT_TRUE(p.predicted) << row << "," << col;
            EXPECT_NEAR(p.newValue / p.oldValue, fieldAt(row, col), 0.01) << row << "," << col;
            const bool edge = row == 6 || row == 9 || col == 6 || col == 9;
            if (edge) {
                EXPECT_GT(p.confidence, 0.6) << row << "," << col;
            }
        }
    // Measured cells are the proposal's; outside, the farther the fainter, and none beyond reach.
    EXPECT_FALSE(predicted[4][4].predicted);
    const CellPrediction& next = predicted[5][14];
    const CellPrediction& far = predicted[5][16];
    ASSERT_TRUE(next.predicted);
    ASSERT_TRUE(far.predicted);
    EXPECT_GT(next.confidence, 2 * far.confidence);
    EXPECT_LT(far.confidence, 0.35);
    EXPECT_FALSE(predicted[5][17].predicted);

    // Neighbours that disagree make a fainter prediction than neighbours that agree.
    AutoTuneProposal scattered = proposal;
    for (int row = 2; row <= 13; ++row)
        for (int col = 2; col <= 13; ++col)
            if (scattered.cells[std::size_t(row)][std::size_t(col)].verdict ==
                CellVerdict::Proposed)
                scattered.cells[std::size_t(row)][std::size_t(col)].correction +=
                    (row + col) % 2 ? 0.03 : -0.03;
    EXPECT_LT(predictUnmeasured(scattered, tune, locks, {})[6][7].confidence,
              0.5 * predicted[6][7].confidence);

    // A prediction is held to the largest change, as a proposal is.
    AutoTuneSettings gentle;
    gentle.maxChangePercent = 1;
    AutoTuneProposal lean = proposal;
    for (auto& row : lean.cells)
        for (CellResult& cell : row)
            if (cell.verdict == CellVerdict::Proposed) cell.correction = 1.08;
    const CellPrediction held = predictUnmeasured(lean, tune, locks, gentle)[7][7];
    EXPECT_NEAR((held.newValue / held.oldValue - 1) * 100, 1, 0.4);
}

TEST(CellPrediction, TheCellsToDriveNextExtendTheTunedAreaFirstThenTheThinlyRead) {
    const TuneMap tune = test::flatMap(kInjMap, 128);
    AutoTuneProposal p;
    const auto set = [&](int row, int col, CellVerdict v, double samples = 0, double spread = 0) {
        CellResult& cell = p.cells[std::size_t(row)][std::size_t(col)];
        cell.verdict = v;
        cell.samples = samples;
        cell.spreadPercent = spread;
    };
    set(5, 5, CellVerdict::Proposed, 40);
    set(5, 6, CellVerdict::NoChange, 40);
    set(6, 6, CellVerdict::TooFew, 6.4);            // next to both
    set(12, 12, CellVerdict::TooSpread, 30, 4.12);  // alone, more samples
    set(14, 3, CellVerdict::TooFew, 2);             // alone
    set(4, 4, CellVerdict::Locked, 40);
    p.cells[6][7].rejected = 400;  // driven there only cold
    p.cells[6][7].mostlyRejectedAs = Rejection::Cold;

    const std::vector<CellToDrive> next = cellsToDriveNext(p, tune, 30);
    ASSERT_GE(next.size(), 4u);
    EXPECT_EQ(driveLine(next[0]), "P07 N07: hold 3400 rpm at load 4000 (6 of 10 samples)");
    // Then the no-data cells touching both measured cells, in grid order, before those touching
    // one; the locked cell is the user's.
    EXPECT_EQ(driveLine(next[1]), "P05 N06: hold 3000 rpm at load 3000 (no data)");
    const auto at = [&](int row, int col) {
        return std::find_if(next.begin(), next.end(),
                            [&](const CellToDrive& c) { return c.row == row && c.col == col; });
    };
    EXPECT_EQ(at(4, 4), next.end());
    ASSERT_NE(at(6, 7), next.end());
    EXPECT_EQ(at(6, 7)->reason, "no data: cold engine");
    // Cells far from the tuned area: only those with something read, the nearer to enough first.
    EXPECT_EQ(next.size(), 11u);  // the nine free cells around the measured ones, and two
    EXPECT_EQ(driveLine(next[9]), "P13 N13: hold 5800 rpm at load 7000 (too spread: 4.1 %)");
    EXPECT_EQ(driveLine(next[10]), "P15 N04: hold 2200 rpm at load 8000 (2 of 10 samples)");
    EXPECT_EQ(cellsToDriveNext(p, tune, 3).size(), 3u);
}

}  // namespace
}  // namespace tunalyx
