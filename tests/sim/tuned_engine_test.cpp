#include "sim/tuned_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "autotune/sensor_delay.h"
#include "link/packet.h"
#include "maps/field_table.h"
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

// The whole engine on a drive, with the hidden curves of `options` and a correct Inj Map
// requirement, so that only the curves move the mixture.
TunedEngine curvesEngine(TunedEngine::Drive drive, EngineOptions options) {
    const DefaultTune tune;
    const FuelRequirement requirement(tune.injection, tune.axes,
                                      withRequirement(RequirementKind::Correct));
    return TunedEngine(requirement, CurveRequirement::forFamily(LayoutFamily::Family5, options),
                       std::nullopt, std::move(drive), options);
}

FuelCurves defaultCurves() {
    PacketImage image;
    image.assign(DefaultTune().blocks);
    return fuelCurvesOf(image, family5()).value();
}

TEST(TunedEngine, AStepInTheMapReachesTheSensorOneEngineDelayTimesTheScaleLater) {
    const DefaultTune tune;
    MapField richer = tune.injection;
    for (auto& row : richer)
        for (double& v : row)
            v *= 1.1;
    for (const double scale : {1.0, 2.5}) {
        for (const auto& [rpm, load] : {std::pair{850.0, 1500.0}, std::pair{6500.0, 12000.0}}) {
            SCOPED_TRACE(testing::Message() << "scale " << scale << " rpm " << rpm);
            EngineOptions options = withRequirement(RequirementKind::Correct);
            options.sensorDelayScale = scale;
            options.coldStartC = 80;
            TunedEngine engine = curvesEngine(steady(rpm, load), options);
            const double delay = scale * engineDelaySeconds(flowShare(rpm, load));
            EXPECT_DOUBLE_EQ(engine.sensorDelaySeconds(rpm, load), delay);
            const double stepAt = 30;
            engine.advanceTo(stepAt, tune.injection, tune.axes);
            const double before = engine.sensor().seenAfr();
            EXPECT_NEAR(before, 14.7, 0.01);
            engine.advanceTo(stepAt + delay - 0.01, richer, tune.axes);
            EXPECT_NEAR(engine.sensor().seenAfr(), before, 1e-9);
            // Then it follows with a lag: moving at once, but far from the new mixture yet.
            const double after = 14.7 / 1.1;
            engine.advanceTo(stepAt + delay + 0.02, richer, tune.axes);
            EXPECT_LT(engine.sensor().seenAfr(), before - 0.05);
            EXPECT_GT(engine.sensor().seenAfr(), before - 0.3 * (before - after));
            // A first-order lag of 100 ms: past 63 % of the way one lag after the delay.
            engine.advanceTo(stepAt + delay + WidebandSensor::kLagSeconds + 0.005, richer,
                             tune.axes);
            EXPECT_LT(engine.sensor().seenAfr(), before - 0.63 * (before - after));
        }
    }
    // More exhaust flow carries the gas to the sensor sooner, on a shape of the engine's own.
    EXPECT_LT(engineDelaySeconds(flowShare(6500, 12000)),
              engineDelaySeconds(flowShare(3000, 5000)));
    EXPECT_LT(engineDelaySeconds(flowShare(3000, 5000)), engineDelaySeconds(flowShare(850, 1500)));
    EXPECT_GT(engineDelaySeconds(flowShare(3000, 5000)) / assumedDelaySeconds(3000, 5000), 1.1);
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
}

// Each 20-degree band gets about the same time; the thermostat then holds it.
TEST(TunedEngine, CoolantWarmsEvenlyFromItsStartUntilTheThermostatHoldsIt) {
    const auto reaches = [](double startC, double celsius) {
        double t = 0;
        while (coolantAt(t, startC) < celsius && t < 3600)
            t += 0.5;
        return t;
    };
    EXPECT_NEAR(reaches(20, 70), 130, 10);
    const double firstBand = reaches(-30, -10);
    for (double from = -10; from < 70; from += 20)
        EXPECT_NEAR(reaches(-30, from + 20) - reaches(-30, from), firstBand, 0.2 * firstBand)
            << from;
    for (const double startC : {-30.0, 20.0, 80.0}) {
        EXPECT_EQ(coolantAt(0, startC), startC);
        EXPECT_NEAR(coolantAt(1200, startC), 85, 0.5);
        EXPECT_LE(coolantAt(3600, startC), 85);
    }
}

// The unit's warm-up factor against the engine's hidden need: equal, the cold engine burns as
// warm; short of it, lean; past it, rich; and from 50 C up the default is right.
TEST(TunedEngine, ColdTheMixtureFollowsTheUnitsWarmUpFactorAgainstTheHiddenOne) {
    const FuelCurves defaults = defaultCurves();
    const DriveState at{3000, 4000, 0.2, false};
    const DefaultTune tune;
    const double value = interpolateField(tune.injection, tune.axes, 3000, 4000);
    bool richer = false, leaner = false;
    for (const std::uint64_t seed : {1, 3}) {
        EngineOptions options = withRequirement(RequirementKind::Pattern, 0, seed);
        options.coldStartC = -30;
        const TunedEngine engine = curvesEngine(steady(3000, 4000), options);
        FuelCurves matched = defaults;
        matched.warmUp = engine.curveRequirement().warmUp;
        for (double t = 0.05; t < 400; t += 9.7) {
            const double coolant = engine.coolantC(t);
            SCOPED_TRACE(testing::Message() << "seed " << seed << " at " << coolant << " C");
            // A misfire leans both alike.
            const double warm = engine.burnedAfr(t, at, value, &matched);
            const double misfire = warm > 14.8 ? TunedEngine::kMisfireLean : 1.0;
            EXPECT_NEAR(warm, 14.7 * misfire, 1e-9);
            const double hidden = engine.curveRequirement().warmUp.at(coolant);
            const double afr = engine.burnedAfr(t, at, value, &defaults) / misfire;
            if (coolant >= 50) {
                EXPECT_NEAR(afr, 14.7, 1e-9);
            } else if (hidden > defaults.warmUp.at(coolant) * 1.01) {
                EXPECT_GT(afr, 14.7 * 1.005);
                leaner = true;
            } else if (hidden < defaults.warmUp.at(coolant) * 0.99) {
                EXPECT_LT(afr, 14.7 / 1.005);
                richer = true;
            }
        }
    }
    EXPECT_TRUE(richer && leaner);
    // The correct requirement's curves are the default ones.
    const TunedEngine correct =
        curvesEngine(steady(3000, 4000), withRequirement(RequirementKind::Correct));
    EXPECT_EQ(correct.curveRequirement().warmUp.y, defaults.warmUp.y);
    EXPECT_EQ(correct.curveRequirement().pump.y, defaults.pump.pulse.y);
}

// The throttle snapping open: the unit's pump against the port walls. A pump equal to what the
// walls take burns flat; without one the tip-in swings lean; a lift ends both.
TEST(TunedEngine, ATipInBurnsFlatWhenTheUnitsPumpFeedsTheWallsAndLeanWithout) {
    const double rpm = 3000, load = 4000;
    // Steady at 3000 rpm; the throttle opens at `open` and closes again at `close`.
    const auto blip = [=](double open, double close) {
        return [=](double t) {
            return DriveState{rpm, load, t >= open && t < close ? 0.6 : 0.2, false};
        };
    };
    EngineOptions options = withRequirement(RequirementKind::Pattern, 0, 1);
    options.coldStartC = 80;  // warm: only the pump and the walls move the mixture
    FuelCurves fed = defaultCurves();
    fed.pump.pulse = curvesEngine(blip(0, 0), options).curveRequirement().pump;
    FuelCurves none = fed;
    none.pump.pulse.y.fill(0);
    const DefaultTune tune;
    const double value = interpolateField(tune.injection, tune.axes, rpm, load);
    struct Run {
        double afr, injMs;
        std::deque<TipInRecord> tipIns;
    };
    const auto run = [&](const FuelCurves& unit, double open, double close, double at) {
        TunedEngine engine = curvesEngine(blip(open, close), options);
        const EngineState state = engine.advanceTo(at, {tune.injection, tune.axes, nullptr, &unit});
        return Run{engine.burnedAfr(at, DriveState{rpm, load, 0.2, false}, value, &unit),
                   state.injMs, engine.tipIns()};
    };
    const Run steadyRun = run(fed, 1e9, 1e9, 30.1);
    EXPECT_NEAR(steadyRun.afr, 14.7, 1e-9);
    EXPECT_TRUE(steadyRun.tipIns.empty());

    const Run flat = run(fed, 30, 1e9, 30.1);
    EXPECT_NEAR(flat.afr, 14.7, 1e-9);
    EXPECT_GT(flat.injMs, steadyRun.injMs + 0.3);  // the logged pulse carries the pump
    ASSERT_EQ(flat.tipIns.size(), 1U);
    EXPECT_NEAR(flat.tipIns[0].seconds, 30, 0.006);
    EXPECT_EQ(flat.tipIns[0].rpm, rpm);
    EXPECT_EQ(flat.tipIns[0].load, load);
    EXPECT_LT(flat.tipIns[0].largestSwing, 1e-9);

    const Run lean = run(none, 30, 1e9, 30.1);
    EXPECT_GT(lean.afr, 14.7 * 1.05);
    EXPECT_NEAR(lean.injMs, steadyRun.injMs, 1e-9);
    ASSERT_EQ(lean.tipIns.size(), 1U);
    EXPECT_GT(lean.tipIns[0].largestSwing, lean.afr - 14.7 - 1e-9);
    // Faded after half a second.
    EXPECT_NEAR(run(none, 30, 1e9, 30.6).afr, 14.7, 1e-9);
    // Lifted 0.2 s after the tip-in: nothing from then on, in the burn or in the pulse.
    EXPECT_NEAR(run(none, 30, 30.2, 30.25).afr, 14.7, 1e-9);
    EXPECT_NEAR(run(fed, 30, 30.2, 30.25).injMs, steadyRun.injMs, 1e-9);
    // Nor is a lift from a throttle held open one, nor a throttle open from the start.
    EXPECT_NEAR(run(none, 0, 30, 30.1).afr, 14.7, 1e-9);
    EXPECT_TRUE(run(none, 0, 1e9, 0.1).tipIns.empty());
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
// The knock side: the default Ign Map, and an engine on it whose knock limit is set by options.
struct KnockBench {
    DefaultTune tune;
    MapField ignition = ignitionField(tune.blocks, family5()).value();

    [[nodiscard]] KnockLimit limit(KnockLimitKind kind, double degrees = 0,
                                   std::uint64_t seed = 1) const {
        EngineOptions o = withRequirement(RequirementKind::Correct, 0, seed);
        o.knockLimit = kind;
        o.uniformKnockDegrees = degrees;
        return KnockLimit(ignition, tune.axes, o);
    }
    [[nodiscard]] TunedEngine engine(const KnockLimit& limit, TunedEngine::Drive drive,
                                     long spikeEvery = 0) const {
        const FuelRequirement stoich(tune.injection, tune.axes,
                                     withRequirement(RequirementKind::Correct));
        return TunedEngine(stoich, limit, std::move(drive), 1, spikeEvery);
    }
};

MapField shifted(MapField field, double by) {
    for (auto& row : field)
        for (double& v : row)
            v += by;
    return field;
}

constexpr double kBoostRpm = 5000, kBoostLoad = 12000;

TEST(KnockLimit, PatternDipsUnderTheDefaultMapInAFewBoostCellsAndTheSeedFixesIt) {
    const KnockBench bench;
    for (std::uint64_t seed : {1, 2, 3, 4, 5, 6, 7, 8}) {
        SCOPED_TRACE(seed);
        const KnockLimit limit = bench.limit(KnockLimitKind::Pattern, 0, seed);
        int under = 0;
        double lowest = 99, highest = -99;
        for (std::size_t row = 0; row < kMapAxisSize; ++row)
            for (std::size_t col = 0; col < kMapAxisSize; ++col) {
                const double margin = limit.field()[row][col] - bench.ignition[row][col];
                lowest = std::min(lowest, margin);
                highest = std::max(highest, margin);
                if (margin >= 0) continue;
                ++under;
                EXPECT_GE(row, 14U) << "the limit is under the map off boost, col " << col;
            }
        EXPECT_GE(under, 3);
        EXPECT_LE(under, 15);
        EXPECT_NEAR(lowest, -3, 0.8);
        EXPECT_LE(highest, 7);
        EXPECT_EQ(limit.field(), bench.limit(KnockLimitKind::Pattern, 0, seed).field());
        EXPECT_NE(limit.field(), bench.limit(KnockLimitKind::Pattern, 0, seed + 100).field());
    }
    EXPECT_EQ(bench.limit(KnockLimitKind::Uniform, -2).field(), shifted(bench.ignition, -2));
    // The table reads back as the grid shows the Ign Map: top line the first load row.
    const auto read = readFieldTable(bench.limit(KnockLimitKind::Uniform, 1.5).text());
    ASSERT_TRUE(read.field) << read.error;
    EXPECT_EQ(*read.field, shifted(bench.ignition, 1.5));
}

TEST(KnockLimit, ARicherMixtureAndACoolerIntakeRaiseItByAFewDegrees) {
    const KnockLimit limit = KnockBench().limit(KnockLimitKind::Uniform, 0);
    const double at = limit.at(kBoostRpm, kBoostLoad);
    EXPECT_DOUBLE_EQ(limit.at(kBoostRpm, kBoostLoad, kKnockReferenceAfr, kKnockReferenceAirC), at);
    const auto raise = [&](double afr, double airC) {
        return limit.at(kBoostRpm, kBoostLoad, afr, airC) - at;
    };
    // Full-boost rich against stoichiometric; a cold morning against a hot intake.
    EXPECT_GT(raise(12.7, 30), raise(13.7, 30));
    EXPECT_GT(raise(13.7, 30), 0);
    EXPECT_LT(raise(15.7, 30), 0);
    EXPECT_GT(raise(11.7, 30), 2);
    EXPECT_LT(raise(10.5, 30), 6);
    EXPECT_GT(raise(14.7, 10) - raise(14.7, 50), 2);
    EXPECT_LT(raise(14.7, 0) - raise(14.7, 60), 8);
}

// Readings every 20 ms over `seconds` from `from`, on an Ign Map.
std::vector<double> knockReadings(TunedEngine& engine, const KnockBench& bench,
                                  const MapField& ignition, double from, double seconds) {
    std::vector<double> out;
    for (int i = 0; i * 0.02 < seconds; ++i)
        out.push_back(
            engine.advanceTo(from + i * 0.02, bench.tune.injection, ignition, bench.tune.axes)
                .knock);
    return out;
}

double mean(const std::vector<double>& v) {
    double sum = 0;
    for (double x : v)
        sum += x;
    return v.empty() ? 0 : sum / static_cast<double>(v.size());
}

TEST(TunedEngine, UnderTheLimitKnockReadsTheFloorOverItABurstThatGrowsWithTheExcess) {
    const KnockBench bench;
    const double floor = KnockSensor::floorAt(kBoostRpm);
    const auto readingsAt = [&](const KnockLimit& limit, const MapField& ignition) {
        TunedEngine engine = bench.engine(limit, steady(kBoostRpm, kBoostLoad));
        return knockReadings(engine, bench, ignition, 30, 10);
    };
    // The default map 2 degrees under the limit, and a map at full advance that never knocks.
    for (const auto& quiet :
         {readingsAt(bench.limit(KnockLimitKind::Uniform, 2), bench.ignition),
          readingsAt(bench.limit(KnockLimitKind::None), shifted(bench.ignition, 200))}) {
        EXPECT_NEAR(mean(quiet), floor, 0.5);
        EXPECT_LT(*std::max_element(quiet.begin(), quiet.end()), floor + 6 * KnockSensor::kNoise);
    }
    // The engine's own noise grows with its speed: the floor at 1500 rpm is well under it.
    TunedEngine slow = bench.engine(bench.limit(KnockLimitKind::None), steady(1500, 3000));
    EXPECT_LT(mean(knockReadings(slow, bench, bench.ignition, 30, 10)), floor - 8);
    // 1 and 3 degrees past the limit: every reading knocks, the larger excess louder.
    const auto slight = readingsAt(bench.limit(KnockLimitKind::Uniform, -1), bench.ignition);
    const auto heavy =
        readingsAt(bench.limit(KnockLimitKind::Uniform, 0), shifted(bench.ignition, 3));
    EXPECT_GT(*std::min_element(slight.begin(), slight.end()), floor + 15);
    EXPECT_GT(mean(heavy) - mean(slight), 45);
    EXPECT_LE(*std::max_element(heavy.begin(), heavy.end()), KnockSensor::kTop);
    // Fuel 15 % richer (about 12.8 A/F) takes the 1 degree back.
    MapField richer = bench.tune.injection;
    for (auto& row : richer)
        for (double& v : row)
            v /= 0.85;
    TunedEngine rich =
        bench.engine(bench.limit(KnockLimitKind::Uniform, -1), steady(kBoostRpm, kBoostLoad));
    double loudest = 0;
    for (int i = 0; i < 200; ++i)
        loudest = std::max(
            loudest, rich.advanceTo(30 + i * 0.02, richer, bench.ignition, bench.tune.axes).knock);
    EXPECT_LT(loudest, floor + 6 * KnockSensor::kNoise);
}

TEST(TunedEngine, AKnockBurstLastsAsLongAsTheEngineIsInTheKnockingCells) {
    const KnockBench bench;
    // 5 degrees more advance on boost only, against a limit 2 degrees over the default map.
    MapField ignition = bench.ignition;
    for (std::size_t row = 15; row < kMapAxisSize; ++row)
        for (double& v : ignition[row])
            v += 5;
    const auto drive = [](double s) {
        const bool boost = s >= 32 && s < 34;
        return DriveState{boost ? kBoostRpm : 3000, boost ? kBoostLoad : 3000, 0.5, false};
    };
    TunedEngine engine = bench.engine(bench.limit(KnockLimitKind::Uniform, 2), drive);
    const auto readings = knockReadings(engine, bench, ignition, 30, 6);
    for (std::size_t i = 0; i < readings.size(); ++i) {
        const double s = 30 + static_cast<double>(i) * 0.02;
        SCOPED_TRACE(s);
        if (s >= 32 && s < 34)
            EXPECT_GT(readings[i], KnockSensor::floorAt(kBoostRpm) + 40);
        else
            EXPECT_LT(readings[i], KnockSensor::floorAt(3000) + 6 * KnockSensor::kNoise);
    }
}

TEST(TunedEngine, TheUnitsKnockGoesOutInTheLiveDataWithSpikesAtTheSetRate) {
    // A unit on the idle drive: readings well above the floor, out of the 20000 asked for.
    const auto loud = [](KnockLimitKind limit, double degrees, long every, std::uint64_t seed) {
        SimulatedEcu ecu(SimUnitKind::Det1_501);
        EngineOptions options;
        options.drive = DriveKind::Idle;
        options.seed = seed;
        options.knockLimit = limit;
        options.uniformKnockDegrees = degrees;
        options.knockSpikeEvery = every;
        ecu.runTunedEngine(options);
        int count = 0;
        for (int i = 0; i < 20000; ++i) {
            const Bytes reply = ecu.handleRequest({kAdvancedLiveCmd}, i * 0.05).value();
            count += reply[2 + 20] > KnockSensor::floorAt(3000) + 30;  // byte 21 of the data
        }
        return count;
    };
    // The unit's own Ign Map 4 degrees past the limit knocks on every reading but the overrun's.
    EXPECT_GT(loud(KnockLimitKind::Uniform, -4, 0, 1), 19000);
    // An engine that never knocks shows only its spikes.
    EXPECT_EQ(loud(KnockLimitKind::None, 0, 0, 1), 0);
    EXPECT_NEAR(loud(KnockLimitKind::None, 0, 100, 1), 200, 40);
    EXPECT_NEAR(loud(KnockLimitKind::None, 0, 1000, 2), 20, 10);
    EXPECT_EQ(loud(KnockLimitKind::None, 0, 100, 3), loud(KnockLimitKind::None, 0, 100, 3));
}

TEST(TunedEngine, TheUnitBurnsWhatItsInjMapAndWarmUpFactorHoldNow) {
    SimulatedEcu ecu(SimUnitKind::Det1_501);
    EngineOptions options;
    options.drive = DriveKind::Idle;
    options.requirement = RequirementKind::Correct;
    options.coldStartC = -30;  // the warm-up factor counts all through
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
    // The warm-up factor 10 % up at every coolant point (bytes 1..6 of its block).
    // Read through a const view, which must not make the unit read its curves again.
    const Bytes& held = std::as_const(ecu).blocks()[0x8F];
    Bytes warmUp{0x8F};
    for (std::size_t i = 0; i < held.size(); ++i)
        warmUp.push_back(
            static_cast<std::uint8_t>(std::lround(held[i] * (i < kWarmUpPoints ? 1.1 : 1.0))));
    ASSERT_EQ(ecu.handleRequest(warmUp, 26), frameReply(0x8F, {}));
    EXPECT_NEAR(meanAfr(28), 14.7 / 1.25 / 1.1, 0.3);
}

}  // namespace
}  // namespace tunalyx
