#include <gtest/gtest.h>

#include "app/start_options.h"

namespace tunalyx {
namespace {

using Args = std::vector<std::string>;

TEST(StartOptions, HelpVersionAndTheSimulatorWithItsFaults) {
    EXPECT_TRUE(parseStartOptions(Args{"--help"}).help);
    EXPECT_TRUE(parseStartOptions(Args{"-h"}).help);
    EXPECT_TRUE(parseStartOptions(Args{"--version"}).version);
    const StartOptions o =
        parseStartOptions(Args{"--simulate", "--fault", "drop=3", "--fault=refuse=0x86:R"});
    EXPECT_EQ(o.simulate, std::optional<std::string>(""));
    EXPECT_EQ(o.faults, (std::vector<std::string>{"drop=3", "refuse=0x86:R"}));
    EXPECT_EQ(parseStartOptions(Args{"--simulate=T2-D"}).simulate,
              std::optional<std::string>("T2-D"));
}

TEST(StartOptions, TheEngineThatAnswersTheTuneTakesTheCommandLinesOptions) {
    EXPECT_FALSE(parseStartOptions(Args{"--simulate"}).engine);
    const StartOptions o = parseStartOptions(
        Args{"--simulate=3", "--engine", "--drive", "pulls", "--seed=42",
             "--requirement=uniform=12", "--knock-limit", "none", "--knock-spikes=50",
             "--cold-start=-30", "--sensor-delay-scale", "2.5"});
    ASSERT_EQ(o.error, "");
    ASSERT_TRUE(o.engine);
    EXPECT_EQ(o.engine->drive, DriveKind::Pulls);
    EXPECT_EQ(o.engine->seed, 42U);
    EXPECT_EQ(o.engine->requirement, RequirementKind::Uniform);
    EXPECT_EQ(o.engine->uniformLeanPercent, 12);
    EXPECT_EQ(o.engine->knockLimit, KnockLimitKind::None);
    EXPECT_EQ(o.engine->knockSpikeEvery, 50);
    EXPECT_EQ(o.engine->coldStartC, -30);
    EXPECT_EQ(o.engine->sensorDelayScale, 2.5);
    const StartOptions defaults = parseStartOptions(Args{"--simulate", "--engine"});
    EXPECT_EQ(defaults.engine->coldStartC, 20);
    EXPECT_EQ(defaults.engine->sensorDelayScale, 1);
    for (const auto& [name, edges] :
         {std::pair{"--cold-start", std::vector<std::string>{"-30", "80"}},
          std::pair{"--sensor-delay-scale", std::vector<std::string>{"0.25", "4"}}})
        for (const std::string& edge : edges)
            EXPECT_EQ(parseStartOptions(Args{"--simulate", "--engine", name, edge}).error, "")
                << name << " " << edge;
    // An engine without the simulator, or its options without the engine, would be dropped.
    EXPECT_EQ(parseStartOptions(Args{"--engine"}).error, "--engine works only with --simulate.");
    EXPECT_EQ(parseStartOptions(Args{"--simulate", "--drive", "city"}).error,
              "--drive, --seed, --requirement, --knock-limit, --knock-spikes, --cold-start and "
              "--sensor-delay-scale go with --engine.");
    for (const Args& bad : std::vector<Args>{{"--simulate", "--engine", "--drive", "track"},
                                             {"--simulate", "--engine", "--seed", "-1"},
                                             {"--simulate", "--engine", "--requirement", "lean"},
                                             {"--simulate", "--engine", "--requirement=uniform=80"},
                                             {"--simulate", "--engine", "--cold-start", "-31"},
                                             {"--simulate", "--engine", "--cold-start=81"},
                                             {"--simulate", "--engine", "--cold-start=warm"},
                                             {"--simulate", "--engine", "--sensor-delay-scale=0.2"},
                                             {"--simulate", "--engine", "--sensor-delay-scale=4.5"},
                                             {"--simulate", "--engine", "--sensor-delay-scale=nan"},
                                             {"--simulate", "--cold-start=0"},
                                             {"--simulate", "--engine", "--drive"}})
        EXPECT_NE(parseStartOptions(bad).error, "") << bad.back();
}

TEST(StartOptions, TheWindowSystemKeepsItsOptionsAndAnythingElseIsBadUsage) {
    const StartOptions qt =
        parseStartOptions(Args{"-style", "fusion", "-platform=xcb", "-reverse", "--simulate"});
    EXPECT_EQ(qt.error, "");
    EXPECT_TRUE(qt.simulate);  // "fusion" was the style's, not an argument of its own
    for (const Args& bad : std::vector<Args>{{"--bogus"},
                                             {"-x"},
                                             {"tune.dat"},
                                             {"--version=2"},
                                             {"--simulate", "--fault"},
                                             {"--fault", "drop=3"}})
        EXPECT_NE(parseStartOptions(bad).error, "") << bad.front();
}

}  // namespace
}  // namespace tunalyx
