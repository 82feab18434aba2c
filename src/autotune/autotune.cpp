#include "autotune/autotune.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <deque>
#include <limits>
#include <optional>

#include "autotune/log_samples.h"
#include "autotune/robust_stats.h"
#include "curves/fuel_curves.h"
#include "model/descriptors.h"
#include "monitor/log_groups.h"
#include "monitor/log_reader.h"

namespace tunalyx {

namespace {

constexpr double kGlobalBand = 0.015;  // either side of the median: a 3 % band
constexpr double kGlobalShare = 0.8;
constexpr double kGlobalLeast = 0.03;  // a smaller common error is no cause of its own
constexpr int kGlobalLeastCells = 5;
// A change must stand this many standard errors of the cell's estimate clear of the rounding,
// or a cell would follow its own noise back and forth from pass to pass.
constexpr double kChangeStandardErrors = 2;

struct Reading {
    std::array<CellShare, 4> shares;
    std::array<double, 4> held;  // the value each share's cell had when the reading was taken
    double correction;           // measured / target A/F
    double level;                // what it asks of its dominant cell, relative to the map's value
    int dominant;                // the cell with the largest share, row * 20 + column
    double seconds;
    double afr;
};

bool onAxis(double v, const std::array<double, kMapAxisSize>& axis) {
    return std::isfinite(v) && v >= axis.front() && v <= axis.back();
}

bool onMap(double rpm, double load, const MapAxes& axes) {
    return onAxis(rpm, axes.column) && onAxis(load, axes.row);
}

struct Point {
    double rpm;
    double load;
};

// The operating point at `t`, between the samples around it, at or before `hint`.
Point pointAt(const LogSamples& samples, double t, int hint) {
    return {samples.rpmAt(t, hint), samples.loadAt(t, hint)};
}

// A misfire's spike: a reading that leaves the range of the readings just before it by far,
// with the sensor's rise into it and its slower return, whose small end would still lean the
// cell. The cell's median cannot tell: a cell crossed in a few pulls only may hold more of a
// spike than of anything else.
class SpikeFilter {
public:
    static constexpr double kJump = 0.08;      // beyond the recent range; noise never gets there
    static constexpr double kRiseBand = 0.02;  // off the recent median: on the way up already
    static constexpr double kRiseSeconds = 0.1;
    static constexpr double kTailSeconds = 0.4;  // after its last reading beyond the jump
    static constexpr double kRecentFrom = 0.3;   // the readings compared with, before the rise
    static constexpr double kRecentTo = 0.1;
    static constexpr std::size_t kLeastRecent = 5;

    // Whether a reading that passed every other test belongs to a spike; one that does not is
    // kept as a recent reading.
    bool spike(double t, double afr) {
        while (!m_recent.empty() && m_recent.front().seconds < t - kRecentFrom)
            m_recent.pop_front();
        m_values.clear();
        double low = std::numeric_limits<double>::infinity();
        double high = -low;
        for (const Recent& r : m_recent) {
            if (r.seconds > t - kRecentTo) break;
            m_values.push_back(r.afr);
            low = std::min(low, r.afr);
            high = std::max(high, r.afr);
        }
        if (m_values.size() >= kLeastRecent &&
            (afr > high * (1 + kJump) || afr < low * (1 - kJump))) {
            const auto mid = m_values.begin() + static_cast<std::ptrdiff_t>(m_values.size() / 2);
            std::nth_element(m_values.begin(), mid, m_values.end());
            m_base = *mid;
            m_until = t + kTailSeconds;
            return true;
        }
        if (t <= m_until) return true;
        m_recent.push_back({t, afr});
        return false;
    }
    // A reading kept before a spike seen at `t`, on its way up.
    [[nodiscard]] bool onRise(double t, const Reading& r) const {
        return r.seconds >= t - kRiseSeconds && std::abs(r.afr / m_base - 1) > kRiseBand;
    }

private:
    struct Recent {
        double seconds;
        double afr;
    };
    std::deque<Recent> m_recent;
    std::vector<double> m_values;
    double m_base = 1;
    double m_until = -std::numeric_limits<double>::infinity();
};

// Whether the throttle opened into sample k fast enough to fire the accelerator pump.
bool openingFast(const LogSamples& samples, int k) {
    if (k < 1) return false;
    const double span = samples.seconds(k) - samples.seconds(k - 1);
    const double travel =
        (samples.throttle(k) - samples.throttle(k - 1)) / (AccelPump::kCountsPerTravel / 51);
    return span > 0 && travel / span > AccelPump::kTipInRate;
}

// Why a sample's reading cannot be used on its own terms, or nothing.
std::optional<Rejection> readingRejection(const LogSamples& samples, int i, bool startOfRun,
                                          const AutoTuneSettings& s) {
    if (startOfRun) return Rejection::StartOfRun;
    if (samples.water(i) < s.coldBelowC) return Rejection::Cold;
    const double afr = samples.afr(i);
    if (!(afr >= s.lowestAfr && afr <= s.highestAfr)) return Rejection::Railed;
    return std::nullopt;
}

// Where and how long ago the gas read at a sample was burned.
struct Burn {
    Point point;
    double delay;
};

Burn burnOf(const LogSamples& samples, int i, const AutoTuneSettings& s) {
    // The gas read now was burned one delay ago, at the point the engine was in then; the
    // delay itself depends on that point, so it is worked out twice.
    const double t = samples.seconds(i);
    Point burned{samples.rpm(i), samples.load(i)};
    double delay = delaySecondsOf(s, burned.rpm, burned.load);
    if (s.alignDelay) {
        burned = pointAt(samples, t - delay, i);
        delay = delaySecondsOf(s, burned.rpm, burned.load);
        burned = pointAt(samples, t - delay, i);
    }
    return {burned, delay};
}

// Why what the engine did around the burn spoils the reading (a fuel cut, a transient), or
// nothing.
std::optional<Rejection> engineRejection(const LogSamples& samples, int i, double delay,
                                         double lastCut, const AutoTuneSettings& s) {
    const double t = samples.seconds(i);
    if (lastCut >= t - delay - s.afterFuelCutSeconds) return Rejection::FuelCut;
    // From before the burn (a tip-in's extra fuel lasts a while) to the reading.
    const double from = t - delay - s.enrichmentSeconds;
    // The accelerator pump was feeding the burn: its fuel is not the map's.
    const double burned = t - delay;
    for (int k = samples.before(from, i); k < i && samples.seconds(k) <= burned; ++k)
        if (openingFast(samples, k)) return Rejection::Transient;
    if (movedTooFast(samples, i, from, steadyLimits(s))) return Rejection::Transient;
    return std::nullopt;
}

// Whether a cell the reading falls on was written too lately for the fuel read to be its own.
bool cellRewritten(const Reading& r, double delay, const AutoTuneSettings& s) {
    return std::any_of(r.shares.begin(), r.shares.end(), [&](const CellShare& share) {
        const double written = s.writtenAtSeconds[static_cast<std::size_t>(share.row)]
                                                 [static_cast<std::size_t>(share.col)];
        return share.weight > 0 && r.seconds < written + delay + s.afterFuelCutSeconds;
    });
}

// The cell with the largest share, row * 20 + column.
int dominantCell(const std::array<CellShare, 4>& shares) {
    const auto most = std::max_element(
        shares.begin(), shares.end(),
        [](const CellShare& a, const CellShare& b) { return a.weight < b.weight; });
    return most->row * kMapAxisSize + most->col;
}

// Readings left out, by the cell the engine was mostly in and the reason.
using RejectedByCell =
    std::array<std::array<std::array<long, kRejectionCount>, kMapAxisSize>, kMapAxisSize>;

void readLog(const AutoTuneLog& input, const TuneMap& tune, const MapField& target,
             const AutoTuneSettings& s, ReadingCounts& counts, RejectedByCell& byCell,
             std::vector<Reading>& readings) {
    const LogStore& log = *input.log;
    const LogSamples samples(log, s.afrItem);
    const RanOnSegments segments(input.ranOn, tune);
    const int n = samples.count();
    if (n < 1) return;
    const double start = samples.seconds(0);
    double lastCut = -std::numeric_limits<double>::infinity();
    int i = 0;
    const auto reject = [&](Rejection r) {
        ++counts.rejected[static_cast<std::size_t>(r)];
        const double rpm = samples.rpm(i);
        const double load = samples.load(i);
        if (!onMap(rpm, load, tune.axes)) return;
        const int cell = dominantCell(bilinearShares(tune.axes, rpm, load));
        ++byCell[static_cast<std::size_t>(cell / kMapAxisSize)]
                [static_cast<std::size_t>(cell % kMapAxisSize)][static_cast<std::size_t>(r)];
    };
    const auto rejected = [&](std::optional<Rejection> why) {
        if (why) reject(*why);
        return why.has_value();
    };
    const std::size_t firstOfLog = readings.size();
    SpikeFilter spikes;
    for (i = 0; i < n; ++i) {
        ++counts.total;
        const double t = samples.seconds(i);
        if (samples.injMs(i) <= 0) lastCut = t;
        const bool startOfRun = !input.continuesRun && t - start < s.startOfRunSeconds;
        if (rejected(readingRejection(samples, i, startOfRun, s))) continue;
        if (!onMap(samples.rpm(i), samples.load(i), tune.axes)) {
            reject(Rejection::OffMap);
            continue;
        }
        const Burn burn = burnOf(samples, i, s);
        if (!onMap(burn.point.rpm, burn.point.load, tune.axes)) {
            reject(Rejection::OffMap);
            continue;
        }
        if (rejected(engineRejection(samples, i, burn.delay, lastCut, s))) continue;
        const double afr = samples.afr(i);
        if (spikes.spike(t, afr)) {
            reject(Rejection::Outlier);
            while (readings.size() > firstOfLog && spikes.onRise(t, readings.back())) {
                readings.pop_back();
                reject(Rejection::Outlier);
            }
            continue;
        }
        // The gas read may have burned under the tune before a change of tune.
        const std::size_t segment = segments.of(i);
        if (segments.of(samples.before(t - burn.delay - s.afterFuelCutSeconds, i)) != segment) {
            reject(Rejection::Rewritten);
            continue;
        }
        const Point& p = burn.point;
        Reading r{bilinearShares(tune.axes, p.rpm, p.load),
                  {},
                  afr / interpolateField(target, tune.axes, p.rpm, p.load),
                  0,
                  0,
                  t,
                  afr};
        if (cellRewritten(r, burn.delay, s)) {
            reject(Rejection::Rewritten);
            continue;
        }
        const MapField& held = segments.held(segment);
        for (std::size_t k = 0; k < r.shares.size(); ++k)
            r.held[k] = held[static_cast<std::size_t>(r.shares[k].row)]
                            [static_cast<std::size_t>(r.shares[k].col)];
        r.dominant = dominantCell(r.shares);
        const int row = r.dominant / kMapAxisSize;
        const int col = r.dominant % kMapAxisSize;
        const double now = tune.value(row, col);
        const double wasHeld = held[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
        r.level = now > 0 ? r.correction * wasHeld / now : r.correction;
        readings.push_back(r);
    }
}

// Readings far from the rest of their cell (a misfire's spike) are dropped.
void dropOutliers(std::vector<Reading>& readings, double mads, ReadingCounts& counts) {
    std::vector<std::vector<double>> byCell(kMapAxisSize * kMapAxisSize);
    for (const Reading& r : readings)
        byCell[static_cast<std::size_t>(r.dominant)].push_back(r.level);
    std::vector<double> centre(byCell.size(), 0);
    std::vector<double> reach(byCell.size(), 0);
    for (std::size_t c = 0; c < byCell.size(); ++c) {
        std::vector<double>& values = byCell[c];
        if (values.empty()) continue;
        centre[c] = median(values);
        for (double& v : values)
            v = std::abs(v - centre[c]);
        reach[c] = mads * kMadToSigma * std::max(median(values), kSmallestMad);
    }
    const auto outlier = [&](const Reading& r) {
        const auto c = static_cast<std::size_t>(r.dominant);
        return std::abs(r.level - centre[c]) > reach[c];
    };
    const auto kept = std::remove_if(readings.begin(), readings.end(), outlier);
    counts.rejected[static_cast<std::size_t>(Rejection::Outlier)] += readings.end() - kept;
    readings.erase(kept, readings.end());
}

// A cell's readings, each weighted by its share of the cell: the value the cell held when read
// (h) and the value it asks for (v = h x correction).
struct CellSums {
    double w = 0, wh = 0, wv = 0, wvv = 0;
    long mostly = 0;  // readings it holds the largest share of
};
using SumGrid = std::array<std::array<CellSums, kMapAxisSize>, kMapAxisSize>;

SumGrid cellSums(const std::vector<Reading>& readings) {
    SumGrid sums{};
    for (const Reading& r : readings) {
        for (std::size_t k = 0; k < r.shares.size(); ++k) {
            const CellShare& share = r.shares[k];
            if (share.weight <= 0) continue;
            CellSums& cell =
                sums[static_cast<std::size_t>(share.row)][static_cast<std::size_t>(share.col)];
            const double v = r.held[k] * r.correction;
            cell.w += share.weight;
            cell.wh += share.weight * r.held[k];
            cell.wv += share.weight * v;
            cell.wvv += share.weight * v * v;
        }
        ++sums[static_cast<std::size_t>(r.dominant / kMapAxisSize)]
              [static_cast<std::size_t>(r.dominant % kMapAxisSize)]
                  .mostly;
    }
    return sums;
}

// What a cell's readings ask for: the value it held when read and the value wanted, weighted
// means of its readings.
struct Asked {
    double held;
    double wanted;
};

// Every reading's fuel is the map interpolated between its cells, so what it asks of one cell
// depends on what its neighbours hold. A cell's own mean takes its neighbours' errors as its
// own, and where its readings lean on a neighbour it settles wrong, pass after pass. The values
// are fitted together instead: least squares over all readings, with a faint pull of neighbouring
// corrections towards each other for the cells the readings barely tell apart. Locked cells keep
// their values. Cells without readings are left out.
class JointFit {
public:
    JointFit(const std::vector<Reading>& readings, const SumGrid& sums, const TuneMap& tune,
             const CellLocks& locks) {
        auto& index = m_index;
        for (int row = 0; row < kMapAxisSize; ++row)
            for (int col = 0; col < kMapAxisSize; ++col) {
                const auto r = static_cast<std::size_t>(row);
                const auto c = static_cast<std::size_t>(col);
                index[r][c] = -1;
                if (sums[r][c].w <= 0 || locks[r][c]) continue;
                m_base[r][c] = sums[r][c].wh / sums[r][c].w;
                if (m_base[r][c] <= 0) continue;
                index[r][c] = m_size++;
            }
        const auto n = static_cast<std::size_t>(m_size);
        std::vector<double> a(n * n, 0);
        std::vector<double> b(n, 0);
        std::array<double, 4> coef{};
        std::array<int, 4> at{};
        for (const Reading& reading : readings) {
            double wanted = 0;
            double fixed = 0;
            for (std::size_t k = 0; k < reading.shares.size(); ++k) {
                const CellShare& share = reading.shares[k];
                const auto r = static_cast<std::size_t>(share.row);
                const auto c = static_cast<std::size_t>(share.col);
                wanted += share.weight * reading.held[k] * reading.correction;
                at[k] = share.weight > 0 ? index[r][c] : -1;
                coef[k] = share.weight * m_base[r][c];
                if (share.weight > 0 && at[k] < 0)
                    fixed += share.weight * tune.value(share.row, share.col);
            }
            for (std::size_t k = 0; k < 4; ++k) {
                if (at[k] < 0) continue;
                const auto p = static_cast<std::size_t>(at[k]);
                b[p] += coef[k] * (wanted - fixed);
                for (std::size_t j = 0; j < 4; ++j)
                    if (at[j] >= 0) a[p * n + static_cast<std::size_t>(at[j])] += coef[k] * coef[j];
            }
        }
        for (int row = 0; row < kMapAxisSize; ++row)
            for (int col = 0; col < kMapAxisSize; ++col) {
                const int p = index[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
                if (p < 0) continue;
                for (const auto& [r, c] : {std::pair{row + 1, col}, std::pair{row, col + 1}}) {
                    if (r >= kMapAxisSize || c >= kMapAxisSize) continue;
                    const int q = index[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
                    if (q < 0) continue;
                    const double pull =
                        kNeighbourPull *
                        m_base[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] *
                        m_base[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
                    const auto i = static_cast<std::size_t>(p);
                    const auto j = static_cast<std::size_t>(q);
                    a[i * n + i] += pull;
                    a[j * n + j] += pull;
                    a[i * n + j] -= pull;
                    a[j * n + i] -= pull;
                }
            }
        m_solved = solveSymmetric(a, b, n);
        m_x = std::move(b);
    }

    // The value the readings ask of a cell, fitted with its neighbours; nothing when it was left
    // out or the fit failed.
    [[nodiscard]] std::optional<double> wanted(int row, int col) const {
        if (!m_solved) return std::nullopt;
        const auto r = static_cast<std::size_t>(row);
        const auto c = static_cast<std::size_t>(col);
        if (m_index[r][c] < 0) return std::nullopt;
        return m_base[r][c] * m_x[static_cast<std::size_t>(m_index[r][c])];
    }

private:
    // Strength of the pull between neighbouring corrections, in readings squarely on a cell.
    static constexpr double kNeighbourPull = 5;

    // Cholesky; `b` becomes the solution. False when `a` is not positive definite.
    static bool solveSymmetric(std::vector<double>& a, std::vector<double>& b, std::size_t n) {
        for (std::size_t j = 0; j < n; ++j) {
            double d = a[j * n + j];
            for (std::size_t k = 0; k < j; ++k)
                d -= a[j * n + k] * a[j * n + k];
            if (!(d > 0)) return false;
            const double root = std::sqrt(d);
            a[j * n + j] = root;
            for (std::size_t i = j + 1; i < n; ++i) {
                double v = a[i * n + j];
                for (std::size_t k = 0; k < j; ++k)
                    v -= a[i * n + k] * a[j * n + k];
                a[i * n + j] = v / root;
            }
        }
        for (std::size_t i = 0; i < n; ++i) {
            double v = b[i];
            for (std::size_t k = 0; k < i; ++k)
                v -= a[i * n + k] * b[k];
            b[i] = v / a[i * n + i];
        }
        for (std::size_t i = n; i-- > 0;) {
            double v = b[i];
            for (std::size_t k = i + 1; k < n; ++k)
                v -= a[k * n + i] * b[k];
            b[i] = v / a[i * n + i];
        }
        return true;
    }

    // What each cell's correction is relative to: the value its readings were taken on, so the
    // same readings fit the same values whatever the cells hold now.
    MapField m_base{};
    std::array<std::array<int, kMapAxisSize>, kMapAxisSize> m_index{};  // -1: left out
    int m_size = 0;
    bool m_solved = false;
    std::vector<double> m_x;
};

// The cell's samples, correction and spread from its sums, and the verdict of a cell that is not
// to change; what it asks for when its readings are enough to give it a new value.
std::optional<Asked> measureCell(CellResult& cell, const CellSums& sum, bool locked,
                                 std::optional<double> fitted, const AutoTuneSettings& s) {
    cell.readings = sum.mostly;
    if (sum.w <= 0) return std::nullopt;
    Asked asked{sum.wh / sum.w, sum.wv / sum.w};
    // A reading at a neighbour's corner mostly measures the neighbour: counted whole, a cell
    // touched only that way would be moved by its neighbour's error.
    cell.samples = sum.w;
    // Against the value in the map now; a cell at 0 can only be told against what it held.
    cell.correction = asked.wanted / (cell.oldValue > 0 ? cell.oldValue : asked.held);
    cell.spreadPercent = std::sqrt(std::max(0.0, sum.wvv / sum.w - asked.wanted * asked.wanted)) /
                         asked.wanted * 100;
    if (fitted && *fitted > 0) {
        asked.wanted = *fitted;
        cell.correction = asked.wanted / (cell.oldValue > 0 ? cell.oldValue : asked.held);
    }
    if (locked)
        cell.verdict = CellVerdict::Locked;
    else if (cell.samples < s.minSamples)
        cell.verdict = CellVerdict::TooFew;
    else if (cell.spreadPercent > s.maxSpreadPercent)
        cell.verdict = CellVerdict::TooSpread;
    if (cell.verdict != CellVerdict::NoData) return std::nullopt;
    return asked;
}

// The measured cell's new value: the value wanted, held to the largest change from the value the
// readings were taken on and rounded to the map's steps, and its verdict.
void proposeValue(CellResult& cell, const Asked& asked, const MapDescriptor& codec,
                  double maxChangePercent) {
    const double lowest = codec.min * codec.scale + codec.offset;
    const double highest = codec.max * codec.scale + codec.offset;
    // Lean (measured above target) wants more fuel: the value grows by the same factor.
    const double limit = maxChangePercent / 100;
    const double wanted = asked.wanted;
    const double held = asked.held > 0 ? asked.held : wanted;
    const double limited = held * std::clamp(wanted / held, 1 - limit, 1 + limit);
    const auto raw = static_cast<std::int32_t>(
        std::clamp(std::lround((limited - codec.offset) / codec.scale),
                   static_cast<long>(codec.min), static_cast<long>(codec.max)));
    cell.newRaw = raw;
    cell.newValue = raw * codec.scale + codec.offset;
    const double standardError = cell.spreadPercent / 100 / std::sqrt(cell.samples) * wanted;
    if (wanted < lowest || wanted > highest) {
        cell.verdict = CellVerdict::OutOfRange;
    } else if (raw == cell.oldRaw || std::abs(wanted - cell.oldValue) <
                                         codec.scale / 2 + kChangeStandardErrors * standardError) {
        cell.verdict = CellVerdict::NoChange;
        cell.newRaw = cell.oldRaw;
        cell.newValue = cell.oldValue;
    } else {
        cell.verdict = CellVerdict::Proposed;
    }
}

std::string diagnose(const AutoTuneProposal& p, double minSamples) {
    std::vector<double> corrections;
    for (const auto& row : p.cells)
        for (const CellResult& c : row)
            if (c.samples >= minSamples) corrections.push_back(c.correction);
    if (static_cast<int>(corrections.size()) < kGlobalLeastCells) return {};
    const double m = median(corrections);
    const auto nearMedian = std::count_if(corrections.begin(), corrections.end(),
                                          [&](double c) { return std::abs(c - m) <= kGlobalBand; });
    if (static_cast<double>(nearMedian) < kGlobalShare * static_cast<double>(corrections.size()) ||
        std::abs(m - 1) < kGlobalLeast)
        return {};
    return "the whole map reads " + std::to_string(std::lround(std::abs(m - 1) * 100)) + " % " +
           (m > 1 ? "lean" : "rich") + ": check injector size or fuel pressure before tuning cells";
}

}  // namespace

std::array<std::array<double, kMapAxisSize>, kMapAxisSize> AutoTuneSettings::neverWritten() {
    std::array<std::array<double, kMapAxisSize>, kMapAxisSize> never{};
    for (auto& row : never)
        row.fill(-std::numeric_limits<double>::infinity());
    return never;
}

const char* rejectionName(Rejection reason) {
    switch (reason) {
        case Rejection::StartOfRun:
            return "start of run";
        case Rejection::Cold:
            return "cold engine";
        case Rejection::Railed:
            return "A/F out of range";
        case Rejection::OffMap:
            return "off the map";
        case Rejection::FuelCut:
            return "fuel cut";
        case Rejection::Transient:
            return "transient";
        case Rejection::Rewritten:
            return "cell rewritten";
        case Rejection::Outlier:
            return "outlier";
    }
    return "";
}

std::string ReadingCounts::line() const {
    std::string out = "Rejected:";
    for (std::size_t r = 0; r < kRejectionCount; ++r)
        out += std::string(r == 0 ? " " : ", ") + rejectionName(static_cast<Rejection>(r)) + " " +
               std::to_string(rejected[r]);
    return out + " (" + std::to_string(accepted) + " of " + std::to_string(total) + " used)";
}

std::string missingGroupsProblem(const LogStore& log, int item, const std::string& logName,
                                 const std::string& analysis) {
    const TraceItems items;
    const int itemGroup = items.TraceGroup[static_cast<std::size_t>(item)];
    std::string missing;
    int count = 0;
    for (int group = 0; group < kTraceGroupCount; ++group) {
        if ((group != kGroupAdvanced && group != itemGroup) ||
            log.IncludeGroup[static_cast<std::size_t>(group)])
            continue;
        missing += std::string(count++ ? " and " : "") + groupCaption(group);
    }
    if (count == 0) return {};
    return analysis + " needs " + missing + ", and " + logName + " was logged without " +
           (count > 1 ? "them" : "it") + ": tick " + missing + " in the Monitor before logging";
}

namespace {

// Letters and digits only, in lower case: "WB O2" and "wb-o2" read alike.
std::string squeezed(std::string_view text) {
    std::string out;
    for (const char c : text)
        if (std::isalnum(static_cast<unsigned char>(c)))
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The name the user gave AN1, without the "AN1 " or "AN1-AN2 " its heading starts with.
std::string_view an1Name(std::string_view heading) {
    const std::size_t blank = heading.find(' ');
    std::string_view name = blank == std::string_view::npos ? "" : heading.substr(blank + 1);
    while (!name.empty() && name.front() == ' ')
        name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    return name;
}

}  // namespace

bool namesAnAfr(std::string_view heading) {
    const std::string_view name = an1Name(heading);
    // Short names count as words of their own ("AF Ratio", "LC-1"), or "Cyl C1" would be one.
    std::string word;
    for (std::size_t k = 0; k <= name.size(); ++k) {
        const char c = k < name.size() ? name[k] : ' ';
        if (c != ' ' && c != '\t') {
            if (c == '/' || std::isalnum(static_cast<unsigned char>(c)))
                word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            continue;
        }
        for (const std::string_view whole : {"af", "a/f", "wb", "lc1", "lc2"})
            if (word == whole) return true;
        word.clear();
    }
    // Longer ones are found run together too ("WBO2", "Wide Band", "AirFuel").
    const std::string all = squeezed(name);
    for (const std::string_view part : {"afr", "airfuel", "lambda", "wideband", "wbo2", "uego"})
        if (all.find(part) != std::string::npos) return true;
    return false;
}

std::string an1Refusal(std::string_view heading, const std::string& logName) {
    if (namesAnAfr(heading)) return {};
    const std::string_view name = an1Name(heading);
    const std::string quoted = "\"" + std::string(heading) + "\"";
    const std::string start = "the A/F is read from AN1, and AN1 of " + logName + " is ";
    if (name.empty() || squeezed(name) == "raw")
        return start + quoted +
               ", its uncalibrated voltage: calibrate it in Setup > Auxiliary before logging";
    return start + quoted + ", not a calibrated wide-band A/F";
}

std::string an1HeadingOf(std::string_view logText) {
    const LogLines lines(logText);
    if (!lines.isLogFile()) return {};
    const TraceItems items;
    const std::vector<std::string_view> headings = splitFields(lines.header(), '\t');
    const std::size_t calibrated = 4;  // AN1 raw .. AN4 raw, then AN1 as calibrated
    for (std::size_t j = 1; j + calibrated < headings.size(); ++j)
        if (headings[j] == items.TraceName[static_cast<std::size_t>(items.lookup(kGroupAux, 0))] &&
            headings[j + 1] ==
                items.TraceName[static_cast<std::size_t>(items.lookup(kGroupAux, 1))])
            return std::string(headings[j + calibrated]);
    return {};
}

int AutoTuneProposal::changedCells() const {
    int n = 0;
    for (const auto& row : cells)
        for (const CellResult& c : row)
            n += c.changes();
    return n;
}

std::vector<CellText> applyProposal(MapGrids& maps, const AutoTuneProposal& proposal,
                                    const std::optional<CellRange>& only) {
    return storeCells(
        maps, kInjMap,
        [&](int row, int col) -> std::optional<std::int32_t> {
            const CellResult& cell =
                proposal
                    .cells[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col - 1)];
            if (!cell.changes()) return std::nullopt;
            return cell.newRaw;
        },
        only);
}

double delaySecondsOf(const AutoTuneSettings& settings, double rpm, double load) {
    return settings.measuredDelay
               ? settings.measuredDelay->secondsAt(rpm, load, settings.delayScale)
               : assumedDelaySeconds(rpm, load, settings.delayScale);
}

AutoTuneProposal proposeCorrections(const std::vector<AutoTuneLog>& logs, const TuneMap& tune,
                                    const MapField& target, const CellLocks& locks,
                                    const AutoTuneSettings& s) {
    AutoTuneProposal p;
    std::vector<Reading> readings;
    RejectedByCell rejected{};
    for (const AutoTuneLog& input : logs) {
        p.problem = missingGroupsProblem(*input.log, s.afrItem, input.name);
        if (!p.problem.empty()) return p;
        readLog(input, tune, target, s, p.readings, rejected, readings);
    }
    dropOutliers(readings, s.outlierMads, p.readings);
    p.readings.accepted = static_cast<long>(readings.size());

    const SumGrid sums = cellSums(readings);
    const JointFit fit(readings, sums, tune, locks);
    for (int row = 0; row < kMapAxisSize; ++row) {
        for (int col = 0; col < kMapAxisSize; ++col) {
            const auto r = static_cast<std::size_t>(row);
            const auto c = static_cast<std::size_t>(col);
            CellResult& cell = p.cells[r][c];
            cell.oldRaw = cell.newRaw = tune.raw[r][c];
            cell.oldValue = cell.newValue = tune.value(row, col);
            const auto& why = rejected[r][c];
            const auto most = std::max_element(why.begin(), why.end());
            cell.rejected = *most;
            cell.mostlyRejectedAs = static_cast<Rejection>(most - why.begin());
            if (const auto asked =
                    measureCell(cell, sums[r][c], locks[r][c], fit.wanted(row, col), s))
                proposeValue(cell, *asked, tune.codec, s.maxChangePercent);
        }
    }
    p.diagnosis = diagnose(p, s.minSamples);
    return p;
}

}  // namespace tunalyx
