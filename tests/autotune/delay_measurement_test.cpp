#include "autotune/delay_measurement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <random>

namespace tunalyx {
namespace {

// What the engine does at a moment: where it runs, whether fuel is cut, the throttle, and how
// much richer than its steady A/F the cylinder burns.
struct Moment {
    double rpm;
    double load;
    bool cut = false;
    double tps = 1;
    double richer = 0;
};

// A log of an engine following `drive`, read by a sensor `delay(flow)` late with a 0.1 s lag and
// 1 % noise, railed at 10 and 20 A/F, every `sampleMs`.
std::unique_ptr<LogStore> sensedLog(double seconds, int sampleMs,
                                    const std::function<Moment(double)>& drive,
                                    const std::function<double(double)>& delay) {
    auto log = std::make_unique<LogStore>();
    log->IncludeGroup[kGroupAdvanced] = true;
    log->IncludeGroup[kGroupAux] = true;
    constexpr double kStep = 0.001;
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, 0.01);
    const auto burned = [&](double t) {
        const Moment m = drive(std::max(0.0, t));
        return m.cut ? 25.0 : 14.7 / (1 + m.richer);
    };
    double seen = 14.7;
    int n = 0;
    for (int step = 0; step * kStep < seconds; ++step) {
        const double t = step * kStep;
        const Moment m = drive(t);
        seen += (burned(t - delay(flowShare(m.rpm, m.load))) - seen) * (1 - std::exp(-kStep / 0.1));
        if (step % sampleMs != 0) continue;
        log->setLogTime(n, step);
        log->setLogData(kRpmItem, n, m.rpm);
        log->setLogData(kLoadItem, n, m.load);
        log->setLogData(kInjMsItem, n, m.cut ? 0 : 3 * (1 + m.richer));
        log->setLogData(kWaterTempItem, n, 85);
        log->setLogData(kThrottleVoltsItem, n, m.tps);
        log->setLogData(kAn1Item, n, std::clamp(seen * (1 + noise(random)), 10.0, 20.0));
        log->LogLast = n++;
    }
    return log;
}

// Light cruise with a 1.5 s fuel cut every 4 s, then a heavier one with a tip-in every 5 s.
Moment cutsThenTipIns(double t) {
    constexpr double kCutsUntil = 80;
    if (t < kCutsUntil) {
        const double into = std::fmod(t, 4);
        return {1500, 1500, into >= 1.5 && into < 3};
    }
    const double into = std::fmod(t - kCutsUntil, 5);
    Moment m{5000, 6000};
    if (into >= 1 && into < 2.5) {
        m.tps = 1 + 2 * std::min(1.0, (into - 1) / 0.1);
        m.richer = into < 1.5 ? 0.1 * (1 - (into - 1) / 0.5) : 0;
    } else if (into >= 2.5) {
        m.tps = 3 - 2 * std::min(1.0, (into - 2.5) / 2.4);  // closing slowly: no lift
    }
    return m;
}

double twoDelays(double flow) {
    return flow < 0.03 ? 0.55 : 0.25;
}

TEST(SensorDelay, FuelCutsAndTipInsGiveEachFlowBandItsOwnDelay) {
    for (const int sampleMs : {6, 50}) {
        SCOPED_TRACE(sampleMs);
        const auto log = sensedLog(180, sampleMs, cutsThenTipIns, twoDelays);
        const MeasuredDelay d = measureSensorDelay({log.get()}, {});
        ASSERT_EQ(d.regions.size(), 5U);
        const DelayRegion& light = d.regions.front();
        const DelayRegion& heavy = d.regions.back();
        EXPECT_TRUE(light.measured());
        EXPECT_TRUE(heavy.measured());
        EXPECT_NEAR(light.seconds, 0.55, 0.02);
        EXPECT_NEAR(heavy.seconds, 0.25, 0.02);
        EXPECT_EQ(light.events, 20);  // cut starts only: their ends come off the rail
        EXPECT_EQ(heavy.events, 20);
        EXPECT_NEAR(d.secondsAt(1500, 1500), 0.55, 0.02);
        EXPECT_FALSE(d.regions[2].measured());
    }
}

TEST(SensorDelay, ALogWithoutFuelCutsOrTipInsMeasuresNothing) {
    const auto steady = sensedLog(
        120, 6,
        [](double) {
            return Moment{3000, 4000};
        },
        twoDelays);
    const MeasuredDelay d = measureSensorDelay({steady.get()}, {});
    EXPECT_FALSE(d.anyMeasured());
    EXPECT_EQ(d.line(), "Sensor delay not measured: no fuel cut or tip-in clear enough; assumed");
    EXPECT_DOUBLE_EQ(d.secondsAt(3000, 4000), assumedDelaySeconds(3000, 4000));
}

}  // namespace
}  // namespace tunalyx
