// The chart setup reader: the first byte answers the version question, the rest is the file. A
// No leaves the chart as it was; otherwise every pane and trace must stay drawable.
#include <cstdlib>

#include "charts/chart_setup_file.h"
#include "fuzz_doubles.h"

using namespace tunalyx;

namespace {

constexpr SetupFileVersion kVersion{"SR20DET1", "5.01 "};

bool drawable(const ChartConfig& c) {
    if (c.Charts < 1 || c.Charts > ChartConfig::kPanes) return false;
    for (int t = 0; t < ChartConfig::kUserTraces; ++t) {
        const auto i = static_cast<std::size_t>(t);
        const int last = kTraceItemCount + static_cast<int>(c.MathDefinitions.size());
        if (c.TraceItem[i] < 0 || c.TraceItem[i] > last) return false;
        if (c.TraceChart[i] < 0 || c.TraceChart[i] >= ChartConfig::kPanes) return false;
        const int pane = traceScale(c, t).pane;
        if (pane < 0 || pane >= c.Charts) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const TraceItems items;
    fuzz::BitPrompts prompts(data[0]);
    const ChartConfig before;
    ChartConfig config;

    const bool applied =
        applyChartSetupText(fuzz::textOf(data + 1, size - 1), config, items, kVersion, prompts);
    if (!applied && !(config == before)) std::abort();
    if (!drawable(config)) std::abort();
    (void)captionPlaces(config);
    for (int t = 0; t < ChartConfig::kUserTraces; ++t)
        (void)itemCaption(items, config.TraceItem[static_cast<std::size_t>(t)],
                          config.MathDefinitions);
    return 0;
}
