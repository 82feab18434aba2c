// The command line end to end: `tunalyx-cli simulate` serves a unit on a pseudo-terminal and a
// second `tunalyx-cli` talks to it through the real serial adapter.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "transfer/data_file.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using tunalyx::PacketImage;

// Per-process scratch folder: the CLI's HOME, its captured output and the tests' files.
const fs::path& home() {
    static const fs::path path =
        fs::temp_directory_path() / ("tunalyx-cli-test-" + std::to_string(::getpid()));
    return path;
}

// A file of the tests, in that folder.
std::string at(const std::string& name) {
    return (home() / name).string();
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Finished {
    int exitCode = -1;
    std::string out, err;
};

// One run of the CLI, its standard output and error captured in files.
class Cli {
public:
    explicit Cli(const std::vector<std::string>& args) {
        static int count = 0;
        const std::string stem = (home() / ("run-" + std::to_string(++count))).string();
        m_out = stem + ".out";
        m_err = stem + ".err";
        posix_spawn_file_actions_t io;
        posix_spawn_file_actions_init(&io);
        posix_spawn_file_actions_addopen(&io, 1, m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&io, 2, m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<char*> argv{const_cast<char*>(TUNALYX_CLI_PATH)};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, TUNALYX_CLI_PATH, &io, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&io);
    }
    ~Cli() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    // The first line printed, waiting at most five seconds.
    std::string firstLine() const {
        for (int tries = 0; tries < 100; ++tries) {
            const std::string out = fileText(m_out);
            if (const auto end = out.find('\n'); end != std::string::npos)
                return out.substr(0, end);
            ::usleep(50'000);
        }
        return "";
    }

    void stop(int signal = SIGTERM) const {
        if (m_pid > 0) ::kill(m_pid, signal);
    }

    // Waits for the end (killing the process after `timeoutMs`) and collects the output.
    Finished finish(int timeoutMs = 20000) {
        if (m_pid <= 0) return {};
        int status = 0;
        pid_t ended = 0;
        for (int waited = 0; (ended = ::waitpid(m_pid, &status, WNOHANG)) == 0; waited += 10) {
            if (waited >= timeoutMs) ::kill(m_pid, SIGKILL);
            ::usleep(10'000);
        }
        const bool exited = ended == m_pid && WIFEXITED(status);
        m_pid = -1;
        return {exited ? WEXITSTATUS(status) : -1, fileText(m_out), fileText(m_err)};
    }

private:
    pid_t m_pid = -1;
    std::string m_out, m_err;
};

Finished runCli(const std::vector<std::string>& args) {
    return Cli(args).finish();
}

// A running `simulate` and the device path it serves.
struct Sim {
    explicit Sim(const std::vector<std::string>& args) : cli(args) {
        EXPECT_EQ(port.rfind("/dev/", 0), 0u) << port;
    }
    Cli cli;
    const std::string port = cli.firstLine();
};

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

class CliPtyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The CLI reads the per-user settings and journals in the user's Logs folder; keep the
        // user's own out of it.
        fs::create_directories(home());
        ::setenv("HOME", home().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home() / ".config").c_str(), 1);
        ::setenv("TUNALYX_FILES_FOLDER", (home() / "files").c_str(), 1);
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(home(), ignored);
    }
};

TEST_F(CliPtyTest, IdentifyPrintsNameVersionKeyAndFamilyOrRefusesAnUnsupportedUnit) {
    struct Expect {
        const char *family, *name, *version, *key, *err;
    };
    for (const Expect& e : {
             Expect{"5", "SR20DET1", "5.01", "DET15.01", ""},
             Expect{"1.70", "SR20DET1", "1.70B", "DET11.70", ""},  // identity in other blocks
             Expect{"unsupported", "SR20DET2", "4.07", "DET24.07",
                    "SR20DET2 version 4.07  is not yet supported.\n"},
         }) {
        SCOPED_TRACE(e.family);
        Sim sim({"simulate", "--family", e.family, "--baud-pacing"});
        const Finished id = runCli({"identify", "--port", sim.port});
        EXPECT_EQ(id.exitCode, *e.err ? 1 : 0);
        EXPECT_EQ(id.out, std::string("Program name: ") + e.name + "\nVersion text: " + e.version +
                              "\nVersion key: " + e.key + "\nLayout family: " + e.family + "\n");
        EXPECT_EQ(id.err, e.err);
        sim.cli.stop();
        EXPECT_EQ(sim.cli.finish(5000).exitCode, 0);
    }
}

TEST_F(CliPtyTest, SilentLinkReportsTheInterfaceAndFails) {
    // Every request dropped: the wake-up and the probe time out, then the name read fails.
    std::vector<std::string> args{"simulate"};
    for (int n = 1; n <= 12; ++n)
        args.insert(args.end(), {"--fault", "drop=" + std::to_string(n)});
    Sim sim(args);
    const Finished id = runCli({"identify", "--port", sim.port});
    EXPECT_EQ(id.exitCode, 1);
    EXPECT_EQ(id.err, "Interface not responding!\n");
}

TEST_F(CliPtyTest, BadUsageExits2AndAMissingDeviceOrForeignFileExits1) {
    for (const char* line :
         {"", "frobnicate", "identify", "simulate --family 7", "simulate --fault melt=1",
          "read-all --port /dev/null", "write-all --port /dev/null a.dat b.dat",
          "update --port /dev/null a.dat", "convert --to 7 a.dat b.dat", "show --force a.dat"}) {
        std::vector<std::string> args;
        std::istringstream words(line);
        for (std::string w; words >> w;)
            args.push_back(w);
        const Finished f = runCli(args);
        EXPECT_EQ(f.exitCode, 2) << line;
        EXPECT_EQ(f.out, "");
        EXPECT_TRUE(args.empty() || f.err.rfind("tunalyx-cli: ", 0) == 0) << f.err;
    }
    EXPECT_EQ(runCli({"help"}).exitCode, 0);

    const Finished device = runCli({"identify", "--port", "/dev/tunalyx-no-such-device"});
    EXPECT_EQ(device.exitCode, 1);
    EXPECT_EQ(device.err,
              "Error opening /dev/tunalyx-no-such-device\n/dev/tunalyx-no-such-device is not "
              "there: is the interface cable plugged in?\n");
    const Finished version = runCli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("tunalyx-cli ", 0), 0u) << version.out;
    std::ofstream(at("notes.dat"), std::ios::binary) << "TTonly notes\r\n";
    const Finished foreign = runCli({"convert", "--to", "5", at("notes.dat"), at("out.dat")});
    EXPECT_EQ(foreign.exitCode, 1);
    EXPECT_EQ(foreign.err, "notes.dat is not a recognised SR20DET Data file\n");
    EXPECT_FALSE(fs::exists(at("out.dat")));
}

TEST_F(CliPtyTest, ReadAllShowAndWriteAllOfAFamily5Unit) {
    Sim sim({"simulate", "--family", "5"});
    const Finished read = runCli({"read-all", "--port", sim.port, "--out", at("unit.dat")});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.err, "");
    EXPECT_EQ(imageOf(at("unit.dat"))[0xF3], tunalyx::bytesFromText("SR20DET1"));

    // Showing the file opens it again, identified and with the family's Tags.
    const Finished show = runCli({"show", at("unit.dat")});
    ASSERT_EQ(show.exitCode, 0) << show.err;
    EXPECT_EQ(show.err, "");
    EXPECT_EQ(show.out.rfind("Program name: SR20DET1\n", 0), 0u);
    for (const char* expected :
         {"\n[Rev / Idle]\nRev Limit: 7500\n", "\nUse Boost 1: selected\nBoost 1 (kg/cm2): 0.70\n",
          "\nCranking Curve:\n  -30, 30.0\n", "\n== Inj Map ==\n        800  1150 ",
          "\n 1000 0.949 0.949 "})
        EXPECT_NE(show.out.find(expected), std::string::npos) << expected;
    EXPECT_EQ(show.out.find("== Base Map =="), std::string::npos);

    // Written back with a new rev limit, the unit then holds exactly the file.
    PacketImage edited = imageOf(at("unit.dat"));
    edited[0x8B][0] = 0x70;
    edited[0x8B][1] = 0x1B;  // 7024
    writeImage(at("edited.dat"), edited);
    const Finished write = runCli({"write-all", "--port", sim.port, at("edited.dat")});
    EXPECT_EQ(write.exitCode, 0) << write.err;
    EXPECT_EQ(write.err, "");
    ASSERT_EQ(runCli({"read-all", "--port", sim.port, "--out", at("again.dat")}).exitCode, 0);
    EXPECT_EQ(fileText(at("again.dat")), fileText(at("edited.dat")));
}

// Writes are read back: a unit that keeps a byte other than sent fails the command, naming the
// setting; --no-verify trusts the unit's acknowledgement.
TEST_F(CliPtyTest, WritesTheUnitDidNotKeepFailUnlessNotVerified) {
    Sim sim({"simulate", "--family", "5", "--fault", "misstore=0x8B:3"});
    ASSERT_EQ(runCli({"read-all", "--port", sim.port, "--out", at("kept.dat")}).exitCode, 0);
    const tunalyx::Bytes idle = imageOf(at("kept.dat"))[0x8B];  // a word at bytes 3 and 4
    const int sent = idle[2] + 256 * idle[3];
    const std::string named =
        "The Power-FC did not keep what was written to Settings 1 > Rev / Idle > Idle: sent " +
        std::to_string(sent) + ", kept " + std::to_string(sent + 1) +
        "; it stays marked for Update.\n";
    const Finished write = runCli({"write-all", "--port", sim.port, at("kept.dat")});
    EXPECT_EQ(write.exitCode, 1);
    EXPECT_EQ(write.err, named);
    const Finished trusted =
        runCli({"write-all", "--port", sim.port, "--no-verify", at("kept.dat")});
    EXPECT_EQ(trusted.exitCode, 0);
    EXPECT_EQ(trusted.err, "");

    PacketImage edited = imageOf(at("kept.dat"));
    edited[0x8B][0] -= 1;  // the rev limit lowered: no risk to hold back
    writeImage(at("edited.dat"), edited);
    const std::vector<std::string> update{"update", "--port",       sim.port,
                                          "--base", at("kept.dat"), at("edited.dat")};
    const Finished checked = runCli(update);
    EXPECT_EQ(checked.exitCode, 1);
    EXPECT_EQ(checked.err, named);
    std::vector<std::string> unchecked = update;
    unchecked.push_back("--no-verify");
    EXPECT_EQ(runCli(unchecked).exitCode, 0);
}

// A tune with a block cut short, a lost line or a block the unit is never written is refused
// before anything goes out, and the command fails.
TEST_F(CliPtyTest, IncompleteOrForeignTunesAreNotWritten) {
    Sim sim({"simulate", "--family", "5"});
    ASSERT_EQ(runCli({"read-all", "--port", sim.port, "--out", at("unit.dat")}).exitCode, 0);
    const PacketImage unit = imageOf(at("unit.dat"));
    PacketImage damaged = unit;
    damaged[0x86].resize(29);
    damaged[0x8A].clear();
    writeImage(at("damaged.dat"), damaged);
    const Finished write = runCli({"write-all", "--port", sim.port, at("damaged.dat")});
    EXPECT_EQ(write.exitCode, 1);
    EXPECT_EQ(write.err,
              "Nothing was sent to the Power-FC.\nBlock 86 holds 29 bytes instead of 100.\n"
              "Block 8A is missing.\n");

    PacketImage foreign = unit;
    foreign[0xDA] = {1, 2, 3};  // live data
    foreign[0x8B][0] ^= 1;
    writeImage(at("foreign.dat"), foreign);
    const Finished update =
        runCli({"update", "--port", sim.port, "--base", at("unit.dat"), at("foreign.dat")});
    EXPECT_EQ(update.exitCode, 1);
    EXPECT_EQ(update.err,
              "Nothing was sent to the Power-FC.\nBlock DA is not written to this Power-FC "
              "version.\n");

    ASSERT_EQ(runCli({"read-all", "--port", sim.port, "--out", at("after.dat")}).exitCode, 0);
    EXPECT_EQ(imageOf(at("after.dat")), unit);
}

// A device named without a folder is a path when such a file exists here (a link to the
// simulated unit); a unit that is no SR20DET unit is asked nothing after its name.
TEST_F(CliPtyTest, PortNamedByARelativePathAndAnUnitOfAnotherEngine) {
    Sim other({"simulate", "--family", "not-sr20"});
    const fs::path link = home() / "unit.link";
    fs::create_symlink(other.port, link);
    const fs::path before = fs::current_path();
    fs::current_path(home());
    const Finished id = runCli({"identify", "--port", "unit.link"});
    fs::current_path(before);
    EXPECT_EQ(id.exitCode, 1);
    EXPECT_EQ(id.out, "Program name: RB25DET1\n");
    EXPECT_EQ(id.err, "This is not an SR20DET PFC\n");
}

// The conversions themselves are checked on images; here: files in, files out, exit codes.
TEST_F(CliPtyTest, ConvertToFamily3AndBack) {
    Sim sim({"simulate", "--family", "5"});
    ASSERT_EQ(runCli({"read-all", "--port", sim.port, "--out", at("five.dat")}).exitCode, 0);
    const Finished to3 = runCli({"convert", "--to", "3", at("five.dat"), at("three.dat")});
    ASSERT_EQ(to3.exitCode, 0) << to3.err;
    EXPECT_EQ(to3.err, "");
    ASSERT_EQ(runCli({"convert", "--to", "5", at("three.dat"), at("back.dat")}).exitCode, 0);
    EXPECT_NE(runCli({"show", at("three.dat")}).out.find("\nLayout family: 3\n"),
              std::string::npos);
    const PacketImage five = imageOf(at("five.dat")), three = imageOf(at("three.dat"));
    EXPECT_TRUE(three[0xD6].empty() && !three[0x65].empty());  // where family 3 keeps it
    EXPECT_EQ(imageOf(at("back.dat"))[0xD6], five[0xD6]);
    // Compared with the family 5 tune it came from, once converted back it is the same.
    const Finished same = runCli({"diff", at("five.dat"), at("three.dat")});
    EXPECT_EQ(same.exitCode, 0) << same.err;
    EXPECT_EQ(same.out, "");
    // Files of two layouts are not compared byte by byte for an Update.
    const Finished mixed =
        runCli({"update", "--port", sim.port, "--base", at("five.dat"), at("three.dat")});
    EXPECT_EQ(mixed.exitCode, 1);
    EXPECT_EQ(mixed.err,
              "tunalyx-cli: three.dat is laid out for family 3, five.dat for family 5\n");

    const Finished unwritable =
        runCli({"convert", "--to", "3", at("five.dat"), at("no-such-folder/out.dat")});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_EQ(unwritable.err.rfind("tunalyx-cli: Cannot write ", 0), 0u) << unwritable.err;
}

TEST_F(CliPtyTest, DiffListsWhatCompareMarksWithTheExitStatusOfDiff) {
    Sim sim({"simulate", "--family", "5"});
    ASSERT_EQ(runCli({"read-all", "--port", sim.port, "--out", at("mine.dat")}).exitCode, 0);
    PacketImage theirs = imageOf(at("mine.dat"));
    theirs[0x8B][0] = 7000 & 0xFF;  // Rev Limit 7500 -> 7000
    theirs[0x8B][1] = 7000 >> 8;
    theirs[0xAC][0] = 255;  // Protect On
    theirs[0x86][44] += 1;  // Inj Map row 5, column 3: cell 44
    theirs[0x82][89] -= 2;  // Ign Map row 10, column 10: cell 189
    writeImage(at("theirs.dat"), theirs);

    const Finished diff = runCli({"diff", at("mine.dat"), at("theirs.dat")});
    EXPECT_EQ(diff.exitCode, 1) << diff.err;
    EXPECT_EQ(diff.out,
              "setting\tSettings 1\tRev / Idle\tRev Limit\t7500\t7000\n"
              "setting\tSettings 1\tProtect\tProtect On\toff\ton\n"
              "cell\tInj Map\t5\t3\t-4\n"
              "cell\tIgn Map\t10\t10\t2\n");
    const Finished tables = runCli({"diff", at("mine.dat"), at("theirs.dat"), "--maps"});
    EXPECT_EQ(tables.exitCode, 1);
    EXPECT_NE(tables.out.find("Inj Map\n0\t0\t0\t"), std::string::npos) << tables.out;
    EXPECT_NE(tables.out.find("\n0\t0\t-4\t0\t"), std::string::npos);
    EXPECT_EQ(tables.out.find("cell\t"), std::string::npos);

    const Finished same = runCli({"diff", at("mine.dat"), at("mine.dat")});
    EXPECT_EQ(same.exitCode, 0);
    EXPECT_EQ(same.out, "");
    const Finished missing = runCli({"diff", at("mine.dat"), at("missing.dat")});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.err, "Error opening missing.dat\n");
}

// read-all and write-all keep what they moved, a refused write nothing; history lists it newest
// first, shows, exports and compares it as diff compares the files, and names what is damaged.
TEST_F(CliPtyTest, HistoryKeepsWhatSucceededAndListsShowsExportsAndComparesIt) {
    const std::string folder = at("own-files/History");
    ::setenv("TUNALYX_FILES_FOLDER", at("own-files").c_str(), 1);
    Sim sim({"simulate", "--family", "5"});
    Sim refusing({"simulate", "--family", "5", "--fault", "refuse=0x8B"});
    ASSERT_EQ(runCli({"read-all", "--port", sim.port, "--out", at("first.dat")}).exitCode, 0);
    PacketImage edited = imageOf(at("first.dat"));
    edited[0x8B][0] = 7000 & 0xFF;
    edited[0x8B][1] = 7000 >> 8;
    edited[0x86][44] += 1;  // Inj Map row 5, column 3
    writeImage(at("seven.dat"), edited);
    ASSERT_EQ(runCli({"write-all", "--port", sim.port, at("seven.dat")}).exitCode, 0);
    ASSERT_EQ(runCli({"write-all", "--port", refusing.port, at("first.dat")}).exitCode, 1);

    const Finished list = runCli({"history", "list"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    std::istringstream lines(list.out);
    std::string newest, oldest, none;
    std::getline(lines, newest);
    std::getline(lines, oldest);
    EXPECT_FALSE(std::getline(lines, none)) << list.out;
    EXPECT_EQ(newest.rfind("2\t", 0), 0u) << newest;
    EXPECT_NE(newest.find("\tWrite All\tseven.dat\tSR20DET1 5.01\t"), std::string::npos) << newest;
    EXPECT_NE(newest.find("\t0 logs"), std::string::npos);
    EXPECT_NE(oldest.find("\tRead All\tfirst.dat\t"), std::string::npos) << oldest;

    const Finished show = runCli({"history", "show", "2"});
    EXPECT_EQ(show.exitCode, 0);
    EXPECT_NE(show.out.find("Action: Write All\nFile: seven.dat\n"), std::string::npos);

    ASSERT_EQ(runCli({"history", "export", "1", at("back.dat")}).exitCode, 0);
    EXPECT_EQ(fileText(at("back.dat")), fileText(at("first.dat")));
    // The newer against the older, whichever is named first, cells by their row and column.
    const Finished kept = runCli({"history", "diff", "1", "2"});
    EXPECT_EQ(kept.exitCode, 1);
    EXPECT_EQ(kept.out,
              "setting\tSettings 1\tRev / Idle\tRev Limit\t7000\t7500\n"
              "cell\tInj Map\tP05\tN03\t4\n");
    EXPECT_EQ(runCli({"history", "diff", "2", "1"}).out, kept.out);
    const Finished tables = runCli({"history", "diff", "1", "2", "--maps"});
    EXPECT_NE(tables.out.find("Inj Map\n\tN01\tN02\t"), std::string::npos) << tables.out;
    EXPECT_NE(tables.out.find("\tN20\nP01\t0\t"), std::string::npos);
    EXPECT_NE(tables.out.find("\nP05\t0\t0\t4\t0\t"), std::string::npos);
    EXPECT_EQ(runCli({"history", "diff", "2", "2"}).exitCode, 0);

    const Finished unknown = runCli({"history", "show", "9"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("There is no tune 9 in the history."), std::string::npos);
    EXPECT_EQ(runCli({"history", "export", "1"}).exitCode, 2);

    // A damaged line is named and the rest still lists; a missing file is told when used.
    std::ofstream(folder + "/index.txt", std::ios::app) << "tune\t3\tcut";
    const std::string hash = newest.substr(newest.rfind("5.01\t") + 5, 16);
    fs::remove(folder + "/" + hash + ".dat");
    const Finished damaged = runCli({"history"});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_NE(damaged.err.find("index.txt line 3 is damaged"), std::string::npos) << damaged.err;
    EXPECT_NE(damaged.out.find("\tmissing\n"), std::string::npos);
    EXPECT_NE(damaged.out.find("\tRead All\t"), std::string::npos);
    const Finished gone = runCli({"history", "export", "2", at("gone.dat")});
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_NE(gone.err.find("is missing"), std::string::npos) << gone.err;
    EXPECT_FALSE(fs::exists(at("gone.dat")));
    EXPECT_EQ(runCli({"history", "diff", "1", "2"}).exitCode, 2);
    // show checks the file as export does: one changed since it was kept is told.
    const std::string firstHash = oldest.substr(oldest.rfind("5.01\t") + 5, 16);
    std::ofstream(folder + "/" + firstHash + ".dat", std::ios::app) << "8601\r\n";
    const Finished altered = runCli({"history", "show", "1"});
    EXPECT_EQ(altered.exitCode, 1);
    EXPECT_NE(altered.err.find("has been changed since it was kept"), std::string::npos)
        << altered.err;
    ::setenv("TUNALYX_FILES_FOLDER", (home() / "files").c_str(), 1);
}

TEST_F(CliPtyTest, LogPollsWithTheStoredAuxSetUpAndSaves) {
    Sim sim({"simulate", "--family", "5"});
    const Finished log = runCli({"log", "--port", sim.port, "--groups", "aux,map,advanced",
                                 "--samples", "25", "--out", at("run.txt")});
    ASSERT_EQ(log.exitCode, 0) << log.err;
    const std::string text = fileText(at("run.txt"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + 25);
    // AN1 as the window has it by default: a wide-band sensor from 10 to 20 A/F, not raw volts.
    EXPECT_TRUE(text.starts_with(
        "[SR20DET]\r\nTime(S)\tAN1 raw\tAN2 raw\tAN3 raw\tAN4 raw\tAN1 Wide Band\t"));
    std::istringstream row(text.substr(text.find('\n', 11) + 1));
    std::string field;
    for (int f = 0; f < 6; ++f)
        std::getline(row, field, '\t');
    EXPECT_GE(std::stod(field), 10) << field;

    ASSERT_EQ(runCli({"export-csv", at("run.txt"), at("run.csv"), "--math=AF=\"AN1 Wide Band\"",
                      "--math", "Lag=Rpm[-1]"})
                  .exitCode,
              0);
    const std::string csv = fileText(at("run.csv"));
    // The math items come last; AF reads the aux input under the name the log gave it.
    EXPECT_TRUE(csv.substr(0, csv.find('\n')).ends_with(",AF,Lag")) << csv.substr(0, 300);
    std::istringstream second(csv.substr(csv.find('\n') + 1));
    std::string firstRow;
    std::getline(second, firstRow);
    EXPECT_GE(std::stod(firstRow.substr(firstRow.rfind(',', firstRow.rfind(',') - 1) + 1)), 10)
        << firstRow;
    const Finished bad = runCli({"export-csv", at("run.txt"), at("x.csv"), "--math", "A=Rpm[-1"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.err, "tunalyx-cli: Math item \"A\": Missing ] at 7\n");
    const Finished notLog = runCli({"export-csv", at("run.csv"), at("x.csv")});
    EXPECT_EQ(notLog.exitCode, 1);
    EXPECT_EQ(notLog.err, "This is not a SR20DET Log File\n");
}

TEST_F(CliPtyTest, LogChecksItsTargetFirstAndSavesWhateverEndsTheRun) {
    // The folder is checked before the port is even opened.
    const Finished missing = runCli({"log", "--port", "/dev/tunalyx-no-such-device", "--samples",
                                     "5", "--out", at("none/run.txt")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "The folder " + at("none") + " does not exist, so " +
                               at("none/run.txt") + " cannot be saved.\n");
    // A unit that answers the one identification (wake-up, probe, name, version) and then nothing:
    // no sample, no file.
    Sim pulled({"simulate", "--fault", "pull=4"});
    const Finished none =
        runCli({"log", "--port", pulled.port, "--samples", "5", "--out", at("none.txt")});
    EXPECT_EQ(none.err, "Interface not responding!\nNo sample was read whole, so " +
                            at("none.txt") + " was not written.\n");
    EXPECT_FALSE(fs::exists(at("none.txt")));
    // Pulled mid-run: what was read is saved, and the run says how much and where.
    Sim pulledLater({"simulate", "--fault", "pull=104"});
    const Finished some =
        runCli({"log", "--port", pulledLater.port, "--seconds", "60", "--out", at("some.txt")});
    EXPECT_EQ(some.exitCode, 1);
    const std::string kept = fileText(at("some.txt"));
    EXPECT_EQ(std::count(kept.begin(), kept.end(), '\n'), 2 + 100);
    EXPECT_EQ(some.err,
              "Interface not responding!\nThe run ended early. 100 samples were kept, in "
              "some.txt.\n");

    // A closed terminal ends the run as Ctrl+C does, and the log is saved.
    Sim sim({"simulate", "--family", "5"});
    Cli hungUp({"log", "--port", sim.port, "--seconds", "60", "--out", at("hup.txt")});
    ::usleep(1'000'000);
    hungUp.stop(SIGHUP);
    EXPECT_EQ(hungUp.finish().exitCode, 0);
    EXPECT_TRUE(fileText(at("hup.txt")).starts_with("[SR20DET]\r\nTime(S)\tRpm\t"));
    // Past the most a log holds, the run goes on in the next file without a pause.
    // 40000 samples take five seconds, several times that under the sanitizers.
    const Finished capped =
        Cli({"log", "--port", sim.port, "--samples", "40000", "--out", at("cap.txt")})
            .finish(120'000);
    EXPECT_EQ(capped.exitCode, 0);
    EXPECT_TRUE(capped.err.starts_with("cap.txt: 32767 samples, 0.000 s to ")) << capped.err;
    EXPECT_NE(capped.err.find("\ncap-001.txt: 7233 samples, "), std::string::npos) << capped.err;
    const std::string cap = fileText(at("cap.txt"));
    EXPECT_EQ(std::count(cap.begin(), cap.end(), '\n'), 2 + 32767);
    const std::string next = fileText(at("cap-001.txt"));
    EXPECT_EQ(std::count(next.begin(), next.end(), '\n'), 2 + 7233);
    // Every log was saved, so no journal is left to recover.
    EXPECT_EQ(runCli({"recover"}).exitCode, 1);
}

TEST_F(CliPtyTest, MapWatchOfALogCountsEverySampleInItsCell) {
    Sim sim({"simulate", "--family", "5"});
    ASSERT_EQ(runCli({"read-all", "--port", sim.port, "--out", at("tune.dat")}).exitCode, 0);
    ASSERT_EQ(runCli({"log", "--port", sim.port, "--groups", "map,advanced", "--samples", "40",
                      "--out", at("drive.txt")})
                  .exitCode,
              0);
    for (const char* source : {"advanced", "logged"}) {
        const Finished grid = runCli({"mapwatch", at("drive.txt"), "--tune", at("tune.dat"),
                                      "--stat", "num", "--source", source});
        ASSERT_EQ(grid.exitCode, 0) << grid.err;
        EXPECT_TRUE(grid.out.starts_with("\tN01\tN02\t")) << grid.out.substr(0, 40);
        int lines = 0, total = 0;
        std::istringstream rows(grid.out);
        for (std::string line; std::getline(rows, line); ++lines) {
            EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 20) << line;
            if (lines == 0) continue;
            std::istringstream cells(line.substr(4));
            for (std::string cell; std::getline(cells, cell, '\t');)
                if (!cell.empty()) total += std::stoi(cell);
        }
        EXPECT_EQ(lines, 21);
        EXPECT_EQ(total, 40) << source;
    }
    EXPECT_EQ(
        runCli({"mapwatch", at("drive.txt"), "--tune", at("tune.dat"), "--item", "Bogus"}).exitCode,
        2);
    EXPECT_EQ(runCli({"mapwatch", at("missing.txt"), "--tune", at("tune.dat")}).exitCode, 1);
}

TEST_F(CliPtyTest, ScanOfAnUnsupportedUnitKeepsAllCommandBytes) {
    Sim sim({"simulate", "--family", "unsupported"});
    const Finished scan = runCli({"scan", "--port", sim.port, "--out", at("scan.dat")});
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    // Every command byte answers; a slot holds the data and the reply's checksum.
    const PacketImage image = imageOf(at("scan.dat"));
    for (int b = 0; b < PacketImage::kSlotCount; ++b)
        EXPECT_FALSE(image[static_cast<std::uint8_t>(b)].empty()) << b;
    EXPECT_EQ(image[0xF5].size(), 6u);
}

}  // namespace
