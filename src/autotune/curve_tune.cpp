#include "autotune/curve_tune.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

#include "autotune/delay_measurement.h"
#include "autotune/log_samples.h"
#include "autotune/robust_stats.h"
#include "curves/curve_descriptor.h"
#include "model/descriptors.h"
#include "model/number_format.h"

namespace tunalyx {

namespace {

constexpr double kWarmUpStep = 1.0 / 64;
constexpr double kPumpStep = 0.004;
// The pump's fuel lasts half a second: a step too far shows at once as a swing the other way,
// and a wall-wetting need may be twice the pump or half of it. It moves further than the map.
constexpr double kLeastPumpChangePercent = 50;
// The pump's fuel is read over its burn and the sensor's lag after it.
constexpr double kLagTail = 4 * kSensorLagSeconds;
constexpr double kGridSeconds = 0.002;
// Tip-ins this close in rpm are alike enough to tell an outlier among them, to this spread of
// their pump's share at the least.
constexpr double kNearRpm = 1000;
constexpr double kSmallestSpread = 0.05;

// Reasons in the order they are listed.
constexpr std::array<const char*, 6> kWarmUpReasons{
    "A/F out of range",       "off the map", "fuel cut", "transient",
    "map not measured there", "outlier"};
constexpr std::array<const char*, 7> kPumpReasons{
    "cold engine", "throttle lifted", "fuel cut", "too close to the last",
    "A/F railed",  "no pump given",   "outlier"};

bool onAxis(double v, const std::array<double, kMapAxisSize>& axis) {
    return std::isfinite(v) && v >= axis.front() && v <= axis.back();
}

// Whether rpm, load or throttle moved faster than a steady reading allows from `from` to sample i.
bool transient(const LogSamples& v, int i, double from, const AutoTuneSettings& s) {
    return movedTooFast(v, i, from, steadyLimits(s));
}

void countRejected(CurveProposal& p, const char* reason) {
    for (auto& [name, count] : p.rejected)
        if (name == reason) {
            ++count;
            return;
        }
}

template <std::size_t N>
void listReasons(CurveProposal& p, const std::array<const char*, N>& reasons) {
    for (const char* r : reasons)
        p.rejected.emplace_back(r, 0);
}

// Leaves out the items marked in `drop`, in order; how many were left out.
template <typename T>
std::size_t keepMarked(std::vector<T>& items, const std::vector<char>& drop) {
    std::size_t kept = 0;
    for (std::size_t k = 0; k < items.size(); ++k)
        if (!drop[k]) items[kept++] = items[k];
    const std::size_t dropped = items.size() - kept;
    items.resize(kept);
    return dropped;
}

double snapped(double value, double step, double top) {
    return std::clamp(std::round(value / step), 0.0, top) * step;
}

// Why a point is left as it is for want of evidence, `unit` what it counts.
std::string tooLittle(double have, double need, const char* unit) {
    if (have <= 0) return std::string("no ") + unit;
    return std::to_string(std::max(1L, std::lround(have))) + " " + unit + ", " +
           std::to_string(std::lround(need)) + " needed";
}

// The A/F a warm, steady reading of gas burned at (rpm, load) would show on the map `ran`
// (the one its log ran on), from the map proposal's correction there; nothing where a cell it
// falls on was not measured.
std::optional<double> warmAfr(const AutoTuneProposal& map, const TuneMap& tune,
                              const MapField& target, const MapField& ran, double rpm,
                              double load) {
    double correction = 0, now = 0, wasHeld = 0;
    for (const CellShare& share : bilinearShares(tune.axes, rpm, load)) {
        if (share.weight <= 0) continue;
        const auto r = static_cast<std::size_t>(share.row);
        const auto c = static_cast<std::size_t>(share.col);
        const CellResult& cell = map.cells[r][c];
        if (cell.verdict == CellVerdict::NoData || cell.verdict == CellVerdict::TooFew)
            return std::nullopt;
        correction += share.weight * cell.correction;
        now += share.weight * tune.value(share.row, share.col);
        wasHeld += share.weight * ran[r][c];
    }
    if (now <= 0 || wasHeld <= 0) return std::nullopt;
    return interpolateField(target, tune.axes, rpm, load) * correction * now / wasHeld;
}

struct Ask {
    double coolant;
    double factor;
    std::size_t run;
};

// Least squares of the curve's points over their tents to the asks; points in `fixed` keep
// their values.
std::array<double, kWarmUpPoints> fitWarmUp(const std::vector<Ask>& asks, const WarmUpCurve& held,
                                            const std::array<bool, kWarmUpPoints>& fixed) {
    constexpr std::size_t n = kWarmUpPoints;
    std::array<std::array<double, n + 1>, n> a{};
    for (const Ask& r : asks) {
        std::array<double, n> w{};
        double rest = r.factor;
        for (std::size_t i = 0; i < n; ++i) {
            w[i] = held.weight(i, r.coolant);
            if (fixed[i]) rest -= w[i] * held.y[i];
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (fixed[i] || w[i] == 0) continue;
            for (std::size_t j = 0; j < n; ++j)
                if (!fixed[j]) a[i][j] += w[i] * w[j];
            a[i][n] += w[i] * rest;
        }
    }
    // A point held alone keeps its value; a trace of its own value keeps the rest solvable.
    for (std::size_t i = 0; i < n; ++i) {
        if (fixed[i]) {
            a[i][i] = 1;
            a[i][n] = held.y[i];
        } else {
            a[i][i] += 1e-9;
            a[i][n] += 1e-9 * held.y[i];
        }
    }
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t pivot = c;
        for (std::size_t r = c + 1; r < n; ++r)
            if (std::abs(a[r][c]) > std::abs(a[pivot][c])) pivot = r;
        std::swap(a[c], a[pivot]);
        for (std::size_t r = 0; r < n; ++r) {
            if (r == c || a[r][c] == 0) continue;
            const double f = a[r][c] / a[c][c];
            for (std::size_t k = c; k <= n; ++k)
                a[r][k] -= f * a[c][k];
        }
    }
    std::array<double, n> y{};
    for (std::size_t i = 0; i < n; ++i)
        y[i] = a[i][n] / a[i][i];
    return y;
}

// The new value of a point that has evidence enough: held to the largest change, snapped.
void settle(CurvePointResult& point, double wanted, double limitPercent, double step, double top) {
    const double limit = limitPercent / 100;
    const double held = point.oldValue;
    const double limited =
        held > 0 ? std::clamp(wanted, held * (1 - limit), held * (1 + limit)) : wanted;
    point.newValue = snapped(limited, step, top);
    if (std::abs(point.newValue - point.oldValue) < step / 2) {
        point.newValue = point.oldValue;
        point.why = "within a display step";
    }
}

}  // namespace

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
    std::string out;
    for (const auto& [reason, count] : rejected) {
        if (count == 0) continue;
        out += (out.empty() ? "Rejected: " : ", ") + reason + " " + std::to_string(count);
    }
    return out.empty() ? "Rejected: none" : out;
}

CurveProposal proposeWarmUp(const std::vector<AutoTuneLog>& logs, const TuneMap& tune,
                            const FuelCurves& curves, const MapField& target,
                            const AutoTuneProposal& mapProposal, const AutoTuneSettings& s,
                            const FamilyLayout& layout) {
    CurveProposal p;
    p.kind = CurveKind::WarmUp;
    p.name = "Water Temp Correction, Corr 1";
    p.tag = std::string(warmUpTagOf(layout));
    listReasons(p, kWarmUpReasons);
    const auto reject = [&](int reason) { countRejected(p, kWarmUpReasons[reason]); };
    const WarmUpCurve& held = curves.warmUp;

    std::vector<Ask> asks;
    std::size_t run = 0;
    for (const AutoTuneLog& input : logs) {
        p.problem = missingGroupsProblem(*input.log, s.afrItem, input.name, "Warm-up analysis");
        if (!p.problem.empty()) return p;
        if (!input.continuesRun || run == 0) ++run;
        const LogSamples v(*input.log, s.afrItem);
        const RanOnSegments segments(input.ranOn, tune);
        double lastCut = -std::numeric_limits<double>::infinity();
        for (int i = 0; i < v.count(); ++i) {
            const double t = v.seconds(i);
            if (v.injMs(i) <= 0) lastCut = t;
            const double coolant = v.water(i);
            if (!(coolant < s.coldBelowC)) continue;
            const double afr = v.afr(i);
            if (!(afr >= s.lowestAfr && afr <= s.highestAfr)) {
                reject(0);
                continue;
            }
            // The gas read now burned one delay ago, at the point the engine was in then.
            double delay = delaySecondsOf(s, v.rpm(i), v.load(i));
            double rpm = v.rpmAt(t - delay), load = v.loadAt(t - delay);
            delay = delaySecondsOf(s, rpm, load);
            rpm = v.rpmAt(t - delay);
            load = v.loadAt(t - delay);
            if (!onAxis(rpm, tune.axes.column) || !onAxis(load, tune.axes.row)) {
                reject(1);
                continue;
            }
            if (lastCut >= t - delay - s.afterFuelCutSeconds) {
                reject(2);
                continue;
            }
            if (transient(v, i, t - delay - s.enrichmentSeconds, s)) {
                reject(3);
                continue;
            }
            const MapField& ran = segments.held(segments.of(v.before(t - delay)));
            const auto expected = warmAfr(mapProposal, tune, target, ran, rpm, load);
            if (!expected) {
                reject(4);
                continue;
            }
            asks.push_back({coolant, held.at(coolant) * afr / *expected, run});
        }
    }

    std::array<double, kWarmUpPoints> weight{};
    const auto weigh = [&] {
        weight.fill(0);
        for (const Ask& a : asks)
            for (std::size_t i = 0; i < kWarmUpPoints; ++i)
                weight[i] += held.weight(i, a.coolant);
    };
    weigh();
    // A point at or above the warm threshold is the warm engine's: the Inj Map is tuned on it.
    const auto warm = [&](std::size_t i) { return held.x[i] >= s.coldBelowC; };
    std::array<bool, kWarmUpPoints> fixed{};
    for (std::size_t i = 0; i < kWarmUpPoints; ++i)
        fixed[i] = warm(i) || weight[i] < s.minSamples;
    auto fit = fitWarmUp(asks, held, fixed);
    // A misfire's spike reads far leaner than the rest at its coolant: one refit without them.
    if (!asks.empty()) {
        std::vector<double> off;
        for (const Ask& a : asks) {
            WarmUpCurve fitted = held;
            fitted.y = fit;
            off.push_back(a.factor - fitted.at(a.coolant));
        }
        const double centre = median(off);
        for (double& o : off)
            o = std::abs(o - centre);
        const double reach = s.outlierMads * kMadToSigma * std::max(median(off), kSmallestMad);
        std::vector<char> drop(asks.size());
        for (std::size_t k = 0; k < asks.size(); ++k)
            drop[k] = off[k] > reach;
        for (std::size_t left = keepMarked(asks, drop); left > 0; --left)
            reject(5);
        weigh();
        for (std::size_t i = 0; i < kWarmUpPoints; ++i)
            fixed[i] = warm(i) || weight[i] < s.minSamples;
        fit = fitWarmUp(asks, held, fixed);
    }

    // Cold starts: each run counts once at every point its readings reach.
    std::vector<std::array<bool, kWarmUpPoints>> reached(run + 1);
    for (const Ask& a : asks)
        for (std::size_t i = 0; i < kWarmUpPoints; ++i)
            if (held.weight(i, a.coolant) > 0) reached[a.run][i] = true;
    std::vector<bool> runUsed(run + 1, false);
    for (const Ask& a : asks)
        runUsed[a.run] = true;
    p.used = static_cast<int>(std::count(runUsed.begin(), runUsed.end(), true));

    for (std::size_t i = 0; i < kWarmUpPoints; ++i) {
        CurvePointResult point;
        point.x = held.x[i];
        point.oldValue = point.newValue = held.y[i];
        point.weight = weight[i];
        for (const auto& r : reached)
            point.coldStarts += r[i];
        if (warm(i))
            point.why = "the warm engine's: the Inj Map is tuned on it";
        else if (fixed[i])
            point.why = tooLittle(weight[i], s.minSamples, "readings");
        else
            settle(point, fit[i], s.maxChangePercent, kWarmUpStep, 255);
        p.points.push_back(point);
    }
    if (asks.empty())
        p.problem = "No readings of a cold engine: the warm-up is learned from logs of cold starts";
    return p;
}

namespace {

// One tip-in followed through its pump's fuel.
struct TipInRead {
    double rpm = 0;
    double k = 0;  // how much of the pump the engine wanted
};

}  // namespace

CurveProposal proposePump(const std::vector<AutoTuneLog>& logs, const TuneMap& tune,
                          const FuelCurves& curves, const MapField& target,
                          const AutoTuneSettings& s, const FamilyLayout& layout,
                          const AutoTuneProposal* mapProposal) {
    CurveProposal p;
    p.kind = CurveKind::Pump;
    p.name = "Accelerate Injector, Accel A";
    p.tag = std::string(pumpTagOf(layout));
    listReasons(p, kPumpReasons);
    const auto reject = [&](int reason) { countRejected(p, kPumpReasons[reason]); };
    const AccelPump& pump = curves.pump;

    std::optional<AutoTuneProposal> analysed;
    if (!mapProposal) {
        analysed = proposeCorrections(logs, tune, target, {}, s);
        mapProposal = &*analysed;
    }
    std::vector<TipInRead> reads;
    for (const AutoTuneLog& input : logs) {
        p.problem = missingGroupsProblem(*input.log, s.afrItem, input.name, "Pump analysis");
        if (!p.problem.empty()) return p;
        const LogSamples v(*input.log, s.afrItem);
        if (v.count() < 3) continue;
        const RanOnSegments segments(input.ranOn, tune);
        // What the map alone reads at a moment, against its reading at the tip-in: 1 where it
        // was not measured.
        const auto mapDrift = [&](double t, double rpm, double load, std::optional<double> from) {
            if (!from) return 1.0;
            const MapField& ran = segments.at(v.before(t));
            const auto here = warmAfr(*mapProposal, tune, target, ran, rpm, load);
            return here ? *here / *from : 1.0;
        };
        const LogStore& log = v.log();
        double lastEnd = -std::numeric_limits<double>::infinity();
        for (const int start : tipInStarts(log)) {
            const double t0 = tipInSeconds(log, start);
            // The throttle's fast openings, while the pump lasts: each starts it again.
            std::vector<std::pair<double, double>> fast;  // when, how fast
            bool lifted = false;
            double end = t0 + AccelPump::kPumpSeconds;
            for (int j = start; j < v.count() && v.seconds(j) <= end; ++j) {
                const double rate = throttleRate(log, j);
                if (rate > AccelPump::kTipInRate) {
                    fast.emplace_back(v.seconds(j), rate);
                    end = v.seconds(j) + AccelPump::kPumpSeconds;
                } else if (rate < -AccelPump::kTipInRate) {
                    lifted = true;
                }
            }
            const bool close = t0 < lastEnd + kTipInBaseSeconds + kLagTail;
            lastEnd = std::max(lastEnd, end);
            if (v.water(start) < s.coldBelowC) {
                reject(0);
                continue;
            }
            if (lifted) {
                reject(1);
                continue;
            }
            const double delay0 = delaySecondsOf(s, v.rpm(start - 1), v.load(start - 1));
            const double delayEnd = delaySecondsOf(s, v.rpmAt(end), v.loadAt(end));
            const int first = v.before(t0 - delay0 - s.afterFuelCutSeconds);
            const int last = v.before(end + delayEnd + kLagTail) + 1;
            bool cut = false, railed = false;
            for (int j = first; j < std::min(last, v.count()); ++j) {
                cut = cut || v.injMs(j) <= 0;
                const double afr = v.afr(j);
                if (v.seconds(j) >= t0 + delay0 - kTipInBaseSeconds)
                    railed = railed || !(afr >= s.lowestAfr && afr <= s.highestAfr);
            }
            if (cut) {
                reject(2);
                continue;
            }
            if (close) {
                reject(3);
                continue;
            }
            if (railed || last >= v.count()) {
                reject(4);
                continue;
            }
            double before = 0;
            int count = 0;
            for (int j = v.before(t0 + delay0 - kTipInBaseSeconds);
                 j < v.count() && v.seconds(j) < t0 + delay0; ++j) {
                if (v.seconds(j) < t0 + delay0 - kTipInBaseSeconds) continue;
                before += v.afr(j);
                ++count;
            }
            if (count == 0) {
                reject(4);
                continue;
            }
            before /= count;
            const auto atTipIn = warmAfr(*mapProposal, tune, target, segments.at(start - 1),
                                         v.rpm(start - 1), v.load(start - 1));
            // The burned A/F one delay later, the sensor's lag undone: a first-order lag keeps a
            // step's area, so the pump's fuel is counted whole.
            const auto burned = [&](double at) {
                const int k = std::clamp(v.before(at), 1, v.count() - 2);
                const double slope =
                    (v.afr(k + 1) - v.afr(k - 1)) / (v.seconds(k + 1) - v.seconds(k - 1));
                return v.at(at, [&](int m) { return v.afr(m); }) + kSensorLagSeconds * slope;
            };
            double given = 0, surplus = 0;
            std::size_t f = 0;
            for (double t = t0; t < end + kLagTail; t += kGridSeconds) {
                while (f + 1 < fast.size() && fast[f + 1].first <= t)
                    ++f;
                const double rpm = v.rpmAt(t);
                // Inside a fast opening the pump starts again at every moment of it.
                const double since = std::max(0.0, t - fast[f].first);
                const double extra = pump.extraMs(rpm, fast[f].second, since);
                const double fuel = v.at(t, [&](int m) { return v.injMs(m); });
                const double load = v.loadAt(t);
                const double delay = delaySecondsOf(s, rpm, load);
                const double expected = before * mapDrift(t, rpm, load, atTipIn);
                given += extra * kGridSeconds;
                // Richer than the map alone would burn: fuel beyond what the engine wanted.
                surplus += fuel * (1 - burned(t + delay) / expected) * kGridSeconds;
            }
            if (given <= 0) {
                reject(5);
                continue;
            }
            reads.push_back({v.rpmAt(t0), 1 - surplus / given});
        }
    }
    // A misfire inside a tip-in reads as fuel missing by far: such a tip-in stands out of those
    // at rpm alike its own.
    std::vector<char> outlier(reads.size(), 0);
    for (std::size_t a = 0; a < reads.size(); ++a) {
        std::vector<double> alike;
        for (const TipInRead& r : reads)
            if (std::abs(r.rpm - reads[a].rpm) <= kNearRpm) alike.push_back(r.k);
        if (alike.size() < kLeastTipIns) continue;
        const double centre = median(alike);
        for (double& k : alike)
            k = std::abs(k - centre);
        const double reach = s.outlierMads * kMadToSigma * std::max(median(alike), kSmallestSpread);
        outlier[a] = std::abs(reads[a].k - centre) > reach;
    }
    for (std::size_t left = keepMarked(reads, outlier); left > 0; --left)
        reject(6);
    p.used = static_cast<int>(reads.size());
    for (std::size_t i = 0; i < kPumpPoints; ++i) {
        CurvePointResult point;
        point.x = pump.pulse.x[i];
        point.oldValue = point.newValue = pump.pulse.y[i];
        double sum = 0;
        for (const TipInRead& r : reads) {
            const double w = pump.pulse.weight(i, r.rpm);
            if (w <= 0) continue;
            ++point.events;
            point.weight += w;
            sum += w * r.k;
        }
        if (point.events < kLeastTipIns)
            point.why = tooLittle(point.events, kLeastTipIns, "tip-ins");
        else
            settle(point, point.oldValue * sum / point.weight,
                   std::max(s.maxChangePercent, kLeastPumpChangePercent), kPumpStep, 65535);
        p.points.push_back(point);
    }
    if (reads.empty()) p.problem = "No tip-in clear enough to learn the pump from";
    return p;
}

int applyCurveProposal(SettingsCodec& codec, const CurveProposal& proposal) {
    const auto d = parseCurveDescriptor(proposal.tag);
    const auto parts = splitFields(proposal.tag, ';');
    if (!d || parts.size() < 3) return 0;
    const std::vector<std::string_view> y = splitFields(parts[2]);
    if (y.size() < 7) return 0;
    int written = 0;
    for (std::size_t i = 0; i < proposal.points.size(); ++i) {
        const CurvePointResult& point = proposal.points[i];
        if (!point.changes()) continue;
        // The point as a setting of its own, as the curve editor writes it.
        const std::string tag = std::string(y[0]) + ", " +
                                std::to_string(d->y.position(static_cast<int>(i))) + "," +
                                std::string(y[3]) + "," + std::string(y[4]) + "," +
                                std::string(y[5]) + "," + std::string(y[6]);
        written += codec.UpdateData(tag, formatValue(point.newValue, "0.000000", codec.locale()));
    }
    return written;
}

}  // namespace tunalyx
