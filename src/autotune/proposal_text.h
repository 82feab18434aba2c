#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "autotune/autotune.h"
#include "autotune/cell_prediction.h"
#include "autotune/curve_tune.h"
#include "maps/map_tracer.h"
#include "model/number_format.h"

namespace tunalyx {

// How the Auto Tune window tells the cells of a proposal.

// The change in % a cell shows, one decimal with its sign ("+3.7", "-2.1", "0.0"): the change
// proposed, or for a cell left alone for want of data or by a lock, the change its readings ask
// for; empty for a cell no reading reached.
[[nodiscard]] std::string cellChangeText(const CellResult& cell, const NumberLocale& locale);

// The verdict in words: "proposed", "not enough data: 6 of 10 samples", "spread 4.2 % above 3 %",
// "locked", "change below one step", "beyond the map's range 0.500-1.496", "no readings".
// `valueText` writes an Inj Map raw value as the grid shows it.
using RawText = std::function<std::string(std::int32_t raw)>;
[[nodiscard]] std::string verdictText(const CellResult& cell, const AutoTuneSettings& settings,
                                      const MapDescriptor& codec, const RawText& valueText,
                                      const NumberLocale& locale);

// The tool tip: samples (effective count), spread, correction, old -> new value, the verdict, one
// a line. A cell locked after the analysis says so too.
[[nodiscard]] std::string cellToolTip(const CellResult& cell, bool locked,
                                      const AutoTuneSettings& settings, const MapDescriptor& codec,
                                      const RawText& valueText, const NumberLocale& locale);

// The colours of the analysis grids, as the map tracer keeps them: 0x00BBGGRR.
[[nodiscard]] constexpr CellColour rgb(int r, int g, int b) {
    return static_cast<CellColour>(r) | static_cast<CellColour>(g) << 8 |
           static_cast<CellColour>(b) << 16;
}
// `share` of the way from `from` to `to`, channel by channel.
[[nodiscard]] CellColour blend(CellColour from, CellColour to, double share);

// A cell's background: warm for more fuel (it reads lean), cool for less, deeper the nearer the
// change comes to the limit; grey without a proposal for want of data. Locked cells are hatched
// over it and cells whose change reaches beyond the map's range stand out in violet, in bold.
struct CellLook {
    CellColour background = kNormalBackground;
    bool dimmed = false;     // grey text
    bool hatched = false;    // locked
    bool flagged = false;    // bold text
    bool predicted = false;  // a hatch of its own: a value from the neighbours, not measured
};
[[nodiscard]] CellLook cellLook(const CellResult& cell, bool locked, double maxChangePercent);

// A cell no log measured, with a prediction: the colour its predicted change would have, text
// and tool tip saying what it is and whether Apply Predictions writes it (`leastConfidence`).
[[nodiscard]] CellLook predictedLook(const CellPrediction& p, bool locked, double maxChangePercent);
[[nodiscard]] std::string predictedChangeText(const CellPrediction& p, const NumberLocale& locale);
[[nodiscard]] std::string predictedToolTip(const CellPrediction& p, double leastConfidence,
                                           const RawText& valueText, const NumberLocale& locale);

// A row of the Warm-up and Acceleration tabs: the point's coolant C or rpm, the value held, the
// value proposed, the change in % (empty without one), its cold starts or tip-ins, and why it has
// no proposal.
[[nodiscard]] std::array<std::string, 6> curvePointRow(const CurvePointResult& point,
                                                       CurveKind kind, const NumberLocale& locale);
// "From 4 cold starts. Rejected: ..." as the tab says what the proposal rests on.
[[nodiscard]] std::string curveUsedLine(const CurveProposal& proposal);

// The locks as the settings store keeps them: 400 characters "0" or "1", row by row from P01 N01.
// Any other text locks nothing.
[[nodiscard]] std::string locksText(const CellLocks& locks);
[[nodiscard]] CellLocks locksOf(std::string_view text);

}  // namespace tunalyx
