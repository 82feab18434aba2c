#include "autotune/autotune.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "autotune/target_afr.h"

namespace tunalyx {
namespace {

// Breakpoints 1000, 1500, ... rows (load) and 1000, 1400, ... columns (rpm).
MapAxes evenAxes() {
    MapAxes axes;
    for (std::size_t k = 0; k < kMapAxisSize; ++k) {
        axes.row[k] = 1000 + 500.0 * static_cast<double>(k);
        axes.column[k] = 1000 + 400.0 * static_cast<double>(k);
    }
    return axes;
}

InjectionMap flatTune(std::int32_t raw = 128) {
    InjectionMap tune;
    tune.codec = parseMapDescriptor(startupMapTags()[kInjMap]).value();
    tune.axes = evenAxes();
    for (auto& row : tune.raw)
        row.fill(raw);
    return tune;
}

MapField flatTarget(double afr = 14.7) {
    MapField t{};
    for (auto& row : t)
        row.fill(afr);
    return t;
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

AutoTuneProposal propose(const TestLog& log, const InjectionMap& tune = flatTune(),
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

    TestLog rich;
    rich.hold(30, {kRpm, kLoad, 14.7}).hold(30, {kRpm, kLoad, 14.7 * 0.8});
    const CellResult lowered = propose(rich).cells[4][6];
    EXPECT_NEAR(lowered.changePercent(), -10, 0.4);  // 20 % rich, held to the 10 % limit
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
    // A cell written while logging at 60 s: what was read of it before measured the old value,
    // and the gas burned before the write is still on its way for the delay and a second.
    AutoTuneSettings written;
    written.writtenAtSeconds[4][6] = 60;
    const AutoTuneProposal afterWrite = propose(log, flatTune(), {}, written);
    EXPECT_EQ(afterWrite.readings.count(Rejection::Rewritten), 1000 + 257);
    EXPECT_NEAR(afterWrite.cells[4][6].correction, 1.05, 1e-9);
    EXPECT_EQ(p.readings.accepted + p.readings.count(Rejection::StartOfRun) +
                  p.readings.count(Rejection::Cold) + p.readings.count(Rejection::Railed) +
                  p.readings.count(Rejection::FuelCut) + p.readings.count(Rejection::Transient) +
                  p.readings.count(Rejection::Rewritten) + p.readings.count(Rejection::Outlier),
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
    // A tune at the top of its range cannot go richer.
    const CellResult top = propose(log, flatTune(250)).cells[4][6];
    EXPECT_EQ(top.verdict, CellVerdict::OutOfRange);
    EXPECT_EQ(top.newRaw, 255);
}

TEST(TargetAfr, TheFileIsTwentyRowsOfTwentyTargetsAndAnythingElseIsNamed) {
    const MapField defaults = defaultTargetAfr(evenAxes());
    EXPECT_EQ(defaults[0][0], 14.7);
    EXPECT_EQ(defaults[19][19], 11.8);
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
