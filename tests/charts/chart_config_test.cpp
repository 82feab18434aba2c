#include "charts/chart_config.h"

#include <gtest/gtest.h>

#include <string>

#include "ports/memory_settings_store.h"
#include "support/absolute_paths.h"

namespace tunalyx {
namespace {

TEST(ChartTraceScale, ValueRangeMapsOntoThePaneRange) {
    struct Case {
        double paneMin, paneMax, traceMin, traceMax, scale, offset;
    };
    for (const Case& c : {Case{0, 250, 0, 250, 1, 0}, Case{0, 250, 0, 100, 2.5, 0},
                          Case{10, 60, -20, 80, 0.5, 20}, Case{0, 100, 100, 0, -1, 100}}) {
        ChartConfig config;
        config.ChartMin[0] = c.paneMin;
        config.ChartMax[0] = c.paneMax;
        config.TraceMinVal[4] = c.traceMin;
        config.TraceMaxVal[4] = c.traceMax;
        const TraceScale s = traceScale(config, 4);
        EXPECT_DOUBLE_EQ(s.scale, c.scale) << c.traceMin << ".." << c.traceMax;
        EXPECT_DOUBLE_EQ(s.offset, c.offset) << c.traceMin << ".." << c.traceMax;
        EXPECT_DOUBLE_EQ(s.y(c.traceMin), c.paneMin);
        EXPECT_DOUBLE_EQ(s.y(c.traceMax), c.paneMax);
    }
}

TEST(ChartTraceScale, TraceOnAPaneNotShownUsesTheLastPaneAndItsRange) {
    ChartConfig config;
    config.Charts = 2;
    config.ChartMax = {250, 100, 50, 25};
    config.TraceChart[0] = 3;
    const TraceScale s = traceScale(config, 0);
    EXPECT_EQ(s.pane, 1);
    EXPECT_DOUBLE_EQ(s.y(250), 100);

    config.Charts = 4;
    EXPECT_EQ(traceScale(config, 0).pane, 3);
}

TEST(ChartTraceScale, EmptyOrOverflowingRangeLiesFlatAlongTheTop) {
    ChartConfig config;
    config.ChartMax[0] = 200;
    config.TraceMinVal[0] = config.TraceMaxVal[0] = 50;
    config.TraceMinVal[1] = -1e308;
    config.TraceMaxVal[1] = 1e308;  // the difference overflows
    for (int t : {0, 1}) {
        const TraceScale s = traceScale(config, t);
        EXPECT_EQ(s.scale, 0) << t;
        EXPECT_EQ(s.y(config.TraceMaxVal[static_cast<std::size_t>(t)]), 200) << t;
    }
}

TEST(ChartCaptions, SpreadEvenlyOverTheUsedTracesOnly) {
    ChartConfig config;
    EXPECT_TRUE(captionPlaces(config).empty());

    config.TraceItem[3] = 1;
    config.TraceItem[7] = 9;
    const std::vector<CaptionPlace> places = captionPlaces(config);
    ASSERT_EQ(places.size(), 2u);
    EXPECT_EQ(places[0].trace, 3);
    EXPECT_DOUBLE_EQ(places[0].along, 1.0 / 3);
    EXPECT_EQ(places[1].trace, 7);
    EXPECT_DOUBLE_EQ(places[1].along, 2.0 / 3);
}

TEST(ChartColours, ANewTraceTakesAColourNoOtherTraceIsDrawnIn) {
    ChartConfig config;  // every trace starts red
    config.TraceItem[0] = 1;
    config.TraceItem[4] = 2;
    config.TraceColour[4] = newTraceColour(config, 4);
    EXPECT_NE(config.TraceColour[4], config.TraceColour[0]);
    config.TraceItem[9] = 3;
    const ChartColour third = newTraceColour(config, 9);
    EXPECT_NE(third, config.TraceColour[0]);
    EXPECT_NE(third, config.TraceColour[4]);
    // A colour of the user's own, or one only traces without items have, stays.
    config.TraceColour[9] = 0x123456;
    EXPECT_EQ(newTraceColour(config, 9), ChartColour{0x123456});
    config.TraceItem[0] = 0;
    config.TraceColour[9] = config.TraceColour[0];
    EXPECT_EQ(newTraceColour(config, 9), config.TraceColour[0]);
}

TEST(ChartCaptions, ItemCaptionIsTheLabelAfterItsFirstBlank) {
    const TraceItems items;
    EXPECT_EQ(itemCaption(items, 1), "- Rpm");
    EXPECT_EQ(itemCaption(items, 5), "- Inj ms");  // "Advanced Inj ms"
    EXPECT_EQ(itemCaption(items, 31), "- AF-1");   // "Sensor/Sw AF-1"
    EXPECT_EQ(itemCaption(items, 55), "- AN1 raw");
    EXPECT_EQ(itemCaption(items, 0), "");  // "(None)"
    EXPECT_EQ(itemCaption(items, 65), "");
}

TEST(ChartSettings, SavedInListFormsAndReadBack) {
    ChartConfig config;
    config.Charts = 3;
    config.ChartMin[1] = -5;
    config.ChartMax[2] = 0.25;
    config.ChartBackColour[3] = 0xFFFFFF;
    config.TraceItem[19] = 64;
    config.TraceChart[2] = 3;
    config.TraceColour[0] = 0xFF0000;
    config.TraceMinVal[5] = -1.5;
    config.TraceMaxVal[6] = 1e20;
    config.TraceCaption[0] = "- Rpm";
    config.TraceCaption[1] = "AF, bank 1";  // a comma would split the list
    config.TraceItem[3] = kFirstMathTraceItem + 1;
    config.MathDefinitions = {{"Lag", "Rpm[-1]"},
                              {"Peak, smoothed", "max(Boost, smooth(Boost, 1s))"}};
    MemorySettingsStore store;
    saveChartSettings(store, config);
    EXPECT_EQ(store.text("ChartMin", ""), " 0,-5, 0, 0");
    EXPECT_EQ(store.text("ChartMax", ""), " 250, 250, 0.25, 250");
    EXPECT_EQ(store.text("TraceMaxVal", "").substr(0, 34), " 250, 250, 250, 250, 250, 250, 100");
    EXPECT_EQ(store.text("TraceCaption", ""), "- Rpm,AF; bank 1,,,,,,,,,,,,,,,,,,");

    ChartConfig loaded;
    loadChartSettings(store, loaded);
    config.TraceCaption[1] = "AF; bank 1";
    EXPECT_EQ(loaded, config);
}

TEST(ChartSettings, LoadTakesHexFewerFieldsAndSkipsWhatIsNotValid) {
    MemorySettingsStore store;
    store.setValue("Charts", "0");  // not a pane count
    store.setValue("ChartBackColour", "&HC0C0C0&,&HFF&, 65280");
    store.setValue("ChartMax", " 100,x, 300, 400, 500");
    store.setValue("TraceItem", " 1, 85, 64");
    store.setValue("TraceChart", " 3, 4,-1");
    store.setValue("TraceCaption", "a,b");
    ChartConfig config;
    config.ChartMax[1] = 7;
    loadChartSettings(store, config);
    EXPECT_EQ(config.Charts, 1);
    EXPECT_EQ(config.ChartBackColour,
              (std::array<ChartColour, 4>{0xC0C0C0, 0xFF, 0xFF00, 0xC0C0C0}));
    EXPECT_EQ(config.ChartMax, (std::array<double, 4>{100, 7, 300, 400}));
    EXPECT_EQ((std::array{config.TraceItem[0], config.TraceItem[1], config.TraceItem[2]}),
              (std::array{1, 0, 64}));
    EXPECT_EQ((std::array{config.TraceChart[0], config.TraceChart[1], config.TraceChart[2]}),
              (std::array{3, 0, 0}));
    EXPECT_EQ(config.TraceCaption[1], "b");
    EXPECT_EQ(config.TraceCaption[2], "");
    EXPECT_EQ(config.TraceColour[0], 0x0000FFu);  // no key: the default red
}

TEST(ChartSettings, MathThatNoLongerCompilesGoesWithItsTraces) {
    ChartConfig config;
    config.TraceItem = {1, kFirstMathTraceItem, kFirstMathTraceItem + 1, kFirstMathTraceItem + 2};
    config.MathDefinitions = {{"Twice", "Rpm * 2"}, {"More", "Twice + 1"}};
    const auto math = compileChartMath(config, TraceItems{});
    ASSERT_TRUE(math);
    EXPECT_EQ(math->count(), 2);
    EXPECT_EQ((std::array{config.TraceItem[1], config.TraceItem[2], config.TraceItem[3]}),
              (std::array{kFirstMathTraceItem, kFirstMathTraceItem + 1, 0}));

    // An aux input renamed: the math item reading it is gone, and so is its trace.
    config.MathDefinitions = {{"Wide", "\"AN1 Lambda\" * 2"}};
    AuxNames aux;
    aux.names[0] = "Lambda";
    TraceItems renamed;
    renamed.InitTraceItemLookup(aux);
    std::string error;
    ChartConfig kept = config;
    EXPECT_NE(compileChartMath(kept, renamed), nullptr);
    EXPECT_EQ(compileChartMath(config, TraceItems{}, &error), nullptr);
    EXPECT_EQ(error, "Math item \"Wide\": Unknown item \"AN1 Lambda\" at 1");
    EXPECT_TRUE(config.MathDefinitions.empty());
    EXPECT_EQ((std::array{config.TraceItem[0], config.TraceItem[1]}), (std::array{1, 0}));
}

TEST(ChartSettings, EditedMathItemsKeepTheirTraces) {
    ChartConfig config;
    config.MathDefinitions = {{"A", "1"}, {"B", "2"}, {"C", "3"}};
    config.TraceItem = {kFirstMathTraceItem, kFirstMathTraceItem + 1, kFirstMathTraceItem + 2, 9};
    config.TraceCaption = {"- A", "- B", "mine", "- Boost"};
    // A removed, C renamed, a new one added before C.
    replaceMathItems(config, {{"B", "2"}, {"New", "4"}, {"See", "3"}}, {1, -1, 2});
    EXPECT_EQ((std::array{config.TraceItem[0], config.TraceItem[1], config.TraceItem[2],
                          config.TraceItem[3]}),
              (std::array{0, kFirstMathTraceItem, kFirstMathTraceItem + 2, 9}));
    EXPECT_EQ((std::array<std::string, 3>{config.TraceCaption[0], config.TraceCaption[1],
                                          config.TraceCaption[2]}),
              (std::array<std::string, 3>{"", "- B", "mine"}));
    replaceMathItems(config, {{"B2", "2"}, {"See", "3"}}, {0, 2});
    EXPECT_EQ(config.TraceCaption[1], "- B2");
    EXPECT_EQ(config.TraceItem[2], kFirstMathTraceItem + 1);
}

TEST(ChartTimeAxis, CursorKeptBetweenTenAndNinetyPercent) {
    struct Case {
        TimeWindow window;
        double cursor, limit;
        TimeWindow expected;
    };
    for (const Case& c : {
             Case{{10, 20}, 15, 100, {10, 20}}, Case{{10, 20}, 10.5, 100, {9.5, 19.5}},
             Case{{0.5, 10.5}, 0, 100, {0, 10}},  // never before the log starts
             Case{{0, 10}, 0, 100, {0, 10}}, Case{{0, 10}, 9.5, 100, {0.5, 10.5}},
             Case{{0, 10}, 30, 100, {21, 31}}, Case{{0, 10}, 9.5, 10, {0.5, 10.5}},
             Case{{0, 10}, 9.5, 9.9, {0, 10}},  // past the scroll limit already
         }) {
        const TimeWindow w = keepCursorInView(c.window, c.cursor, c.limit);
        EXPECT_DOUBLE_EQ(w.lo, c.expected.lo) << c.window.lo << " " << c.cursor;
        EXPECT_DOUBLE_EQ(w.hi, c.expected.hi) << c.window.lo << " " << c.cursor;
    }
}

TEST(ChartTimeAxis, ArrowKeysStepWithinTheLog) {
    EXPECT_EQ(arrowStep(5, ChartArrow::Left, true, 100), 0);
    EXPECT_EQ(arrowStep(15, ChartArrow::Left, true, 100), 5);
    EXPECT_EQ(arrowStep(5, ChartArrow::Left, false, 100), 4);
    EXPECT_EQ(arrowStep(0, ChartArrow::Left, false, 100), 0);
    EXPECT_EQ(arrowStep(5, ChartArrow::Right, true, 100), 15);
    EXPECT_EQ(arrowStep(95, ChartArrow::Right, true, 100), 100);
    EXPECT_EQ(arrowStep(100, ChartArrow::Right, false, 100), 100);
}

TEST(ChartSetupPath, ProgramChartsFolderUntilOneIsChosen) {
    MemorySettingsStore store;
    EXPECT_EQ(chartSetupPath(store, "/opt/tunalyx"), "/opt/tunalyx/Charts/");
    const std::string root = test::absoluteRoot();
    rememberChartSetupPath(store, root + "home/me/setups/Setup1.dcf");
    EXPECT_EQ(test::withForwardSlashes(chartSetupPath(store, "/opt/tunalyx")),
              root + "home/me/setups/");
}

}  // namespace
}  // namespace tunalyx
