#include "autotune/curve_tune.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <random>

#include "support/even_map.h"

namespace tunalyx {
namespace {

struct CurveMoment {
    double rpm;
    double load;
    double afr;  // burned
    double water = 85;
    double tps = 1;
    double injMs = 3;
};

// A log of `drive` every 10 ms; with `sensor`, the A/F is read one assumed delay late through a
// 0.1 s lag with 1 % noise, else as burned.
std::unique_ptr<LogStore> recorded(double seconds, const std::function<CurveMoment(double)>& drive,
                                   bool sensor) {
    auto log = std::make_unique<LogStore>();
    log->IncludeGroup[kGroupAdvanced] = true;
    log->IncludeGroup[kGroupAux] = true;
    std::mt19937 random(11);
    std::normal_distribution<double> noise(0, 0.01);
    constexpr double kStep = 0.001;
    double seen = drive(0).afr;
    int n = 0;
    for (int step = 0; step * kStep < seconds; ++step) {
        const double t = step * kStep;
        const CurveMoment m = drive(t);
        const double late = t - assumedDelaySeconds(m.rpm, m.load);
        seen += (drive(std::max(0.0, late)).afr - seen) * (1 - std::exp(-kStep / 0.1));
        if (step % 10 != 0) continue;
        log->setLogTime(n, step);
        log->setLogData(kRpmItem, n, m.rpm);
        log->setLogData(kLoadItem, n, m.load);
        log->setLogData(kInjMsItem, n, m.injMs);
        log->setLogData(kWaterTempItem, n, m.water);
        log->setLogData(kThrottleVoltsItem, n, m.tps);
        log->setLogData(kAn1Item, n, sensor ? seen * (1 + noise(random)) : m.afr);
        log->LogLast = n++;
    }
    return log;
}

MapField stoichiometric() {
    MapField t{};
    for (auto& row : t)
        row.fill(14.7);
    return t;
}

FuelCurves heldCurves() {
    FuelCurves c;
    c.warmUp.x = {-30, -10, 10, 30, 50, 80};
    c.warmUp.y = {1.5, 1.375, 1.25, 1.125, 1.0625, 1};
    c.pump.pulse.x = {1000, 2000, 3000, 4000, 5000};
    c.pump.pulse.y = {2, 2, 1.6, 1.2, 1};
    return c;
}

const FamilyLayout& layout5() {
    return familyLayout(LayoutFamily::Family5);
}

// Row 4, column 6 of the even axes; the map there reads 4 % lean when warm.
constexpr double kCellRpm = 3400;
constexpr double kCellLoad = 3000;
constexpr double kMapLean = 1.04;

TEST(WarmUpProposal, ColdReadingsGiveTheFactorWithTheMapsOwnErrorTakenOut) {
    // How much leaner than the warm map the engine runs at each point's coolant.
    const std::array<double, 3> coolant{10, 30, 50};
    const std::array<double, 3> lean{1.06, 0.97, 1.03};
    const auto drive = [&](double t) -> CurveMoment {
        if (t < 60)
            return {kCellRpm, kCellLoad, 14.7 * kMapLean};  // the start of the run, then warm
        const int k = static_cast<int>((t - 60) / 20);
        if (k < 3) return {kCellRpm, kCellLoad, 14.7 * kMapLean * lean[k], coolant[k]};
        // Cold at a point the warm engine never visited.
        return {1400, 9000, 14.7, 20};
    };
    const auto log = recorded(130, drive, false);
    const TuneMap tune = test::flatMap(kInjMap, 128);
    const std::vector<AutoTuneLog> logs{log.get()};
    const AutoTuneProposal map = proposeCorrections(logs, tune, stoichiometric(), {}, {});
    ASSERT_NEAR(map.cells[4][6].correction, kMapLean, 1e-6);
    const FuelCurves held = heldCurves();
    const CurveProposal p =
        proposeWarmUp(logs, tune, held, stoichiometric(), map, AutoTuneSettings{}, layout5());
    ASSERT_EQ(p.points.size(), kWarmUpPoints);
    EXPECT_EQ(p.used, 1);
    for (std::size_t k = 0; k < 3; ++k) {
        const CurvePointResult& point = p.points[k + 2];
        EXPECT_NEAR(point.newValue / (held.warmUp.y[k + 2] * lean[k]), 1, 0.01) << point.x;
        EXPECT_EQ(point.coldStarts, 1);
    }
    // Points no reading reached keep their values.
    EXPECT_EQ(p.points[0].why, "no readings");
    EXPECT_FALSE(p.points[0].changes());
    // The warm end is the Inj Map's to carry, whatever the readings near it say.
    EXPECT_EQ(p.points[5].why, "the warm engine's: the Inj Map is tuned on it");
    // 10 s of readings where the map was never measured, but for the transient into it.
    const auto unmeasured = p.rejected[4];
    EXPECT_EQ(unmeasured.first, "map not measured there");
    EXPECT_GT(unmeasured.second, 850);
    EXPECT_LE(unmeasured.second, 1000);
    EXPECT_EQ(p.rejectedLine().rfind("Rejected: transient ", 0), 0U) << p.rejectedLine();
}

// Tip-ins every 4 s at 2000 rpm, then at 4000, each with a 1 to 3 V opening in 0.1 s; the engine
// wants `wanted` times the pump's fuel at each. The seventh at 2000 rpm lifts 0.2 s after.
CurveMoment tipIns(double t, const AccelPump& pump, double wanted2000, double wanted4000) {
    const bool low = t < 28;
    const double into = std::fmod(t, 4);
    CurveMoment m{low ? 2000.0 : 4000.0, 4000, 14.7};
    if (into < 1) return m;
    const bool lift = low && t >= 24;
    if (lift && into >= 1.2) return m;  // a lift ends the pump
    m.tps = 1 + 2 * std::min(1.0, (into - 1) / 0.1);
    if (into >= 3) m.tps = 3 - 2 * std::min(1.0, (into - 3) / 0.9);  // closing slowly
    const double extra = pump.extraMs(m.rpm, 2 / 3.85 / 0.1, std::max(0.0, into - 1.1));
    const double wanted = (low ? wanted2000 : wanted4000) * extra;
    m.injMs = 3 + extra;
    m.afr = 14.7 * (3 + wanted) / (3 + extra);
    if (t >= 37.2 && t < 37.3) m.afr *= 1.4;  // a misfire in the third at 4000 rpm
    return m;
}

TEST(PumpProposal, TipInsSayHowMuchOfThePumpTheEngineWanted) {
    const FuelCurves held = heldCurves();
    const auto log = recorded(
        52, [&](double t) { return tipIns(t, held.pump, 1.25, 0.8); }, true);
    AutoTuneSettings settings;
    settings.maxChangePercent = 50;
    const CurveProposal p = proposePump({log.get()}, test::flatMap(kInjMap, 128), held,
                                        stoichiometric(), settings, layout5());
    ASSERT_EQ(p.points.size(), kPumpPoints);
    EXPECT_EQ(p.used, 11);
    EXPECT_EQ(p.points[1].events, 6);
    EXPECT_NEAR(p.points[1].newValue, 2 * 1.25, 0.04);
    EXPECT_NEAR(p.points[3].newValue, 1.2 * 0.8, 0.02);
    EXPECT_EQ(p.points[2].why, "no tip-ins");
    EXPECT_EQ(p.rejectedLine(), "Rejected: throttle lifted 1, outlier 1");
    // The pump moves up to 50 % a pass whatever the map's limit: a 25 % ask is met at once, and
    // a tighter 10 % map limit does not hold it back.
    const CurveProposal held10 = proposePump({log.get()}, test::flatMap(kInjMap, 128), held,
                                             stoichiometric(), {}, layout5());
    EXPECT_NEAR(held10.points[1].newValue, 2 * 1.25, 0.04);
}

TEST(PumpProposal, TheMapsOwnErrorAtTheNewLoadIsNotTakenForThePumps) {
    // The map reads 5 % lean at load 5000 and right at 3000; the engine wants just the pump.
    const FuelCurves held = heldCurves();
    const auto mapLean = [](double load) {
        return 1 + 0.05 * std::clamp((load - 3000) / 2000, 0.0, 1.0);
    };
    const auto drive = [&](double t) -> CurveMoment {
        if (t < 70) return {3000, t < 50 ? 3000.0 : 5000.0, 14.7 * mapLean(t < 50 ? 3000 : 5000)};
        const double into = std::fmod(t - 70, 5);
        CurveMoment m{3000, 3000, 14.7};
        if (into >= 2) {
            const double up = std::min(1.0, (into - 2) / 0.1);
            const double down = std::clamp((into - 4) / 1, 0.0, 1.0);
            m.load = 3000 + 2000 * (up - down);
            m.tps = 1 + 2 * (up - down);
            const double extra = held.pump.extraMs(3000, 2 / 3.85 / 0.1, std::max(0.0, into - 2.1));
            m.injMs = 3 + extra;
        }
        m.afr = 14.7 * mapLean(m.load);
        return m;
    };
    const auto log = recorded(100, drive, true);
    const CurveProposal p = proposePump({log.get()}, test::flatMap(kInjMap, 128), held,
                                        stoichiometric(), {}, layout5());
    EXPECT_EQ(p.points[2].events, 6);
    // Left in, the map's 5 % would read as a pump a quarter short: 1.76 after the limit.
    EXPECT_NEAR(p.points[2].newValue, 1.6, 0.05);
}

TEST(CurveApply, OnlyChangedPointsAreWrittenAndTheirBlockMarked) {
    PacketImage image;
    PacketDirty dirty;
    SettingsCodec codec{image, dirty};
    image[0x8F] = Bytes(8, 64);  // the warm-up factors are bytes 6 down to 1
    CurveProposal p;
    p.tag = std::string(kWarmUpTag);
    p.points.resize(6);
    for (CurvePointResult& point : p.points)
        point.oldValue = point.newValue = 1;
    EXPECT_EQ(applyCurveProposal(codec, p), 0);
    EXPECT_FALSE(dirty.any());
    p.points[0].newValue = 1.390625;
    p.points[4].newValue = 0.984375;
    EXPECT_EQ(applyCurveProposal(codec, p), 2);
    EXPECT_EQ(image[0x8F], (Bytes{64, 63, 64, 64, 64, 89, 64, 64}));
    EXPECT_TRUE(dirty.isSet(0x8F));
    EXPECT_EQ(dirty.count(), 1U);
}

}  // namespace
}  // namespace tunalyx
