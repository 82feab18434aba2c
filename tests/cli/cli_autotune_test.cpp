// Auto-tune and the map watch of saved logs, end to end: each reading against the tune its log
// ran on, wherever that is known from.
#include <gtest/gtest.h>

#include "cli_process.h"
#include "history/tune_history.h"

namespace tunalyx::clitest {
namespace {

const char* const kParts[] = {"d.txt", "d-001.txt", "d-002.txt"};

class CliAutoTuneTest : public ::testing::Test {
protected:
    // The simulator's tune, T0, and ten minutes of city driving on it in three parts.
    static void SetUpTestSuite() {
        s_dir = scratch() / "autotune";
        fs::create_directories(s_dir);
        Sim sim({"--family", "5"}, s_dir / "memory.dat", s_dir / "sim");
        ASSERT_TRUE(sim.serving());
        ASSERT_EQ(Cli({"read-all", "--port", sim.port(), "--out", at("T0.dat")}, s_dir / "cli")
                      .finish()
                      .exitCode,
                  0);
        ASSERT_EQ(sim.stop().exitCode, 0);
        ASSERT_EQ(run({"drive", "--tune", at("T0.dat"), "--drive", "city", "--seed", "1",
                       "--seconds", "600", "--out", at("d.txt")})
                      .exitCode,
                  0);
    }

    static std::string at(const std::string& name) { return (s_dir / name).string(); }
    static Finished run(const std::vector<std::string>& args) {
        return Cli(args, s_dir / "cli").finish(120'000);
    }
    static Finished autotune(const std::string& tune, std::vector<std::string> logs,
                             const std::vector<std::string>& more = {}) {
        std::vector<std::string> args = {"autotune", "--tune", at(tune), "--out", at("out.dat")};
        for (const std::string& log : logs)
            args.insert(args.end(), {"--log", at(log)});
        args.insert(args.end(), more.begin(), more.end());
        return run(args);
    }
    static std::string summary(const Finished& f) {
        const std::size_t last = f.out.rfind(" cells changed.");
        return last == std::string::npos ? f.out : f.out.substr(f.out.rfind('\n', last) + 1);
    }

    static inline fs::path s_dir;
};

TEST_F(CliAutoTuneTest, ALogAnalysedAgainOnTheTuneItsProposalMadeProposesNothingNew) {
    const std::vector<std::string> parts(std::begin(kParts), std::end(kParts));
    const Finished first = autotune("T0.dat", parts);
    ASSERT_EQ(first.exitCode, 0) << first.err;
    ASSERT_TRUE(fs::exists(s_dir / "out.dat"));
    fs::rename(s_dir / "out.dat", s_dir / "T1.dat");
    // The drive kept its tune in the history and linked its logs to it.
    EXPECT_EQ(first.err.find("not known"), std::string::npos) << first.err;

    const auto nothingNew = [](const Finished& f) {
        EXPECT_EQ(f.exitCode, 1) << f.err;
        EXPECT_TRUE(summary(f).starts_with("0 cells changed.")) << f.out;
        EXPECT_NE(f.err.find("nothing to change: the "), std::string::npos) << f.err;
        EXPECT_EQ(f.err.find("not known"), std::string::npos) << f.err;
    };
    nothingNew(autotune("T1.dat", parts));
    EXPECT_FALSE(fs::exists(s_dir / "out.dat"));

    // Without the history, the logs' tune is not known: taken as run on T1, the same readings
    // ask for every change again, unless --log-tune says what they ran on.
    const fs::path history = scratch() / "files" / "History";
    const fs::path away = scratch() / "files" / "History.away";
    fs::rename(history, away);
    const Finished twice = autotune("T1.dat", parts);
    const Finished named = autotune("T1.dat", parts, {"--log-tune", at("T0.dat")});
    fs::remove_all(history);  // what those two kept
    fs::rename(away, history);
    fs::remove(s_dir / "out.dat");
    EXPECT_EQ(summary(twice), summary(first));
    EXPECT_NE(twice.err.find("the tune d-001.txt ran on is not known: taken as T1.dat"),
              std::string::npos)
        << twice.err;
    nothingNew(named);
}

TEST_F(CliAutoTuneTest, PartsOutOfOrderAndALogGivenTwiceAreReadAsOneRun) {
    const Finished inOrder = autotune("T0.dat", {"d.txt", "d-001.txt", "d-002.txt"});
    const Finished shuffled = autotune("T0.dat", {"d-002.txt", "d.txt", "d-001.txt", "d.txt"},
                                       {"--log-tune", at("T0.dat")});
    ASSERT_EQ(inOrder.exitCode, 0);
    EXPECT_EQ(summary(shuffled), summary(inOrder));
    EXPECT_NE(shuffled.err.find("d.txt is the same log as d.txt: it is read once."),
              std::string::npos)
        << shuffled.err;
}

TEST_F(CliAutoTuneTest, AnAn1ThatIsNoAfrIsRefusedAndAnItemNotLoggedIsSaidToBe) {
    std::string text = fileText(s_dir / "d.txt");
    text.replace(text.find("AN1 Wide Band"), 13, "AN1 Boost psi");
    writeText(s_dir / "boost.txt", text);
    const Finished boost = autotune("T0.dat", {"boost.txt"});
    EXPECT_EQ(boost.exitCode, 1);
    EXPECT_NE(
        boost.err.find("AN1 of boost.txt is \"AN1 Boost psi\", not a calibrated wide-band A/F"),
        std::string::npos)
        << boost.err;

    ASSERT_EQ(run({"drive", "--tune", at("T0.dat"), "--seconds", "40", "--groups", "advanced",
                   "--out", at("noaux.txt")})
                  .exitCode,
              0);
    const Finished watch =
        run({"mapwatch", at("noaux.txt"), "--tune", at("T0.dat"), "--item", "58"});
    EXPECT_EQ(watch.exitCode, 1);
    EXPECT_NE(watch.err.find(" is not in noaux.txt: its group was not logged"), std::string::npos)
        << watch.err;
    // The A/F in its own format by default, three decimals as the Monitor shows it.
    const Finished afr = run({"mapwatch", at("d.txt"), "--tune", at("T0.dat"), "--item", "58",
                              "--log-tune", at("T0.dat")});
    ASSERT_EQ(afr.exitCode, 0) << afr.err;
    std::string shown;
    for (const std::string& line : fields(afr.out, '\n'))
        for (const std::string& value : fields(line, '\t'))
            if (shown.empty() && value.find('.') != std::string::npos) shown = value;
    ASSERT_FALSE(shown.empty()) << afr.out;
    EXPECT_EQ(shown.size() - shown.find('.'), 4u) << shown;
}

TEST_F(CliAutoTuneTest, CurvesAreChosenByNameAndEachEndsWithItsSummary) {
    for (const std::vector<std::string>& wrong : {std::vector<std::string>{"--curves", "map,choke"},
                                                  {"--curves", ""},
                                                  {"--curves", "warmup", "--predict"}}) {
        const Finished refused = autotune("T0.dat", {"d.txt"}, wrong);
        EXPECT_EQ(refused.exitCode, 2) << wrong[1];
        EXPECT_NE(refused.err.find("usage:"), std::string::npos) << refused.err;
    }

    const std::vector<std::string> parts(std::begin(kParts), std::end(kParts));
    const Finished curves = autotune("T0.dat", parts, {"--curves", "warmup,accel"});
    EXPECT_NE(curves.err.find("Sensor delay "), std::string::npos) << curves.err;
    EXPECT_EQ(curves.out.find(" cells changed."), std::string::npos) << curves.out;
    const std::size_t warmUp = curves.out.find("Warm-up: ");
    const std::size_t accel = curves.out.find("Accel: ");
    EXPECT_TRUE(warmUp != std::string::npos && accel != std::string::npos && warmUp < accel)
        << curves.out;
    // Nothing proposed is a failure only when no curve asked for has a change.
    if (curves.exitCode == 1)
        EXPECT_NE(curves.err.find("nothing to change in the curves asked for"), std::string::npos)
            << curves.err;
    else
        EXPECT_EQ(curves.exitCode, 0) << curves.err;
    EXPECT_EQ(fs::exists(s_dir / "out.dat"), curves.exitCode == 0);

    // The map's lines and summary come before the curve's.
    const Finished both = autotune("T0.dat", parts, {"--curves", "accel,map"});
    EXPECT_EQ(both.exitCode, 0) << both.err;
    EXPECT_LT(both.out.find(" cells changed."), both.out.find("Accel: ")) << both.out;
    EXPECT_EQ(both.out.find("Warm-up: "), std::string::npos);
    fs::remove(s_dir / "out.dat");
}

}  // namespace
}  // namespace tunalyx::clitest
