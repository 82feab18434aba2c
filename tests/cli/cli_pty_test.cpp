// The command line end to end: `tunalyx-cli simulate` serves a unit on a pseudo-terminal and a
// second `tunalyx-cli` talks to it through the real serial adapter.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Finished {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class Child {
public:
    explicit Child(const std::vector<std::string>& args) {
        int outPipe[2], errPipe[2];
        if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
        posix_spawn_file_actions_addclose(&actions, outPipe[0]);
        posix_spawn_file_actions_addclose(&actions, errPipe[0]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(TUNALYX_CLI_PATH));
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, TUNALYX_CLI_PATH, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(outPipe[1]);
        ::close(errPipe[1]);
        m_out = outPipe[0];
        m_err = errPipe[0];
    }
    ~Child() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0) ::close(m_out);
        if (m_err >= 0) ::close(m_err);
    }

    // The first line the child prints, waiting at most `timeoutMs`.
    std::string firstLine(int timeoutMs) {
        std::string line;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            pollfd p{m_out, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            char c;
            if (::read(m_out, &c, 1) != 1) break;
            if (c == '\n') return line;
            line.push_back(c);
        }
        return line;
    }

    // Waits for the child to end (killing it after `timeoutMs`) and collects its output.
    Finished finish(int timeoutMs) {
        Finished f;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        bool outOpen = true, errOpen = true;
        while ((outOpen || errOpen) && std::chrono::steady_clock::now() < end) {
            pollfd p[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
            if (::poll(p, 2, 50) <= 0) continue;
            char buf[512];
            if (p[0].revents) {
                const ssize_t n = ::read(m_out, buf, sizeof buf);
                if (n > 0)
                    f.out.append(buf, static_cast<std::size_t>(n));
                else
                    outOpen = false;
            }
            if (p[1].revents) {
                const ssize_t n = ::read(m_err, buf, sizeof buf);
                if (n > 0)
                    f.err.append(buf, static_cast<std::size_t>(n));
                else
                    errOpen = false;
            }
        }
        if (outOpen || errOpen) ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        f.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return f;
    }

    void stop() {
        if (m_pid > 0) ::kill(m_pid, SIGTERM);
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
};

Finished runCli(const std::vector<std::string>& args, int timeoutMs = 20000) {
    return Child(args).finish(timeoutMs);
}

class CliPtyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The CLI reads the per-user settings; keep the user's own store out of it.
        static const std::string home = (std::filesystem::temp_directory_path() /
                                         ("tunalyx-cli-test-" + std::to_string(::getpid())))
                                            .string();
        std::filesystem::create_directories(home);
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    }
};

TEST_F(CliPtyTest, IdentifyPrintsNameVersionKeyAndFamilyOfEachUnit) {
    struct Expect {
        const char* family;
        const char* name;
        const char* version;
        const char* key;
        const char* shownFamily;
    };
    for (const Expect& e : {Expect{"5", "SR20DET1", "5.01", "DET15.01", "5"},
                            Expect{"3", "SR20DET2", "3.12A", "DET23.12", "3"},
                            Expect{"1.70", "SR20DET1", "1.70B", "DET11.70", "1.70"},
                            Expect{"T2-D", "SR20T2-D", "5.11A", "T2-D5.11", "T2-D"}}) {
        Child sim({"simulate", "--family", e.family, "--baud-pacing"});
        const std::string path = sim.firstLine(5000);
        ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
        const Finished id = runCli({"identify", "--port", path});
        EXPECT_EQ(id.exitCode, 0) << id.err;
        EXPECT_EQ(id.out, std::string("Program name: ") + e.name + "\nVersion text: " + e.version +
                              "\nVersion key: " + e.key + "\nLayout family: " + e.shownFamily +
                              "\n");
        EXPECT_EQ(id.err, "");
        sim.stop();
        EXPECT_EQ(sim.finish(5000).exitCode, 0);
    }
}

TEST_F(CliPtyTest, UnsupportedUnitIsNamedAndFails) {
    Child sim({"simulate", "--family", "unsupported"});
    const std::string path = sim.firstLine(5000);
    const Finished id = runCli({"identify", "--port", path});
    EXPECT_EQ(id.exitCode, 1);
    EXPECT_NE(id.out.find("Layout family: unsupported"), std::string::npos) << id.out;
    EXPECT_NE(id.err.find("SR20DET2 version 4.07  is not yet supported."), std::string::npos)
        << id.err;
}

TEST_F(CliPtyTest, SilentLinkReportsTheInterfaceAndFails) {
    // Every request dropped: the wake-up and the probe time out, then the name read fails.
    std::vector<std::string> args{"simulate"};
    for (int n = 1; n <= 12; ++n) {
        args.push_back("--fault");
        args.push_back("drop=" + std::to_string(n));
    }
    Child sim(args);
    const Finished id = runCli({"identify", "--port", sim.firstLine(5000)});
    EXPECT_EQ(id.exitCode, 1);
    EXPECT_EQ(id.err, "Interface not responding!\n");
}

TEST_F(CliPtyTest, BadUsageAndMissingDevices) {
    EXPECT_EQ(runCli({}).exitCode, 2);
    EXPECT_EQ(runCli({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(runCli({"identify"}).exitCode, 2);
    EXPECT_EQ(runCli({"simulate", "--family", "7"}).exitCode, 2);
    EXPECT_EQ(runCli({"simulate", "--fault", "melt=1"}).exitCode, 2);
    const Finished missing = runCli({"identify", "--port", "/dev/tunalyx-no-such-device"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err.rfind("Error opening /dev/tunalyx-no-such-device", 0), 0u) << missing.err;
    EXPECT_EQ(runCli({"help"}).exitCode, 0);
}

}  // namespace
