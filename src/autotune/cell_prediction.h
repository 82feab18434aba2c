#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "autotune/autotune.h"

namespace tunalyx {

// Values for the cells no log measured, from the corrections of the measured cells around them.
// Shown apart from measured proposals and written only when asked for.
struct CellPrediction {
    bool predicted = false;
    std::int32_t oldRaw = 0;
    std::int32_t newRaw = 0;
    double oldValue = 0;
    double newValue = 0;
    double confidence =
        0;  // 0..1: falls with the distance to measured cells and their disagreement
    [[nodiscard]] bool changes() const { return predicted && newRaw != oldRaw; }
};
using CellPredictions = std::array<std::array<CellPrediction, kMapAxisSize>, kMapAxisSize>;

// Every cell without a measured correction (no data, too few samples) that has measured cells
// within three grid steps gets a prediction; locked cells none. The measured corrections, not
// the values, are fitted over the grid positions (a plane where they surround the cell, their
// mean otherwise), so the map's own shape is kept. Held to settings.maxChangePercent like a
// proposal, and to the map's range.
[[nodiscard]] CellPredictions predictUnmeasured(const AutoTuneProposal& proposal,
                                                const TuneMap& tune, const CellLocks& locks,
                                                const AutoTuneSettings& settings);

// Stores the predictions that change a cell and have at least `leastConfidence` (all, or those in
// `only`) in the Inj Map, marking each for Update; the texts the cells then show.
std::vector<CellText> applyPredictions(MapGrids& maps, const CellPredictions& predictions,
                                       double leastConfidence,
                                       const std::optional<CellRange>& only = std::nullopt);

// A cell to drive next: the rpm and load to hold to fill it.
struct CellToDrive {
    int row = 0;  // 0-based
    int col = 0;
    double rpm = 0;
    double load = 0;
    // "no data", "no data: cold engine", "6 of 10 samples", "too spread: 4.1 %"
    std::string reason;
};
// The cells most worth driving next, at most `most`: those without a proposal that lie next to
// measured cells first (they extend the tuned area; the most surrounded first), then those with
// some data but not enough (the nearest to enough first). The rpm and load to hold are the cell's
// breakpoints; `minSamples` is what a proposal needs, as the reasons tell it.
[[nodiscard]] std::vector<CellToDrive> cellsToDriveNext(
    const AutoTuneProposal& proposal, const TuneMap& tune, std::size_t most = 10,
    double minSamples = AutoTuneSettings{}.minSamples);
// "P05 N08: hold 3200 rpm at load 4500 (no data)"
[[nodiscard]] std::string driveLine(const CellToDrive& cell);

}  // namespace tunalyx
