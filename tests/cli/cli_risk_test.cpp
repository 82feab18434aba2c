// Risky writes end to end: update and write-all against `tunalyx-cli simulate` hold back an
// advanced boost cell unless --accept-risk is given, and the history keeps what was accepted.
#include <gtest/gtest.h>

#include "cli_process.h"

namespace tunalyx::clitest {
namespace {

Finished run(const std::vector<std::string>& args) {
    return Cli(args, scratch() / "risk").finish();
}

TEST(CliRiskTest, AnAdvancedBoostCellIsHeldBackWithoutAByteSentUnlessAccepted) {
    Sim sim({"--family", "5"}, scratch() / "risk-dump.dat", scratch() / "risk-sim");
    ASSERT_TRUE(sim.serving());
    const std::string unit = (scratch() / "risk-unit.dat").string();
    const std::string edited = (scratch() / "risk-edited.dat").string();
    ASSERT_EQ(run({"read-all", "--port", sim.port(), "--out", unit}).exitCode, 0);
    PacketImage image = imageOf(unit);
    // Ign Map N14 P17: cell (14 - 1) x 20 + 17 - 1 = 276 from 0x81.
    const int old = image[0x83][76];
    image[0x83][76] = static_cast<std::uint8_t>(old + 5);
    writeImage(edited, image);
    const std::string risk = "Ign Map N14 P17: " + std::to_string(old) + " -> " +
                             std::to_string(old + 5) + " degrees (+5)";
    const std::string question =
        "This write would make the engine riskier than the tune the unit holds:\n" + risk +
        "\nSend it anyway?";

    for (const std::vector<std::string>& write :
         {std::vector<std::string>{"update", "--port", sim.port(), "--base", unit, edited},
          {"write-all", "--port", sim.port(), edited}}) {
        const Finished held = run(write);
        EXPECT_EQ(held.exitCode, 1);
        EXPECT_EQ(held.err, question +
                                " [No]\nHeld back: nothing was sent. Give --accept-risk to send "
                                "it anyway.\n");
    }
    const std::string after = (scratch() / "risk-after.dat").string();
    ASSERT_EQ(run({"read-all", "--port", sim.port(), "--out", after}).exitCode, 0);
    EXPECT_EQ(imageOf(after), imageOf(unit));

    const Finished sent =
        run({"update", "--port", sim.port(), "--base", unit, edited, "--accept-risk"});
    EXPECT_EQ(sent.exitCode, 0);
    EXPECT_EQ(sent.err, question + " [Yes]\n");
    const Finished list = run({"history", "list"});
    const std::string id = list.out.substr(0, list.out.find('\t'));
    const Finished show = run({"history", "show", id});
    EXPECT_NE(show.out.find("Action: Update\n"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("\nAccepted risk: " + risk + "\n"), std::string::npos) << show.out;
    EXPECT_EQ(sim.stop().exitCode, 0);
    EXPECT_EQ(imageOf(scratch() / "risk-dump.dat")[0x83], image[0x83]);
}

}  // namespace
}  // namespace tunalyx::clitest
