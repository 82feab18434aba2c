// Risky writes end to end: update and write-all against `tunalyx-cli simulate` hold back an
// advanced boost cell unless --accept-risk is given, and the history keeps what was accepted.
#include <gtest/gtest.h>

#include <cstdlib>

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

// A tune the autotune command made leaner in boost rows is its proposal when the history says it
// was made from the base; the same file from elsewhere is weighed like a hand edit.
TEST(CliRiskTest, AutoTunesOwnLeanerBoostCellsPassOnlyWhenTheHistoryMadeThemFromTheBase) {
    Sim sim({"--family", "5"}, scratch() / "risk-at-dump.dat", scratch() / "risk-at-sim");
    ASSERT_TRUE(sim.serving());
    const auto path = [](const char* name) { return (scratch() / name).string(); };
    ASSERT_EQ(run({"read-all", "--port", sim.port(), "--out", path("at0.dat")}).exitCode, 0);
    // An engine that runs rich under boost: auto-tune leans the boost rows by up to 10 %.
    ASSERT_EQ(run({"drive", "--tune", path("at0.dat"), "--drive", "pulls", "--requirement",
                   "uniform=-25", "--seconds", "300", "--out", path("at.txt")})
                  .exitCode,
              0);
    ASSERT_EQ(run({"autotune", "--tune", path("at0.dat"), "--log", path("at.txt"), "--log",
                   path("at-001.txt"), "--out", path("at1.dat")})
                  .exitCode,
              0);
    const std::vector<std::string> update{"update", "--port",        sim.port(),
                                          "--base", path("at0.dat"), path("at1.dat")};
    // A history that never saw the autotune command.
    const std::string files = std::getenv("TUNALYX_FILES_FOLDER");
    ::setenv("TUNALYX_FILES_FOLDER", (scratch() / "risk-other").c_str(), 1);
    const Finished elsewhere = run(update);
    ::setenv("TUNALYX_FILES_FOLDER", files.c_str(), 1);
    EXPECT_EQ(elsewhere.exitCode, 1);
    EXPECT_NE(elsewhere.err.find("\nInj Map N06 P16: "), std::string::npos) << elsewhere.err;
    const Finished proposal = run(update);
    EXPECT_EQ(proposal.exitCode, 0) << proposal.err;
    EXPECT_EQ(sim.stop().exitCode, 0);
    EXPECT_EQ(run({"diff", path("at1.dat"), path("risk-at-dump.dat")}).exitCode, 0);
}

}  // namespace
}  // namespace tunalyx::clitest
