#include "history/tune_history.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "ports/local_time.h"
#include "support/plain_file_writer.h"
#include "support/recording_prompts.h"
#include "versions/tune_file.h"

namespace tunalyx {
namespace {

namespace fs = std::filesystem;

std::string textOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TuneHistoryTest : public ::testing::Test {
protected:
    TuneHistoryTest() {
        fs::remove_all(folder);
        tune.image[0x86] = Bytes{1, 2, 3};
        tune.notes = "Good on the dyno\r\nsecond line";
        tune.VerName = "SR20DET1";
        tune.VerNumber = "5.01";
    }
    ~TuneHistoryTest() override { fs::remove_all(folder); }

    std::size_t datFiles() const {
        std::size_t n = 0;
        for (const auto& e : fs::directory_iterator(folder))
            n += e.path().extension() == ".dat";
        return n;
    }

    const fs::path folder =
        fs::temp_directory_path() /
        ("tunalyx-history-" +
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    test::PlainFileWriter writer;
    // 2026-03-01 10:00:00 UTC and on, a minute a call.
    std::time_t clock = 1772359200;
    TuneHistory history{folder.string(), writer, [this] { return clock += 60; }};
    test::RecordingPrompts prompts;
    TuneRecorder recorder{history, prompts};
    Tune tune;
};

TEST_F(TuneHistoryTest, IdenticalTunesAreKeptOnceAndEveryEventGetsItsLine) {
    const std::string firstText = dataFileText(tune);
    const auto first = history.recordSnapshot(tune, "Read All", "a.dat");
    const auto again = history.recordSnapshot(tune, "Save", "b.dat");
    tune.image[0x86][0] = 9;
    const auto changed = history.recordSnapshot(tune, "Write Map", "b.dat");
    EXPECT_EQ(first.id, 1);
    EXPECT_EQ(again.id, 2);
    EXPECT_EQ(changed.id, 3);
    EXPECT_EQ(datFiles(), 2u);

    const HistoryIndex index = history.load();
    EXPECT_TRUE(index.problems.empty());
    ASSERT_EQ(index.snapshots.size(), 3u);
    const TuneSnapshot& s = index.snapshots[1];
    EXPECT_EQ(s.action, "Save");
    EXPECT_EQ(s.file, "b.dat");
    EXPECT_EQ(s.unit, "SR20DET1");
    EXPECT_EQ(s.version, "5.01");
    EXPECT_EQ(s.notesLine, "Good on the dyno");
    EXPECT_EQ(s.hash, index.snapshots[0].hash);
    EXPECT_NE(s.hash, index.snapshots[2].hash);
    EXPECT_EQ(s.time.size(), 19u);

    // The file is the data file of the tune, byte for byte.
    std::string error;
    const auto text = history.snapshotText(index, 2, error);
    ASSERT_TRUE(text) << error;
    EXPECT_EQ(*text, firstText);

    // A file damaged since is written again when the same tune is kept again.
    std::ofstream(history.snapshotPath(s.hash), std::ios::binary | std::ios::trunc) << "8601";
    tune.image[0x86][0] = 1;
    EXPECT_EQ(history.recordSnapshot(tune, "Open", "a.dat").id, 4);
    EXPECT_TRUE(history.snapshotText(history.load(), 1, error)) << error;
}

TEST_F(TuneHistoryTest, ASnapshotWhoseFileCannotBeWrittenGetsNoIndexLine) {
    struct Refusing final : FileWriter {
        std::string writeWhole(const std::string& path, std::string_view) override {
            return "Cannot write " + path;
        }
    } refusing;
    TuneHistory refused(folder.string(), refusing);
    EXPECT_EQ(refused.recordSnapshot(tune, "Open", "a.dat").id, 0);
    EXPECT_TRUE(refused.load().snapshots.empty());
}

// A line the call has returned for survives a power cut: it was synced, the program's buffer too.
TEST_F(TuneHistoryTest, AnIndexLineIsOnTheDiskWhenItsCallReturns) {
    const unsigned long before = filesSyncedToDisk();
    ASSERT_EQ(history.recordLog("d.txt", "the log's text", 0), "");
    EXPECT_EQ(filesSyncedToDisk(), before + 1);
}

TEST_F(TuneHistoryTest, ALogIsLinkedToEveryTuneItRanOnAndOlderLinesStillRead) {
    ASSERT_EQ(history.recordSnapshot(tune, "Open", "a.dat").id, 1);
    const std::string a = history.load().snapshots[0].hash;
    tune.image[0x86][0] = 9;
    ASSERT_EQ(history.recordSnapshot(tune, "Update", "a.dat").id, 2);
    const std::string b = history.load().snapshots[1].hash;
    const LogTunes ran{{0, a}, {120, b}, {300, ""}};
    ASSERT_EQ(history.recordLog("/logs/L1.txt", "log one", 0, ran), "");
    // Lines written before logs had their tunes, with the line ends an editor on Windows leaves.
    {
        std::ofstream out(history.indexPath(), std::ios::binary | std::ios::app);
        out << "log\t2026-03-01 11:00:00\tOLD.txt\t" << contentHash("old") << "\t1\r\n"
            << "log\t2026-03-01 11:01:00\tOLD2.txt\t" << contentHash("old2") << "\tunknown\r\n"
            << "log\t2026-03-01 11:02:00\tBAD.txt\t" << contentHash("bad") << "\t1\t5:" << a
            << "\r\n";
    }
    const HistoryIndex index = history.load();
    ASSERT_EQ(index.problems.size(), 1u);
    EXPECT_NE(index.problems[0].find("line 6 is damaged"), std::string::npos) << index.problems[0];
    ASSERT_EQ(index.logs.size(), 3u);
    EXPECT_EQ(index.logs[0].tunes, ran);
    EXPECT_EQ(index.logs[1].tunes, (LogTunes{{0, a}}));
    EXPECT_EQ(index.logs[2].tunes, (LogTunes{{0, ""}}));
    const auto files = [&](int id) {
        std::vector<std::string> out;
        for (const LogLink& l : index.logsOf(id))
            out.push_back(l.file);
        return out;
    };
    EXPECT_EQ(files(1), (std::vector<std::string>{"L1.txt", "OLD.txt"}));
    EXPECT_EQ(files(2), std::vector<std::string>{"L1.txt"});

    const std::string one = "tune 1 (Open, " + index.snapshots[0].time + ")";
    const std::string two = "tune 2 (Update, " + index.snapshots[1].time + ")";
    EXPECT_EQ(logTuneText(index, "log one"), "ran on 3 tunes, from " + one + " to an unknown tune");
    EXPECT_EQ(logTuneText(index, "old"), "ran on " + one);
    ASSERT_EQ(history.recordLog("L2.txt", "log two", 2, {{0, a}, {7, b}}), "");
    EXPECT_EQ(logTuneText(history.load(), "log two"), "ran on " + one + " then " + two);
    EXPECT_EQ(logTunesOf(history.load(), "log two"), (LogTunes{{0, a}, {7, b}}));
}

// A run that tells what the unit holds, as the live run does.
struct FollowedRun final : UnitTuneSink {
    void unitHolds(const std::string& hash) override {
        if (told.empty() || told.back() != hash) told.push_back(hash);
    }
    [[nodiscard]] bool running() const override { return on; }
    bool on = false;
    std::vector<std::string> told;
};

TEST_F(TuneHistoryTest, WritesDuringARunAreOneLiveSessionWithEveryTuneRestorable) {
    FollowedRun run;
    recorder.followRun(&run);
    recorder.afterUnitCommand(tune, "a.dat", UnitCommand::ReadWhole, "Read All", true);
    run.on = true;
    recorder.runStarted();
    std::vector<std::string> sent;
    for (std::uint8_t v : {10, 11, 10, 12}) {
        tune.image[0x86][0] = v;
        recorder.afterUnitCommand(tune, "a.dat", UnitCommand::Write, "Update", true);
        sent.push_back(recorder.unit().hash());
    }
    // A write held back sent nothing: the unit still holds the last tune sent.
    tune.image[0x86][0] = 13;
    recorder.afterUnitCommand(tune, "a.dat", UnitCommand::HeldBack, "Update", false);
    EXPECT_EQ(recorder.unit().hash(), sent.back());
    tune.image[0x86][0] = 12;
    recorder.afterUnitCommand(tune, "a.dat", UnitCommand::Write, "Write Map", false);
    run.on = false;
    recorder.afterUnitCommand(tune, "a.dat", UnitCommand::Write, "Update", true);

    const HistoryIndex index = history.load();
    // The tune sent twice is kept once; the rest each have a line.
    ASSERT_EQ(index.snapshots.size(), 5u);
    const std::vector<HistoryEntry> entries = historyEntries(index);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].action, "Read All");
    EXPECT_EQ(entries[1].ids, (std::vector<int>{2, 3, 4}));
    EXPECT_TRUE(entries[1].action.starts_with("Live session from ")) << entries[1].action;
    EXPECT_TRUE(entries[1].action.ends_with(", 3 tunes sent (Update)")) << entries[1].action;
    EXPECT_EQ(entries[2].action, "Update");
    std::string error;
    for (int id : entries[1].ids)
        EXPECT_TRUE(history.snapshotText(index, id, error)) << error;
    // The run heard of every change: unknown at first, the read, each tune, the failed write.
    const std::vector<std::string> told = {
        "", index.snapshots[0].hash, sent[0], sent[1], sent[2], sent[3], "", sent[3]};
    EXPECT_EQ(run.told, told);
    recorder.followRun(nullptr);
}

// A write sent with risks accepted keeps them with its tune; the tune a unit was last known to hold
// is the newest a read or a write of that unit kept, not one opened or saved since.
TEST_F(TuneHistoryTest, AcceptedRisksStayWithTheirWriteAndTheUnitsLastTuneIsFound) {
    const std::vector<std::string> risks = {"Ign Map N14 P17: 18 -> 23 degrees (+5)",
                                            "Rev Limit: 7500 -> 8000 (+500)"};
    recorder.afterUnitCommand(tune, "a.dat", UnitCommand::Write, "Update", true, risks);
    tune.image[0x86][0] = 7;
    recorder.snapshot(tune, "a.dat", "Save");
    Tune other = tune;
    other.VerNumber = "3.12A";
    recorder.afterUnitCommand(other, "b.dat", UnitCommand::ReadWhole, "Read All", true);

    const HistoryIndex index = history.load();
    EXPECT_TRUE(index.problems.empty());
    ASSERT_EQ(index.snapshots.size(), 3u);
    EXPECT_EQ(acceptedRiskLines(index.snapshots[0]),
              (std::vector<std::string>{"Accepted risk: Ign Map N14 P17: 18 -> 23 degrees (+5)",
                                        "Accepted risk: Rev Limit: 7500 -> 8000 (+500)"}));
    EXPECT_TRUE(index.snapshots[1].acceptedRisks.empty());
    const TuneSnapshot* last = lastUnitSnapshot(index, tune);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->id, 1);
    EXPECT_EQ(lastUnitSnapshot(index, other)->id, 3);
}

TEST_F(TuneHistoryTest, DamagedLinesAreSkippedAndNamedTheRestLoads) {
    ASSERT_EQ(history.recordSnapshot(tune, "Open", "a.dat").id, 1);
    const std::string good = textOf(history.indexPath());
    const std::string hash = good.substr(good.find("\t", good.find("a.dat")) + 1, 16);
    {
        std::ofstream out(history.indexPath(), std::ios::binary | std::ios::app);
        out << "tune\t2\t2026-03-01 10:05:00\tSave\tSR20DET1\t5.01\tb.dat\n"           // 2: fields
            << "tune\t3\t2026-03-01\tSave\tSR20DET1\t5.01\tb.dat\t" << hash << "\t\n"  // 3: time
            << "tune\t4\t2026-03-01 10:05:00\tSave\tU\tV\tb.dat\tXYZ\t\n"              // 4: hash
            << "tune\t1\t2026-03-01 10:05:00\tSave\tU\tV\tb.dat\t" << hash << "\t\n"   // 5: twice
            << "log\t2026-03-01 10:06:00\tLOG.txt\t" << hash << "\t1\n"                // 6: fine
            << "tune\t6\t2026-03-01 10:07:00\tSave\tU\tV\tc.dat\t" << hash << "\t\n"   // 7: fine
            << "log\t2026-03-01 10:08:00\tLOG2.txt\t" << hash << "\tsome\n"            // 8: tune
            << "tune\t7\t2026-03-01 10:0";                                             // 9: cut
    }
    const HistoryIndex index = history.load();
    ASSERT_EQ(index.problems.size(), 6u);
    const std::string name = history.indexPath() + " line ";
    for (int line : {2, 3, 4, 5, 8, 9})
        EXPECT_NE(std::count_if(index.problems.begin(), index.problems.end(),
                                [&](const std::string& p) {
                                    return p.starts_with(name + std::to_string(line) + " is");
                                }),
                  0)
            << line;
    EXPECT_NE(index.problems.back().find("cut short"), std::string::npos);
    ASSERT_EQ(index.snapshots.size(), 2u);
    EXPECT_EQ(index.snapshots[1].id, 6);
    EXPECT_EQ(index.logsOf(1).size(), 1u);

    // A new line after the cut one is whole, and numbered past the largest.
    EXPECT_EQ(history.recordSnapshot(tune, "Save", "d.dat").id, 7);
    const HistoryIndex after = history.load();
    EXPECT_EQ(after.snapshots.back().file, "d.dat");
    EXPECT_EQ(after.problems.size(), 6u);
}

TEST_F(TuneHistoryTest, AMissingOrAlteredSnapshotFileIsListedAndToldWhenRead) {
    history.recordSnapshot(tune, "Open", "a.dat");
    tune.image[0x87] = Bytes{4};
    history.recordSnapshot(tune, "Save", "b.dat");
    HistoryIndex index = history.load();
    fs::remove(history.snapshotPath(index.snapshots[0].hash));
    std::ofstream(history.snapshotPath(index.snapshots[1].hash), std::ios::app) << "8601\r\n";

    index = history.load();
    ASSERT_EQ(index.snapshots.size(), 2u);
    EXPECT_TRUE(index.snapshots[0].missing);
    EXPECT_FALSE(index.snapshots[1].missing);
    std::string error;
    EXPECT_FALSE(history.snapshotText(index, 1, error));
    EXPECT_NE(error.find("Tune 1 cannot be read"), std::string::npos);
    EXPECT_NE(error.find("missing"), std::string::npos);
    EXPECT_FALSE(history.snapshotText(index, 2, error));
    EXPECT_NE(error.find("changed since"), std::string::npos);
    EXPECT_FALSE(history.snapshotText(index, 3, error));
    EXPECT_EQ(error, "There is no tune 3 in the history.");
}

TEST_F(TuneHistoryTest, ALogLinksToTheTuneTheUnitHeldAndToUnknownOnceItMayHaveChanged) {
    recorder.afterUnitCommand(tune, "a.dat", UnitCommand::ReadWhole, "Read All", true);
    EXPECT_EQ(recorder.unit().snapshot(), 1);
    // Edits, a failed read and opening a file leave the unit as it was.
    recorder.afterUnitCommand(tune, "a.dat", UnitCommand::ReadWhole, "Read All", false);
    recorder.snapshot(tune, "b.dat", "Open");
    tune.image[0x86][0] = 7;
    recorder.afterUnitCommand(tune, "b.dat", UnitCommand::Write, "Write Map", true);
    EXPECT_EQ(recorder.unit().snapshot(), 3);
    recorder.logSaved("/logs/LOG.txt", "log one");
    recorder.afterUnitCommand(tune, "b.dat", UnitCommand::Write, "Update", false);
    recorder.logSaved("/logs/LOG2.txt", "log two");
    recorder.afterUnitCommand(tune, "b.dat", UnitCommand::Write, "Write All", true);
    // A unit that answers as another one does not hold what was written.
    tune.VerNumber = "3.12";
    recorder.afterUnitCommand(tune, "b.dat", UnitCommand::ReadPart, "", true);
    recorder.logSaved("/logs/LOG3.txt", "log three");
    recorder.afterUnitCommand(tune, "b.dat", UnitCommand::ReadWhole, "Read All", true);
    recorder.afterUnitCommand(tune, "b.dat", UnitCommand::Initialise, "", true);
    recorder.logSaved("/logs/LOG4.txt", "log four");

    const HistoryIndex index = history.load();
    ASSERT_EQ(index.snapshots.size(), 5u);  // nothing for what failed
    EXPECT_EQ(index.snapshots[2].action, "Write Map");
    ASSERT_EQ(index.logs.size(), 4u);
    EXPECT_EQ(index.logs[0].file, "LOG.txt");
    EXPECT_EQ(index.logs[0].tune, 3);
    for (std::size_t i = 1; i < 4; ++i)
        EXPECT_EQ(index.logs[i].tune, 0) << i;
    EXPECT_EQ(index.logsOf(3).size(), 1u);
    EXPECT_EQ(logTuneText(index, "log one"),
              "ran on tune 3 (Write Map, " + index.snapshots[2].time + ")");
    EXPECT_EQ(logTuneText(index, "log two"), "ran on an unknown tune");
    EXPECT_EQ(logTuneText(index, "never saved"), "");
    EXPECT_TRUE(prompts.messages().empty());
}

TEST_F(TuneHistoryTest, AHistoryThatCannotBeWrittenIsToldOnceAndTheUnitTuneIsUnknown) {
    fs::create_directories(folder.parent_path());
    std::ofstream(folder.string()) << "a file where the folder should be";
    recorder.afterUnitCommand(tune, "a.dat", UnitCommand::ReadWhole, "Read All", true);
    recorder.snapshot(tune, "a.dat", "Save");
    recorder.logSaved("LOG.txt", "log");
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_NE(prompts.texts()[0].find("go on"), std::string::npos);
    EXPECT_EQ(recorder.unit().snapshot(), 0);
    fs::remove(folder);
}

}  // namespace
}  // namespace tunalyx
