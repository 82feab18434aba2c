#include "sim/tuned_engine.h"

#include <gtest/gtest.h>

#include <cmath>

#include "link/packet.h"
#include "sim/simulated_ecu.h"

namespace tunalyx {
namespace {

const FamilyLayout& family5() {
    return familyLayout(LayoutFamily::Family5);
}

struct DefaultTune {
    BlockStore blocks = defaultBlocks(simUnit(SimUnitKind::Det1_501));
    MapField injection = injectionField(blocks, family5()).value();
    MapAxes axes = mapAxesOfBlock(blocks[family5().mapRefBlock]).value();
};

EngineOptions withRequirement(RequirementKind kind, double percent = 0, std::uint64_t seed = 1) {
    EngineOptions o;
    o.requirement = kind;
    o.uniformLeanPercent = percent;
    o.seed = seed;
    return o;
}

TunedEngine::Drive steady(double rpm, double load, bool fuelCut = false) {
    return [=](double) { return DriveState{rpm, load, fuelCut ? 0.0 : 0.2, fuelCut}; };
}

double voltsToAfr(double volts) {
    return 10 + 2 * volts;
}

// The mean reading over half a second once the sensor has warmed up and settled.
double settledAfr(TunedEngine& engine, const MapField& injection, const MapAxes& axes) {
    double sum = 0;
    constexpr int kReadings = 50;
    for (int i = 0; i < kReadings; ++i)
        sum += voltsToAfr(engine.advanceTo(22 + 0.01 * i, injection, axes).wideBandVolts);
    return sum / kReadings;
}

TEST(FuelRequirement, PatternIsSmoothWithinFifteenPercentAndTheOptionsSetItsForm) {
    const DefaultTune tune;
    const auto of = [&](const EngineOptions& o) {
        return FuelRequirement(tune.injection, tune.axes, o);
    };
    const FuelRequirement pattern = of(withRequirement(RequirementKind::Pattern, 0, 7));
    double largest = 0;
    for (std::size_t r = 0; r < 20; ++r) {
        for (std::size_t c = 0; c < 20; ++c) {
            const double factor = pattern.field()[r][c] / tune.injection[r][c];
            largest = std::max(largest, std::abs(factor - 1));
            // Smooth: a neighbouring cell differs by a few percent at most.
            if (c > 0) {
                EXPECT_NEAR(factor, pattern.field()[r][c - 1] / tune.injection[r][c - 1], 0.05);
            }
            if (r > 0) {
                EXPECT_NEAR(factor, pattern.field()[r - 1][c] / tune.injection[r - 1][c], 0.05);
            }
        }
    }
    EXPECT_NEAR(largest, 0.15, 1e-9);
    EXPECT_NE(of(withRequirement(RequirementKind::Pattern, 0, 8)).text(), pattern.text());
    EXPECT_EQ(of(withRequirement(RequirementKind::Pattern, 0, 7)).text(), pattern.text());

    const FuelRequirement uniform = of(withRequirement(RequirementKind::Uniform, 12));
    const FuelRequirement correct = of(withRequirement(RequirementKind::Correct));
    EXPECT_DOUBLE_EQ(uniform.field()[3][17], 1.12 * tune.injection[3][17]);
    EXPECT_DOUBLE_EQ(correct.field()[11][4], tune.injection[11][4]);
    // Between breakpoints as the unit interpolates: halfway between two columns.
    const double rpm = (tune.axes.column[4] + tune.axes.column[5]) / 2;
    EXPECT_NEAR(correct.at(rpm, tune.axes.row[9]),
                (tune.injection[9][4] + tune.injection[9][5]) / 2, 1e-12);
}

TEST(FuelRequirement, TheInjMapIsReadColumnByColumnAsTheUnitStoresIt) {
    DefaultTune tune;
    // Cell 65 of the map is column 4, row 6 (1-based): 65 = 3 x 20 + 5.
    tune.blocks[family5().injMapBlock][65] = 0x80;
    tune.blocks[family5().injMapBlock][66] = 0x40;
    const MapField field = injectionField(tune.blocks, family5()).value();
    EXPECT_EQ(field[5][3], 1.0);
    EXPECT_EQ(field[6][3], 0.75);
    tune.blocks[family5().injMapBlock + 3].resize(99);
    EXPECT_FALSE(injectionField(tune.blocks, family5()));
}

// A tune of 14.7 x requirement / target burns the target, at breakpoints and between them.
TEST(TunedEngine, ATuneMadeFromTheRequirementBurnsItsTarget) {
    const DefaultTune tune;
    const EngineOptions options = withRequirement(RequirementKind::Pattern, 0, 3);
    const FuelRequirement requirement(tune.injection, tune.axes, options);
    MapField target{};
    MapField corrected{};
    for (std::size_t r = 0; r < 20; ++r) {
        for (std::size_t c = 0; c < 20; ++c) {
            target[r][c] = 14.7 - 2.5 * static_cast<double>(r) / 19;  // richer with load
            corrected[r][c] = kStoichiometricAfr * requirement.field()[r][c] / target[r][c];
        }
    }
    for (double rowAt : {0.0, 4.5, 9.0, 13.25, 19.0}) {
        for (double colAt : {0.0, 6.5, 12.0, 18.75}) {
            const auto between = [](const auto& axis, double at) {
                const auto k = static_cast<std::size_t>(at);
                const double f = at - static_cast<double>(k);
                return f == 0 ? axis[k] : axis[k] + f * (axis[k + 1] - axis[k]);
            };
            const double rpm = between(tune.axes.column, colAt);
            const double load = between(tune.axes.row, rowAt);
            TunedEngine engine(requirement, steady(rpm, load), options.seed);
            const double wanted = interpolateField(target, tune.axes, rpm, load);
            EXPECT_NEAR(settledAfr(engine, corrected, tune.axes), wanted, 0.01 * wanted)
                << "rpm " << rpm << " load " << load;
        }
    }
}

TEST(TunedEngine, ACellMovesTheMixtureOnlyWhereItHasWeight) {
    const DefaultTune tune;
    const FuelRequirement requirement(tune.injection, tune.axes,
                                      withRequirement(RequirementKind::Correct));
    TunedEngine engine(requirement, steady(0, 0), 1);
    MapField richer = tune.injection;
    richer[8][6] *= 1.2;
    for (double rowAt : {7.0, 7.5, 8.0, 8.5, 9.0, 9.5}) {
        for (double colAt : {5.0, 5.5, 6.0, 6.5, 7.0, 7.5}) {
            const auto at = [&](const auto& axis, double p) {
                const auto k = static_cast<std::size_t>(p);
                return axis[k] + (p - static_cast<double>(k)) * (axis[k + 1] - axis[k]);
            };
            const DriveState point{at(tune.axes.column, colAt), at(tune.axes.row, rowAt), 0.2,
                                   false};
            double weight = 0;
            for (const CellShare& s : bilinearShares(tune.axes, point.rpm, point.load))
                if (s.row == 8 && s.col == 6) weight += s.weight;
            const double before = engine.burnedAfr(
                30, point, interpolateField(tune.injection, tune.axes, point.rpm, point.load));
            const double after = engine.burnedAfr(
                30, point, interpolateField(richer, tune.axes, point.rpm, point.load));
            const double moved = before / after - 1;  // the extra fuel the point gets from the cell
            const double expected =
                weight * 0.2 * tune.injection[8][6] /
                interpolateField(tune.injection, tune.axes, point.rpm, point.load);
            EXPECT_NEAR(moved, expected, 1e-9) << rowAt << ", " << colAt;
            if (rowAt == 7 || rowAt == 9.5 || colAt == 5 || colAt == 7.5) {
                EXPECT_EQ(moved, 0);
            }
        }
    }
}

TEST(TunedEngine, AStepInTheMapReachesTheSensorAfterTheTransportDelayNotBefore) {
    const DefaultTune tune;
    const FuelRequirement requirement(tune.injection, tune.axes,
                                      withRequirement(RequirementKind::Correct));
    for (const auto& [rpm, load] : {std::pair{850.0, 1500.0}, std::pair{6500.0, 12000.0}}) {
        const double delay = transportDelaySeconds(rpm, load);
        TunedEngine engine(requirement, steady(rpm, load), 1);
        const double stepAt = 30;
        engine.advanceTo(stepAt, tune.injection, tune.axes);
        const double before = engine.sensor().seenAfr();
        EXPECT_NEAR(before, 14.7, 0.01);
        MapField richer = tune.injection;
        for (auto& row : richer)
            for (double& v : row)
                v *= 1.1;
        engine.advanceTo(stepAt + delay - 0.01, richer, tune.axes);
        EXPECT_NEAR(engine.sensor().seenAfr(), before, 1e-9) << "rpm " << rpm;
        // Then it follows with a lag: moving at once, but far from the new mixture yet.
        const double after = 14.7 / 1.1;
        engine.advanceTo(stepAt + delay + 0.02, richer, tune.axes);
        EXPECT_LT(engine.sensor().seenAfr(), before - 0.05) << "rpm " << rpm;
        EXPECT_GT(engine.sensor().seenAfr(), before - 0.3 * (before - after)) << "rpm " << rpm;
        // A first-order lag of 100 ms: past 63 % of the way one lag after the delay.
        engine.advanceTo(stepAt + delay + WidebandSensor::kLagSeconds + 0.005, richer, tune.axes);
        EXPECT_LT(engine.sensor().seenAfr(), before - 0.63 * (before - after));
    }
    // More exhaust flow carries the gas to the sensor sooner.
    EXPECT_LT(transportDelaySeconds(6500, 12000), transportDelaySeconds(3000, 5000));
    EXPECT_LT(transportDelaySeconds(3000, 5000), transportDelaySeconds(850, 1500));
}

TEST(TunedEngine, WarmUpReadsZeroVoltsAndFuelCutReadsTheRail) {
    const DefaultTune tune;
    const FuelRequirement requirement(tune.injection, tune.axes,
                                      withRequirement(RequirementKind::Correct));
    TunedEngine overrun(requirement, steady(3000, 1200, true), 1);
    EXPECT_EQ(overrun.advanceTo(19.99, tune.injection, tune.axes).wideBandVolts, 0);
    const EngineState cut = overrun.advanceTo(25, tune.injection, tune.axes);
    EXPECT_EQ(cut.wideBandVolts, 5.0);
    EXPECT_EQ(cut.injMs, 0);
    // Coolant warms from cold over the first minutes.
    EXPECT_LT(cut.waterC, 40);
    EXPECT_GT(overrun.advanceTo(400, tune.injection, tune.axes).waterC, 80);
}

// The throttle snapping open gets extra fuel that fades within a second; closing it takes what
// is left away and adds none of its own.
TEST(TunedEngine, ATipInRunsRichUntilItFadesOrTheThrottleCloses) {
    const DefaultTune tune;
    const FuelRequirement requirement(tune.injection, tune.axes,
                                      withRequirement(RequirementKind::Correct));
    const double value = interpolateField(tune.injection, tune.axes, 3000, 4000);
    // Steady at 3000 rpm; the throttle opens at `open` and closes again at `close`.
    const auto blip = [](double open, double close) {
        return [=](double t) {
            return DriveState{3000, 4000, t >= open && t < close ? 0.6 : 0.2, false};
        };
    };
    const auto burned = [&](double open, double close, double at) {
        TunedEngine engine(requirement, blip(open, close), 1);
        const EngineState state = engine.advanceTo(at, tune.injection, tune.axes);
        return std::pair{engine.burnedAfr(at, DriveState{3000, 4000, 0.2, false}, value),
                         state.injMs};
    };
    const auto [steadyAfr, steadyMs] = burned(1e9, 1e9, 30.1);
    EXPECT_NEAR(steadyAfr, 14.7, 1e-9);
    const auto [tipInAfr, tipInMs] = burned(30, 1e9, 30.1);
    EXPECT_LT(tipInAfr, 14.7 * 0.95);
    EXPECT_GT(tipInMs, steadyMs * 1.05);
    EXPECT_NEAR(burned(30, 1e9, 31).first, 14.7, 1e-9);
    // Lifted 0.2 s after the tip-in: nothing extra from then on, in the burn or in the pulse.
    const auto [liftedAfr, liftedMs] = burned(30, 30.2, 30.25);
    EXPECT_NEAR(liftedAfr, 14.7, 1e-9);
    EXPECT_NEAR(liftedMs, steadyMs, 1e-9);
    // Nor is a lift from a throttle held open one, nor a throttle open from the start.
    EXPECT_NEAR(burned(0, 30, 30.1).first, 14.7, 1e-9);
    EXPECT_NEAR(burned(0, 30, 0.1).first, 14.7, 1e-9);
}

TEST(TunedEngine, MisfiresSpikeLeanRarely) {
    const DefaultTune tune;
    const FuelRequirement requirement(tune.injection, tune.axes,
                                      withRequirement(RequirementKind::Correct));
    const DriveState open{3000, 4000, 0.6, false};
    TunedEngine engine(
        requirement, [&](double) { return open; }, 1);
    const double value = interpolateField(tune.injection, tune.axes, 3000, 4000);
    // An hour of steady running: a misfire now and then, each a lean spike.
    int spikes = 0;
    for (int window = 0; window < 36000; ++window) {
        const double t = 31 + window * TunedEngine::kMisfireSeconds;
        const double afr = engine.burnedAfr(t, open, value);
        if (afr > 14.8) {
            EXPECT_GT(afr, 14.7 * 1.2);
            ++spikes;
        }
    }
    EXPECT_GT(spikes, 60);
    EXPECT_LT(spikes, 180);
}

TEST(TunedEngine, ReadingsDependOnTheDriveAndSeedNotOnWhenTheyAreAsked) {
    const DefaultTune tune;
    const EngineOptions options = withRequirement(RequirementKind::Pattern, 0, 5);
    const FuelRequirement requirement(tune.injection, tune.axes, options);
    const auto cycle = [](std::uint64_t seed) {
        return
            [drive = DriveCycle(DriveKind::Mixed, seed)](double t) mutable { return drive.at(t); };
    };
    TunedEngine often(requirement, cycle(5), 5);
    TunedEngine seldom(requirement, cycle(5), 5);
    TunedEngine otherSeed(requirement, cycle(6), 6);
    int differs = 0;
    for (int ms = 0; ms <= 60000; ms += 3) {
        const EngineState a = often.advanceTo(ms / 1000.0, tune.injection, tune.axes);
        if (ms % 300 != 0) continue;
        const EngineState b = seldom.advanceTo(ms / 1000.0, tune.injection, tune.axes);
        const EngineState c = otherSeed.advanceTo(ms / 1000.0, tune.injection, tune.axes);
        ASSERT_EQ(a.wideBandVolts, b.wideBandVolts) << ms;
        ASSERT_EQ(a.rpm, b.rpm) << ms;
        differs += a.wideBandVolts != c.wideBandVolts || a.rpm != c.rpm;
    }
    EXPECT_GT(differs, 100);
}

// Through the unit: a written Inj Map changes what AN1 reports from then on.
TEST(TunedEngine, TheUnitBurnsWhatItsInjMapHoldsNow) {
    SimulatedEcu ecu(SimUnitKind::Det1_501);
    EngineOptions options;
    options.drive = DriveKind::Idle;
    options.requirement = RequirementKind::Correct;
    ecu.runTunedEngine(options);
    const auto an1Afr = [&](double seconds) {
        const Bytes reply = ecu.handleRequest({kAuxLiveCmd}, seconds).value();
        return 10 + 2 * reply[2] / 51.0;
    };
    const auto meanAfr = [&](double from) {
        double sum = 0;
        for (int i = 0; i < 100; ++i)
            sum += an1Afr(from + 0.01 * i);
        return sum / 100;
    };
    EXPECT_NEAR(meanAfr(21), 14.7, 0.3);
    // Every cell 25 % richer, block by block as Write All sends them.
    const std::uint8_t first = family5().injMapBlock;
    for (std::uint8_t b = first; b < first + 4; ++b) {
        Bytes request{b};
        for (std::uint8_t raw : ecu.blocks()[b])
            request.push_back(
                static_cast<std::uint8_t>(std::min(255.0, (0.5 + raw / 256.0) * 1.25 * 256 - 128)));
        ASSERT_EQ(ecu.handleRequest(request, 23), frameReply(b, {}));
    }
    EXPECT_NEAR(meanAfr(25), 14.7 / 1.25, 0.3);
}

}  // namespace
}  // namespace tunalyx
