#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "history/tune_history.h"

namespace tunalyx {
namespace {

namespace fs = std::filesystem;

std::string hashOf(char c) {
    return std::string(16, c);
}

std::string tuneLine(int id, char hash, const char* action) {
    return "tune\t" + std::to_string(id) + "\t2026-12-01 10:00:0" + std::to_string(id % 10) + "\t" +
           action + "\tSR20DET1 5.01\t5.01\tt.dat\t" + hashOf(hash) + "\t\n";
}

std::string logLine(const std::string& file, const std::string& hash, int tune) {
    return "log\t2026-12-01 11:00:00\t" + file + "\t" + hash + "\t" + std::to_string(tune) + "\n";
}

TEST(PreviousTuneLog, TheLogOfTheTuneReplacedElseTheNewestOnAnotherTune) {
    const std::string text = tuneLine(1, 'b', "Read All") + logLine("b.txt", hashOf('1'), 1) +
                             tuneLine(2, 'c', "Write All") + logLine("c.txt", hashOf('2'), 2) +
                             tuneLine(3, 'b', "Write All") +  // back to b
                             tuneLine(4, 'd', "Update") + logLine("d.txt", hashOf('3'), 4) +
                             tuneLine(5, 'e', "Save") +  // never ran
                             tuneLine(6, 'f', "Write All") + logLine("f.txt", hashOf('4'), 6);
    const HistoryIndex index = parseHistoryIndex(text, "index.txt");
    ASSERT_TRUE(index.problems.empty());
    const auto fileOf = [&](char shown) {
        const LogLink* log = logOfPreviousTune(index, hashOf(shown));
        return log ? log->file : std::string("none");
    };
    // d replaced b: b's log, though c's is newer.
    EXPECT_EQ(fileOf('3'), "b.txt");
    EXPECT_EQ(fileOf('2'), "b.txt");
    // f replaced e, which has no log: the newest log of another tune.
    EXPECT_EQ(fileOf('4'), "d.txt");
    EXPECT_EQ(fileOf('1'), "none");  // nothing before it
    EXPECT_EQ(fileOf('9'), "none");  // never saved here
}

TEST(PreviousTuneLog, TheFileIsTakenOnlyWithTheContentsItWasSavedWith) {
    const fs::path root = fs::temp_directory_path() / "tunalyx-previous-tune-log";
    fs::remove_all(root);
    fs::create_directories(root / "run");
    fs::create_directories(root / "Logs");
    const auto write = [](const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    };
    write(root / "run" / "LOG-001.txt", "after");
    write(root / "run" / "LOG.txt", "a later log under the same name");
    write(root / "Logs" / "LOG.txt", "before");
    const HistoryIndex index = parseHistoryIndex(
        tuneLine(1, 'a', "Read All") + logLine("LOG.txt", contentHash("before"), 1) +
            tuneLine(2, 'b', "Write All") + logLine("LOG-001.txt", contentHash("after"), 2),
        "index.txt");
    const std::string shown = (root / "run" / "LOG-001.txt").string();
    const std::string logs = (root / "Logs").string();

    const PreviousTuneLog found = findLogOfPreviousTune(index, shown, logs);
    EXPECT_EQ(found.path, (root / "Logs" / "LOG.txt").string());

    fs::remove(root / "Logs" / "LOG.txt");
    EXPECT_EQ(
        findLogOfPreviousTune(index, shown, logs).message,
        "The log of the previous tune, LOG.txt, is no longer in " + (root / "run").string() + ".");
    write(root / "run" / "LOG-001.txt", "not in the history");
    EXPECT_EQ(findLogOfPreviousTune(index, shown, logs).message,
              "No log of an earlier tune is in the history.");
    fs::remove_all(root);
}

}  // namespace
}  // namespace tunalyx
