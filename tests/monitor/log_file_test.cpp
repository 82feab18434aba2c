#include "monitor/log_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

#include "model/descriptors.h"
#include "monitor/live_decode.h"
#include "support/plain_file_writer.h"
#include "support/recording_prompts.h"

namespace tunalyx {
namespace {

namespace fs = std::filesystem;
using Fields = std::vector<std::string_view>;

Fields lines(std::string_view text) {
    Fields out;
    for (std::string_view l : splitFields(text, '\n'))
        if (!l.empty()) out.push_back(l.substr(0, l.size() - (l.back() == '\r' ? 1 : 0)));
    return out;
}

Fields fields(std::string_view line) {
    return splitFields(line, '\t');
}

void include(LogStore& store, std::initializer_list<int> groups) {
    store.IncludeGroup = {};
    for (int g : groups)
        store.IncludeGroup[static_cast<std::size_t>(g)] = true;
}

TEST(LogFileNumbers, TruncatedNeverRoundsAndDropsTheLeadingZero) {
    struct Case {
        double value;
        const char* format;
        const char* text;
        Precision precision = Precision::Double;
    };
    for (const Case& c : {
             Case{3.14159, "0.00", "3.14"}, Case{2.999, "0", "2"}, Case{0.5, "0.000", ".500"},
             Case{12, "0.000", "12.000"}, Case{-0.25, "0.00", "-.25"}, Case{-3.7, "0", "-3"},
             Case{0, "0.000", "0.000"}, Case{0.999, "0.0", ".9"}, Case{0.5, "0", "0"},
             // Held in single precision by the monitor: cut from the single, not from the
             // 14.199999809265137 its double spells out.
             Case{static_cast<float>(14.2), "0.0", "14.2", Precision::Single},
             Case{static_cast<float>(14.2), "0.0", "14.1"},
             Case{static_cast<float>(0.29), "0.00", ".29", Precision::Single},
             Case{1e-5, "0.000", ".000"},  // never exponent notation
         })
        EXPECT_EQ(FormatTruncated(c.value, c.format, c.precision), c.text)
            << c.value << " " << c.format;

    for (const auto& [value, text] : std::vector<std::pair<double, const char*>>{
             {1, " 1 "}, {37, " 37 "}, {0, " 0 "}, {-0.0, " 0 "}, {-3, "-3 "}, {0.5, " .5 "}})
        EXPECT_EQ(logNumberForm(value), text) << value;
}

TEST(LogFileWriter, GroupsInFileOrderEachInItsFormEveryFieldEndedByATab) {
    LogStore store;
    include(store, {kGroupAdvanced});
    std::string text = logFileText(store, TraceItems());
    EXPECT_TRUE(text.starts_with("[SR20DET]\r\nTime(S)\tRpm\tLoad\tMAFS1 V\t"));
    EXPECT_TRUE(lines(text)[1].ends_with("\tO2S2\tTPS V\t"));
    EXPECT_EQ(fields(lines(text)[2]).size(), 21u);

    include(store, {0, 1, 2, 3, 4});
    store.setLogData(20, 0, 45.67);                           // InjDuty, "0.0"
    store.setLogData(30, 0, static_cast<float>(0.29));        // sensor voltage, "0.00"
    store.setLogData(38, 0, 1);                               // switch bit, number form
    store.setLogData(54, 0, static_cast<float>(100.0 / 51));  // raw aux, "0.000"
    store.setLogData(62, 0, 12);                              // map reference, number form
    store.setLogData(13, 0, static_cast<float>(13.8));        // BatV, "0.0"
    text = logFileText(store, TraceItems());
    EXPECT_NE(lines(text)[1].find("\tBatVolt\tAF-1\t"), std::string::npos);
    EXPECT_NE(lines(text)[1].find("\tAN4 \tMAPN\tMAPP\tRpm\t"), std::string::npos);
    const Fields row = fields(lines(text)[2]);
    ASSERT_EQ(row.size(), 1u + 63 + 1);
    EXPECT_EQ(row.back(), "");
    const std::pair<std::size_t, const char*> written[] = {
        {1, "45.6"}, {11, ".29"}, {19, " 1 "}, {35, "1.960"}, {43, " 12 "}, {58, "13.8"}};
    for (const auto& [column, value] : written)
        EXPECT_EQ(row[column], value) << column;
    EXPECT_EQ(text.find('\n'), text.find('\r') + 1);  // CR LF
}

// A log as the monitor leaves it, with random values of each group's kind.
void fillRandom(LogStore& store, int samples, unsigned seed) {
    std::mt19937 rng(seed);
    const auto word = [&] { return static_cast<double>(rng() % 65536); };
    for (int s = 0; s < samples; ++s) {
        store.setLogTime(s, s * 37 + static_cast<std::int32_t>(rng() % 30));
        for (int item = 0; item < kTraceItemCount; ++item) {
            double v = static_cast<float>(word() * 0.001);           // descriptor items, voltages
            if (item >= 38 && item <= 53) v = rng() % 2;             // switch bits
            if (item >= 58 && item <= 61) v = word() * 0.0123 - 40;  // calibrated aux
            if (item >= 62) v = rng() % 256;                         // map references
            store.setLogData(item, s, v);
        }
    }
    store.LogLast = samples - 1;
}

TEST(LogFileReader, RoundTripGivesWhatTheWriterWroteWithEitherLineEnd) {
    LogStore saved;
    fillRandom(saved, 500, 7);
    include(saved, {kGroupBasic, kGroupSensor, kGroupMap, kGroupAdvanced});
    const TraceItems items;
    const std::string text = logFileText(saved, items);
    const std::vector<LogColumn> columns = logColumns(saved, items);
    const Fields rows = lines(text);
    std::string lf = text;
    std::erase(lf, '\r');
    for (const std::string& t : {text, lf}) {
        LogStore opened;
        opened.LogUnsaved = true;
        const LogReadResult r = readLogText(t, opened, items);
        ASSERT_TRUE(r.read());
        EXPECT_EQ(opened.LogLast, 499);
        EXPECT_EQ(opened.IncludeGroup, saved.IncludeGroup);
        EXPECT_FALSE(opened.LogUnsaved);
        // Each value reads back as the truncated text says, not as it was before saving.
        for (int s = 0; s < 500; ++s) {
            ASSERT_EQ(opened.LogTime(s), saved.LogTime(s)) << s;
            const Fields f = fields(rows[static_cast<std::size_t>(s) + 2]);
            for (std::size_t c = 0; c < columns.size(); ++c)
                ASSERT_EQ(opened.LogData(columns[c].item, s),
                          std::strtod(std::string(f[c + 1]).c_str(), nullptr))
                    << s << " " << f[c + 1];
        }
    }
}

TEST(LogFileReader, GroupsFoundByTheirFirstTwoCurrentNames) {
    const TraceItems airFlow;
    // No Aux columns: the Aux items of every row read 0. Two copies of the Basic names: the
    // first is read.
    std::string text = "[SR20DET]\r\nTime(S)\t";
    for (int copy = 0; copy < 2; ++copy)
        for (int i = 0; i < 10; ++i)
            text += airFlow.TraceName[static_cast<std::size_t>(20 + i)] + "\t";
    text += "\r\n0\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t2\t2\t2\t2\t2\t2\t2\t2\t2\t2\t\r\n1\t1\r\n";
    LogStore opened;
    include(opened, {kGroupAux});
    fillRandom(opened, 2, 3);
    ASSERT_TRUE(readLogText(text, opened, airFlow).read());
    EXPECT_EQ(opened.IncludeGroup, (std::array<bool, 5>{true, false, false, false, false}));
    EXPECT_EQ(opened.LogData(29, 0), 1);
    EXPECT_EQ(opened.LogData(29, 1), 0);  // a short row reads 0 for its missing columns
    for (int item = 54; item <= 61; ++item)
        for (int s = 0; s < 2; ++s)
            EXPECT_EQ(opened.LogData(item, s), 0) << item;
}

class LogFileOpen : public ::testing::Test {
protected:
    ~LogFileOpen() override {
        std::error_code ignored;
        fs::remove(file, ignored);
        fs::remove(csv, ignored);
    }
    void write(const std::string& text) { ASSERT_EQ(writer.writeWhole(file.string(), text), ""); }

    // Named after the test: ctest runs the tests of this fixture side by side.
    const std::string name = std::string("tunalyx_log_open_") +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const fs::path file = fs::temp_directory_path() / (name + ".txt");
    const fs::path csv = fs::temp_directory_path() / (name + ".csv");
    test::PlainFileWriter writer;
    test::RecordingPrompts prompts;
    LogStore store;
    const TraceItems items;
};

TEST_F(LogFileOpen, SaveNeedsAGroupAndClearsUnsavedOnlyWhenWritten) {
    store.LogUnsaved = true;
    EXPECT_NE(saveLogFile(store, items, writer, file.string()), "");
    EXPECT_FALSE(fs::exists(file));
    include(store, {kGroupAux});
    EXPECT_NE(saveLogFile(store, items, writer, (file / "x").string()), "");
    EXPECT_TRUE(store.LogUnsaved);
    EXPECT_EQ(saveLogFile(store, items, writer, file.string()), "");
    EXPECT_FALSE(store.LogUnsaved);
}

TEST_F(LogFileOpen, AnotherFirstLineLeavesTheLogAsItWas) {
    for (const char* first : {"[SR20DET] ", "[sr20det]", "", "Time(S)\tMAPN\tMAPP\t"}) {
        store.LogLast = 5;
        store.setLogTime(0, 77);
        store.setLogData(62, 0, 9);
        include(store, {kGroupAdvanced});
        write(std::string(first) + "\r\nTime(S)\tMAPN\tMAPP\t\r\n1\t2\t3\t\r\n");
        prompts.clear();
        EXPECT_FALSE(openLogFile(store, items, prompts, file.string(), "a.txt"));
        ASSERT_EQ(prompts.texts(), std::vector<std::string>{"This is not a SR20DET Log File"});
        EXPECT_EQ(store.LogLast, 5);
        EXPECT_EQ(store.LogTime(0), 77);
        EXPECT_EQ(store.LogData(62, 0), 9);
        EXPECT_TRUE(store.IncludeGroup[kGroupAdvanced]);
    }
    fs::resize_file(file, kLargestLogFile + 1);
    prompts.clear();
    EXPECT_FALSE(openLogFile(store, items, prompts, file.string(), "a.txt"));
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{"a.txt is too large to be an SR20DET Log File"});
}

TEST_F(LogFileOpen, RowsPastTheLastSampleAreLeftOutAndTold) {
    std::string text = "[SR20DET]\r\nTime(S)\tMAPN\tMAPP\t\r\n";
    for (int row = 0; row < LogStore::kMaxRunSamples + 3; ++row)
        text += std::to_string(row) + "\t 1 \t 2 \t\r\n";
    write(text);
    store.setLogTime(LogStore::kMaxRunSamples, -1);
    ASSERT_TRUE(openLogFile(store, items, prompts, file.string(), "big.txt"));
    EXPECT_EQ(store.LogLast, LogStore::kMaxRunSamples - 1);
    EXPECT_EQ(store.LogTime(store.LogLast), store.LogLast * 1000);
    EXPECT_EQ(store.LogTime(LogStore::kMaxRunSamples), -1);
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.texts()[0], "big.txt holds 32770 samples; only the first 32767 were opened.");
}

TEST_F(LogFileOpen, FieldsReadAsTheirNumericPrefixDamagedRowsAreToldACutOneLeftOut) {
    // Lines 4 to 7 are not whole rows of numbers; line 9 ends where the file was cut.
    write(
        "[SR20DET]\r\nTime(S)\tMAPN\tMAPP\t\r\n.250\t 12 \t-3 \t\r\n12.345\t1 2\tx\t\r\n"
        "-.5\t-.25\t3.5V\t\r\n2\t 1e2 \r\nabc\t.\t+7\t\r\n.3\t 5 \t 6 \t\r\n.4\t 7");
    const std::string n = file.filename().string();
    const std::vector<std::string> told = {
        "Line 4 of " + n +
            " and 3 lines after it are not whole rows of numbers; what cannot be read in them "
            "shows as 0.",
        "The last line of " + n +
            ", line 9, ends in the middle of a row; that sample was left out."};
    ASSERT_TRUE(openLogFile(store, items, prompts, file.string(), n));
    EXPECT_EQ(prompts.texts(), told);
    ASSERT_EQ(store.LogLast, 5);
    const std::tuple<std::int32_t, double, double> read[] = {
        {250, 12, -3}, {12345, 12, 0}, {-500, -0.25, 3.5}, {2000, 100, 0}, {0, 0, 7}, {300, 5, 6}};
    for (int s = 0; s <= store.LogLast; ++s)
        EXPECT_EQ(std::make_tuple(store.LogTime(s), store.LogData(62, s), store.LogData(63, s)),
                  read[s])
            << s;
    // The export tells the same, and its CSV has no row for the cut one.
    prompts.clear();
    ASSERT_TRUE(exportLogCsv(file.string(), csv.string(), prompts, writer));
    EXPECT_EQ(prompts.texts(), told);
    std::ifstream in(csv, std::ios::binary);
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}).ends_with("\n0.300,5,6\n"));
}

TEST_F(LogFileOpen, AnotherVersionsHeadingsAreToldNotShownAsZeros) {
    TraceItems pressure;
    pressure.TraceName[1] = "PIM";
    const std::string why =
        "Line 2 of t2d.txt names \"PIM\", which is no item of this version: "
        "the log was taken under another version's layout";
    include(store, {kGroupAdvanced});
    write(logFileText(store, pressure));
    store.LogLast = 5;
    EXPECT_FALSE(openLogFile(store, items, prompts, file.string(), "t2d.txt"));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{why + " and cannot be shown."});
    EXPECT_EQ(store.LogLast, 5);
    // With a group this version knows, the log opens without the other one and says so.
    include(store, {kGroupMap, kGroupAdvanced});
    write(logFileText(store, pressure));
    prompts.clear();
    EXPECT_TRUE(openLogFile(store, items, prompts, file.string(), "t2d.txt"));
    EXPECT_EQ(store.IncludeGroup, (std::array<bool, 5>{false, false, false, true, false}));
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{why + ", and the group of that column is left out."});
}

TEST_F(LogFileOpen, ATargetThatCannotTakeTheLogIsFoundBeforeTheRun) {
    write("an older log");
    // The disk's free space is the test's own: other tests write beside it.
    const auto freeBytes = [](std::uintmax_t n) {
        return [n](const std::string&) { return std::optional<std::uintmax_t>(n); };
    };
    constexpr std::uintmax_t kMB = 1024 * 1024;
    const std::string folder = file.parent_path().string();
    EXPECT_EQ(logTargetProblem(file.string(), kMB, freeBytes(kMB)), "");
    EXPECT_EQ(logTargetProblem(file.string(), 50 * kMB, freeBytes(20 * kMB)),
              "Only 20 MB are free in " + folder +
                  ", and the log may take up to 50 MB; make room or log fewer samples.");
#ifdef __linux__
    EXPECT_TRUE(logTargetProblem("/dev/null", 1).starts_with("/dev/null is not a regular file"));
    EXPECT_TRUE(logTargetProblem("/proc/a.txt", 1).starts_with("The log cannot be saved in /proc"));
#endif
    // A journal on the same disk grows as the log does and stays until it is saved: a log that
    // would just fit alone does not fit beside its journal (not yet made: its folder is new).
    const std::string journals = (file.parent_path() / "Logs" / "new").string();
    EXPECT_EQ(logRunProblem(file.string(), 500 * 1024, journals, freeBytes(kMB)), "");
    EXPECT_EQ(logRunProblem(file.string(), 600 * 1024, "", freeBytes(kMB)), "");
    EXPECT_EQ(logRunProblem(file.string(), 600 * 1024, journals, freeBytes(kMB)),
              "Only 1024 kB are free in " + folder +
                  ", and the log and its journal may take up to 1200 kB; make room or log fewer "
                  "samples.");
}

TEST_F(LogFileOpen, CsvExportQuotesNamesAndKeepsFullValues) {
    TraceItems named;
    named.InitTraceItemLookup(AuxNames{{"", "A,B", "say \"hi\"", "EGT"}, false, false});
    include(store, {kGroupAux, kGroupMap});
    store.LogLast = 1;
    store.setLogTime(1, 12345);
    store.setLogData(54, 1, static_cast<float>(100.0 / 51));
    store.setLogData(62, 1, 12);
    store.setLogData(63, 1, -0.25);
    const std::string text = logCsvText(store, named);
    EXPECT_TRUE(
        text.starts_with("Time (s),AN1 raw,AN2 raw,AN3 raw,AN4 raw,\"AN1 \",\"AN2 A,B\","
                         "\"AN3 say \"\"hi\"\"\",AN4 EGT,MAPN,MAPP\n0.000,"));
    EXPECT_TRUE(text.ends_with("\n12.345,1.9607843,0,0,0,0,0,0,0,12,-0.25\n"));

    write(logFileText(store, named));
    // The export takes the file's own columns, also under item names of another version.
    ASSERT_TRUE(exportLogCsv(file.string(), csv.string(), prompts, writer));
    std::ifstream in(csv, std::ios::binary);
    const std::string exported(std::istreambuf_iterator<char>(in), {});
    EXPECT_TRUE(exported.starts_with("Time (s),AN1 raw,AN2 raw,")) << exported;
    EXPECT_TRUE(exported.ends_with("\n12.345,1.96,0,0,0,0,0,0,0,12,-0.25\n")) << exported;
}

TEST_F(LogFileOpen, CsvMathColumnsFollowTheLoggedItems) {
    include(store, {kGroupMap});
    store.LogLast = 2;
    for (int s = 0; s <= 2; ++s) {
        store.setLogTime(s, 100 * s);
        store.setLogData(62, s, static_cast<float>(10 + s));
        store.setLogData(63, s, 0.5f);
    }
    // A math item over an item not logged gets no column; one with nothing to compute an empty
    // field.
    const auto math = MathItems::compile(
        {{"Sum", "N + P[-1]"}, {"Rpm twice", "Rpm * 2"}, {"Inv, N", "1 / (N - 11)"}}, items);
    ASSERT_TRUE(math);
    const std::string text = logCsvText(store, items, math.get());
    EXPECT_EQ(text,
              "Time (s),MAPN,MAPP,Sum,\"Inv, N\"\n0.000,10,0.5,10.5,-1\n0.100,11,0.5,11.5,\n"
              "0.200,12,0.5,12.5,1\n");
    write(logFileText(store, items));
    std::ifstream in(file, std::ios::binary);
    const std::optional<LogCsv> fromFile =
        logTextAsCsv(std::string(std::istreambuf_iterator<char>(in), {}), math.get(), items);
    ASSERT_TRUE(fromFile);
    EXPECT_EQ(fromFile->text, text);
}

TEST(LogFileNames, DefaultName) {
    std::tm when{};
    when.tm_year = 124;
    when.tm_mon = 2;
    when.tm_mday = 7;
    when.tm_hour = 9;
    when.tm_min = 5;
    EXPECT_EQ(defaultLogName(when), "Log_20240307_0905.txt");
    when.tm_mon = 12;
    EXPECT_EQ(defaultLogName(when), "Log1.txt");
}

}  // namespace
}  // namespace tunalyx

namespace tunalyx {
namespace {

TEST(LogFileNames, APartOfALongRunIsNamedAfterItsFirstLog) {
    EXPECT_EQ(continuedLogPath("/logs/drive.txt", 0), "/logs/drive.txt");
    EXPECT_EQ(continuedLogPath("/logs/drive.txt", 2), "/logs/drive-002.txt");
    EXPECT_EQ(continuedLogPath("drive.txt", 1234), "drive-1234.txt");
    EXPECT_TRUE(continuesLog("/logs/drive.txt", "/logs/drive-001.txt"));
    EXPECT_TRUE(continuesLog("/logs/drive-001.txt", "/logs/drive-002.txt"));
    // Not the next part, another run's part, or a name that only looks numbered.
    EXPECT_FALSE(continuesLog("/logs/drive.txt", "/logs/drive-002.txt"));
    EXPECT_FALSE(continuesLog("/logs/city.txt", "/logs/drive-001.txt"));
    EXPECT_FALSE(continuesLog("/logs/drive.txt", "/logs/drive-01.txt"));
    EXPECT_FALSE(continuesLog("/logs/drive-000.txt", "/logs/drive-001.txt"));
    EXPECT_FALSE(continuesLog("/logs/2026.txt", "/logs/2026-12-06.txt"));
    EXPECT_EQ(logFilePartOf("/logs/run-7-003.txt").first, "/logs/run-7.txt");
    EXPECT_EQ(logFilePartOf("/logs/run-7-003.txt").part, 3);
}

}  // namespace
}  // namespace tunalyx
