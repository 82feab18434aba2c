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
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "transfer/data_file.h"
#include "versions/layout_family.h"

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

namespace fs = std::filesystem;
using tunalyx::PacketImage;

// A folder of its own for each test, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        static int count = 0;
        m_path = fs::temp_directory_path() / ("tunalyx-cli-files-" + std::to_string(::getpid()) +
                                              "-" + std::to_string(++count));
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    [[nodiscard]] std::string operator/(const std::string& name) const {
        return (m_path / name).string();
    }

private:
    fs::path m_path;
};

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

PacketImage imageOf(const std::string& path) {
    PacketImage image;
    tunalyx::PacketDirty dirty;
    std::string notes;
    tunalyx::readDataFileText(fileText(path), image, dirty, notes);
    return image;
}

void writeImage(const std::string& path, const PacketImage& image) {
    std::ofstream(path, std::ios::binary) << tunalyx::dataFileText(image, "");
}

// (block, byte index) of every byte in which two images differ; a slot of another length
// counts at its first missing index.
std::vector<std::pair<int, std::size_t>> differences(const PacketImage& a, const PacketImage& b) {
    std::vector<std::pair<int, std::size_t>> out;
    for (int block = 0; block < PacketImage::kSlotCount; ++block) {
        const auto& x = a[static_cast<std::uint8_t>(block)];
        const auto& y = b[static_cast<std::uint8_t>(block)];
        for (std::size_t i = 0; i < std::max(x.size(), y.size()); ++i)
            if (i >= x.size() || i >= y.size() || x[i] != y[i]) out.emplace_back(block, i);
    }
    return out;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CliPtyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The CLI reads the per-user settings; keep the user's own store out of it.
        std::filesystem::create_directories(home());
        ::setenv("HOME", home().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home() + "/.config").c_str(), 1);
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        std::filesystem::remove_all(home(), ignored);
    }
    static const std::string& home() {
        static const std::string path = (std::filesystem::temp_directory_path() /
                                         ("tunalyx-cli-test-" + std::to_string(::getpid())))
                                            .string();
        return path;
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

TEST_F(CliPtyTest, ReadAllShowAndWriteAllOfAFamily5Unit) {
    TempFolder dir;
    Child sim({"simulate", "--family", "5"});
    const std::string port = sim.firstLine(5000);
    ASSERT_EQ(port.rfind("/dev/", 0), 0u) << port;

    const Finished read = runCli({"read-all", "--port", port, "--out", dir / "unit.dat"});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.err, "");
    EXPECT_EQ(imageOf(dir / "unit.dat")[0xF3], tunalyx::bytesFromText("SR20DET1"));

    // Showing the file opens it again, identified and with the family's Tags.
    const Finished show = runCli({"show", dir / "unit.dat"});
    ASSERT_EQ(show.exitCode, 0) << show.err;
    EXPECT_EQ(show.err, "");
    EXPECT_EQ(show.out.rfind("Program name: SR20DET1\nVersion text: 5.01\nVersion key: DET15.01\n"
                             "Layout family: 5\n",
                             0),
              0u);
    for (const char* expected : {
             "\n[Rev / Idle]\nRev Limit: 7500\nIdle: 850\n",
             "\nUse Boost 1: selected\nBoost 1 (kg/cm2): 0.70\nUse Boost 2: not selected\n",
             "\nProtect On: off\n",
             "\nFunction 1: 1.Boost cntl kit\nOn: on\n",
             "\nCranking Curve:\n  -30, 30.0\n  -10, 22.0\n",
             "\nName 2: 80mm AFM\n",
             "\n== Inj Map ==\n        800  1150  1500  1850  2200  2550  2900  3250  3600  3950"
             "  4300  4650  5000  5350  5700  6050  6400  6750  7100  7450\n"
             " 1000 0.949 0.949 0.949 0.949 0.949 0.949 0.949 0.949 0.949 0.949 0.949 0.949 0.949"
             " 0.949 0.949 0.949 0.949 0.949 0.949 0.949\n",
             "\n12932    10    10    11    11    11    12    12    12    13    13    13    13    14"
             "    14    14    15    15    15    16    16\n",
         })
        EXPECT_TRUE(contains(show.out, expected)) << expected;
    EXPECT_FALSE(contains(show.out, "== Base Map =="));

    // Written back with a new rev limit, the unit then holds exactly the file.
    PacketImage edited = imageOf(dir / "unit.dat");
    edited[0x8B][0] = 0x70;
    edited[0x8B][1] = 0x1B;  // 7024
    writeImage(dir / "edited.dat", edited);
    const Finished write = runCli({"write-all", "--port", port, dir / "edited.dat"});
    EXPECT_EQ(write.exitCode, 0) << write.err;
    EXPECT_EQ(write.err, "");
    ASSERT_EQ(runCli({"read-all", "--port", port, "--out", dir / "again.dat"}).exitCode, 0);
    EXPECT_EQ(fileText(dir / "again.dat"), fileText(dir / "edited.dat"));
}

TEST_F(CliPtyTest, UpdateSendsOneChangedMapByteCellByCellWhenTheBlockIsRefused) {
    TempFolder dir;
    Child sim({"simulate", "--fault", "refuse=0x86"});
    const std::string port = sim.firstLine(5000);
    ASSERT_EQ(runCli({"read-all", "--port", port, "--out", dir / "base.dat"}).exitCode, 0);

    PacketImage edited = imageOf(dir / "base.dat");
    edited[0x86][9] ^= 0x11;  // a cell of the injection map
    writeImage(dir / "edited.dat", edited);
    const Finished update =
        runCli({"update", "--port", port, "--base", dir / "base.dat", dir / "edited.dat"});
    EXPECT_EQ(update.exitCode, 0) << update.err;
    EXPECT_EQ(update.err, "");

    ASSERT_EQ(runCli({"read-all", "--port", port, "--out", dir / "after.dat"}).exitCode, 0);
    const auto changed = differences(imageOf(dir / "base.dat"), imageOf(dir / "after.dat"));
    EXPECT_EQ(changed, (std::vector<std::pair<int, std::size_t>>{{0x86, 9}}));
    EXPECT_EQ(imageOf(dir / "after.dat"), edited);

    // Files of two layouts are not compared byte by byte.
    ASSERT_EQ(runCli({"convert", "--to", "3", dir / "edited.dat", dir / "three.dat"}).exitCode, 0);
    const Finished mixed =
        runCli({"update", "--port", port, "--base", dir / "base.dat", dir / "three.dat"});
    EXPECT_EQ(mixed.exitCode, 1);
    EXPECT_EQ(mixed.err,
              "tunalyx-cli: three.dat is laid out for family 3, base.dat for family 5\n");
}

TEST_F(CliPtyTest, ConvertToFamily3AndBackKeepsEveryBlockOfFamily3) {
    TempFolder dir;
    Child sim({"simulate", "--family", "5"});
    ASSERT_EQ(
        runCli({"read-all", "--port", sim.firstLine(5000), "--out", dir / "five.dat"}).exitCode, 0);

    const Finished to3 = runCli({"convert", "--to", "3", dir / "five.dat", dir / "three.dat"});
    ASSERT_EQ(to3.exitCode, 0) << to3.err;
    EXPECT_EQ(to3.err, "");
    const Finished back = runCli({"convert", "--to", "5", dir / "three.dat", dir / "back.dat"});
    ASSERT_EQ(back.exitCode, 0) << back.err;
    const Finished shown = runCli({"show", dir / "three.dat"});
    EXPECT_TRUE(contains(shown.out, "\nLayout family: 3\n")) << shown.out.substr(0, 200);

    // Family 3 keeps the named blocks below 0x70; family 5 keeps them higher up.
    const std::vector<std::pair<int, int>> moved = {{0x5A, 0xCE}, {0x5C, 0xD5}, {0x65, 0xD6},
                                                    {0x67, 0xDC}, {0x69, 0xDD}, {0x6E, 0xD8},
                                                    {0x6F, 0xD9}};
    const PacketImage five = imageOf(dir / "five.dat");
    const PacketImage three = imageOf(dir / "three.dat");
    const PacketImage again = imageOf(dir / "back.dat");
    for (const tunalyx::BlockSpec& b :
         tunalyx::familyLayout(tunalyx::LayoutFamily::Family3).readAll) {
        SCOPED_TRACE(int(b.command));
        int inFive = b.command;
        for (const auto& [from, to] : moved)
            if (from == b.command) inFive = to;
        const auto slotIn5 = static_cast<std::uint8_t>(inFive);
        // In between, the block sits where family 3 has it (identity and item names relabelled).
        EXPECT_EQ(three[b.command].size(), b.length);
        EXPECT_EQ(again[slotIn5], five[slotIn5]);
    }

    const Finished unwritable =
        runCli({"convert", "--to", "3", dir / "five.dat", dir / "no-such-folder/out.dat"});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_EQ(unwritable.err.rfind("tunalyx-cli: Cannot write ", 0), 0u) << unwritable.err;
}

TEST_F(CliPtyTest, RefusedBlockFailsWriteAllWithItsMessage) {
    TempFolder dir;
    Child sim({"simulate", "--fault", "refuse=0x8B"});
    const std::string port = sim.firstLine(5000);
    ASSERT_EQ(runCli({"read-all", "--port", port, "--out", dir / "unit.dat"}).exitCode, 0);
    const Finished write = runCli({"write-all", "--port", port, dir / "unit.dat"});
    EXPECT_EQ(write.exitCode, 1);
    EXPECT_EQ(write.err, "Interface not responding!\nWrite All Error 8B\n");
}

TEST_F(CliPtyTest, ScanOfAnUnsupportedUnitKeepsAllCommandBytes) {
    TempFolder dir;
    Child sim({"simulate", "--family", "unsupported"});
    const Finished scan =
        runCli({"scan", "--port", sim.firstLine(5000), "--out", dir / "scan.dat"});
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    // Every command byte answers; a slot holds the data and the reply's checksum.
    const PacketImage image = imageOf(dir / "scan.dat");
    for (int b = 0; b < PacketImage::kSlotCount; ++b)
        EXPECT_FALSE(image[static_cast<std::uint8_t>(b)].empty()) << b;
    EXPECT_EQ(tunalyx::textFromBytes(image[0xF5], 0, 5), "4.07 ");
    EXPECT_EQ(image[0xF5].size(), 6u);
}

TEST_F(CliPtyTest, FileCommandsReportBadUsageAndBadFiles) {
    TempFolder dir;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"read-all", "--port", "/dev/null"},
             {"read-all", "--port", "/dev/null", "--out", "a.dat", "--base", "b.dat"},
             {"write-all", "--port", "/dev/null"},
             {"write-all", "--port", "/dev/null", "a.dat", "b.dat"},
             {"update", "--port", "/dev/null", "a.dat"},
             {"update", "--port", "/dev/null", "--base", "a.dat", "--base", "b.dat", "c.dat"},
             {"convert", "--to", "7", "a.dat", "b.dat"},
             {"convert", "--to", "3", "a.dat"},
             {"convert", "a.dat", "b.dat"},
             {"show"},
             {"show", "--force", "a.dat"},
             {"scan", "--out", "a.dat"},
             {"show", "a.dat", "--yes", "--no"},
         }) {
        const Finished f = runCli(args);
        EXPECT_EQ(f.exitCode, 2) << args[0] << " " << args.size();
        EXPECT_EQ(f.err.rfind("tunalyx-cli: ", 0), 0u) << f.err;
        EXPECT_EQ(f.out, "");
    }

    const Finished missing = runCli({"show", dir / "missing.dat"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "Error opening missing.dat\n");
    std::ofstream(dir / "notes.dat", std::ios::binary) << "TTonly notes\r\n";
    const Finished foreign = runCli({"convert", "--to", "5", dir / "notes.dat", dir / "out.dat"});
    EXPECT_EQ(foreign.exitCode, 1);
    EXPECT_EQ(foreign.err, "notes.dat is not a recognised SR20DET Data file\n");
    EXPECT_FALSE(fs::exists(dir / "out.dat"));
}

}  // namespace
