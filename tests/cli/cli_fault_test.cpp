// Line faults end to end: each command against a simulated unit that misbehaves in one way, then
// what the command said, what the unit holds and what is left in the output folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <tuple>

#include "cli_process.h"

namespace tunalyx::clitest {
namespace {

enum class Op { ReadAll, WriteAll, Update, WriteMap, Log };
// What the output file must be afterwards: the old one untouched, the new one whole, or (for a
// log the unit cut short) a whole log of the samples taken before.
enum class Out { Old, New, ShortLog };

constexpr int kLogSamples = 20;
const std::string kOldOutput = "8B0102\r\nTTthe tune kept from before\r\n";

// One edit per block, so that the unit's memory shows block by block what went out.
struct Edit {
    std::uint8_t block;
    std::size_t index;
    std::uint8_t mask;
};
const std::map<Op, std::vector<Edit>> kEdits = {
    {Op::WriteAll, {{0x86, 9, 0x11}, {0x8A, 3, 0x40}, {0x8B, 0, 0x05}, {0x8C, 0, 0x01}}},
    {Op::Update, {{0x8B, 0, 0x05}, {0x8C, 0, 0x01}}},
    {Op::WriteMap, {{0x86, 9, 0x11}, {0x87, 5, 0x22}}},  // two blocks of the Inj Map
};

struct FaultCase {
    std::string label;
    Op op;
    std::string fault;  // the simulator's --fault options, separated by spaces
    int exitCode;
    std::string err;
    std::vector<std::uint8_t> written;  // edited blocks the unit must hold afterwards
    Out out;
    bool paced = false;  // the unit sends at the real baud rate
};

const char* opName(Op op) {
    switch (op) {
        case Op::ReadAll:
            return "read-all";
        case Op::WriteAll:
            return "write-all";
        case Op::Update:
            return "update (settings)";
        case Op::WriteMap:
            return "update (map)";
        case Op::Log:
            return "log";
    }
    return "";
}

std::vector<std::uint8_t> editedBlocks(Op op) {
    std::vector<std::uint8_t> blocks;
    if (const auto edits = kEdits.find(op); edits != kEdits.end())
        for (const Edit& e : edits->second)
            blocks.push_back(e.block);
    return blocks;
}

// What a stopped Write All says: what went out, then what did not, from `firstNotSent` on to the
// end of the unit's Write All list.
std::string writeAllStopped(const std::string& sent, const std::string& firstNotSent) {
    static const std::string kBlocks =
        "8A, 8B, 8C, 8D, 8E, 8F, 90, 91, 92, 93, 94, 95, 96, 97, 98, 99, 9A, 9B, 9C, A0, A1, A2, "
        "A3, A4, A5, A7, A8, A9, AA, AB, AC, AD, D6, CE";
    const std::string firstBlock = firstNotSent.substr(firstNotSent.rfind(' ') + 1);
    return "Write All did not finish.\nSent: " + sent + ".\nNot sent: " + firstNotSent +
           kBlocks.substr(kBlocks.find(firstBlock) + firstBlock.size()) + ".\n";
}

// The faults every command meets, and what each command makes of them.
std::vector<FaultCase> cases() {
    std::vector<FaultCase> table;
    // A success: the edits all reached the unit, a read's or log's file is the new one.
    auto ok = [&](const std::string& label, Op op, const std::string& fault) {
        const bool reads = op == Op::ReadAll || op == Op::Log;
        table.push_back({label, op, fault, 0, "", editedBlocks(op), reads ? Out::New : Out::Old});
    };
    auto fails = [&](const std::string& label, Op op, const std::string& fault,
                     const std::string& err, std::vector<std::uint8_t> written,
                     Out out = Out::Old) {
        table.push_back({label, op, fault, 1, err, std::move(written), out});
    };
    const std::string silent = "Interface not responding!\n";

    // Faults the retries and the growing allowances absorb. At the real baud rate, a unit
    // answering around the first allowance has replies given up on still arriving while the
    // next request waits, and a stray "R" or 0xFF close ahead of a reply is no refusal.
    const std::tuple<const char*, const char*, bool> recovered[] = {
        {"drop", "drop=6", false},
        {"corrupt", "corrupt=6", false},
        {"noise", "noise=5", false},
        {"delay 50 ms", "delay=50", false},
        {"delay 70 ms", "delay=70", true},
        {"delay 90 ms", "delay=90", true},
        {"delay 105 ms", "delay=105", true},
        {"delay 120 ms", "delay=120", true},
        {"delay 130 ms", "delay=130", true},
        {"delay 350 ms", "delay=350", false},
        {"delay 450 ms", "delay=450", false},
        {"stray R", "stray=0x52", true},
        {"stray FF", "stray=0xFF", true},
    };
    for (const auto& [label, fault, paced] : recovered)
        for (Op op : {Op::ReadAll, Op::WriteAll, Op::Update, Op::WriteMap, Op::Log}) {
            ok(label, op, fault);
            table.back().paced = paced;
        }

    // Refused writes: reads do not notice, a settings block stops the write, a refused map
    // block goes out cell by cell.
    for (const std::string how : {"FF", "R"}) {
        const std::string label = "refuse " + how, settings = "refuse=0x8B:" + how;
        ok(label, Op::ReadAll, settings);
        const std::string refused = "The unit refused block 8B (Settings 1 > Rev / Idle).\n";
        fails(label, Op::WriteAll, settings,
              refused + writeAllStopped("Inj Map, Ign Map, 8A", "8B"), {0x86, 0x8A});
        fails(label, Op::Update, settings, refused, {});
        ok(label, Op::WriteMap, "refuse=0x86:" + how);
        ok(label, Op::Log, settings);
    }

    // A refused map block on a unit slower than the first allowance: the refusal of the resend
    // comes while the first cell waits, and must not be taken for that cell's answer.
    for (const std::string how : {"FF", "R"})
        for (const char* delay : {"105", "120", "150"}) {
            const std::string fault = "refuse=0x86:" + how + " delay=" + delay;
            ok("late refusal " + how, Op::WriteMap, fault);
            table.back().paced = how == "R";
        }
    ok("late refusal", Op::WriteAll, "refuse=0x86 delay=105");
    table.back().err = "Writing Inj Map\n";

    // The cable pulled mid-way: the unit hears nothing after the N-th request. What went out
    // before is not verified either: its read-back goes unanswered.
    const std::string pulled = "cable pulled";
    const auto unverified = [](const std::string& blocks) {
        const bool one = blocks.size() == 2;
        return "The Power-FC did not answer when block " + blocks.substr(0, 2) +
               " was read back: " +
               (one ? "its write is not verified and it stays"
                    : "the writes of blocks " + blocks + " are not verified and stay") +
               " marked for Update.\n";
    };
    fails(pulled, Op::ReadAll, "pull=10", silent + "Read All Error 88\n", {});
    fails(pulled, Op::WriteAll, "pull=8",
          "Writing Ign Map\n" + silent + "Error Writing Map\n" +
              writeAllStopped("Inj Map", "Ign Map (in part), 8A") + unverified("86, 87, 88 and 89"),
          {0x86});
    fails(pulled, Op::WriteAll, "pull=13",
          silent + "Write All Error 8B\n" + writeAllStopped("Inj Map, Ign Map, 8A", "8B") +
              unverified("86, 87, 88, 89, 81, 82, 83, 84 and 8A"),
          {0x86, 0x8A});
    fails(pulled, Op::Update, "pull=5", silent + "Update error\n" + unverified("8B"), {0x8B});
    fails(pulled, Op::WriteMap, "pull=5", silent + unverified("86"), {0x86});
    fails(pulled, Op::Log, "pull=3", silent, {});
    // A run the unit cuts short is saved all the same (with exit status 1).
    fails(pulled, Op::Log, "pull=15",
          silent + "The run ended early. 11 samples were kept, in run.txt.\n", {}, Out::ShortLog);
    return table;
}

PacketImage edited(PacketImage image, Op op, const std::vector<std::uint8_t>& only) {
    const auto edits = kEdits.find(op);
    if (edits == kEdits.end()) return image;
    for (const Edit& e : edits->second)
        if (std::find(only.begin(), only.end(), e.block) != only.end())
            image[e.block].at(e.index) ^= e.mask;
    return image;
}

// "86 8A" for a list of blocks.
std::string blockNames(const std::vector<std::uint8_t>& blocks) {
    std::ostringstream text;
    for (auto b : blocks)
        text << (text.tellp() > 0 ? " " : "") << std::hex << std::uppercase << int{b};
    return text.str();
}

// What one case did, checked afterwards on the test's own thread.
struct Result {
    Finished cli;
    bool simServed = false;
    PacketImage memory;
    std::string output;  // the output file (read-all, log) or the input tune (writes)
    std::set<std::string> leftInFolder;
    double seconds = 0;
};

class CliFaultTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const fs::path dir = scratch() / "reference";
        fs::create_directories(dir);
        Sim sim({}, dir / "memory.dat", dir / "sim");
        ASSERT_TRUE(sim.serving());
        Cli read({"read-all", "--port", sim.port(), "--out", (dir / "unit.dat").string()},
                 dir / "cli");
        ASSERT_EQ(read.finish().exitCode, 0);
        ASSERT_EQ(sim.stop().exitCode, 0);
        s_unitFile = fileText(dir / "unit.dat");
        s_unit = imageOf(dir / "unit.dat");
        s_memory = imageOf(dir / "memory.dat");
        ASSERT_FALSE(s_memory[0x8B].empty());
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(scratch(), ignored);
    }

    // Sets up the case's folder, runs the command against its own simulated unit and collects
    // what is to be checked.
    static Result run(const FaultCase& c, int number) {
        const auto started = std::chrono::steady_clock::now();
        const fs::path dir = scratch() / ("case-" + std::to_string(number));
        const fs::path out = dir / "out";
        fs::create_directories(out);
        Result r;
        std::vector<std::string> simArgs;
        std::istringstream faults(c.fault);
        for (std::string f; faults >> f;)
            simArgs.insert(simArgs.end(), {"--fault", f});
        if (c.paced) simArgs.push_back("--baud-pacing");
        Sim sim(simArgs, dir / "memory.dat", dir / "sim");
        r.simServed = sim.serving();
        if (!r.simServed) return r;

        std::vector<std::string> args;
        fs::path kept;
        switch (c.op) {
            case Op::ReadAll:
                kept = out / "unit.dat";
                writeText(kept, kOldOutput);
                args = {"read-all", "--port", sim.port(), "--out", kept.string()};
                break;
            case Op::Log:
                kept = out / "run.txt";
                writeText(kept, kOldOutput);
                args = {
                    "log",   "--port",      sim.port(), "--samples", std::to_string(kLogSamples),
                    "--out", kept.string(), "--yes"};
                break;
            case Op::WriteAll:
                kept = out / "tune.dat";
                writeImage(kept, edited(s_unit, c.op, editedBlocks(c.op)));
                args = {"write-all", "--port", sim.port(), kept.string()};
                break;
            case Op::Update:
            case Op::WriteMap:
                kept = out / "tune.dat";
                writeImage(out / "base.dat", s_unit);
                writeImage(kept, edited(s_unit, c.op, editedBlocks(c.op)));
                args = {"update",     "--port", sim.port(), "--base", (out / "base.dat").string(),
                        kept.string()};
                break;
        }
        Cli cli(args, dir / "cli");
        r.cli = cli.finish(90'000);
        const Finished simEnd = sim.stop();
        r.simServed = simEnd.exitCode == 0;
        r.memory = imageOf(dir / "memory.dat");
        r.output = fileText(kept);
        r.leftInFolder = namesIn(out);
        r.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        return r;
    }

    // A Read All of a unit without faults: its data file and image, and what the unit holds.
    static inline std::string s_unitFile;
    static inline PacketImage s_unit;
    static inline PacketImage s_memory;
};

// Every command against every fault. The cases run side by side, each with its own unit: most
// of their time is spent waiting for a slow or silent unit.
TEST_F(CliFaultTest, EveryCommandUnderEveryFaultEndsCleanly) {
    const std::vector<FaultCase> table = cases();
    std::vector<Result> results(table.size());
    // Slowest first, so that the long delays do not run last and alone.
    std::vector<std::size_t> order(table.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    auto weight = [&](std::size_t i) {
        const std::string& f = table[i].fault;
        const auto delay = f.find("delay=");
        const int cells = table[i].op == Op::WriteAll && f.starts_with("refuse=0x86") ? 1000 : 0;
        return (delay != std::string::npos ? std::stoi(f.substr(delay + 6)) : 0) + cells +
               (table[i].paced ? 100 : 0);
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return weight(a) > weight(b); });
    std::mutex next;
    std::size_t taken = 0;
    std::vector<std::thread> workers;
    for (int w = 0; w < 6; ++w)
        workers.emplace_back([&] {
            for (;;) {
                std::size_t i = 0;
                {
                    const std::lock_guard lock(next);
                    if (taken == order.size()) return;
                    i = order[taken++];
                }
                results[i] = run(table[i], static_cast<int>(i));
            }
        });
    for (auto& w : workers)
        w.join();

    std::ostringstream matrix;
    matrix << "| case | command | faults | exit | stderr | unit memory | output | seconds |\n"
              "|---|---|---|---|---|---|---|---|\n";
    for (std::size_t i = 0; i < table.size(); ++i) {
        const FaultCase& c = table[i];
        const Result& r = results[i];
        SCOPED_TRACE(std::string(opName(c.op)) + " with " + c.fault);
        ASSERT_TRUE(r.simServed);

        EXPECT_EQ(r.cli.exitCode, c.exitCode);
        EXPECT_EQ(r.cli.err, c.err);
        // Nothing but what was meant to be written, and of that only what got through.
        const PacketImage expectedMemory = edited(s_memory, c.op, c.written);
        EXPECT_EQ(r.memory, expectedMemory);
        std::set<std::string> expectedNames;
        switch (c.op) {
            case Op::ReadAll:
                expectedNames = {"unit.dat"};
                EXPECT_EQ(r.output, c.out == Out::New ? s_unitFile : kOldOutput);
                break;
            case Op::Log: {
                expectedNames = {"run.txt"};
                const auto lines = std::count(r.output.begin(), r.output.end(), '\n');
                if (c.out == Out::Old) {
                    EXPECT_EQ(r.output, kOldOutput);
                } else {
                    EXPECT_TRUE(r.output.starts_with("[SR20DET]\r\nTime(S)\t"));
                    EXPECT_TRUE(r.output.ends_with("\r\n"));
                    if (c.out == Out::New) {
                        EXPECT_EQ(lines, 2 + kLogSamples);
                    } else {
                        EXPECT_TRUE(lines > 2 && lines < 2 + kLogSamples) << lines;
                    }
                }
                break;
            }
            case Op::WriteAll:
            case Op::Update:
            case Op::WriteMap:
                expectedNames = {"tune.dat"};
                if (c.op != Op::WriteAll) expectedNames.insert("base.dat");
                EXPECT_EQ(r.output, dataFileText(edited(s_unit, c.op, editedBlocks(c.op)), ""));
                break;
        }
        // No temporary file of an interrupted or failed save is left behind.
        EXPECT_EQ(r.leftInFolder, expectedNames);

        const bool memoryOk = r.memory == expectedMemory;
        std::string err = r.cli.err;
        std::replace(err.begin(), err.end(), '\n', '/');
        if (!err.empty()) err.pop_back();
        const std::string memoryText =
            c.written.empty() ? "unchanged" : "edits of " + blockNames(c.written) + " only";
        std::string outputText;
        switch (c.op) {
            case Op::ReadAll:
            case Op::Log:
                outputText = c.out == Out::Old   ? "old file intact"
                             : c.out == Out::New ? "new file whole"
                                                 : "short log saved";
                break;
            default:
                outputText = "tune file untouched";
        }
        matrix << "| " << c.label << " | " << opName(c.op) << " | " << c.fault << " | "
               << r.cli.exitCode << " | " << (err.empty() ? "(none)" : err) << " | "
               << (memoryOk ? memoryText : "MISMATCH") << " | "
               << (r.leftInFolder == expectedNames ? outputText : "STRAY FILES") << " | "
               << static_cast<int>(r.seconds + 0.5) << " |\n";
    }
    std::cout << matrix.str();
}

}  // namespace
}  // namespace tunalyx::clitest

namespace tunalyx::clitest {
namespace {

// The newest line of `history list`: its ID and its action.
std::pair<std::string, std::string> newestTune(const fs::path& stem) {
    const Finished list = Cli({"history", "list"}, stem).finish();
    const auto columns = fields(list.out.substr(0, list.out.find('\n')), '\t');
    if (columns.size() < 3) return {};
    return {columns[0], columns[2]};
}

// Ctrl+C, SIGTERM or a closed terminal during a write finish the packet in flight and stop:
// what was not written is named, the tune the unit now holds (part of each) is kept in the
// history, exit status 1. An update from that tune then finishes the job.
TEST_F(CliFaultTest, AWriteStoppedBySignalLeavesTheUnitKnown) {
    const std::vector<std::uint8_t> blocks = {0x86, 0x87, 0x88, 0x89, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F,
                                              0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97};
    auto edited = [&](PacketImage image) {
        for (std::uint8_t b : blocks)
            if (image[b].size() > 3) image[b][3] ^= 0x01;
        return image;
    };
    struct Stop {
        int signal;
        bool update;
    };
    for (const Stop stop : {Stop{SIGINT, false}, Stop{SIGTERM, true}, Stop{SIGHUP, true}}) {
        SCOPED_TRACE(std::to_string(stop.signal) + (stop.update ? " update" : " write-all"));
        const fs::path dir = scratch() / ("stopped-" + std::to_string(stop.signal));
        fs::create_directories(dir);
        const fs::path tune = dir / "tune.dat", base = dir / "base.dat";
        writeImage(tune, edited(s_unit));
        writeImage(base, s_unit);
        Sim sim({"--fault", "delay=50"}, dir / "memory.dat", dir / "sim");
        ASSERT_TRUE(sim.serving());

        std::vector<std::string> args{"write-all", "--port", sim.port(), tune.string()};
        if (stop.update)
            args = {"update", "--port", sim.port(), "--base", base.string(), tune.string()};
        Cli write(args, dir / "cli");
        // The command catches stop signals from just before its first packet to the unit.
        ASSERT_TRUE(write.catches(stop.signal));
        write.signal(stop.signal);
        const Finished stopped = write.finish();
        EXPECT_EQ(stopped.exitCode, 1);

        // The history holds what the unit holds, and the message says which tune that is.
        const auto [id, action] = newestTune(dir / "cli");
        EXPECT_EQ(action, stop.update ? "Update (stopped)" : "Write All (stopped)");
        EXPECT_TRUE(stopped.err.starts_with("Stopped: ")) << stopped.err;
        EXPECT_NE(stopped.err.find(" blocks written. The unit now holds tune " + id +
                                   " of the history; to send the rest, run history export " + id +
                                   " OLD.dat, then update --base OLD.dat " + tune.string() + "."),
                  std::string::npos)
            << stopped.err;
        const fs::path kept = dir / "kept.dat", now = dir / "now.dat";
        ASSERT_EQ(Cli({"history", "export", id, kept.string()}, dir / "cli").finish().exitCode, 0);
        ASSERT_EQ(Cli({"read-all", "--port", sim.port(), "--out", now.string()}, dir / "cli")
                      .finish()
                      .exitCode,
                  0);
        const PacketImage held = imageOf(kept), unitNow = imageOf(now);
        EXPECT_NE(held, edited(s_unit));
        for (int b = 0; b < PacketImage::kSlotCount; ++b) {
            const auto block = static_cast<std::uint8_t>(b);
            if (!unitNow[block].empty()) {
                EXPECT_EQ(held[block], unitNow[block]) << hexText(block);
            }
        }

        const Finished rest =
            Cli({"update", "--port", sim.port(), "--base", kept.string(), tune.string()},
                dir / "cli")
                .finish();
        EXPECT_EQ(rest.exitCode, 0) << rest.err;
        ASSERT_EQ(sim.stop().exitCode, 0);
        EXPECT_EQ(imageOf(dir / "memory.dat"), edited(s_memory));
    }
}

}  // namespace
}  // namespace tunalyx::clitest
