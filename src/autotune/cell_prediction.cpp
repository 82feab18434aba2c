#include "autotune/cell_prediction.h"

namespace tunalyx {

CellPredictions predictUnmeasured(const AutoTuneProposal&, const TuneMap&, const CellLocks&,
                                  const AutoTuneSettings&) {
    return {};  // to be written
}

std::vector<CellText> applyPredictions(MapGrids&, const CellPredictions&, double,
                                       const std::optional<CellRange>&) {
    return {};  // to be written
}

std::vector<CellToDrive> cellsToDriveNext(const AutoTuneProposal&, const TuneMap&, std::size_t) {
    return {};  // to be written
}

std::string driveLine(const CellToDrive&) {
    return {};  // to be written
}

}  // namespace tunalyx
