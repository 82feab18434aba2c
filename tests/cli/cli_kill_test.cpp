// A command line killed at any moment leaves the file it was replacing as it was: killed while it
// talks to the unit, and killed at each step of the save itself.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#include "cli_process.h"

namespace tunalyx::clitest {
namespace {

const std::string kOldTune = "8B0102\r\nTTthe tune kept from before\r\n";

// The steps of a save, as system calls: the unnamed temporary file gets the target's
// permissions, is linked under the target's name (refused, it exists), then under a name of its
// own, which is renamed over the target.
struct SavePoint {
    const char* step;
    const char* syscalls;
    int occurrence;
    bool leavesCopy;  // a whole copy of the new file under a name of its own
};
constexpr SavePoint kSavePoints[] = {
    {"temporary file just made", "fchmod", 1, false},
    {"written and flushed", "linkat", 1, false},
    {"before its own name", "linkat", 2, false},
    {"before the rename", "rename,renameat,renameat2", 1, true},
};

// strace's fault injection kills the process on entry to the n-th such call.
std::optional<std::string> straceProgram() {
    for (const char* path : {"/usr/bin/strace", "/bin/strace", "/usr/local/bin/strace"})
        if (::access(path, X_OK) == 0) return std::string(path);
    return std::nullopt;
}

class CliKillTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = scratch() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        out = dir / "out";
        fs::create_directories(out);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(scratch(), ignored);
    }

    // The files beside the target that are not the target: temporary files left behind.
    std::set<std::string> strays(const std::set<std::string>& expected) const {
        std::set<std::string> left = namesIn(out);
        for (const auto& name : expected)
            left.erase(name);
        return left;
    }

    fs::path dir, out;
};

// Killed while identifying the unit and in the middle of the blocks: nothing was saved.
TEST_F(CliKillTest, ReadAllKilledDuringTheTransferLeavesTheOldFile) {
    // A unit 50 ms slow makes a Read All of about three seconds.
    Sim sim({"--fault", "delay=50"}, dir / "memory.dat", dir / "sim");
    ASSERT_TRUE(sim.serving());
    const fs::path target = out / "unit.dat";
    for (const int afterMs : {100, 800, 1600, 2400}) {
        SCOPED_TRACE(afterMs);
        writeText(target, kOldTune);
        Cli cli({"read-all", "--port", sim.port(), "--out", target.string()}, dir / "cli");
        std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
        cli.signal(SIGKILL);
        const Finished f = cli.finish();
        ASSERT_EQ(f.signal, SIGKILL) << "ended before the kill: " << f.exitCode << " " << f.err;
        EXPECT_EQ(fileText(target), kOldTune);
        EXPECT_EQ(strays({"unit.dat"}), std::set<std::string>{});
    }
}

// Killed at each step of the save of read-all and of convert: the target is the old file, byte
// for byte. Only a kill between the new file's own name and the rename leaves a file behind: a
// whole copy of the new file under a name no later save uses.
TEST_F(CliKillTest, KilledAtEachStepOfTheSaveTheTargetIsTheOldFile) {
    const auto strace = straceProgram();
    if (!strace) GTEST_SKIP() << "strace is needed to stop the save at a given step";

    Sim sim({}, dir / "memory.dat", dir / "sim");
    ASSERT_TRUE(sim.serving());
    const fs::path fresh = dir / "fresh.dat";
    ASSERT_EQ(Cli({"read-all", "--port", sim.port(), "--out", fresh.string()}, dir / "cli")
                  .finish()
                  .exitCode,
              0);
    const fs::path converted = dir / "converted.dat";
    ASSERT_EQ(Cli({"convert", "--to", "3", fresh.string(), converted.string()}, dir / "cli")
                  .finish()
                  .exitCode,
              0);

    struct Command {
        const char* name;
        std::vector<std::string> args;
        std::string newText;
    };
    const fs::path target = out / "target.dat";
    const Command commands[] = {
        {"read-all", {"read-all", "--port", sim.port(), "--out", target.string()}, fileText(fresh)},
        {"convert", {"convert", "--to", "3", fresh.string(), target.string()}, fileText(converted)},
    };
    for (const Command& command : commands) {
        for (const SavePoint& point : kSavePoints) {
            SCOPED_TRACE(std::string(command.name) + ", killed " + point.step);
            writeText(target, kOldTune);
            const std::string inject = std::string("inject=") + point.syscalls +
                                       ":signal=KILL:when=" + std::to_string(point.occurrence);
            Cli cli(command.args, dir / "cli",
                    {*strace, "-f", "-qq", "-o", "/dev/null", "-e", inject});
            const Finished f = cli.finish();
            EXPECT_NE(f.exitCode, 0);
            EXPECT_EQ(fileText(target), kOldTune);
            const auto left = strays({"target.dat"});
            if (!point.leavesCopy) {
                EXPECT_EQ(left, std::set<std::string>{});
                continue;
            }
            ASSERT_EQ(left.size(), 1u);
            const std::string copy = *left.begin();
            EXPECT_TRUE(copy.starts_with("target.dat.")) << copy;
            EXPECT_EQ(fileText(out / copy), command.newText);
            // The next save goes through regardless and leaves nothing of its own.
            ASSERT_EQ(Cli(command.args, dir / "cli").finish().exitCode, 0);
            EXPECT_EQ(fileText(target), command.newText);
            EXPECT_EQ(strays({"target.dat"}), left);
            fs::remove(out / copy);
        }
    }
}

// Killed in the middle of a log run, nothing of it saved: its journal holds every sample up to
// the last second, and `recover` writes them as a log.
TEST_F(CliKillTest, ALogKilledMidRunIsRecoveredUpToItsLastSecond) {
    Sim sim({"--baud-pacing"}, dir / "memory.dat", dir / "sim");
    ASSERT_TRUE(sim.serving());
    const fs::path journals = scratch() / "files" / "Logs";
    fs::remove_all(journals);
    using Clock = std::chrono::steady_clock;
    Cli cli({"log", "--port", sim.port(), "--seconds", "60", "--out", (out / "run.txt").string()},
            dir / "cli");
    // The journal appears with the first sample.
    const auto started = Clock::now();
    while (!fs::exists(journals) || fs::is_empty(journals)) {
        ASSERT_LT(Clock::now() - started, std::chrono::seconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto firstSample = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    cli.signal(SIGKILL);
    const double loggedFor = std::chrono::duration<double>(Clock::now() - firstSample).count();
    ASSERT_EQ(cli.finish().signal, SIGKILL);
    EXPECT_FALSE(fs::exists(out / "run.txt"));

    const fs::path recovered = out / "recovered.txt";
    const Finished f = Cli({"recover", "--out", recovered.string()}, dir / "cli").finish();
    ASSERT_EQ(f.exitCode, 0) << f.err;
    EXPECT_TRUE(f.out.starts_with("Recovered ")) << f.out;
    const Log log = readLog(recovered);
    const auto times = log.times();
    ASSERT_FALSE(times.empty());
    EXPECT_EQ(times.front(), 0);
    EXPECT_GE(times.back(), loggedFor - 1.0) << "logged for " << loggedFor << " s";
    // Every sample once, in order.
    EXPECT_TRUE(std::adjacent_find(times.begin(), times.end(), std::greater_equal<>()) ==
                times.end());
    // Recovered once: the journal is gone.
    EXPECT_EQ(Cli({"recover"}, dir / "cli").finish().exitCode, 1);
}

}  // namespace
}  // namespace tunalyx::clitest
