#pragma once

#include <string>
#include <utility>
#include <vector>

#include "autotune/autotune.h"
#include "curves/fuel_curves.h"
#include "model/settings_codec.h"

namespace tunalyx {

// Proposals for the fuel curves beyond the Inj Map (the warm-up factor, the accelerator pump)
// from wide-band logs. Each reading is taken one measured delay after the fuel it shows
// (`settings.measuredDelay`, else the assumed delay), and against the Inj Map its log ran on.

enum class CurveKind { WarmUp, Pump };
// "warmup", "accel" as the command line names them.
[[nodiscard]] const char* curveKindName(CurveKind kind);

struct CurvePointResult {
    double x = 0;         // the point's coolant C or rpm
    double oldValue = 0;  // the factor or ms the tune holds
    double newValue = 0;  // equal to oldValue without a proposal
    double weight = 0;    // how much evidence it rests on (readings or tip-ins, tent-weighted)
    int coldStarts = 0;   // warm-up: cold starts whose readings reach this point
    int events = 0;       // pump: tip-ins near this rpm
    // Why there is no proposal ("no readings", "2 tip-ins, 5 needed", "within a display step"),
    // empty with one.
    std::string why;
    [[nodiscard]] bool changes() const { return newValue != oldValue; }
};

struct CurveProposal {
    CurveKind kind = CurveKind::WarmUp;
    std::string name;  // "Water Temp Correction, Corr 1" / "Accelerate Injector, Accel A"
    std::string tag;   // the curve's descriptor in the tune's layout
    std::vector<CurvePointResult> points;
    int used = 0;  // cold starts, or tip-ins, the proposal learned from
    // Readings or tip-ins left out, with why ("lean spike", "throttle lifted", "map not measured
    // there"), in a fixed order.
    std::vector<std::pair<std::string, long>> rejected;
    // Why nothing could be proposed at all, empty otherwise.
    std::string problem;
    [[nodiscard]] int changedPoints() const;
    // "Rejected: map not measured there 120, throttle lifted 3" on one line.
    [[nodiscard]] std::string rejectedLine() const;
};

// The warm-up factor (Corr 1 of Water Temp Correction) from cold starts: each reading below
// `settings.coldBelowC`, with the Inj Map's own error there (`mapProposal`'s correction, made
// from the same logs' warm readings) taken out, asks the factor at its coolant for
// held factor x measured A/F / what the warm map would burn; the points are fitted to those asks
// by least squares over the curve's tents. A change is held to settings.maxChangePercent.
[[nodiscard]] CurveProposal proposeWarmUp(const std::vector<AutoTuneLog>& logs, const TuneMap& tune,
                                          const FuelCurves& curves, const MapField& target,
                                          const AutoTuneProposal& mapProposal,
                                          const AutoTuneSettings& settings,
                                          const FamilyLayout& layout);

// Accel A from tip-ins: after each, the A/F swing one delay later against the A/F just before,
// set against the extra fuel the pump gave (from the tune's curves), says how much of the pump
// the engine wanted; the rpm points take the tent-weighted mean of their tip-ins' asks. A point
// needs kLeastTipIns tip-ins; a change is held to 50 % or settings.maxChangePercent, the larger.
// Where the tip-in takes the engine to cells `mapProposal` measured,
// the A/F just before is carried along by what the map reads there, so that the map's own error
// at the new load is not taken for the pump's; without it the map is analysed here.
inline constexpr int kLeastTipIns = 5;
[[nodiscard]] CurveProposal proposePump(const std::vector<AutoTuneLog>& logs, const TuneMap& tune,
                                        const FuelCurves& curves, const MapField& target,
                                        const AutoTuneSettings& settings,
                                        const FamilyLayout& layout,
                                        const AutoTuneProposal* mapProposal = nullptr);

// Writes the proposal's changed points into the blocks through `codec` (as the curve editor's
// OK does: only bytes that change, their blocks marked for Update). The number of points written.
int applyCurveProposal(SettingsCodec& codec, const CurveProposal& proposal);

}  // namespace tunalyx
