#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "maps/map_axes.h"
#include "session/auto_tuned_cells.h"
#include "versions/tune.h"

namespace tunalyx {

// Engines are lost to timing or leaning out under boost written by mistake. Before a write goes
// out, the tune it sends is weighed against the one the unit holds, and each of these is named
// with its cell or setting, the old and the new value:
//   - an Inj Map cell of a boost row made leaner by more than 5 % (new < old x 0.95);
//   - an Ign Map cell of a boost row advanced by more than 2 degrees;
//   - a raised rev limit or boost cut (the boost maxima that cut fuel);
//   - an Inj Map cell at the lowest or highest raw value the map holds that was not there before.
// An Inj Map cell still holding what auto-tune set is its proposal, and passes.

// Boost rows by row - 1.
using BoostRows = std::array<bool, kMapRows>;

// The load rows where boost begins and above: those in which the target A/F table asks for richer
// than 14.7 anywhere; when no row does, the top third of the load breakpoints.
[[nodiscard]] BoostRows boostRows(const MapField& targetAfr, const MapAxes& axes);

// The risks of sending `sent` to a unit holding `unit`, among the values that lie in `blocks`
// (what the write sends): one line each, "Ign Map N14 P17: 18 -> 23 degrees (+5)".
[[nodiscard]] std::vector<std::string> writeRisks(const Tune& unit, const Tune& sent,
                                                  const BoostRows& boost,
                                                  const AutoTunedCells& autoTuned,
                                                  const std::vector<std::uint8_t>& blocks);

// The blocks holding everything the risks weigh: the Inj and Ign Maps, the rev limit, the boost
// cut.
[[nodiscard]] std::vector<std::uint8_t> riskBlocks(const Tune& tune);

// The question asked before a risky write: every risk, at most 20 lines, then "and N more".
[[nodiscard]] std::string riskQuestion(const std::vector<std::string>& risks);

}  // namespace tunalyx
