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
