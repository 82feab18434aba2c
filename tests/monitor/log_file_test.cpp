#include "monitor/log_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "model/descriptors.h"
#include "monitor/live_decode.h"
#include "ports/memory_settings_store.h"
#include "support/absolute_paths.h"
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
    };
    for (const Case& c : {
             Case{3.14159, "0.00", "3.14"}, Case{2.999, "0", "2"}, Case{0.5, "0.000", ".500"},
             Case{12, "0.000", "12.000"}, Case{-0.25, "0.00", "-.25"}, Case{-3.7, "0", "-3"},
             Case{0, "0.000", "0.000"}, Case{0.999, "0.0", ".9"}, Case{0.5, "0", "0"},
             // Held in single precision by the monitor: written as the single, not cut to 1.233.
             Case{static_cast<float>(1.234), "0.000", "1.234"},
             Case{static_cast<float>(0.29), "0.00", ".29"},
             Case{1e-5, "0.000", ".000"},  // never exponent notation
         })
        EXPECT_EQ(FormatTruncated(c.value, c.format), c.text) << c.value << " " << c.format;

    for (const auto& [value, text] : std::vector<std::pair<double, const char*>>{
             {1, " 1 "}, {37, " 37 "}, {0, " 0 "}, {-0.0, " 0 "}, {-3, "-3 "}, {0.5, " .5 "}})
        EXPECT_EQ(logNumberForm(value), text) << value;
}

TEST(LogFileWriter, OnlyAdvancedHeaderAndRowShape) {
    LogStore store;
    include(store, {kGroupAdvanced});
    store.LogLast = 1;
    store.setLogData(0, 1, 3000);                       // Rpm, "0"
    store.setLogData(13, 1, static_cast<float>(13.8));  // BatV, "0.0"
    const std::string text = logFileText(store, TraceItems());
    EXPECT_TRUE(text.starts_with("[SR20DET]\r\nTime(S)\tRpm\tLoad\tMAFS1 V\t"));
    const Fields l = lines(text);
    EXPECT_TRUE(l[1].ends_with("\tO2S2\tTPS V\t"));
    for (std::size_t i = 1; i < l.size(); ++i) {
        ASSERT_EQ(fields(l[i]).size(), 21u) << l[i];
        EXPECT_EQ(fields(l[i]).back(), "");
    }
    const Fields row = fields(l[3]);
    EXPECT_EQ(row[1], "3000");
    EXPECT_EQ(row[14], "13.8");
    EXPECT_EQ(text.find('\n'), text.find('\r') + 1);  // CR LF
}

TEST(LogFileWriter, GroupsInFileOrderEachInItsForm) {
    LogStore store;
    include(store, {kGroupMap, kGroupBasic});
    store.setLogData(62, 0, 12);
    store.setLogData(20, 0, 45.67);  // InjDuty, "0.0"
    std::string text = logFileText(store, TraceItems());
    EXPECT_TRUE(lines(text)[1].ends_with("\tBatVolt\tMAPN\tMAPP\t"));
    Fields row = fields(lines(text)[2]);
    ASSERT_EQ(row.size(), 1u + 10 + 2 + 1);
    EXPECT_EQ(row[1], "45.6");
    EXPECT_EQ(row[11], " 12 ");

    include(store, {0, 1, 2, 3, 4});
    store.setLogData(30, 0, static_cast<float>(0.29));        // sensor voltage, "0.00"
    store.setLogData(38, 0, 1);                               // switch bit, number form
    store.setLogData(54, 0, static_cast<float>(100.0 / 51));  // raw aux, "0.000"
    text = logFileText(store, TraceItems());
    row = fields(lines(text)[2]);
    ASSERT_EQ(row.size(), 1u + 63 + 1);
    EXPECT_EQ(row[11], ".29");
    EXPECT_EQ(row[19], " 1 ");
    EXPECT_EQ(row[35], "1.960");
    EXPECT_EQ(row[43], " 12 ");
}

TEST(LogFileWriter, SaveNeedsAGroupAndClearsUnsavedOnlyWhenWritten) {
    const fs::path file = fs::temp_directory_path() / "tunalyx_log_save.txt";
    fs::remove(file);
    test::PlainFileWriter writer;
    LogStore store;
    store.LogUnsaved = true;
    EXPECT_NE(saveLogFile(store, TraceItems(), writer, file.string()), "");
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(store.LogUnsaved);

    include(store, {kGroupAux});
    EXPECT_NE(saveLogFile(store, TraceItems(), writer, (file / "x").string()), "");
    EXPECT_TRUE(store.LogUnsaved);
    EXPECT_EQ(saveLogFile(store, TraceItems(), writer, file.string()), "");
    EXPECT_FALSE(store.LogUnsaved);
    {
        std::ifstream in(file, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
                  logFileText(store, TraceItems()));
    }  // closed first: Windows removes no file that is open
    fs::remove(file);
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
    std::vector<int> columnItems;
    for (int g : kPollOrder)
        for (int i = 0; saved.IncludeGroup[static_cast<std::size_t>(g)] &&
                        i < kGroupItemCount[static_cast<std::size_t>(g)];
             ++i)
            columnItems.push_back(items.lookup(g, i));
    const Fields rows = lines(text);
    std::string lf = text;
    std::erase(lf, '\r');
    for (const std::string& t : {text, lf}) {
        LogStore opened;
        opened.LogUnsaved = true;
        const LogReadResult r = readLogText(t, opened, items);
        ASSERT_TRUE(r.isLogFile);
        EXPECT_EQ(opened.LogLast, 499);
        EXPECT_EQ(opened.IncludeGroup, saved.IncludeGroup);
        EXPECT_FALSE(opened.LogUnsaved);
        // Each value reads back as the truncated text says, not as it was before saving.
        for (int s = 0; s < 500; ++s) {
            ASSERT_EQ(opened.LogTime(s), saved.LogTime(s)) << s;
            const Fields f = fields(rows[static_cast<std::size_t>(s) + 2]);
            for (std::size_t c = 0; c < columnItems.size(); ++c)
                ASSERT_EQ(opened.LogData(columnItems[c], s),
                          std::strtod(std::string(f[c + 1]).c_str(), nullptr))
                    << s << " " << f[c + 1];
        }
    }
}

TEST(LogFileReader, TimeStampsAndFieldsReadAsTheirNumericPrefix) {
    LogStore store;
    include(store, {kGroupMap});
    store.LogLast = 2;
    store.setLogTime(1, 250);
    store.setLogTime(2, 12345);
    const std::string text = logFileText(store, TraceItems());
    EXPECT_NE(text.find("\r\n0.000\t"), std::string::npos);
    EXPECT_NE(text.find("\r\n.250\t"), std::string::npos);
    EXPECT_NE(text.find("\r\n12.345\t"), std::string::npos);

    const std::string head = "[SR20DET]\nTime(S)\tMAPN\tMAPP\t\n";
    struct Case {
        const char* row;
        std::int32_t ms;
        double n, p;
    };
    for (const Case& c :
         {Case{".250\t 12 \t-3 \t", 250, 12, -3}, Case{"12.345\t1 2\tx", 12345, 12, 0},
          Case{"-.5\t-.25\t3.5V", -500, -0.25, 3.5}, Case{"2\t 1e2 ", 2000, 100, 0},
          Case{"", 0, 0, 0}, Case{"abc\t.\t+7", 0, 0, 7}}) {
        store.setLogData(62, 0, 99);
        store.setLogData(63, 0, 99);
        ASSERT_TRUE(readLogText(head + c.row, store, TraceItems()).isLogFile);
        EXPECT_EQ(store.LogTime(0), c.ms) << c.row;
        EXPECT_EQ(store.LogData(62, 0), c.n) << c.row;
        EXPECT_EQ(store.LogData(63, 0), c.p) << c.row;
    }
}

TEST(LogFileReader, GroupsFoundByTheirFirstTwoCurrentNames) {
    const TraceItems pressure = [] {
        TraceItems t;
        t.TraceName[1] = "PIM";  // Advanced item 1 in the pressure-sensor layout
        return t;
    }();
    const TraceItems airFlow;
    LogStore saved;
    fillRandom(saved, 3, 1);
    include(saved, {kGroupBasic, kGroupAdvanced});
    for (const auto& [writtenWith, readWith] :
         {std::pair{&pressure, &airFlow}, std::pair{&airFlow, &pressure}}) {
        LogStore opened;
        ASSERT_TRUE(readLogText(logFileText(saved, *writtenWith), opened, *readWith).isLogFile);
        EXPECT_TRUE(opened.IncludeGroup[kGroupBasic]);
        EXPECT_FALSE(opened.IncludeGroup[kGroupAdvanced]);
        EXPECT_EQ(opened.LogData(0, 2), 0);  // Rpm
    }

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
    ASSERT_TRUE(readLogText(text, opened, airFlow).isLogFile);
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
        EXPECT_EQ(prompts.messages()[0].icon, MessageIcon::Critical);
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

TEST(LogFileNames, LogPathAndDefaultName) {
    MemorySettingsStore settings;
    EXPECT_EQ(logPath(settings, "/opt/t"), "/opt/t/Logs/");
    const std::string root = test::absoluteRoot();
    rememberLogPath(settings, root + "home/me/runs/Log_1.txt");
    EXPECT_EQ(test::withForwardSlashes(logPath(settings, "/opt/t")), root + "home/me/runs/");

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
