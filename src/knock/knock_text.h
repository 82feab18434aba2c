#pragma once

#include <string>

#include "autotune/proposal_text.h"
#include "knock/knock_analysis.h"

namespace tunalyx {

// How the Knock window tells the cells of an analysis.

// The events a cell shows, one decimal ("2.5"), and where retard is proposed the new value as
// the grid writes it ("2.5→21", UTF-8); empty for a cell never visited.
[[nodiscard]] std::string knockCellText(const KnockCell& cell, const RawText& valueText,
                                        const NumberLocale& locale);

// The tool tip: "Events 2.5 (lean knock 1.0), samples 812, peak 74, floor 14", then the proposal
// ("retard 2 degrees: 23.0 -> 21.0") or why there is none, one a line.
[[nodiscard]] std::string knockToolTip(const KnockCell& cell, bool locked,
                                       const NumberLocale& locale);

// A cell's look: visited and quiet plain, a single event light amber, retard from orange to red
// as it nears the most per pass, retarded already light blue; lean knock framed in blue, locked
// cells as Auto Tune shows them.
struct KnockLook {
    CellLook cell;
    bool leanFrame = false;
};
[[nodiscard]] KnockLook knockCellLook(const KnockCell& cell, bool locked, double maxRetard);
[[nodiscard]] CellColour leanKnockFrame();

// "12 events in 2 logs; 3 cells to retard, 4 watched; 1 with lean knock: fix fuel first", or the
// analysis's problem.
[[nodiscard]] std::string knockSummary(const KnockAnalysis& analysis, std::size_t logs);

}  // namespace tunalyx
