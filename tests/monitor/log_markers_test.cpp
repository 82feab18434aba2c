#include "monitor/log_markers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/file_text.h"
#include "support/plain_file_writer.h"

namespace tunalyx {
namespace {

namespace fs = std::filesystem;

using test::fileText;

TEST(LogMarkers, KeptBesideTheLogAndReadBackWithTheirNotes) {
    const fs::path folder =
        fs::temp_directory_path() / ("tunalyx-markers-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string log = (folder / "LOG.txt").string();
    test::PlainFileWriter writer;

    ASSERT_EQ(saveLogMarkers(writer, log, {{1, 0.5, ""}, {3, 412.3, "3rd\tgear\r\npull"}}), "");
    // The time as the log writes its times; a TAB or line break in a note is a blank.
    EXPECT_EQ(fileText(folder / "LOG.markers"),
              "[Tunalyx Log Markers]\r\n1\t.500\t\r\n3\t412.300\t3rd gear  pull\r\n");
    const LogMarkersRead read = readLogMarkers(log);
    EXPECT_EQ(read.problem, "");
    EXPECT_EQ(read.markers, (std::vector<LogMarker>{{1, 0.5, ""}, {3, 412.3, "3rd gear  pull"}}));

    // A log saved again without markers takes its old markers file with it.
    ASSERT_EQ(saveLogMarkers(writer, log, {}), "");
    EXPECT_FALSE(fs::exists(folder / "LOG.markers"));
    EXPECT_TRUE(readLogMarkers(log).markers.empty());
    EXPECT_EQ(readLogMarkers(log).problem, "");
    fs::remove_all(folder);
}

TEST(LogMarkers, ADamagedLineIsSkippedAndToldTheRestAreRead) {
    const struct {
        std::string text;
        std::vector<LogMarker> markers;
        std::string problem;
    } cases[] = {
        // LF line ends and blank lines at the end are no damage.
        {"[Tunalyx Log Markers]\n2\t1.25\tok\n\n", {{2, 1.25, "ok"}}, ""},
        {"[Tunalyx Log Markers]\r\n1\t1\ta\r\n2\tsoon\tb\r\n3\t3\r\n",
         {{1, 1, "a"}, {3, 3, ""}},
         "Line 3 of LOG.markers is damaged, so its marker was skipped."},
        // No time, a number that is not one, a time before the log, a number told twice.
        {"[Tunalyx Log Markers]\r\n4\r\n0\t1\t\r\nx\t1\t\r\n5\t-1\t\r\n6\t2\t\r\n6\t3\t\r\n",
         {{6, 2, ""}},
         "5 lines of LOG.markers are damaged (the first is line 2), so their markers were "
         "skipped."},
        {"[SR20DET]\r\n1\t1\t\r\n",
         {},
         "LOG.markers is not a markers file, so the log is shown without markers."},
    };
    for (const auto& c : cases) {
        const LogMarkersRead read = readLogMarkersText(c.text, "LOG.markers");
        EXPECT_EQ(read.markers, c.markers) << c.text;
        EXPECT_EQ(read.problem, c.problem) << c.text;
    }
}

TEST(LogMarkers, TheMarkerTheCursorReachesIsTheLastOneCrossed) {
    const std::vector<LogMarker> markers = {{1, 10, "a"}, {2, 20, "b"}, {3, 30, "c"}};
    const struct {
        double from, to;
        int number;  // 0: none
    } cases[] = {
        {5, 10, 1},  {10, 12, 0}, {5, 25, 2},  {5, 40, 3},   // forward: onto or past
        {35, 20, 2}, {35, 5, 1},  {20, 18, 0}, {20, 20, 2},  // back, and standing on one
        {11, 11, 0},
    };
    for (const auto& c : cases) {
        const LogMarker* reached = markerReached(markers, c.from, c.to);
        EXPECT_EQ(reached ? reached->number : 0, c.number) << c.from << " -> " << c.to;
    }
}

}  // namespace
}  // namespace tunalyx
