#include <gtest/gtest.h>

#include "app/start_options.h"

namespace tunalyx {
namespace {

StartOptions parse(std::vector<std::string> args) {
    return parseStartOptions(args);
}

TEST(StartOptions, HelpVersionAndTheSimulatorWithItsFaults) {
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_TRUE(parse({"-h"}).help);
    EXPECT_TRUE(parse({"--version"}).version);
    const StartOptions o = parse({"--simulate", "--fault", "drop=3", "--fault=refuse=0x86:R"});
    EXPECT_EQ(o.simulate, std::optional<std::string>(""));
    EXPECT_EQ(o.faults, (std::vector<std::string>{"drop=3", "refuse=0x86:R"}));
    EXPECT_EQ(parse({"--simulate=T2-D"}).simulate, std::optional<std::string>("T2-D"));
    EXPECT_FALSE(parse({}).simulate);
}

TEST(StartOptions, TheWindowSystemKeepsItsOptionsAndAnythingElseIsBadUsage) {
    const StartOptions qt = parse({"-style", "fusion", "-platform=xcb", "-reverse", "--simulate"});
    EXPECT_EQ(qt.error, "");
    EXPECT_TRUE(qt.simulate);  // "fusion" was the style's, not an argument of its own
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"-x"}, {"tune.dat"}, {"--version=2"}, {"--simulate", "--fault"}})
        EXPECT_NE(parse(bad).error, "") << bad.front();
}

}  // namespace
}  // namespace tunalyx
