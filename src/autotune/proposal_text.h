#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "autotune/autotune.h"
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
    bool dimmed = false;   // grey text
    bool hatched = false;  // locked
    bool flagged = false;  // bold text
};
[[nodiscard]] CellLook cellLook(const CellResult& cell, bool locked, double maxChangePercent);

// The locks as the settings store keeps them: 400 characters "0" or "1", row by row from P01 N01.
// Any other text locks nothing.
[[nodiscard]] std::string locksText(const CellLocks& locks);
[[nodiscard]] CellLocks locksOf(std::string_view text);

}  // namespace tunalyx
