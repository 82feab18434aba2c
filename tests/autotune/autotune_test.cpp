#include "autotune/autotune.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "autotune/target_afr.h"
#include "support/even_map.h"

namespace tunalyx {
namespace {

using test::evenAxes;
using test::loadAt;
using test::rpmAt;

TuneMap flatTune(std::int32_t raw = 128) {
    return test::flatMap(kInjMap, raw);
}

MapField flatTarget(double afr = 14.7) {
    MapField t{};
    for (auto& row : t)
        row.fill(afr);
    return t;
}

// No two neighbours alike, so that a value read from the wrong cell shows.
TuneMap shapedTune() {
    TuneMap tune = flatTune();
    for (std::size_t r = 0; r < kMapAxisSize; ++r)
        for (std::size_t c = 0; c < kMapAxisSize; ++c)
            tune.raw[r][c] = static_cast<std::int32_t>(100 + 2 * r + c);
    return tune;
}

MapField shapedTarget() {
    MapField t{};
    for (std::size_t r = 0; r < kMapAxisSize; ++r)
        for (std::size_t c = 0; c < kMapAxisSize; ++c)
            t[r][c] = 14.7 - 0.15 * static_cast<double>(r) + 0.03 * static_cast<double>(c);
    return t;
}

// The tune with the proposal's changed cells stored, as Apply leaves it.
TuneMap applied(TuneMap tune, const AutoTuneProposal& p) {
    for (std::size_t r = 0; r < kMapAxisSize; ++r)
        for (std::size_t c = 0; c < kMapAxisSize; ++c)
            tune.raw[r][c] = p.cells[r][c].newRaw;
    return tune;
}

// A hand-written log: 100 samples a second of a warm engine, until told otherwise.
class TestLog {
public:
    TestLog() {
        m_log->IncludeGroup[kGroupAdvanced] = true;
        m_log->IncludeGroup[kGroupAux] = true;
    }
    struct Sample {
        double rpm;
        double load;
        double afr;
        double injMs = 3;
        double water = 85;
        double tps = 1;
    };
    // `seconds` of the same sample.
    TestLog& hold(double seconds, const Sample& s) {
        for (int i = 0; i < static_cast<int>(seconds * 100); ++i)
            add(s);
        return *this;
    }
    TestLog& add(const Sample& s) {
        const int n = m_count++;
        m_log->setLogTime(n, n * 10);
        m_log->setLogData(kRpmItem, n, s.rpm);
        m_log->setLogData(kLoadItem, n, s.load);
        m_log->setLogData(kAn1Item, n, s.afr);
        m_log->setLogData(kInjMsItem, n, s.injMs);
        m_log->setLogData(kWaterTempItem, n, s.water);
        m_log->setLogData(kThrottleVoltsItem, n, s.tps);
        m_log->LogLast = n;
        return *this;
    }
    [[nodiscard]] const LogStore* store() const { return m_log.get(); }

private:
    std::unique_ptr<LogStore> m_log = std::make_unique<LogStore>();
    int m_count = 0;
};

// Row 4, column 6 (0-based) sits at load 3000, rpm 3400.
constexpr double kRpm = 3400;
constexpr double kLoad = 3000;

AutoTuneProposal propose(const TestLog& log, const TuneMap& tune = flatTune(),
                         const CellLocks& locks = {}, AutoTuneSettings settings = {}) {
    return proposeCorrections({log.store()}, tune, flatTarget(), locks, settings);
}

TEST(BilinearShares, ACellCentreIsOneCellAndACornerIsFourQuarters) {
    const MapAxes axes = evenAxes();
    const auto centre = bilinearShares(axes, kRpm, kLoad);
    double onCell = 0;
    for (const CellShare& s : centre)
        if (s.row == 4 && s.col == 6) onCell += s.weight;
    EXPECT_DOUBLE_EQ(onCell, 1);
    // Halfway between rows 4 and 5 and columns 6 and 7: a quarter each.
    for (const CellShare& s : bilinearShares(axes, kRpm + 200, kLoad + 250)) {
        EXPECT_DOUBLE_EQ(s.weight, 0.25);
        EXPECT_TRUE(s.row == 4 || s.row == 5);
        EXPECT_TRUE(s.col == 6 || s.col == 7);
    }
}

TEST(AutoTune, ALeanReadingRaisesTheCellARichOneLowersItWithinTheLimit) {
    TestLog lean;
    lean.hold(30, {kRpm, kLoad, 14.7}).hold(30, {kRpm, kLoad, 14.7 * 1.06});
    const CellResult raised = propose(lean).cells[4][6];
    EXPECT_EQ(raised.verdict, CellVerdict::Proposed);
    EXPECT_NEAR(raised.newValue, 1.06, 0.004);  // one raw step is 0.0039
    EXPECT_GT(raised.newRaw, raised.oldRaw);

    // 20 % off either way is held to the 10 % limit.
    TestLog rich;
    rich.hold(30, {kRpm, kLoad, 14.7}).hold(30, {kRpm, kLoad, 14.7 * 0.8});
    EXPECT_NEAR(propose(rich).cells[4][6].changePercent(), -10, 0.4);
    TestLog veryLean;
    veryLean.hold(30, {kRpm, kLoad, 14.7}).hold(30, {kRpm, kLoad, 14.7 * 1.2});
    EXPECT_NEAR(propose(veryLean).cells[4][6].changePercent(), 10, 0.4);
    AutoTuneSettings gentle;
    gentle.maxChangePercent = 5;
    EXPECT_NEAR(propose(rich, flatTune(), {}, gentle).cells[4][6].changePercent(), -5, 0.4);

    CellLocks locks{};
    locks[4][6] = true;
    const CellResult locked = propose(rich, flatTune(), locks).cells[4][6];
    EXPECT_EQ(locked.verdict, CellVerdict::Locked);
    EXPECT_FALSE(locked.changes());
    // A change below one display step is none.
    TestLog close;
    close.hold(30, {kRpm, kLoad, 14.7}).hold(30, {kRpm, kLoad, 14.7 * 1.001});
    EXPECT_EQ(propose(close).cells[4][6].verdict, CellVerdict::NoChange);
}

TEST(AutoTune, FuelCutWarmUpColdRailedAndTipInReadingsChangeNothing) {
    // A clean stretch that is 5 % lean, and around it readings that would say otherwise.
    const double clean = 14.7 * 1.05;
    TestLog log;
    log.hold(30, {kRpm, kLoad, 11});         // the start of the run
    log.hold(10, {kRpm, kLoad, 11, 3, 60});  // cold
    log.hold(10, {kRpm, kLoad, clean});
    log.hold(5, {kRpm, kLoad, 19.8});   // railed
    log.hold(2, {kRpm, kLoad, 20, 0});  // fuel cut
    log.hold(1.4, {kRpm, kLoad, 18});   // still clearing the exhaust
    log.hold(10, {kRpm, kLoad, clean});
    log.hold(0.3, {kRpm, kLoad, 12, 3, 85, 3.5});  // a tip-in: throttle open
    log.hold(0.8, {kRpm, kLoad, 12, 3, 85, 3.5});  // its extra fuel reaching the sensor
    log.hold(10, {kRpm, kLoad, clean, 3, 85, 3.5});
    const AutoTuneProposal p = propose(log);
    const CellResult& cell = p.cells[4][6];
    EXPECT_NEAR(cell.correction, 1.05, 1e-9);
    EXPECT_LT(cell.spreadPercent, 1e-6);
    EXPECT_EQ(p.readings.count(Rejection::StartOfRun), 3000);
    EXPECT_EQ(p.readings.count(Rejection::Cold), 1000);
    EXPECT_EQ(p.readings.count(Rejection::Railed), 500 + 200);
    EXPECT_GE(p.readings.count(Rejection::FuelCut), 130);
    EXPECT_GE(p.readings.count(Rejection::Transient), 80);
    EXPECT_EQ(p.readings.total, log.store()->sampleCount());
    EXPECT_EQ(cell.mostlyRejectedAs, Rejection::StartOfRun);
    EXPECT_EQ(cell.rejected, 3000);
    // A cell written while logging at 60 s: what was read of it before measured the old value,
    // and the gas burned before the write is still on its way for the delay and a second.
    AutoTuneSettings written;
    written.writtenAtSeconds[4][6] = 60;
    const AutoTuneProposal afterWrite = propose(log, flatTune(), {}, written);
    // Those before it, and those of the second after it and a delay; none later.
    EXPECT_GT(afterWrite.readings.count(Rejection::Rewritten), 1000 + 100);
    EXPECT_LT(afterWrite.readings.count(Rejection::Rewritten), 1000 + 400);
    EXPECT_NEAR(afterWrite.cells[4][6].correction, 1.05, 1e-9);
    EXPECT_EQ(p.readings.accepted + p.readings.count(Rejection::StartOfRun) +
                  p.readings.count(Rejection::Cold) + p.readings.count(Rejection::Railed) +
                  p.readings.count(Rejection::OffMap) + p.readings.count(Rejection::FuelCut) +
                  p.readings.count(Rejection::Transient) + p.readings.count(Rejection::Rewritten) +
                  p.readings.count(Rejection::Outlier),
              p.readings.total);
}

TEST(AutoTune, ALogThatGoesOnWithTheRunBeforeItHasNoStartOfRun) {
    TestLog log;
    log.hold(40, {kRpm, kLoad, 14.7 * 1.04});
    const AutoTuneProposal first =
        proposeCorrections({log.store()}, flatTune(), flatTarget(), {}, {});
    const AutoTuneProposal next =
        proposeCorrections({{log.store(), true}}, flatTune(), flatTarget(), {}, {});
    EXPECT_EQ(first.readings.count(Rejection::StartOfRun), 3000);
    EXPECT_EQ(next.readings.count(Rejection::StartOfRun), 0);
    EXPECT_EQ(next.readings.accepted, 4000);
}

TEST(AutoTune, ACellNeedsTenSamplesAndAQuietSpreadAndMisfiresAreOutliers) {
    const auto afterTheStart = [](int samples) {
        TestLog log;
        log.hold(30, {kRpm, kLoad, 16});
        for (int i = 0; i < samples; ++i)
            log.add({kRpm, kLoad, 16});
        return log;
    };
    EXPECT_EQ(propose(afterTheStart(9)).cells[4][6].verdict, CellVerdict::TooFew);
    EXPECT_EQ(propose(afterTheStart(10)).cells[4][6].verdict, CellVerdict::Proposed);

    // Readings that scatter 5 % either way are no ground for a change.
    TestLog scattered;
    scattered.hold(30, {kRpm, kLoad, 14.7});
    for (int i = 0; i < 400; ++i)
        scattered.add({kRpm, kLoad, 14.7 * (i % 2 ? 1.05 : 0.95)});
    EXPECT_EQ(propose(scattered).cells[4][6].verdict, CellVerdict::TooSpread);

    // A few misfire spikes among readings with 1 % of noise are dropped, not averaged in.
    TestLog misfires;
    misfires.hold(30, {kRpm, kLoad, 14.7});
    for (int i = 0; i < 1000; ++i)
        misfires.add({kRpm, kLoad, 14.7 * 1.02 * (i % 100 == 0 ? 1.08 : 1 + 0.01 * (i % 3 - 1))});
    const AutoTuneProposal p = propose(misfires);
    EXPECT_EQ(p.readings.count(Rejection::Outlier), 10);
    EXPECT_NEAR(p.cells[4][6].correction, 1.02, 1e-4);
}

TEST(AutoTune, AMisfireSpikeGoesWithItsRiseAndTailAndNoiseMovesNoCell) {
    // Steady readings 2 % lean with 1 % noise; a misfire rises to 24 % lean in 0.1 s and
    // takes half a second to return. None of it may lean the cell further.
    TestLog log;
    log.hold(30, {kRpm, kLoad, 14.7});
    const auto noisy = [](int i) { return 14.7 * 1.02 * (1 + 0.01 * (i % 3 - 1)); };
    for (int i = 0; i < 300; ++i)
        log.add({kRpm, kLoad, noisy(i)});
    for (int i = 0; i < 60; ++i) {
        const double shape = i < 10 ? i / 10.0 : std::exp(-(i - 10) / 12.0);
        log.add({kRpm, kLoad, 14.7 * 1.02 * (1 + 0.24 * shape)});
    }
    for (int i = 0; i < 300; ++i)
        log.add({kRpm, kLoad, noisy(i)});
    const AutoTuneProposal p = propose(log);
    EXPECT_NEAR(p.cells[4][6].correction, 1.02, 0.001);
    EXPECT_GE(p.readings.count(Rejection::Outlier), 50);

    // A mean a little over half a step off, from readings that scatter 2 %: noise, no change.
    TestLog scatter;
    scatter.hold(30, {kRpm, kLoad, 14.7});
    for (int i = 0; i < 40; ++i)
        scatter.add({kRpm, kLoad, 14.7 * 1.003 * (i % 2 ? 1.02 : 0.98)});
    EXPECT_EQ(propose(scatter).cells[4][6].verdict, CellVerdict::NoChange);
}

TEST(AutoTune, AWholeMapOffTheSameWayIsToldAsOneCauseAndARangeLimitIsNamed) {
    TestLog log;
    log.hold(30, {kRpm, kLoad, 14.7});
    for (int row = 2; row < 8; ++row)
        log.hold(2, {3400, 1000 + 500.0 * row, 14.7 * 1.11});
    const AutoTuneProposal lean = propose(log);
    EXPECT_EQ(lean.diagnosis,
              "the whole map reads 11 % lean: check injector size or fuel pressure before tuning "
              "cells");
    TestLog rich;
    rich.hold(30, {kRpm, kLoad, 14.7});
    for (int row = 2; row < 8; ++row)
        rich.hold(2, {3400, 1000 + 500.0 * row, 14.7 * 0.89});
    EXPECT_EQ(propose(rich).diagnosis,
              "the whole map reads 11 % rich: check injector size or fuel pressure before tuning "
              "cells");
    // A tune at the top of its range cannot go richer.
    const CellResult top = propose(log, flatTune(250)).cells[4][6];
    EXPECT_EQ(top.verdict, CellVerdict::OutOfRange);
    EXPECT_EQ(top.newRaw, 255);
}

TEST(AutoTune, ReadingsBetweenBreakpointsShareTheirCellsAgainstAShapedTarget) {
    // A quarter of the way from N07 to N08 and half way from P05 to P06: four cells share every
    // reading, measured against the target where the engine was.
    const MapField target = shapedTarget();
    const TuneMap tune = shapedTune();
    const double rpm = rpmAt(6, 0.25);
    const double load = loadAt(4, 0.5);
    TestLog log;
    log.hold(30, {rpm, load, 14.7});
    log.hold(10, {rpm, load, interpolateField(target, tune.axes, rpm, load) * 1.06});
    const AutoTuneProposal p = proposeCorrections({log.store()}, tune, target, {}, {});
    for (const auto& [row, col] : {std::pair{4, 6}, {4, 7}, {5, 6}, {5, 7}}) {
        const CellResult& cell = p.cells[std::size_t(row)][std::size_t(col)];
        EXPECT_NEAR(cell.correction, 1.06, 1e-9) << row << "," << col;
        // Each of the 1000 readings counts by its share of the cell.
        EXPECT_NEAR(cell.samples, 1000 * 0.5 * (col == 6 ? 0.75 : 0.25), 1e-6) << row << "," << col;
        EXPECT_EQ(cell.newRaw,
                  std::lround((tune.value(row, col) * 1.06 - tune.codec.offset) / tune.codec.scale))
            << row << "," << col;
    }
    EXPECT_EQ(p.cells[4][8].verdict, CellVerdict::NoData);
    EXPECT_EQ(p.cells[6][6].verdict, CellVerdict::NoData);
}

TEST(AutoTune, ACellRightAtItsOwnBreakpointIsNotMovedByTheLeanNeighbourItSharesReadingsWith) {
    // N08 burns 8 % lean and N07 is right: readings 30 % of the way from N07 to N08 read 2.4 %
    // lean. Taken as N07's own they would move it; fitted with N08's own readings they do not.
    TestLog log;
    log.hold(30, {rpmAt(7), kLoad, 14.7 * 1.08});
    log.hold(10, {rpmAt(7), kLoad, 14.7 * 1.08});
    log.hold(1, {rpmAt(7), kLoad, 19, 0});  // a fuel cut between them
    log.hold(10, {rpmAt(6, 0.3), kLoad, 14.7 * (0.7 + 0.3 * 1.08)});
    const AutoTuneProposal p = propose(log);
    EXPECT_EQ(p.cells[4][6].verdict, CellVerdict::NoChange) << p.cells[4][6].correction;
    EXPECT_NEAR(p.cells[4][6].correction, 1, 0.003);
    EXPECT_NEAR(p.cells[4][7].correction, 1.08, 0.003);
}

TEST(AutoTune, ACellTouchedOnlyAtItsNeighboursCornerIsTooFewNotMovedByTheirError) {
    // Two seconds mostly in P06 N08, 6 % lean: that cell is proposed, while P05 N07 holds a
    // twenty-fifth of each reading, eight samples' worth, and keeps its value.
    TestLog log;
    log.hold(30, {rpmAt(6, 0.8), loadAt(4, 0.8), 14.7});
    log.hold(2, {rpmAt(6, 0.8), loadAt(4, 0.8), 14.7 * 1.06});
    const AutoTuneProposal p = propose(log);
    EXPECT_EQ(p.cells[5][7].verdict, CellVerdict::Proposed);
    EXPECT_EQ(p.cells[5][7].readings, 200);
    EXPECT_EQ(p.cells[4][6].verdict, CellVerdict::TooFew);
    EXPECT_NEAR(p.cells[4][6].samples, 200 * 0.2 * 0.2, 1e-6);
    EXPECT_EQ(p.cells[4][6].readings, 0);
    EXPECT_FALSE(p.cells[4][6].changes());
}

TEST(AutoTune, APullsReadingIsPlacedWhereItsGasBurnedOneDelayEarlier) {
    // Pulls from 2000 to 6000 rpm at 1000 rpm/s, each burn leaner the higher the rpm, each read
    // by the sensor one delay after it burned.
    const auto lean = [](double rpm) { return 1 + (rpm - 2000) / 40000; };
    const double load = loadAt(0);
    const auto rpmAtTime = [](double t) {
        return t < 30 ? 2000 : 2000 + 1000 * std::fmod(t - 30, 4);
    };
    TestLog log;
    for (int n = 0; n < 30 * 100 + 20 * 400; ++n) {
        const double t = n / 100.0;
        double delay = 0.3;
        for (int k = 0; k < 8; ++k)
            delay = assumedDelaySeconds(rpmAtTime(t - delay), load);
        log.add({rpmAtTime(t), load, 14.7 * lean(rpmAtTime(t - delay))});
    }
    const AutoTuneProposal p = proposeCorrections({log.store()}, flatTune(), flatTarget(), {}, {});
    for (int col = 5; col <= 10; ++col)
        EXPECT_NEAR(p.cells[0][std::size_t(col)].correction, lean(rpmAt(col)), 0.002) << col;
}

TEST(AutoTune, AReadingIsJudgedAgainstTheReadingsOfTheCellItMostlyFellIn) {
    // A few readings mostly in P05 N07 on target, and many mostly in P07 N09, 5 % lean: both
    // reach P06 N08 with their smallest share, and neither is an outlier of the other.
    TestLog log;
    log.hold(30, {rpmAt(6, 0.25), loadAt(4, 0.25), 14.7});
    log.hold(2, {rpmAt(6, 0.25), loadAt(4, 0.25), 14.7});
    log.hold(1, {rpmAt(7, 0.75), loadAt(5, 0.75), 19, 0});  // a fuel cut between them
    log.hold(10, {rpmAt(7, 0.75), loadAt(5, 0.75), 14.7 * 1.05});
    const AutoTuneProposal p = propose(log);
    EXPECT_EQ(p.readings.count(Rejection::Outlier), 0);
    EXPECT_NEAR(p.cells[4][6].correction, 1, 0.01);
}

TEST(AutoTune, ReadingsOffTheMapAreLeftOutNotFoldedIntoItsEdges) {
    TestLog log;
    log.hold(30, {kRpm, kLoad, 14.7});
    log.hold(5, {1e308, kLoad, 16});
    log.hold(5, {kRpm, -5000, 16});
    log.hold(10, {kRpm, kLoad, 14.7 * 1.05});
    const AutoTuneProposal p = propose(log);
    EXPECT_GE(p.readings.count(Rejection::OffMap), 1000);
    EXPECT_NE(p.readings.line().find(", off the map 1"), std::string::npos) << p.readings.line();
    EXPECT_EQ(p.cells[4][19].verdict, CellVerdict::NoData);
    EXPECT_EQ(p.cells[0][6].verdict, CellVerdict::NoData);
    EXPECT_NEAR(p.cells[4][6].correction, 1.05, 1e-9);
}

TEST(AutoTune, EachReadingCountsAgainstTheTuneItRanOnSoAnAppliedProposalIsNotAskedAgain) {
    const TuneMap t0 = shapedTune();
    const MapField target = shapedTarget();
    const auto afrAt = [&](double rpm, double load, double lean) {
        return interpolateField(target, t0.axes, rpm, load) * lean;
    };
    // 20 % lean in one place (held to 10 % a pass), 4 % in another.
    TestLog log;
    log.hold(30, {rpmAt(6, 0.25), loadAt(4, 0.5), 14.7});
    log.hold(10, {rpmAt(6, 0.25), loadAt(4, 0.5), afrAt(rpmAt(6, 0.25), loadAt(4, 0.5), 1.2)});
    log.hold(10, {rpmAt(12), loadAt(9), afrAt(rpmAt(12), loadAt(9), 1.04)});
    const AutoTuneProposal first = proposeCorrections({log.store()}, t0, target, {}, {});
    ASSERT_EQ(first.changedCells(), 5);
    const TuneMap t1 = applied(t0, first);

    const AutoTuneLog ranOnT0(log.store(), false, {{0, t0}});
    const AutoTuneProposal again = proposeCorrections({ranOnT0}, t1, target, {}, {});
    EXPECT_EQ(again.changedCells(), 0);
    EXPECT_EQ(again.cells[9][12].verdict, CellVerdict::NoChange);
    EXPECT_NEAR(again.cells[9][12].correction, 1, 0.005);
    // Taken as run on the tune it is analysed for, the same readings ask for it all again.
    EXPECT_EQ(proposeCorrections({log.store()}, t1, target, {}, {}).changedCells(), 5);

    // A cell moved since is brought back to what the readings ask, from where it is now.
    TuneMap moved = t1;
    moved.raw[9][12] += 6;
    const CellResult back = proposeCorrections({ranOnT0}, moved, target, {}, {}).cells[9][12];
    EXPECT_EQ(back.verdict, CellVerdict::Proposed);
    EXPECT_EQ(back.newRaw, t1.raw[9][12]);
}

TEST(AutoTune, ALogThatRanOnTwoTunesTakesEachPartAgainstItsOwn) {
    // 6 % lean on T0; from sample 5000 on the unit holds T1, 6 % richer there, and reads on target.
    const TuneMap t0 = flatTune(100);
    const TuneMap t1 = flatTune(static_cast<std::int32_t>(
        std::lround((t0.value(4, 6) * 1.06 - t0.codec.offset) / t0.codec.scale)));
    TestLog log;
    log.hold(50, {kRpm, kLoad, 14.7 * 1.06}).hold(20, {kRpm, kLoad, 14.7});
    const AutoTuneLog both(log.store(), false, {{5000, t1}, {0, t0}});
    const AutoTuneProposal p = proposeCorrections({both}, t1, flatTarget(), {}, {});
    EXPECT_EQ(p.cells[4][6].verdict, CellVerdict::NoChange) << p.cells[4][6].correction;
    EXPECT_LT(p.cells[4][6].spreadPercent, 0.5);
    // The gas read just after the change may have burned under the old tune.
    EXPECT_GT(p.readings.count(Rejection::Rewritten), 0);
    EXPECT_LT(p.readings.count(Rejection::Rewritten), 200);
    // Against T0 throughout, half the log says 6 % lean and half says on target.
    EXPECT_GT(proposeCorrections({log.store()}, t1, flatTarget(), {}, {}).cells[4][6].spreadPercent,
              2.5);
}

TEST(AutoTune, ATuneWhoseAxesDifferGivesEachCellWhatItHeldAtThatCellsBreakpoints) {
    // The same fuel at the same rpm, the tune the log ran on indexed one column to the left.
    const TuneMap now = shapedTune();
    TuneMap before = now;
    for (std::size_t c = 0; c < kMapAxisSize; ++c) {
        before.axes.column[c] = now.axes.column[0] + 400.0 * (static_cast<double>(c) - 1);
        for (std::size_t r = 0; r < kMapAxisSize; ++r)
            before.raw[r][c] = now.raw[r][c == 0 ? 0 : c - 1];
    }
    TestLog log;
    log.hold(30, {kRpm, kLoad, 14.7}).hold(10, {kRpm, kLoad, 14.7});
    const AutoTuneLog ranOn(log.store(), false, {{0, before}});
    const CellResult cell = proposeCorrections({ranOn}, now, flatTarget(), {}, {}).cells[4][6];
    EXPECT_EQ(cell.verdict, CellVerdict::NoChange);
    EXPECT_NEAR(cell.correction, 1, 1e-9);
}

TEST(AutoTune, AMissingGroupNamesTheBoxToTick) {
    LogStore log;
    log.IncludeGroup[kGroupAdvanced] = true;
    EXPECT_EQ(missingGroupsProblem(log, kAn1Item, "d.txt"),
              "Auto-tune needs Aux A/D, and d.txt was logged without it: tick Aux A/D in the "
              "Monitor before logging");
    log.IncludeGroup[kGroupAdvanced] = false;
    EXPECT_EQ(missingGroupsProblem(log, kAn1Item, "d.txt"),
              "Auto-tune needs Aux A/D and Advanced, and d.txt was logged without them: tick Aux "
              "A/D and Advanced in the Monitor before logging");
    log.IncludeGroup[kGroupAdvanced] = log.IncludeGroup[kGroupAux] = true;
    EXPECT_EQ(missingGroupsProblem(log, kAn1Item, "d.txt"), "");
}

TEST(AutoTune, An1IsAnAfrByAnyCommonNameAndIsRefusedAsAnythingElseOrUncalibrated) {
    const std::string text =
        "[SR20DET]\r\nTime(S)\tRpm\tAN1 raw\tAN2 raw\tAN3 raw\tAN4 raw\tAN1 Boost psi\tAN2 raw\r\n"
        "0.000\t800\t1\t1\t1\t1\t3\t1\r\n";
    EXPECT_EQ(an1HeadingOf(text), "AN1 Boost psi");
    EXPECT_EQ(an1HeadingOf("[SR20DET]\r\nTime(S)\tRpm\tLoad\r\n"), "");

    enum Kind { Afr, Other, Raw };
    const std::vector<std::pair<std::string, Kind>> cases = {
        {"AN1 Wide Band", Afr}, {"AN1-AN2 AFR", Afr},  {"AN1 A/F", Afr},
        {"AN1 AF Ratio", Afr},  {"AN1 Lambda", Afr},   {"AN1 WB O2", Afr},
        {"AN1 wbo2", Afr},      {"AN1 Wideband", Afr}, {"AN1 LC-1", Afr},
        {"AN1 Air/Fuel", Afr},  {"AN1 UEGO", Afr},     {"AN1 Boost psi", Other},
        {"AN1 O2", Other},      {"AN1 Cyl C1", Other}, {"AN1 Fuel Press", Other},
        {"AN1 EGT", Other},     {"AN1 raw", Raw},      {"AN1 ", Raw},
        {"AN1-AN2 RAW", Raw},
    };
    for (const auto& [heading, kind] : cases) {
        const std::string refused = an1Refusal(heading, "d.txt");
        EXPECT_EQ(refused.empty(), kind == Afr) << heading << ": " << refused;
        if (kind == Afr) continue;
        EXPECT_NE(refused.find("AN1 of d.txt is \"" + heading + "\""), std::string::npos)
            << refused;
        EXPECT_EQ(refused.find("uncalibrated voltage") != std::string::npos, kind == Raw)
            << refused;
    }
    EXPECT_EQ(an1Refusal("AN1 Boost psi", "d.txt"),
              "the A/F is read from AN1, and AN1 of d.txt is \"AN1 Boost psi\", not a calibrated "
              "wide-band A/F");
}

TEST(TargetAfr, TheFileIsTwentyRowsOfTwentyTargetsAndAnythingElseIsNamed) {
    const MapField defaults = defaultTargetAfr(evenAxes());
    const TargetAfrRead back = readTargetAfr(targetAfrText(defaults));
    ASSERT_TRUE(back.table) << back.error;
    EXPECT_EQ(*back.table, defaults);

    std::string rows;
    for (int r = 0; r < 20; ++r) {
        std::string line = "14.7";
        for (int c = 1; c < 20; ++c)
            line += (c % 2 ? ", " : "\t") + std::string("13.5");
        rows += line + "\r\n" + (r == 3 ? "\n# a comment\n" : "");
    }
    ASSERT_TRUE(readTargetAfr(rows).table);
    EXPECT_EQ((*readTargetAfr(rows).table)[19][1], 13.5);

    const auto errorOf = [&](std::string text) { return readTargetAfr(text).error; };
    std::string bad = rows;
    bad.replace(bad.find("13.5"), 4, "1x.5");
    EXPECT_EQ(errorOf(bad), "line 1, value 2: '1x.5' is not a number");
    bad = rows;
    bad.replace(bad.rfind("13.5"), 4, "25");
    EXPECT_EQ(errorOf(bad), "line 22, value 20: 25 is no target A/F (9 to 20)");
    EXPECT_EQ(errorOf(rows + rows), "line 23: more than 20 rows");
    EXPECT_EQ(errorOf(rows.substr(0, rows.find('\n') + 1)), "only 1 rows of values, not 20");
    EXPECT_EQ(errorOf("14.7\t14.7\n"), "line 1 has 2 values, not 20");
}

}  // namespace
}  // namespace tunalyx
