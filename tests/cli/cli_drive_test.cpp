// The engine that answers the tune, end to end: `drive` logs it in fast time, `simulate --engine`
// serves it in real time, and both must tell the same story about the same tune.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <regex>
#include <sstream>
#include <tuple>

#include <signal.h>
#include <unistd.h>

#include "cli_process.h"

namespace tunalyx::clitest {
namespace {

constexpr std::uint8_t kInjMapBlock = 0x86;  // four blocks of 100 cells, column by column
constexpr int kMapSize = 20;
constexpr int kLogMost = 32767;
constexpr double kStoichiometric = 14.7;
const std::string kWideBand = "AN1 Wide Band";

// The requirement map as `--dump-requirement` writes it: the comment lines left out.
std::vector<std::vector<double>> readRequirement(const fs::path& path) {
    std::vector<std::vector<double>> rows;
    for (const auto& line : fields(fileText(path), '\n')) {
        if (line.starts_with("#")) continue;
        std::vector<double> row;
        for (const auto& cell : fields(line, '\t'))
            row.push_back(number(cell));
        EXPECT_EQ(row.size(), std::size_t{kMapSize}) << line;
        rows.push_back(std::move(row));
    }
    EXPECT_EQ(rows.size(), std::size_t{kMapSize});
    return rows;
}

// The Inj Map cell of a load row and an rpm column, as the grid shows it.
template <typename Image>
auto& injCell(Image& image, int row, int col) {
    const int k = col * kMapSize + row;
    return image[static_cast<std::uint8_t>(kInjMapBlock + k / 100)].at(
        static_cast<std::size_t>(k % 100));
}

// The Ign Map cell, degrees: one byte, the same order.
double ignCell(const PacketImage& image, int row, int col) {
    constexpr std::uint8_t kIgnMapBlock = 0x81;
    const int k = col * kMapSize + row;
    return image[static_cast<std::uint8_t>(kIgnMapBlock + k / 100)].at(
        static_cast<std::size_t>(k % 100));
}

double injValue(int raw) {
    return 0.5 + raw / 256.0;
}

double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The wide-band readings once the sensor is warm.
std::vector<double> warmAirFuel(const Log& log) {
    std::vector<double> out;
    const auto times = log.times();
    const auto af = log.series(kWideBand);
    for (std::size_t i = 0; i < times.size(); ++i)
        if (times[i] >= 21) out.push_back(af[i]);
    return out;
}

class CliDriveTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The simulator's own tune, read from it as a user would.
        const fs::path dir = scratch() / "drive-reference";
        fs::create_directories(dir);
        Sim sim({"--family", "5"}, dir / "memory.dat", dir / "sim");
        ASSERT_TRUE(sim.serving());
        s_tune = dir / "default5.dat";
        Cli read({"read-all", "--port", sim.port(), "--out", s_tune.string()}, dir / "cli");
        ASSERT_EQ(read.finish().exitCode, 0);
        ASSERT_EQ(sim.stop().exitCode, 0);
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(scratch(), ignored);
    }
    void SetUp() override {
        // Long absolute paths for every file, as a user's tunes and logs have.
        dir = scratch() /
              ("drive-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        out = dir / "out";
        fs::create_directories(out);
    }

    Finished run(const std::vector<std::string>& args) const {
        return Cli(args, dir / "cli").finish(120'000);
    }
    Finished drive(std::vector<std::string> args) const {
        args.insert(args.begin(), {"drive", "--tune", s_tune.string()});
        return run(args);
    }
    [[nodiscard]] std::string at(const std::string& name) const { return (out / name).string(); }

    static inline fs::path s_tune;
    fs::path dir, out;
};

TEST_F(CliDriveTest, SameSeedGivesTheSameLogAndAnotherSeedAnother) {
    const std::vector<std::string> mixed{"--drive", "mixed", "--seconds", "90"};
    auto withSeed = [&](const std::string& seed, const std::string& file) {
        auto args = mixed;
        args.insert(args.end(), {"--seed", seed, "--out", at(file)});
        return drive(args);
    };
    for (const auto& [seed, file] : {std::pair{"3", "a.txt"}, {"3", "b.txt"}, {"4", "c.txt"}}) {
        const Finished f = withSeed(seed, file);
        ASSERT_EQ(f.exitCode, 0) << f.err;
        EXPECT_EQ(f.out, "");
    }
    // Each drive is kept in the tune history, and the three logs that ran on its tune with it.
    const Finished history = run({"history"});
    const std::string newest = history.out.substr(0, history.out.find('\n'));
    EXPECT_NE(newest.find("\tDrive\tdefault5.dat\t"), std::string::npos) << history.out;
    EXPECT_TRUE(newest.ends_with("\t3 logs")) << history.out;

    const std::string a = fileText(out / "a.txt");
    // Not EXPECT_EQ: a megabyte of log in the failure message helps no one.
    EXPECT_TRUE(a == fileText(out / "b.txt")) << "the same seed gave another log";
    EXPECT_FALSE(a == fileText(out / "c.txt")) << "another seed gave the same log";

    // The run is as long as asked, and the default groups carry the wide band, which reads the
    // bottom of its range until the sensor has warmed up.
    const Log log = readLog(out / "a.txt");
    const auto times = log.times();
    ASSERT_FALSE(times.empty());
    EXPECT_EQ(times.front(), 0);
    EXPECT_GE(times.back(), 90);
    EXPECT_LT(times.back(), 90.1);
    EXPECT_TRUE(std::adjacent_find(times.begin(), times.end(), std::greater_equal<>()) ==
                times.end());
    const auto af = log.series(kWideBand);
    for (std::size_t i = 0; i < times.size(); ++i) {
        if (times[i] < 19.9) {
            EXPECT_EQ(af[i], 10.0) << times[i];
        } else if (times[i] > 20.1) {
            EXPECT_GT(af[i], 10.5) << times[i];
        }
    }
}

TEST_F(CliDriveTest, LongDriveGoesOnInNumberedLogsWithoutAGap) {
    // The advanced group alone at 57600 baud: about 160 samples a second, three logs' worth.
    const Finished f = drive({"--groups", "advanced", "--seconds", "420", "--out", at("LOG.txt")});
    ASSERT_EQ(f.exitCode, 0) << f.err;
    // Nothing but the logs: no temporary file of a save is left.
    EXPECT_EQ(namesIn(out), (std::set<std::string>{"LOG.txt", "LOG-001.txt", "LOG-002.txt"}));

    // Each file says where it lies in the run: "LOG-001.txt: 32767 samples, 204.761 s to ...".
    std::istringstream said(f.err);
    std::vector<double> lastAt;  // the time of every sample, file after file
    std::optional<double> lastRpm;
    double longestStep = 0;
    for (const char* name : {"LOG.txt", "LOG-001.txt", "LOG-002.txt"}) {
        SCOPED_TRACE(name);
        std::string line;
        ASSERT_TRUE(std::getline(said, line));
        std::string file, samplesWord, toWord;
        std::size_t samples = 0;
        double from = 0, to = 0;
        std::istringstream fields(line);
        fields >> file >> samples >> samplesWord >> from >> toWord >> toWord >> to;
        EXPECT_EQ(file, std::string(name) + ":");
        const Log log = readLog(out / name);
        const auto times = log.times();
        const auto rpm = log.series("Rpm");
        ASSERT_EQ(times.size(), samples);
        if (std::string(name) != "LOG-002.txt") {
            EXPECT_EQ(samples, std::size_t{kLogMost});
        }
        // The files' times are the run's: each begins where it says it lies.
        EXPECT_NEAR(times.front(), from, 0.0015);
        EXPECT_NEAR(times.back(), to, 0.0015);
        for (double at : times) {
            // No sample twice and none missing: each follows the one before by a cycle.
            if (!lastAt.empty()) {
                EXPECT_GT(at, lastAt.back());
                longestStep = std::max(longestStep, at - lastAt.back());
            }
            lastAt.push_back(at);
        }
        // One engine all along: each log picks up where the one before stopped.
        if (lastRpm) {
            EXPECT_NEAR(rpm.front(), *lastRpm, 0.02 * *lastRpm);
        }
        lastRpm = rpm.back();
    }
    // One cycle of the advanced group on the wire takes 6-7 ms: a file begun late (the unit
    // identified again, the last file saved first) would show as a longer step.
    EXPECT_LE(longestStep, 0.0075);
    EXPECT_GE(lastAt.back(), 420);
    EXPECT_LT(lastAt.back(), 420.01);
}

TEST_F(CliDriveTest, BadInputIsRefusedBeforeAnythingIsWritten) {
    const fs::path input = dir / "input";
    fs::create_directories(input);
    const std::string junk = (input / "not-a-tune.dat").string();
    writeText(junk, "this is\r\nno tune\r\n");
    // A tune whose Inj Map stops part-way through its second block.
    PacketImage image = imageOf(s_tune);
    image[kInjMapBlock + 1].resize(60);
    const std::string cut = (input / "inj-map-cut-short.dat").string();
    writeImage(cut, image);

    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string said;  // part of what stderr must say
    };
    const std::string tune = s_tune.string();
    const std::string log = at("run.txt"), req = at("req.txt");
    const std::vector<Case> cases = {
        {{"drive", "--tune", tune, "--drive", "nowhere", "--seconds", "5", "--out", log},
         2,
         "unknown drive 'nowhere'"},
        {{"drive", "--tune", tune, "--seed", "-1", "--seconds", "5", "--out", log}, 2, "--seed"},
        {{"drive", "--tune", tune, "--requirement", "uniform=x", "--seconds", "5", "--out", log},
         2,
         "uniform=x"},
        {{"drive", "--tune", tune, "--seconds", "5", "--dump-requirement", req}, 2, "--out"},
        {{"drive", "--tune", junk, "--seconds", "5", "--out", log, "--dump-requirement", req},
         1,
         "not-a-tune.dat"},
        {{"drive", "--tune", cut, "--seconds", "5", "--out", log, "--dump-requirement", req},
         1,
         "inj-map-cut-short.dat"},
        {{"drive", "--tune", tune, "--seconds", "5", "--out", at("none/run.txt"),
          "--dump-requirement", req},
         1,
         "does not exist"},
        {{"simulate", "--drive", "city"}, 2, "--engine"},
        {{"simulate", "--sensor-delay-scale", "2"}, 2, "--engine"},
        {{"simulate", "--engine", "--cold-start", "-40"}, 2, "--cold-start takes"},
        {{"simulate", "--engine", "--sensor-delay-scale", "9"}, 2, "--sensor-delay-scale takes"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const auto& a : c.args)
            line += a + " ";
        SCOPED_TRACE(line);
        // A simulator that wrongly starts serving is stopped by the time limit.
        const Finished f = Cli(c.args, dir / "cli").finish(5'000);
        EXPECT_EQ(f.exitCode, c.exitCode) << f.err;
        EXPECT_NE(f.err.find(c.said), std::string::npos) << f.err;
        EXPECT_EQ(f.out, "");
        EXPECT_TRUE(namesIn(out).empty());
        fs::remove_all(out);  // what a wrong run wrote must not fail the next case too
        fs::create_directories(out);
    }
}

// A run is refused before it starts when it could not finish: a length beyond what a log's times
// hold, files that are there already (unless --yes), files another run writes, too little room.
TEST_F(CliDriveTest, KnockLimitOptionsAndItsDump) {
    // The dump is the default Ign Map moved by the limit, on the grid's rows and columns.
    const Finished f = drive({"--knock-limit", "uniform=-2", "--dump-knock-limit", at("k.txt")});
    ASSERT_EQ(f.exitCode, 0) << f.err;
    EXPECT_EQ(namesIn(out), (std::set<std::string>{"k.txt"}));
    const auto limit = readRequirement(out / "k.txt");
    ASSERT_EQ(limit.size(), std::size_t{kMapSize});
    const PacketImage tune = imageOf(s_tune);
    for (int row = 0; row < kMapSize; ++row)
        for (int col = 0; col < kMapSize; ++col)
            ASSERT_EQ(limit[row][col], ignCell(tune, row, col) - 2) << row << ", " << col;

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--knock-limit", "hot"},
                                                {"--knock-limit", "uniform=45"},
                                                {"--knock-limit", "uniform="},
                                                {"--knock-spikes", "-1"},
                                                {"--knock-spikes", "often"}}) {
        std::vector<std::string> args = bad;
        args.insert(args.end(), {"--dump-knock-limit", at("bad.txt")});
        const Finished refused = drive(args);
        EXPECT_EQ(refused.exitCode, 2) << bad[0] << " " << bad[1] << ": " << refused.err;
        EXPECT_NE(refused.err.find(bad[0]), std::string::npos) << refused.err;
    }
    EXPECT_FALSE(fs::exists(out / "bad.txt"));
    // A simulator that wrongly starts serving is stopped by the time limit.
    const Finished alone = Cli({"simulate", "--knock-spikes", "10"}, dir / "cli").finish(5'000);
    EXPECT_EQ(alone.exitCode, 2) << alone.err;
}

TEST_F(CliDriveTest, RunsThatCouldNotFinishAreRefusedBeforeTheyStart) {
    const std::string tune = s_tune.string();
    for (const auto& [command, option, value] :
         {std::tuple{"drive", "--seconds", "99999999999999999999"},
          {"drive", "--seconds", "2000001"},
          {"log", "--seconds", "99999999999999999999"},
          {"log", "--samples", "99999999999999999999"}}) {
        SCOPED_TRACE(std::string(command) + " " + option + " " + value);
        std::vector<std::string> args = {command, option, value, "--out", at("long.txt")};
        if (std::string(command) == "drive")
            args.insert(args.end(), {"--tune", tune});
        else
            args.insert(args.end(), {"--port", "/dev/null"});
        const Finished f = run(args);
        EXPECT_EQ(f.exitCode, 2);
        EXPECT_TRUE(f.err.starts_with("tunalyx-cli: " + std::string(option) +
                                      " takes a whole number from 1 to "))
            << f.err;
    }
    EXPECT_TRUE(namesIn(out).empty());

    // What is there stays unless --yes: the first file, or one the run would go on in.
    ASSERT_EQ(drive({"--seconds", "5", "--out", at("a.txt")}).exitCode, 0);
    const std::string first = fileText(out / "a.txt");
    writeText(out / "b-001.txt", "kept");
    const Finished again = drive({"--seconds", "6", "--out", at("a.txt")});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.err, "a.txt already exists. Replace it? [No]\n");
    EXPECT_TRUE(fileText(out / "a.txt") == first);
    EXPECT_EQ(drive({"--seconds", "5", "--out", at("b.txt")}).err,
              "b-001.txt already exists. Replace it? [No]\n");
    EXPECT_EQ(drive({"--seconds", "6", "--out", at("a.txt"), "--yes"}).exitCode, 0);
    EXPECT_FALSE(fileText(out / "a.txt") == first);

    // A run writing its files holds them, --yes or not; a run killed leaves its lock to the next.
    Sim sim({"--family", "5"}, dir / "memory.dat", dir / "sim");
    ASSERT_TRUE(sim.serving());
    for (const int signal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        Cli logging({"log", "--port", sim.port(), "--seconds", "60", "--out", at("c.txt"), "--yes"},
                    dir / "cli");
        // Refused once the logging run holds its lock.
        for (int tries = 0; tries < 200 && !fs::exists(out / "c.txt.lock"); ++tries)
            ::usleep(50'000);
        const Finished held = drive({"--seconds", "5", "--out", at("c.txt"), "--yes"});
        EXPECT_EQ(held.exitCode, 1);
        EXPECT_EQ(held.err,
                  at("c.txt") + " is being written by another run; it is left to that run.\n");
        logging.signal(signal);
        (void)logging.finish();
    }
    EXPECT_TRUE(fs::exists(out / "c.txt.lock"));
    EXPECT_EQ(drive({"--seconds", "5", "--out", at("c.txt"), "--yes"}).exitCode, 0);
    EXPECT_EQ(namesIn(out), (std::set<std::string>{"a.txt", "b-001.txt", "c.txt"}));

    // The run's logs against the free space of their folder; the smaller disk shows it best.
    fs::path folder = out;
    std::error_code ec;
    if (fs::exists("/dev/shm", ec) &&
        fs::space("/dev/shm", ec).available < fs::space(out, ec).available)
        folder = fs::path("/dev/shm") / ("tunalyx-space-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const auto free = fs::space(folder, ec).available;
    if (free > 40'000'000'000) GTEST_SKIP() << "no disk small enough to fill";
    const Finished full =
        drive({"--seconds", "2000000", "--groups", "basic,sensors,aux,map,advanced", "--out",
               (folder / "big.txt").string()});
    fs::remove_all(folder);
    EXPECT_EQ(full.exitCode, 1);
    // "Only 24000 MB are free in /dev/shm/..., and the run's logs may take up to 70000 MB; ..."
    std::smatch said;
    ASSERT_TRUE(std::regex_search(full.err, said,
                                  std::regex("^Only ([0-9]+) MB are free in (.*), and the run's "
                                             "logs may take up to ([0-9]+) MB; ")))
        << full.err;
    const double available = std::stod(said[1]), needed = std::stod(said[3]);
    EXPECT_GT(needed, available) << full.err;
    EXPECT_NEAR(available, static_cast<double>(free) / (1024 * 1024), 0.01 * available) << full.err;
    EXPECT_EQ(said[2], folder.string());
}

TEST_F(CliDriveTest, RequirementIsTheDefaultTuneMadeLeanAndTheMixtureAnswersTheTune) {
    const PacketImage tune = imageOf(s_tune);
    auto dump = [&](const std::string& requirement, const std::string& file) {
        const Finished f = drive({"--requirement", requirement, "--dump-requirement", at(file)});
        EXPECT_EQ(f.exitCode, 0) << f.err;
        return readRequirement(out / file);
    };
    const auto correct = dump("correct", "correct.txt");
    const auto lean = dump("uniform=12", "lean.txt");
    // The dump alone runs no drive.
    EXPECT_EQ(namesIn(out), (std::set<std::string>{"correct.txt", "lean.txt"}));
    ASSERT_EQ(correct.size(), std::size_t{kMapSize});
    ASSERT_EQ(lean.size(), std::size_t{kMapSize});
    int wrong = 0;
    std::string first;
    for (int row = 0; row < kMapSize; ++row)
        for (int col = 0; col < kMapSize; ++col) {
            const double value = injValue(injCell(tune, row, col));
            if (std::abs(correct[row][col] - value) <= 0.0006 &&
                std::abs(lean[row][col] - 1.12 * value) <= 0.002)
                continue;
            if (wrong++ == 0)
                first = testing::PrintToString(
                    std::tuple(row, col, value, correct[row][col], lean[row][col]));
        }
    EXPECT_EQ(wrong, 0) << "first (row, col, Inj Map, correct, uniform=12): " << first;

    // The engine burns the tune it holds: on the requirement the default tune meets it burns
    // stoichiometric, 12 % lean on the lean one, and a tune with 10 % more fuel everywhere burns
    // that much richer.
    PacketImage richer = tune;
    for (int row = 0; row < kMapSize; ++row)
        for (int col = 0; col < kMapSize; ++col) {
            std::uint8_t& raw = injCell(richer, row, col);
            raw = static_cast<std::uint8_t>(std::lround((1.1 * injValue(raw) - 0.5) * 256));
        }
    const std::string richerTune = (dir / "richer.dat").string();
    writeImage(richerTune, richer);
    struct Mixture {
        std::string tune, requirement;
        double airFuel;
    };
    for (const Mixture& m : {Mixture{s_tune.string(), "correct", kStoichiometric},
                             Mixture{s_tune.string(), "uniform=12", 1.12 * kStoichiometric},
                             Mixture{richerTune, "correct", kStoichiometric / 1.1}}) {
        SCOPED_TRACE(m.tune + " " + m.requirement);
        const Finished f =
            run({"drive", "--tune", m.tune, "--drive", "idle", "--requirement", m.requirement,
                 "--seconds", "60", "--out", at("idle.txt"), "--yes"});
        ASSERT_EQ(f.exitCode, 0) << f.err;
        EXPECT_NEAR(median(warmAirFuel(readLog(out / "idle.txt"))), m.airFuel, 0.01 * m.airFuel);
    }
}

// Where an rpm trace crosses these levels, in order: up through a level is +level, down -level.
// A crossing counts once the trace is clear of the level by 5 %, so the wobble of a steady stretch
// never makes one.
std::vector<std::pair<int, double>> crossings(const std::vector<double>& times,
                                              const std::vector<double>& rpm) {
    std::vector<std::pair<int, double>> out;
    for (const int level : {1500, 2200, 3000}) {
        int side = 0;  // -1 below, +1 above
        for (std::size_t i = 0; i < rpm.size(); ++i) {
            const int now = rpm[i] > 1.05 * level ? 1 : rpm[i] < 0.95 * level ? -1 : 0;
            if (now != 0 && side != 0 && now != side) out.emplace_back(now * level, times[i]);
            if (now != 0) side = now;
        }
    }
    std::sort(out.begin(), out.end(), [](auto& a, auto& b) { return a.second < b.second; });
    return out;
}

// The same drive logged in real time and in fast time. A late scheduler moves the moments a
// real-time log samples, never what the engine does at them nor the order it does it in: every
// sample must lie on the fast-time drive near its own time, and the drive's events come in the
// same order. How closely the times agree is timed by bench/realtime_drive_bench.sh.
TEST_F(CliDriveTest, RealTimeLogMatchesTheFastTimeDriveOfTheSameTune) {
    // The simulator holds its default tune, the one read in the set-up.
    Sim sim({"--engine", "--baud-pacing", "--family", "5", "--drive", "city", "--seed", "7"},
            dir / "memory.dat", dir / "sim");
    ASSERT_TRUE(sim.serving());
    const Finished realTime = run({"log", "--port", sim.port(), "--groups", "advanced,aux",
                                   "--seconds", "26", "--out", at("rt.txt")});
    ASSERT_EQ(realTime.exitCode, 0) << realTime.err;
    ASSERT_EQ(sim.stop().exitCode, 0);
    // Longer, so that a real-time sample taken late still has its moment in the drive.
    const Finished fastTime =
        drive({"--drive", "city", "--seed", "7", "--seconds", "30", "--out", at("ft.txt")});
    ASSERT_EQ(fastTime.exitCode, 0) << fastTime.err;

    const Log rt = readLog(out / "rt.txt");
    const Log ft = readLog(out / "ft.txt");
    EXPECT_EQ(rt.headings, ft.headings);
    const auto rtTimes = rt.times(), ftTimes = ft.times();
    const auto rtRpm = rt.series("Rpm"), ftRpm = ft.series("Rpm");
    const auto rtLoad = rt.series("Load"), ftLoad = ft.series("Load");
    const auto rtAf = rt.series(kWideBand), ftAf = ft.series(kWideBand);
    ASSERT_GT(rtTimes.size(), 100u);
    EXPECT_TRUE(std::adjacent_find(rtTimes.begin(), rtTimes.end(), std::greater_equal<>()) ==
                rtTimes.end());

    // Each real-time sample against the fast-time sample within a second of it that is most like
    // it: the engine was there, within what a few milliseconds of drive move it (rpm, load) and
    // the sensor's noise (1 % in each log) with the drive's own steps (A/F).
    double worstRpm = 0, worstLoad = 0, worstAf = 0, afSum = 0, worstAt = 0;
    int warm = 0;
    for (std::size_t i = 0; i < rtTimes.size(); ++i) {
        const auto from = std::lower_bound(ftTimes.begin(), ftTimes.end(), rtTimes[i] - 1.0);
        const auto to = std::upper_bound(ftTimes.begin(), ftTimes.end(), rtTimes[i] + 1.0);
        double best = 1e9;
        std::size_t at = 0;
        for (auto j = static_cast<std::size_t>(from - ftTimes.begin());
             j < static_cast<std::size_t>(to - ftTimes.begin()); ++j) {
            const double d = std::abs(rtRpm[i] - ftRpm[j]) / ftRpm[j] +
                             std::abs(rtLoad[i] - ftLoad[j]) / ftLoad[j];
            if (d < best) std::tie(best, at) = std::pair(d, j);
        }
        ASSERT_LT(best, 1e9) << "no fast-time sample within a second of " << rtTimes[i] << " s";
        if (std::abs(rtRpm[i] - ftRpm[at]) / ftRpm[at] > worstRpm) worstAt = rtTimes[i];
        worstRpm = std::max(worstRpm, std::abs(rtRpm[i] - ftRpm[at]) / ftRpm[at]);
        worstLoad = std::max(worstLoad, std::abs(rtLoad[i] - ftLoad[at]) / ftLoad[at]);
        if (rtTimes[i] < 21) continue;  // the sensor warms up
        const double af = std::abs(rtAf[i] - ftAf[at]) / ftAf[at];
        worstAf = std::max(worstAf, af);
        afSum += af;
        ++warm;
    }
    EXPECT_LE(worstRpm, 0.01) << "Rpm at " << worstAt << " s";
    EXPECT_LE(worstLoad, 0.02);
    ASSERT_GT(warm, 100);
    EXPECT_LE(worstAf, 0.07);
    EXPECT_LT(afSum / warm, 0.015);

    // The drive's events in the same order, each within a second of its moment.
    const auto rtEvents = crossings(rtTimes, rtRpm);
    auto ftEvents = crossings(ftTimes, ftRpm);
    ASSERT_GE(rtEvents.size(), 3u);
    // The fast-time drive goes on past the real-time one; its events near the end may be missing.
    while (ftEvents.size() > rtEvents.size() && ftEvents.back().second > rtTimes.back() - 1.0)
        ftEvents.pop_back();
    ASSERT_EQ(rtEvents.size(), ftEvents.size());
    for (std::size_t k = 0; k < rtEvents.size(); ++k) {
        EXPECT_EQ(rtEvents[k].first, ftEvents[k].first) << k;
        EXPECT_NEAR(rtEvents[k].second, ftEvents[k].second, 1.0) << k;
    }
}

}  // namespace
}  // namespace tunalyx::clitest

namespace tunalyx::clitest {
namespace {

// The loop a tuner runs: drive, auto-tune from the logs, drive again on the corrected tune.
TEST_F(CliDriveTest, AutoTuneOfADriveBringsTheNextDriveCloserToTheTarget) {
    std::string flat;
    for (int row = 0; row < kMapSize; ++row) {
        for (int col = 0; col < kMapSize; ++col)
            flat += (col ? "\t" : "") + std::string("14.7");
        flat += "\n";
    }
    writeText(out / "flat.afr", "# 14.7 everywhere\n" + flat);
    const auto logsOf = [&](const std::string& stem) {
        std::vector<std::string> args;
        for (const char* part : {"", "-001", "-002"})
            args.insert(args.end(), {"--log", at(stem + part + ".txt")});
        return args;
    };
    // How far the warm, burning readings stray from the target.
    const auto stray = [&](const std::string& stem) {
        std::vector<double> off;
        for (const char* part : {"", "-001", "-002"}) {
            const Log log = readLog(out / (stem + std::string(part) + ".txt"));
            const auto af = log.series(kWideBand);
            const auto inj = log.series("Inj ms");
            const auto water = log.series("WtrT");
            for (std::size_t i = 0; i < af.size(); ++i)
                if (water[i] >= 70 && inj[i] > 0 && af[i] < 19.5)
                    off.push_back(std::abs(af[i] - kStoichiometric));
        }
        return median(off);
    };

    ASSERT_EQ(drive({"--seconds", "600", "--out", at("before.txt")}).exitCode, 0);
    std::vector<std::string> tune = {"autotune",     "--tune", s_tune.string(), "--target",
                                     at("flat.afr"), "--out",  at("tuned.dat")};
    const auto logs = logsOf("before");
    tune.insert(tune.end(), logs.begin(), logs.end());
    const Finished tuned = run(tune);
    ASSERT_EQ(tuned.exitCode, 0) << tuned.err;
    // A line a changed cell, "N06 P07 0.984 1.020 +3.7 % 123", then the summary.
    EXPECT_NE(tuned.out.find("\tP"), std::string::npos);
    EXPECT_NE(tuned.out.find(" cells changed. Rejected: start of run "), std::string::npos);
    ASSERT_EQ(
        run({"drive", "--tune", at("tuned.dat"), "--seconds", "600", "--out", at("after.txt")})
            .exitCode,
        0);
    const double before = stray("before");
    const double after = stray("after");
    EXPECT_LT(after, 0.6 * before) << before << " -> " << after;

    // Bad input: no log at all, and a log without the wide-band A/F.
    EXPECT_EQ(run({"autotune", "--tune", s_tune.string(), "--out", at("x.dat")}).exitCode, 2);
    ASSERT_EQ(drive({"--seconds", "60", "--groups", "advanced", "--out", at("noaux.txt")}).exitCode,
              0);
    const Finished noAux = run(
        {"autotune", "--tune", s_tune.string(), "--log", at("noaux.txt"), "--out", at("x.dat")});
    EXPECT_EQ(noAux.exitCode, 1);
    EXPECT_NE(noAux.err.find("tick Aux A/D in the Monitor"), std::string::npos) << noAux.err;
    EXPECT_FALSE(fs::exists(out / "x.dat"));
    // A drive too short to warm the engine gives nothing to learn from, and says why.
    ASSERT_EQ(drive({"--seconds", "60", "--out", at("cold.txt")}).exitCode, 0);
    const Finished cold =
        run({"autotune", "--tune", s_tune.string(), "--log", at("cold.txt"), "--out", at("x.dat")});
    EXPECT_EQ(cold.exitCode, 1);
    EXPECT_NE(cold.out.find("0 cells changed. Rejected: start of run 3"), std::string::npos)
        << cold.out;
    EXPECT_NE(cold.err.find("no cell could be given a proposal"), std::string::npos) << cold.err;
    EXPECT_FALSE(fs::exists(out / "x.dat"));
}

}  // namespace
}  // namespace tunalyx::clitest
