#include "autotune/cell_prediction.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tunalyx {

namespace {

constexpr double kReach = 3;  // grid steps: farther measured cells say nothing of a cell
// A fit's scatter of this many percent halves the confidence.
constexpr double kHalvingScatterPercent = 1;

bool measured(CellVerdict v) {
    return v == CellVerdict::Proposed || v == CellVerdict::NoChange || v == CellVerdict::OutOfRange;
}

const CellResult& cellOf(const AutoTuneProposal& p, int row, int col) {
    return p.cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

struct Source {
    double dx;
    double dy;
    double weight;
    double correction;  // the measured cell's, minus 1
};

// The correction at the origin from sources around it: a weighted plane through them where they
// span both axes (a smooth field's slope is kept, a hole's edge is not pulled to its near side),
// their weighted mean otherwise; never beyond the corrections they hold.
double fitAtOrigin(const std::vector<Source>& sources, double& scatter) {
    double sw = 0, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0, sc = 0, sxc = 0, syc = 0;
    double low = sources.front().correction;
    double high = low;
    for (const Source& s : sources) {
        sw += s.weight;
        sx += s.weight * s.dx;
        sy += s.weight * s.dy;
        sxx += s.weight * s.dx * s.dx;
        syy += s.weight * s.dy * s.dy;
        sxy += s.weight * s.dx * s.dy;
        sc += s.weight * s.correction;
        sxc += s.weight * s.dx * s.correction;
        syc += s.weight * s.dy * s.correction;
        low = std::min(low, s.correction);
        high = std::max(high, s.correction);
    }
    double a = sc / sw;
    double bx = 0;
    double by = 0;
    // The 3 x 3 normal equations by Cramer's rule; a nearly flat determinant means the sources
    // lie on a line, and the mean is all they tell.
    const double det =
        sw * (sxx * syy - sxy * sxy) - sx * (sx * syy - sxy * sy) + sy * (sx * sxy - sxx * sy);
    if (sources.size() >= 3 && std::abs(det) > 1e-9 * sw * sw * sw) {
        a = (sc * (sxx * syy - sxy * sxy) - sx * (sxc * syy - sxy * syc) +
             sy * (sxc * sxy - sxx * syc)) /
            det;
        bx = (sw * (sxc * syy - syc * sxy) - sc * (sx * syy - sxy * sy) +
              sy * (sx * syc - sxc * sy)) /
             det;
        by = (sw * (sxx * syc - sxy * sxc) - sx * (sx * syc - sxc * sy) +
              sc * (sx * sxy - sxx * sy)) /
             det;
    }
    double squares = 0;
    for (const Source& s : sources) {
        const double off = s.correction - (a + bx * s.dx + by * s.dy);
        squares += s.weight * off * off;
    }
    scatter = std::sqrt(squares / sw);
    return std::clamp(a, low, high);
}

}  // namespace

CellPredictions predictUnmeasured(const AutoTuneProposal& proposal, const TuneMap& tune,
                                  const CellLocks& locks, const AutoTuneSettings& settings) {
    CellPredictions out{};
    const int reach = static_cast<int>(kReach);
    const double lowest = tune.codec.min * tune.codec.scale + tune.codec.offset;
    const double highest = tune.codec.max * tune.codec.scale + tune.codec.offset;
    std::vector<Source> sources;
    for (int row = 0; row < kMapAxisSize; ++row) {
        for (int col = 0; col < kMapAxisSize; ++col) {
            const CellResult& cell = cellOf(proposal, row, col);
            CellPrediction& p = out[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
            p.oldRaw = p.newRaw =
                tune.raw[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
            p.oldValue = p.newValue = tune.value(row, col);
            if (locks[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] ||
                (cell.verdict != CellVerdict::NoData && cell.verdict != CellVerdict::TooFew))
                continue;
            sources.clear();
            double nearest = kReach + 1;
            for (int r = std::max(0, row - reach); r <= std::min(kMapAxisSize - 1, row + reach);
                 ++r)
                for (int c = std::max(0, col - reach); c <= std::min(kMapAxisSize - 1, col + reach);
                     ++c) {
                    const CellResult& from = cellOf(proposal, r, c);
                    const double dx = c - col;
                    const double dy = r - row;
                    const double d = std::hypot(dx, dy);
                    if (!measured(from.verdict) || d > kReach) continue;
                    sources.push_back({dx, dy, 1 / (d * d), from.correction - 1});
                    nearest = std::min(nearest, d);
                }
            if (sources.empty()) continue;
            double scatter = 0;
            const double correction = 1 + fitAtOrigin(sources, scatter);
            const double limit = settings.maxChangePercent / 100;
            const double wanted = std::clamp(
                p.oldValue * std::clamp(correction, 1 - limit, 1 + limit), lowest, highest);
            p.predicted = true;
            p.newRaw = static_cast<std::int32_t>(
                std::lround((wanted - tune.codec.offset) / tune.codec.scale));
            p.newValue = p.newRaw * tune.codec.scale + tune.codec.offset;
            // Near and agreeing neighbours, and more than one of them, make a sure prediction.
            const auto n = static_cast<double>(sources.size());
            p.confidence =
                (1 / nearest) * (n / (n + 1)) / (1 + scatter * 100 / kHalvingScatterPercent);
        }
    }
    return out;
}

std::vector<CellText> applyPredictions(MapGrids& maps, const CellPredictions& predictions,
                                       double leastConfidence,
                                       const std::optional<CellRange>& only) {
    return storeCells(
        maps, kInjMap,
        [&](int row, int col) -> std::optional<std::int32_t> {
            const CellPrediction& p =
                predictions[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col - 1)];
            if (!p.changes() || p.confidence < leastConfidence) return std::nullopt;
            return p.newRaw;
        },
        only);
}

std::vector<CellToDrive> cellsToDriveNext(const AutoTuneProposal& proposal, const TuneMap& tune,
                                          std::size_t most, double minSamples) {
    struct Candidate {
        CellToDrive cell;
        int measuredNeighbours;
        double samples;
    };
    std::vector<Candidate> candidates;
    for (int row = 0; row < kMapAxisSize; ++row) {
        for (int col = 0; col < kMapAxisSize; ++col) {
            const CellResult& cell = cellOf(proposal, row, col);
            if (cell.verdict != CellVerdict::NoData && cell.verdict != CellVerdict::TooFew &&
                cell.verdict != CellVerdict::TooSpread)
                continue;
            int neighbours = 0;
            for (int r = std::max(0, row - 1); r <= std::min(kMapAxisSize - 1, row + 1); ++r)
                for (int c = std::max(0, col - 1); c <= std::min(kMapAxisSize - 1, col + 1); ++c)
                    neighbours += measured(cellOf(proposal, r, c).verdict);
            // A cell far from the tuned area with nothing read in it is any of the rest of the
            // map: not worth a line of its own.
            if (neighbours == 0 && cell.verdict == CellVerdict::NoData) continue;
            std::string reason;
            char text[64];
            if (cell.verdict == CellVerdict::NoData) {
                // Driven, but only as nothing can be read (cold, in fuel cut...): say so.
                reason = "no data";
                if (cell.rejected > 0)
                    reason += std::string(": ") + rejectionName(cell.mostlyRejectedAs);
            } else if (cell.verdict == CellVerdict::TooFew) {
                std::snprintf(text, sizeof text, "%ld of %ld samples",
                              static_cast<long>(std::floor(cell.samples)), std::lround(minSamples));
                reason = text;
            } else {
                std::snprintf(text, sizeof text, "too spread: %.1f %%", cell.spreadPercent);
                reason = text;
            }
            candidates.push_back({{row, col, tune.axes.column[static_cast<std::size_t>(col)],
                                   tune.axes.row[static_cast<std::size_t>(row)], reason},
                                  neighbours,
                                  cell.samples});
        }
    }
    // Those that extend the tuned area first, the most surrounded first; then the nearest to
    // enough samples. Ties in grid order, so the list never shuffles.
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        const bool nextA = a.measuredNeighbours > 0;
        const bool nextB = b.measuredNeighbours > 0;
        if (nextA != nextB) return nextA;
        if (a.measuredNeighbours != b.measuredNeighbours)
            return a.measuredNeighbours > b.measuredNeighbours;
        if (a.samples != b.samples) return a.samples > b.samples;
        if (a.cell.row != b.cell.row) return a.cell.row < b.cell.row;
        return a.cell.col < b.cell.col;
    });
    std::vector<CellToDrive> out;
    for (std::size_t k = 0; k < candidates.size() && k < most; ++k)
        out.push_back(candidates[k].cell);
    return out;
}

std::string driveLine(const CellToDrive& cell) {
    return cellRangeText({cell.row + 1, cell.col + 1, cell.row + 1, cell.col + 1}) + ": hold " +
           std::to_string(std::lround(cell.rpm)) + " rpm at load " +
           std::to_string(std::lround(cell.load)) + " (" + cell.reason + ")";
}

}  // namespace tunalyx
