// How fast auto-tune brings the Inj Map to the target against the engine that answers the tune,
// judged by the engine's hidden fuel requirement, and how long it takes to read an hour of logs.
// Each pass drives the same route on the same engine in fast time, proposes from that pass's
// logs and applies the proposal before the next.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "autotune/analysed_logs.h"
#include "autotune/autotune.h"
#include "autotune/cell_prediction.h"
#include "autotune/curve_tune.h"
#include "autotune/delay_measurement.h"
#include "mapwatch/map_watch.h"
#include "model/settings_codec.h"
#include "paced_unit.h"
#include "ports/memory_settings_store.h"
#include "quiet_prompts.h"
#include "sim/fast_drive.h"
#include "sim/fuel_requirement.h"
#include "sim/tuned_engine.h"
#include "sim/wideband_sensor.h"

using namespace tunalyx;

namespace {

constexpr LayoutFamily kFamily = LayoutFamily::Family5;
constexpr long kPassSeconds = 600;
constexpr int kLeastVisits = 50;  // samples that make a cell visited
constexpr double kWithin = 0.02;

using Logs = std::vector<std::unique_ptr<LogStore>>;

// The parts of one drive: each after the first goes on with the same run.
std::vector<AutoTuneLog> listOf(const Logs& logs) {
    std::vector<AutoTuneLog> list;
    for (const auto& log : logs)
        list.emplace_back(log.get(), !list.empty());
    return list;
}

// The drive reuses one log store for every part; each part is kept apart.
std::unique_ptr<LogStore> copyOf(const LogStore& log) {
    auto copy = std::make_unique<LogStore>();
    copy->copySamples(log, log.sampleCount());
    copy->LogLast = log.LogLast;
    copy->IncludeGroup = log.IncludeGroup;
    return copy;
}

struct Drive {
    Logs logs;
    std::vector<TipInRecord> tipIns;  // the engine's own record, its hidden A/F swing
};

Drive driveWithTipIns(const BlockStore& tune, const EngineOptions& engine, long seconds) {
    static QuietPrompts prompts;
    FastDrive d;
    d.engine = engine;
    d.seconds = seconds;
    d.include[kGroupAdvanced] = true;
    d.include[kGroupAux] = true;
    d.aux = auxCalibrationOf(loadAuxSettings(MemorySettingsStore{}));  // AN1 reads A/F
    struct Keep final : LiveConsumer {
        void logSaved(const SavedLog& saved) override { logs.push_back(copyOf(saved.log)); }
        Logs logs;
    } keep;
    NoFileWriter files;
    FastDriveUnit unit(tune, kFamily, d, prompts, files);
    unit.run().addConsumer(&keep);
    if (!unit.start("drive.txt")) {
        std::printf("the drive did not start\n");
        std::exit(1);
    }
    unit.run().presentUntilOver({});
    if (unit.run().end() != LiveRunEnd::Stopped) {
        std::printf("the drive failed\n");
        std::exit(1);
    }
    const auto& tipIns = unit.simulator().ecu().tunedEngine()->tipIns();
    return {std::move(keep.logs), {tipIns.begin(), tipIns.end()}};
}

Logs drive(const BlockStore& tune, const EngineOptions& engine, long seconds) {
    return driveWithTipIns(tune, engine, seconds).logs;
}

std::size_t cellByte(int row, int col) {
    return static_cast<std::size_t>(cellIndex(row + 1, col + 1));
}

TuneMap mapOfBlocks(const BlockStore& tune) {
    const FamilyLayout& layout = familyLayout(kFamily);
    TuneMap map;
    map.codec = parseMapDescriptor(startupMapTags()[kInjMap]).value();
    map.axes = mapAxesOfBlock(tune[layout.mapRefBlock]).value();
    for (int row = 0; row < kMapAxisSize; ++row)
        for (int col = 0; col < kMapAxisSize; ++col) {
            const std::size_t k = cellByte(row, col);
            map.raw[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] =
                tune[layout.injMapBlock + k / 100][k % 100];
        }
    return map;
}

void applyPredictions(BlockStore& tune, const CellPredictions& predicted) {
    const FamilyLayout& layout = familyLayout(kFamily);
    for (int row = 0; row < kMapAxisSize; ++row)
        for (int col = 0; col < kMapAxisSize; ++col) {
            const CellPrediction& c =
                predicted[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
            if (!c.changes() || c.confidence < kLeastPredictedConfidence) continue;
            const std::size_t k = cellByte(row, col);
            tune[layout.injMapBlock + k / 100][k % 100] = static_cast<std::uint8_t>(c.newRaw);
        }
}

void apply(BlockStore& tune, const AutoTuneProposal& proposal) {
    const FamilyLayout& layout = familyLayout(kFamily);
    for (int row = 0; row < kMapAxisSize; ++row)
        for (int col = 0; col < kMapAxisSize; ++col) {
            const CellResult& c =
                proposal.cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
            if (!c.changes()) continue;
            const std::size_t k = cellByte(row, col);
            tune[layout.injMapBlock + k / 100][k % 100] = static_cast<std::uint8_t>(c.newRaw);
        }
}

using CellFlags = std::array<std::array<bool, kMapAxisSize>, kMapAxisSize>;

// The cells the map watch would show at least kLeastVisits fuelled samples in.
CellFlags drivenCells(const Logs& logs, const MapAxes& axes) {
    std::array<std::array<int, kMapAxisSize>, kMapAxisSize> counts{};
    const auto nearest = [](double position) {
        return static_cast<std::size_t>(
            std::clamp(static_cast<int>(std::floor(position + 0.5)), 0, kMapAxisSize - 1));
    };
    for (const auto& log : logs)
        for (int s = 0; s < log->sampleCount(); ++s) {
            if (!(log->LogData(kInjMsItem, s) > 0)) continue;
            const MapPosition p = mapPositionOf(*log, s, MapWatchOptions::Advanced, axes);
            ++counts[nearest(p.y)][nearest(p.x)];
        }
    CellFlags driven{};
    for (std::size_t r = 0; r < kMapAxisSize; ++r)
        for (std::size_t c = 0; c < kMapAxisSize; ++c)
            driven[r][c] = counts[r][c] >= kLeastVisits;
    return driven;
}

// A driven cell is judged when the analysis could read the samples a proposal needs in it. A
// cell the drive passes only cold, in fuel cut, in a transient or with the sensor railed holds
// samples but nothing to learn from; it is counted apart, and its verdict has to say so.
CellFlags visitedCells(const CellFlags& driven, const AutoTuneProposal& proposal,
                       const AutoTuneSettings& settings) {
    CellFlags visited{};
    for (std::size_t r = 0; r < kMapAxisSize; ++r)
        for (std::size_t c = 0; c < kMapAxisSize; ++c)
            visited[r][c] = driven[r][c] && proposal.cells[r][c].samples >= settings.minSamples;
    return visited;
}

// Driven cells the analysis could not judge whose verdict does not say so.
int unexplainedCells(const CellFlags& driven, const CellFlags& visited,
                     const AutoTuneProposal& proposal) {
    int n = 0;
    for (std::size_t r = 0; r < kMapAxisSize; ++r)
        for (std::size_t c = 0; c < kMapAxisSize; ++c) {
            const CellVerdict v = proposal.cells[r][c].verdict;
            n += driven[r][c] && !visited[r][c] && v != CellVerdict::NoData &&
                 v != CellVerdict::TooFew && v != CellVerdict::TooSpread;
        }
    return n;
}

struct Standing {
    double sharePercent = 0;  // of visited cells within kWithin of the target, or named beyond
    double worstPercent = 0;  // of those not named beyond the map's range
    int visited = 0;
    int outOfRange = 0;
};

// The burned A/F of each visited cell, 14.7 x requirement / value, against a 14.7 target. A cell
// whose ask lies beyond the map's range counts when the proposal names it so: no value of the
// map can be right there.
Standing standingOf(const BlockStore& tune, const MapField& requirement, const CellFlags& visited,
                    const AutoTuneProposal* proposal = nullptr) {
    const TuneMap map = mapOfBlocks(tune);
    Standing st;
    int within = 0;
    for (int row = 0; row < kMapAxisSize; ++row)
        for (int col = 0; col < kMapAxisSize; ++col) {
            const auto r = static_cast<std::size_t>(row);
            const auto c = static_cast<std::size_t>(col);
            if (!visited[r][c]) continue;
            ++st.visited;
            if (proposal && proposal->cells[r][c].verdict == CellVerdict::OutOfRange) {
                ++st.outOfRange;
                ++within;
                continue;
            }
            const double error = std::abs(requirement[r][c] / map.value(row, col) - 1);
            within += error <= kWithin;
            st.worstPercent = std::max(st.worstPercent, error * 100);
        }
    st.sharePercent = st.visited ? 100.0 * within / st.visited : 0;
    return st;
}

struct Scenario {
    const char* name;
    EngineOptions engine;
    AutoTuneSettings settings;
    int passes;
    bool showDiagnosis = false;
    bool predict = false;  // the predictions sure enough are applied too, as a user may ask
};

struct Outcome {
    std::vector<Standing> afterPass;        // [0] before the first
    std::vector<Standing> drivenAfterPass;  // [0] after the first
    int mostReversals = 0;                  // of one cell's change direction
    int mostSteps = 0;                      // of one cell away from where it began, raw counts
    int unexplained = 0;  // driven cells the analysis could not judge whose verdict hides why
};

// 14.7 everywhere: the requirement is the value that burns 14.7. The default target file
// richens at boost, which would ask the top rows for more than the map's 1.496.
MapField stoichiometricTarget() {
    MapField target{};
    for (auto& row : target)
        row.fill(kStoichiometricAfr);
    return target;
}

Outcome converge(const Scenario& sc) {
    const MapField target = stoichiometricTarget();
    const MapField requirement = FuelRequirement::forFamily(kFamily, sc.engine).field();
    BlockStore tune = defaultBlocks(simUnit(SimUnitKind::Det1_501));
    const TuneMap start = mapOfBlocks(tune);
    std::array<std::array<int, kMapAxisSize>, kMapAxisSize> lastDirection{}, reversals{};

    std::printf("%s\n", sc.name);
    Outcome out;
    for (int pass = 1; pass <= sc.passes; ++pass) {
        const Logs logs = drive(tune, sc.engine, kPassSeconds);
        const TuneMap before = mapOfBlocks(tune);
        // As the program reads logs: the delay measured from them first.
        AutoTuneSettings settings = sc.settings;
        const auto list = listOf(logs);
        settings.measuredDelay = measureSensorDelay(list, settings);
        const AutoTuneProposal proposal =
            proposeCorrections(list, before, target, CellLocks{}, settings);
        const CellFlags driven = drivenCells(logs, before.axes);
        const CellFlags visited = visitedCells(driven, proposal, settings);
        if (pass == 1) {
            out.afterPass.push_back(standingOf(tune, requirement, visited));
            std::printf("  start:  %5.1f %% of %d visited cells within 2 %%, worst %5.1f %%\n",
                        out.afterPass[0].sharePercent, out.afterPass[0].visited,
                        out.afterPass[0].worstPercent);
        }
        out.unexplained = std::max(out.unexplained, unexplainedCells(driven, visited, proposal));
        if (sc.showDiagnosis && pass == 1)
            std::printf("  pass 1 diagnosis: %s\n",
                        proposal.diagnosis.empty() ? "(none)" : proposal.diagnosis.c_str());
        apply(tune, proposal);
        if (sc.predict) applyPredictions(tune, predictUnmeasured(proposal, before, {}, settings));
        const TuneMap after = mapOfBlocks(tune);
        for (std::size_t r = 0; r < kMapAxisSize; ++r)
            for (std::size_t c = 0; c < kMapAxisSize; ++c) {
                const int step = after.raw[r][c] - before.raw[r][c];
                out.mostSteps =
                    std::max(out.mostSteps, std::abs(after.raw[r][c] - start.raw[r][c]));
                if (step == 0) continue;
                const int direction = step > 0 ? 1 : -1;
                if (lastDirection[r][c] == -direction) ++reversals[r][c];
                lastDirection[r][c] = direction;
                out.mostReversals = std::max(out.mostReversals, reversals[r][c]);
            }
        const Standing st = standingOf(tune, requirement, visited, &proposal);
        out.afterPass.push_back(st);
        const Standing all = standingOf(tune, requirement, driven, &proposal);
        out.drivenAfterPass.push_back(all);
        std::printf("  pass %d: %5.1f %% of all %d driven cells within 2 %%, worst %5.1f %%\n",
                    pass, all.sharePercent, all.visited, all.worstPercent);
        int drivenOnly = 0;
        for (std::size_t r = 0; r < kMapAxisSize; ++r)
            for (std::size_t c = 0; c < kMapAxisSize; ++c)
                drivenOnly += driven[r][c] && !visited[r][c];
        std::printf(
            "  pass %d: %5.1f %% of %d visited cells within 2 %% (%d named out of range), "
            "worst %5.1f %%, %d cells changed; %d driven cells too thinly read to judge\n",
            pass, st.sharePercent, st.visited, st.outOfRange, st.worstPercent,
            proposal.changedCells(), drivenOnly);
    }
    std::printf(
        "  most direction reversals of a cell: %d; most raw steps a cell moved: %d; "
        "driven cells left without a reason: %d\n",
        out.mostReversals, out.mostSteps, out.unexplained);
    return out;
}

// The warm-up curve and the accelerator pump tuned with the map on one engine: each pass drives
// the mixed route from 20 C and the city route for 15 minutes from three cold starts (the city's
// tip-ins at 2000-3000 rpm come warm only in its second half), proposes for the map, the warm-up
// and the pump from all their logs (the delay measured first) and applies all three.
struct CurveOutcome {
    double warmUpWorstPercent = 0;  // at the points of bands seen in kLeastColdStarts cold starts
    int warmUpPointsJudged = 0;
    double swingBefore = 0;  // A/F, the worst band's mean tip-in swing on the first drives
    double swingAfter = 0;   // and on drives after the last pass
    int swingBands = 0;      // pump bands with kLeastTipIns tip-ins
    double delayErrorMs = 0;
};

constexpr int kLeastColdStarts = 3;
constexpr double kSeenBandSeconds = 10;  // of readable A/F inside a band makes it seen

struct CurveDrive {
    EngineOptions engine;
    long seconds;
    bool coldStart;
};

std::vector<CurveDrive> curveDrives() {
    std::vector<CurveDrive> drives;
    EngineOptions mixed;  // seed 1, from 20 C
    drives.push_back({mixed, kPassSeconds, false});
    for (const double celsius : {-20.0, -10.0, 0.0}) {
        EngineOptions city;
        city.drive = DriveKind::City;
        city.coldStartC = celsius;
        drives.push_back({city, 900, true});
    }
    return drives;
}

// Seconds of readable A/F per warm-up band [x[i], x[i + 1]) of one drive.
std::array<double, kWarmUpPoints - 1> bandSeconds(const Logs& logs, const WarmUpCurve& curve,
                                                  const AutoTuneSettings& s) {
    std::array<double, kWarmUpPoints - 1> seconds{};
    for (const auto& log : logs)
        for (int i = 1; i < log->sampleCount(); ++i) {
            const double afr = log->LogData(s.afrItem, i);
            if (!(afr >= s.lowestAfr && afr <= s.highestAfr)) continue;
            const double coolant = log->LogData(kWaterTempItem, i);
            const double step = (log->LogTime(i) - log->LogTime(i - 1)) / 1000.0;
            for (std::size_t b = 0; b + 1 < kWarmUpPoints; ++b)
                if (coolant >= curve.x[b] && coolant < curve.x[b + 1]) seconds[b] += step;
        }
    return seconds;
}

// The mean hidden A/F swing of the tip-ins nearest each pump point (the map's error along the
// tip-in's way included), and the worst of the bands with enough of them. The part the pump's
// mismatch alone makes is shown beside it.
std::pair<double, int> worstSwing(const std::vector<TipInRecord>& tipIns, const AccelPump& pump) {
    std::array<double, kPumpPoints> pumpSum{}, wholeSum{};
    std::array<int, kPumpPoints> count{};
    for (const TipInRecord& t : tipIns) {
        std::size_t nearest = 0;
        for (std::size_t i = 1; i < kPumpPoints; ++i)
            if (std::abs(t.rpm - pump.pulse.x[i]) < std::abs(t.rpm - pump.pulse.x[nearest]))
                nearest = i;
        pumpSum[nearest] += t.largestPumpSwing;
        wholeSum[nearest] += t.largestSwing;
        ++count[nearest];
    }
    double worst = 0;
    int bands = 0;
    for (std::size_t i = 0; i < kPumpPoints; ++i) {
        if (count[i] < kLeastTipIns) continue;
        ++bands;
        worst = std::max(worst, wholeSum[i] / count[i]);
        std::printf(
            "    pump band %.0f rpm: %d tip-ins, mean swing %.2f A/F (%.2f of it the "
            "pump's)\n",
            pump.pulse.x[i], count[i], wholeSum[i] / count[i], pumpSum[i] / count[i]);
    }
    return {worst, bands};
}

// How far each measured band's delay lies from the engine's own at the flows of its events.
double delayError(const MeasuredDelay& measured, double scale) {
    double worst = 0;
    for (const DelayRegion& r : measured.regions) {
        if (!r.measured() || r.eventFlows.empty()) continue;
        double truth = 0;
        for (const double flow : r.eventFlows)
            truth += engineDelaySeconds(flow, scale);
        truth /= static_cast<double>(r.eventFlows.size());
        std::printf(
            "    delay at flow %.0f-%.0f %%: measured %.0f ms, engine %.0f ms (%d events)\n",
            r.lowFlow * 100, r.highFlow * 100, r.seconds * 1000, truth * 1000, r.events);
        worst = std::max(worst, std::abs(r.seconds - truth) * 1000);
    }
    return worst;
}

FuelCurves curvesOf(const BlockStore& tune) {
    PacketImage image;
    image.assign(tune);
    return fuelCurvesOf(image, familyLayout(kFamily)).value();
}

void applyCurve(BlockStore& tune, const CurveProposal& proposal) {
    PacketImage image;
    image.assign(tune);
    PacketDirty dirty;
    SettingsCodec codec(image, dirty);
    applyCurveProposal(codec, proposal);
    tune = image.all();
}

CurveOutcome tuneCurves(int passes) {
    std::printf("warm-up and accelerator pump with the map, seed 1\n");
    const MapField target = stoichiometricTarget();
    const FamilyLayout& layout = familyLayout(kFamily);
    const CurveRequirement hidden = CurveRequirement::forFamily(kFamily, EngineOptions{});
    BlockStore tune = defaultBlocks(simUnit(SimUnitKind::Det1_501));
    CurveOutcome out;
    std::array<int, kWarmUpPoints - 1> coldStartsSeen{};
    for (int pass = 1; pass <= passes + 1; ++pass) {
        // The last round only drives: the swings the tuned pump leaves.
        std::vector<Logs> driven;
        std::vector<TipInRecord> tipIns;
        const FuelCurves held = curvesOf(tune);
        for (const CurveDrive& d : curveDrives()) {
            Drive result = driveWithTipIns(tune, d.engine, d.seconds);
            tipIns.insert(tipIns.end(), result.tipIns.begin(), result.tipIns.end());
            if (d.coldStart && pass <= passes) {
                const auto seconds = bandSeconds(result.logs, held.warmUp, AutoTuneSettings{});
                for (std::size_t b = 0; b < seconds.size(); ++b)
                    coldStartsSeen[b] += seconds[b] >= kSeenBandSeconds;
            }
            driven.push_back(std::move(result.logs));
        }
        if (pass == 1) {
            std::printf("  tip-ins on the default tune:\n");
            out.swingBefore = worstSwing(tipIns, held.pump).first;
        }
        if (pass > passes) {
            std::printf("  tip-ins after %d passes:\n", passes);
            std::tie(out.swingAfter, out.swingBands) = worstSwing(tipIns, held.pump);
            break;
        }
        std::vector<AutoTuneLog> list;
        for (const Logs& logs : driven) {
            const auto part = listOf(logs);
            list.insert(list.end(), part.begin(), part.end());
        }
        AutoTuneSettings settings;
        settings.measuredDelay = measureSensorDelay(list, settings);
        if (pass == 1) out.delayErrorMs = delayError(*settings.measuredDelay, 1);
        const TuneMap before = mapOfBlocks(tune);
        const AutoTuneProposal map = proposeCorrections(list, before, target, {}, settings);
        const CurveProposal warmUp =
            proposeWarmUp(list, before, held, target, map, settings, layout);
        const CurveProposal pump = proposePump(list, before, held, target, settings, layout, &map);
        apply(tune, map);
        applyCurve(tune, warmUp);
        applyCurve(tune, pump);
        std::printf("  pass %d: %d map cells, %d warm-up points, %d pump points changed; %s\n",
                    pass, map.changedCells(), warmUp.changedPoints(), pump.changedPoints(),
                    pump.rejectedLine().c_str());
    }
    const AccelPump pump = curvesOf(tune).pump;
    for (std::size_t i = 0; i < kPumpPoints; ++i)
        std::printf("    pump %4.0f rpm: %.3f ms against the engine's %.3f\n", pump.pulse.x[i],
                    pump.pulse.y[i], hidden.pump.y[i]);
    const WarmUpCurve tuned = curvesOf(tune).warmUp;
    for (std::size_t i = 0; i < kWarmUpPoints; ++i) {
        const bool seen = (i > 0 && coldStartsSeen[i - 1] >= kLeastColdStarts) ||
                          (i + 1 < kWarmUpPoints && coldStartsSeen[i] >= kLeastColdStarts);
        const double error = std::abs(tuned.y[i] / hidden.warmUp.y[i] - 1) * 100;
        std::printf("    warm-up %3.0f C: %.3f against the engine's %.3f (%.1f %%)%s\n", tuned.x[i],
                    tuned.y[i], hidden.warmUp.y[i], error,
                    seen ? "" : ", band not seen in 3 cold starts");
        if (!seen) continue;
        ++out.warmUpPointsJudged;
        out.warmUpWorstPercent = std::max(out.warmUpWorstPercent, error);
    }
    return out;
}

double shareAfter(const Outcome& o, int pass) {
    return o.afterPass[static_cast<std::size_t>(pass)].sharePercent;
}

}  // namespace

int main() {
    EngineOptions pattern;  // seed 1, the mixed drive
    EngineOptions uniform;
    uniform.requirement = RequirementKind::Uniform;
    uniform.uniformLeanPercent = 15;
    EngineOptions correct;
    correct.requirement = RequirementKind::Correct;
    AutoTuneSettings slowDelay;
    slowDelay.delayScale = 1.5;
    AutoTuneSettings unaligned;
    unaligned.alignDelay = false;

    const Outcome a = converge({"pattern, seed 1", pattern, {}, 6});
    const Outcome b = converge({"uniform 15 % lean", uniform, {}, 6, true});
    const Outcome c = converge({"correct", correct, {}, 3});
    const Outcome d = converge({"pattern, assumed delay 50 % long", pattern, slowDelay, 4});
    const Outcome e =
        converge({"pattern, readings not aligned to the delay", pattern, unaligned, 3});
    std::printf("after 3 passes: aligned %.1f %% worst %.1f %%, unaligned %.1f %% worst %.1f %%\n",
                shareAfter(a, 3), a.afterPass[3].worstPercent, shareAfter(e, 3),
                e.afterPass[3].worstPercent);

    // An hour of logs at the wire's rate, then the analysis alone.
    const Logs hour = drive(defaultBlocks(simUnit(SimUnitKind::Det1_501)), pattern, 3600);
    long samples = 0;
    for (const auto& log : hour)
        samples += log->sampleCount();
    const auto list = listOf(hour);
    const TuneMap tune = mapOfBlocks(defaultBlocks(simUnit(SimUnitKind::Det1_501)));
    const MapField target = stoichiometricTarget();
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        const AutoTuneProposal p = proposeCorrections(list, tune, target, CellLocks{}, {});
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        if (p.readings.total != samples) std::printf("  not every sample was read\n");
    }
    std::printf("proposeCorrections over %ld samples in %zu logs: best %.2f s of 3\n", samples,
                hour.size(), best);

    const CurveOutcome curves = tuneCurves(3);
    std::printf(
        "warm-up: worst %.1f %% over %d points; tip-in swing %.2f A/F before, %.2f after "
        "in %d bands; delay %.0f ms off\n",
        curves.warmUpWorstPercent, curves.warmUpPointsJudged, curves.swingBefore, curves.swingAfter,
        curves.swingBands, curves.delayErrorMs);

    std::printf(
        "autotune-convergence pattern=%.1f uniform=%.1f correct-max-steps=%d delay50=%.1f "
        "analyse-hour-s=%.2f worst=%.1f warmup=%.1f accel=%.2f delay-error-ms=%.0f\n",
        shareAfter(a, 3), shareAfter(b, 3), c.mostSteps, shareAfter(d, 4), best,
        a.afterPass[3].worstPercent, curves.warmUpWorstPercent, curves.swingAfter,
        curves.delayErrorMs);
    return 0;
}
