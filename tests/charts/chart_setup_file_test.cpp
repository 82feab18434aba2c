#include "charts/chart_setup_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/plain_file_writer.h"
#include "support/recording_prompts.h"

namespace tunalyx {
namespace {

using test::RecordingPrompts;

constexpr ChartSetupVersion kVersion{"SR20DET2", "2.21"};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    EXPECT_EQ(at, text.size()) << "every line ends with CR LF";
    return lines;
}

ChartConfig twoPanesTracesZeroAndFive() {
    ChartConfig config;
    config.Charts = 2;
    config.ChartMin[1] = -10;
    config.ChartBackColour[1] = 0xFFFFFF;
    config.TraceItem[0] = 1;  // Rpm
    config.TraceItem[5] = 9;  // Boost
    config.TraceChart[5] = 1;
    config.TraceMinVal[5] = -1.5;
    config.TraceMaxVal[5] = 2;
    config.TraceCaption[5] = "- Boost";
    return config;
}

TEST(ChartSetupWriter, PanesShownThenTwentyTraceBlocks) {
    const std::vector<std::string> lines =
        linesOf(chartSetupText(twoPanesTracesZeroAndFive(), TraceItems(), kVersion));
    const std::vector<std::string> head(lines.begin(), lines.begin() + 12);
    EXPECT_EQ(head, (std::vector<std::string>{
                        "[Corvalink Chart Setup File]", "VerName\tSR20DET2", "VerNumber\t2.21",
                        "Charts\t2", "ChartID\t0", "ChartMin\t0", "ChartMax\t250",
                        "ChartBackColor\t12632256", "ChartID\t1", "ChartMin\t-10", "ChartMax\t250",
                        "ChartBackColor\t16777215"}));

    std::vector<std::size_t> blockSizes;
    for (std::size_t i = 12; i < lines.size(); ++i) {
        if (lines[i].starts_with("TraceID\t")) blockSizes.push_back(0);
        ASSERT_FALSE(blockSizes.empty()) << lines[i];
        ++blockSizes.back();
    }
    ASSERT_EQ(blockSizes.size(), 20u);
    for (std::size_t t = 0; t < 20; ++t)
        EXPECT_EQ(blockSizes[t], t == 0 || t == 5 ? 10u : 7u) << t;

    const auto five = std::find(lines.begin(), lines.end(), "TraceID\t5");
    ASSERT_NE(five, lines.end());
    EXPECT_EQ(std::vector<std::string>(five, five + 10),
              (std::vector<std::string>{"TraceID\t5", "TraceItem\t9", "TraceGroup\t4",
                                        "TraceGroupIndex\t8", "TraceItemName\tBoost",
                                        "TraceChart\t1", "TraceColor\t255", "TraceMinVal\t-1.5",
                                        "TraceMaxVal\t2", "TraceCaption\t- Boost"}));
}

TEST(ChartSetupReader, SavedFileComesBackAsItWas) {
    ChartConfig saved = twoPanesTracesZeroAndFive();
    saved.Charts = 4;  // only the panes shown are saved
    saved.ChartMax[3] = 0.125;
    saved.TraceColour[19] = 0xABCDEF;
    saved.TraceItem[19] = 64;
    const auto path = std::filesystem::temp_directory_path() / "tunalyx_chart_setup_test.dcf";
    test::PlainFileWriter writer;
    ASSERT_EQ(saveChartSetup(saved, TraceItems(), kVersion, writer, path.string()), "");

    RecordingPrompts prompts;
    ChartConfig loaded;
    EXPECT_TRUE(openChartSetup(path.string(), loaded, TraceItems(), kVersion, prompts));
    EXPECT_EQ(loaded, saved);
    EXPECT_TRUE(prompts.messages().empty());
    std::filesystem::remove(path);

    ChartConfig untouched;
    EXPECT_FALSE(openChartSetup(path.string(), untouched, TraceItems(), kVersion, prompts));
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{"Error Opening Corvalink Chart Setup File"});
    EXPECT_EQ(untouched, ChartConfig());
}

TEST(ChartSetupReader, OtherVersionAsksAndNoLeavesTheConfigAsItWas) {
    // Pane lines before "Charts" would be applied already if the reader worked on the original.
    const std::string text =
        "VerName\tSR20DET1\r\nChartID\t0\r\nChartMin\t-99\r\nCharts\t3\r\nChartMax\t7\r\n";
    ChartConfig config;
    RecordingPrompts prompts;
    EXPECT_FALSE(applyChartSetupText(text, config, TraceItems(), kVersion, prompts));
    EXPECT_EQ(config, ChartConfig());
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].text,
              "The Setup File does not match the current PFC version.\n"
              "Some items may not match. Do you want to proceed?");
    EXPECT_EQ(prompts.messages()[0].buttons, MessageButtons::YesNo);

    prompts.answerNext(MessageAnswer::Yes);
    EXPECT_TRUE(applyChartSetupText(text, config, TraceItems(), kVersion, prompts));
    EXPECT_EQ(config.Charts, 3);
    EXPECT_EQ(config.ChartMin[0], -99);
    EXPECT_EQ(config.ChartMax[0], 7);
}

TEST(ChartSetupReader, ItemFoundByNumberThenGroupAndIndexThenName) {
    struct Case {
        const char* lines;
        int item;
    };
    for (const Case& c : {
             Case{"TraceItem\t9\r\n", 9},
             Case{"TraceItem\t40\r\nTraceGroup\t4\r\nTraceGroupIndex\t8\r\n", 9},
             // Another version's table holds Rpm elsewhere in the group: the name wins.
             Case{"TraceItem\t2\r\nTraceGroup\t4\r\nTraceGroupIndex\t1\r\nTraceItemName\tRpm\r\n",
                  1},
             // No such slot in this table: the number stands.
             Case{"TraceItem\t9\r\nTraceGroup\t3\r\nTraceGroupIndex\t5\r\n", 9},
         }) {
        const std::string text = std::string(
                                     "VerName\tSR20DET2\r\nVerNumber\t2.21\r\n"
                                     "Charts\t1\r\nTraceID\t3\r\n") +
                                 c.lines;
        ChartConfig config;
        RecordingPrompts prompts;
        EXPECT_TRUE(applyChartSetupText(text, config, TraceItems(), kVersion, prompts));
        EXPECT_EQ(config.TraceItem[3], c.item) << c.lines;
        EXPECT_TRUE(prompts.messages().empty()) << c.lines;
    }
}

TEST(ChartSetupReader, PimSavedUnderPressureNamingKeptByGroupAndIndex) {
    TraceItems pressure;
    pressure.TraceName[1] = "PIM";
    ChartConfig saved;
    saved.TraceItem[0] = 2;
    const std::string text = chartSetupText(saved, pressure, kVersion);
    EXPECT_NE(text.find("TraceItemName\tPIM\r\n"), std::string::npos);

    ChartConfig loaded;
    RecordingPrompts prompts;
    const TraceItems airFlow;
    EXPECT_TRUE(applyChartSetupText(text, loaded, airFlow, kVersion, prompts));
    EXPECT_EQ(airFlow.TraceName[static_cast<std::size_t>(loaded.TraceItem[0] - 1)], "Load");
    ASSERT_EQ(prompts.texts(), std::vector<std::string>{"Item PIM not found."});
    EXPECT_EQ(prompts.messages()[0].icon, MessageIcon::Critical);
}

TEST(ChartSetupReader, TabInACaptionIsWrittenButCutsItOnLoading) {
    ChartConfig saved;
    saved.TraceCaption[2] = "Boost\tpsi";
    const std::string text = chartSetupText(saved, TraceItems(), kVersion);
    EXPECT_NE(text.find("TraceCaption\tBoost\tpsi\r\n"), std::string::npos);
    ChartConfig loaded;
    RecordingPrompts prompts;
    EXPECT_TRUE(applyChartSetupText(text, loaded, TraceItems(), kVersion, prompts));
    EXPECT_EQ(loaded.TraceCaption[2], "Boost");
}

TEST(ChartSetupReader, EntriesOfAPaneOrTraceOutOfRangeAreDropped) {
    // LF alone ends a line as well.
    const std::string text =
        "VerName\tSR20DET2\nVerNumber\t2.21\nCharts\t0\nChartID\t9\nChartMin\t5\n"
        "TraceID\t20\nTraceItem\t3\nTraceID\t1\nTraceItem\t65\nTraceChart\t4\nTraceColor\t-1\n";
    ChartConfig config;
    RecordingPrompts prompts;
    EXPECT_TRUE(applyChartSetupText(text, config, TraceItems(), kVersion, prompts));
    ChartConfig expected;
    expected.TraceColour[1] = 0xFFFFFFFF;
    EXPECT_EQ(config, expected);
}

}  // namespace
}  // namespace tunalyx
