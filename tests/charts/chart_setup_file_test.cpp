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

constexpr SetupFileVersion kVersion{"SR20DET2", "2.21"};

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
    saved.TraceCaption[2] = "Boost\tpsi";  // written as it is, cut at the TAB when read
    const auto path = std::filesystem::temp_directory_path() / "tunalyx_chart_setup_test.dcf";
    test::PlainFileWriter writer;
    ASSERT_EQ(saveChartSetup(saved, TraceItems(), kVersion, writer, path.string()), "");

    RecordingPrompts prompts;
    ChartConfig loaded;
    EXPECT_TRUE(openChartSetup(path.string(), loaded, TraceItems(), kVersion, prompts));
    saved.TraceCaption[2] = "Boost";
    EXPECT_EQ(loaded, saved);
    EXPECT_TRUE(prompts.messages().empty());
    std::filesystem::remove(path);

    ChartConfig untouched;
    EXPECT_FALSE(openChartSetup(path.string(), untouched, TraceItems(), kVersion, prompts));
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{"Error Opening Corvalink Chart Setup File"});
    EXPECT_EQ(untouched, ChartConfig());
}

TEST(ChartSetupFile, MathItemsComeBackAndOtherReadersSeeNoItem) {
    ChartConfig saved = twoPanesTracesZeroAndFive();
    saved.MathDefinitions = {{"Twice", "Rpm * 2"}, {"Lag", "smooth(Twice, 0.5s)@-1s"}};
    saved.TraceItem[7] = kFirstMathTraceItem + 1;
    saved.TraceCaption[7] = "- Lag";
    const std::string text = chartSetupText(saved, TraceItems(), kVersion);
    const std::vector<std::string> lines = linesOf(text);
    const auto seven = std::find(lines.begin(), lines.end(), "TraceID\t7");
    ASSERT_NE(seven, lines.end());
    EXPECT_EQ(std::vector<std::string>(seven + 1, seven + 3),
              (std::vector<std::string>{"TraceItem\t0", "TraceMath\tLag"}));
    EXPECT_EQ(
        std::vector<std::string>(lines.end() - 4, lines.end()),
        (std::vector<std::string>{"MathName\tTwice", "MathExpression\tRpm * 2", "MathName\tLag",
                                  "MathExpression\tsmooth(Twice, 0.5s)@-1s"}));

    RecordingPrompts prompts;
    ChartConfig loaded;
    loaded.MathDefinitions = {{"Old", "1"}};  // replaced, not added to
    EXPECT_TRUE(applyChartSetupText(text, loaded, TraceItems(), kVersion, prompts));
    EXPECT_EQ(loaded, saved);
    EXPECT_TRUE(prompts.messages().empty());

    // A file without math lines, as older programs write them, leaves no math items.
    ChartConfig plain;
    plain.MathDefinitions = saved.MathDefinitions;
    EXPECT_TRUE(
        applyChartSetupText(chartSetupText(twoPanesTracesZeroAndFive(), TraceItems(), kVersion),
                            plain, TraceItems(), kVersion, prompts));
    EXPECT_EQ(plain, twoPanesTracesZeroAndFive());
}

TEST(ChartSetupReader, AMathItemThatDoesNotParseRefusesTheFile) {
    const std::string text =
        "VerName\tSR20DET2\r\nVerNumber\t2.21\r\nCharts\t2\r\n"
        "MathName\tLag\r\nMathExpression\tRpm[-1\r\n";
    ChartConfig config;
    RecordingPrompts prompts;
    EXPECT_FALSE(applyChartSetupText(text, config, TraceItems(), kVersion, prompts));
    EXPECT_EQ(config, ChartConfig());
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{
                                   "Error Opening Corvalink Chart Setup File\nMath item \"Lag\": "
                                   "Missing ] at 7. Nothing was changed."});
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
}

TEST(ChartSetupReader, ItemFoundByNumberThenGroupAndIndexThenName) {
    struct Case {
        const char* lines;
        int item;
        std::vector<std::string> messages;
    };
    for (const Case& c : {
             Case{"TraceItem\t9\r\n", 9, {}},
             Case{"TraceItem\t40\r\nTraceGroup\t4\r\nTraceGroupIndex\t8\r\n", 9, {}},
             // Another version's table holds Rpm elsewhere in the group: the name wins.
             Case{"TraceItem\t2\r\nTraceGroup\t4\r\nTraceGroupIndex\t1\r\nTraceItemName\tRpm\r\n",
                  1,
                  {}},
             // No such slot in this table: the number stands.
             Case{"TraceItem\t9\r\nTraceGroup\t3\r\nTraceGroupIndex\t5\r\n", 9, {}},
             // Saved under the pressure sensor's naming, loaded under the air flow's: "Load".
             Case{"TraceItem\t2\r\nTraceGroup\t4\r\nTraceGroupIndex\t1\r\nTraceItemName\tPIM\r\n",
                  2,
                  {"Item PIM not found."}},
         }) {
        const std::string text = std::string(
                                     "VerName\tSR20DET2\r\nVerNumber\t2.21\r\n"
                                     "Charts\t1\r\nTraceID\t3\r\n") +
                                 c.lines;
        ChartConfig config;
        RecordingPrompts prompts;
        EXPECT_TRUE(applyChartSetupText(text, config, TraceItems(), kVersion, prompts));
        EXPECT_EQ(config.TraceItem[3], c.item) << c.lines;
        EXPECT_EQ(prompts.texts(), c.messages) << c.lines;
    }
}

TEST(ChartSetupReader, ADamagedFileChangesNothingAndSaysWhichLine) {
    struct Case {
        const char* key;
        const char* value;
        const char* why;  // what the value must be
    };
    for (const Case& c : {
             Case{"Charts", "0", "must be a whole number from 1 to 4"},
             Case{"ChartID", "4", "must be a whole number from 0 to 3"},
             Case{"TraceID", "20", "must be a whole number from 0 to 19"},
             Case{"TraceItem", "65", "must be a whole number from 0 to 64"},
             Case{"TraceChart", "4", "must be a whole number from 0 to 3"},
             Case{"TraceColor", "4294967296", "is not a colour"},
         }) {
        // The lines around it are fine, and none of them may reach the chart.
        const std::string text = "VerName\tSR20DET2\r\nVerNumber\t2.21\r\nChartMin\t-5\r\n" +
                                 std::string(c.key) + "\t" + c.value + "\r\nTraceItem\t3\r\n";
        ChartConfig config;
        RecordingPrompts prompts;
        EXPECT_FALSE(applyChartSetupText(text, config, TraceItems(), kVersion, prompts));
        EXPECT_EQ(config, ChartConfig()) << c.key;
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{
                                       "Error Opening Corvalink Chart Setup File\nLine 4 gives " +
                                       std::string(c.key) + " as \"" + c.value + "\", which " +
                                       c.why + ". Nothing was changed."});
    }
}

}  // namespace
}  // namespace tunalyx
