#include "autotune/curve_tune.h"

namespace tunalyx {

const char* curveKindName(CurveKind kind) {
    return kind == CurveKind::WarmUp ? "warmup" : "accel";
}

int CurveProposal::changedPoints() const {
    int n = 0;
    for (const CurvePointResult& p : points)
        n += p.changes();
    return n;
}

std::string CurveProposal::rejectedLine() const {
    return {};  // to be written
}

CurveProposal proposeWarmUp(const std::vector<AutoTuneLog>&, const TuneMap&, const FuelCurves&,
                            const MapField&, const AutoTuneProposal&, const AutoTuneSettings&,
                            const FamilyLayout&) {
    return {};  // to be written
}

CurveProposal proposePump(const std::vector<AutoTuneLog>&, const TuneMap&, const FuelCurves&,
                          const MapField&, const AutoTuneSettings&, const FamilyLayout&) {
    CurveProposal p;
    p.kind = CurveKind::Pump;
    return p;  // to be written
}

int applyCurveProposal(SettingsCodec&, const CurveProposal&) {
    return 0;  // to be written
}

}  // namespace tunalyx
