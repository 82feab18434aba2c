// The knock command end to end, on logs of pulls of the engine that answers the tune: its default
// Ign Map knocks in a few boost cells.
#include <gtest/gtest.h>

#include <regex>

#include "cli_process.h"

namespace tunalyx::clitest {
namespace {

class CliKnockTest : public ::testing::Test {
protected:
    // The simulator's tune, T0, and ten minutes of pulls on it in three parts.
    static void SetUpTestSuite() {
        s_dir = scratch() / "knock";
        fs::create_directories(s_dir);
        Sim sim({"--family", "5"}, s_dir / "memory.dat", s_dir / "sim");
        ASSERT_TRUE(sim.serving());
        ASSERT_EQ(Cli({"read-all", "--port", sim.port(), "--out", at("T0.dat")}, s_dir / "cli")
                      .finish()
                      .exitCode,
                  0);
        ASSERT_EQ(sim.stop().exitCode, 0);
        ASSERT_EQ(run({"drive", "--tune", at("T0.dat"), "--drive", "pulls", "--seed", "1",
                       "--seconds", "600", "--out", at("k.txt")})
                      .exitCode,
                  0);
    }

    static std::string at(const std::string& name) { return (s_dir / name).string(); }
    static Finished run(const std::vector<std::string>& args) {
        return Cli(args, s_dir / "cli").finish(120'000);
    }
    static Finished knock(const std::string& tune, const std::vector<std::string>& more = {}) {
        std::vector<std::string> args = {"knock", "--tune", at(tune), "--out", at("out.dat")};
        for (const char* log : {"k.txt", "k-001.txt", "k-002.txt"})
            args.insert(args.end(), {"--log", at(log)});
        args.insert(args.end(), more.begin(), more.end());
        return run(args);
    }

    static inline fs::path s_dir;
};

TEST_F(CliKnockTest, TheRetardIsWrittenAndTheWrittenTuneNeedsNoMoreForTheSameLogs) {
    const Finished first = knock("T0.dat");
    ASSERT_EQ(first.exitCode, 0) << first.err;
    ASSERT_TRUE(fs::exists(s_dir / "out.dat"));
    fs::rename(s_dir / "out.dat", s_dir / "T1.dat");
    const std::regex cellLine(R"(N(\d\d)\tP(\d\d)\t(\d+)\t(\d+)\t(\d+\.\d))");
    int retarded = 0;
    for (const std::string& line : fields(first.out, '\n')) {
        std::smatch m;
        if (!std::regex_match(line, m, cellLine)) continue;
        ++retarded;
        EXPECT_LT(std::stoi(m[4]), std::stoi(m[3])) << line;
        EXPECT_LE(std::stoi(m[3]) - std::stoi(m[4]), 3) << line;
        EXPECT_GE(std::stod(m[5]), 2) << line;
    }
    EXPECT_GT(retarded, 0) << first.out;
    EXPECT_NE(first.out.find(std::to_string(retarded) + " cells retarded. "), std::string::npos)
        << first.out;
    EXPECT_NE(first.out.find(": fix fuel first\n"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("k-002.txt ran on T0.dat\n"), std::string::npos) << first.out;

    // The logs ran on T0, which the history keeps: T1 holds every retard they ask for.
    const Finished again = knock("T1.dat");
    EXPECT_EQ(again.exitCode, 1) << again.err;
    EXPECT_NE(again.err.find("nothing needs retard: the " + std::to_string(retarded) +
                             " cells with two or more events hold their retard already, so "
                             "out.dat was not written"),
              std::string::npos)
        << again.err;
    EXPECT_NE(again.out.find("k.txt ran on tune "), std::string::npos) << again.out;
    EXPECT_FALSE(fs::exists(s_dir / "out.dat"));
}

TEST_F(CliKnockTest, BadUsageAndALogWithoutKnockAreRefusedInPlainWords) {
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{"knock", "--tune", at("T0.dat"), "--out", at("out.dat")},
         "knock needs at least one --log LOG.txt"},
        {{"knock", "--tune", at("T0.dat"), "--log", at("k.txt")}, "knock needs --out"},
        {{"knock", "--tune", at("T0.dat"), "--log", at("k.txt"), "--out", at("out.dat"),
          "--max-retard", "0"},
         "--max-retard takes a number of degrees above 0"},
        {{"knock", "--tune", at("T0.dat"), "--log", at("k.txt"), "--out", at("out.dat"),
          "--max-retard", "two"},
         "--max-retard takes a number of degrees above 0"},
        {{"knock", "--tune", at("T0.dat"), "--log", at("k.txt"), "--out", at("out.dat"),
          "--max-change", "5"},
         "knock does not take --max-change"},
    };
    for (const Case& c : cases) {
        const Finished f = run(c.args);
        EXPECT_EQ(f.exitCode, 2) << c.says;
        EXPECT_NE(f.err.find(c.says), std::string::npos) << f.err;
    }

    ASSERT_EQ(run({"drive", "--tune", at("T0.dat"), "--drive", "pulls", "--seconds", "20",
                   "--groups", "aux", "--out", at("aux.txt")})
                  .exitCode,
              0);
    const Finished aux =
        run({"knock", "--tune", at("T0.dat"), "--log", at("aux.txt"), "--out", at("out.dat")});
    EXPECT_EQ(aux.exitCode, 1);
    EXPECT_NE(aux.err.find("Knock analysis needs Advanced, and aux.txt was logged without it"),
              std::string::npos)
        << aux.err;
    EXPECT_FALSE(fs::exists(s_dir / "out.dat"));
}

}  // namespace
}  // namespace tunalyx::clitest
