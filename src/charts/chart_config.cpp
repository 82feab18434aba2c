#include "charts/chart_config.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>
#include <type_traits>

#include "model/descriptors.h"
#include "model/number_format.h"

namespace tunalyx {

namespace {

using Field = std::string_view;

std::optional<long long> wholeNumber(Field text, double low, double high) {
    const std::optional<double> v = readChartNumber(text);
    if (!v || *v != std::trunc(*v) || *v < low || *v > high) return std::nullopt;
    return static_cast<long long>(*v);
}

std::optional<int> paneIndex(Field text) {
    return readChartIndex(text, ChartConfig::kPanes);
}

std::optional<int> itemNumber(Field text) {
    return readChartIndex(text, kFirstMathTraceItem + kMaxMathItems);
}

std::optional<std::string> caption(Field text) {
    return std::string(text);
}

template <typename T, std::size_t N, typename Convert>
void readList(const SettingsStore& store, const char* key, std::array<T, N>& out, Convert convert) {
    const std::optional<std::string> text = store.value(key);
    if (!text) return;
    const std::vector<Field> fields = splitFields(*text);
    for (std::size_t i = 0; i < std::min(N, fields.size()); ++i)
        if (const auto v = convert(fields[i])) out[i] = static_cast<T>(*v);
}

// The captions are kept as one comma-separated list: a comma in one, typed or loaded from a
// setup file, would split it.
std::string listCaption(std::string caption) {
    std::replace(caption.begin(), caption.end(), ',', ';');
    return caption;
}

std::string listNumber(double value) {
    return withLeadingBlank(chartNumberText(value));
}

template <typename T, std::size_t N>
void writeList(SettingsStore& store, const char* key, const std::array<T, N>& values) {
    std::string text;
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0) text += ',';
        if constexpr (std::is_same_v<T, std::string>)
            text += listCaption(values[i]);
        else
            text += listNumber(static_cast<double>(values[i]));
    }
    store.setValue(key, text);
}

}  // namespace

std::optional<double> readChartNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    // "&HC0C0C0&": the trailing "&" only marks a 32-bit literal.
    if (text.size() > 3 && text.front() == '&' && text.back() == '&') text.remove_suffix(1);
    return parseFieldNumber(text);
}

std::optional<int> readChartIndex(std::string_view text, int count) {
    const auto v = wholeNumber(text, 0, count - 1);
    return v ? std::optional<int>(static_cast<int>(*v)) : std::nullopt;
}

std::optional<ChartColour> readChartColour(std::string_view text) {
    const auto v = wholeNumber(text, std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::uint32_t>::max());
    return v ? std::optional<ChartColour>(static_cast<ChartColour>(*v)) : std::nullopt;
}

std::string chartNumberText(double value) {
    return shortestDecimal(value);
}

void loadChartSettings(const SettingsStore& store, ChartConfig& config) {
    if (const auto text = store.value("Charts"))
        if (const auto v = readChartIndex(*text, ChartConfig::kPanes + 1); v && *v >= 1)
            config.Charts = *v;
    readList(store, "ChartMin", config.ChartMin, readChartNumber);
    readList(store, "ChartMax", config.ChartMax, readChartNumber);
    readList(store, "ChartBackColour", config.ChartBackColour, readChartColour);
    readList(store, "TraceItem", config.TraceItem, itemNumber);
    readList(store, "TraceChart", config.TraceChart, paneIndex);
    readList(store, "TraceColour", config.TraceColour, readChartColour);
    readList(store, "TraceMinVal", config.TraceMinVal, readChartNumber);
    readList(store, "TraceMaxVal", config.TraceMaxVal, readChartNumber);
    readList(store, "TraceCaption", config.TraceCaption, caption);
    config.MathDefinitions.clear();
    const auto count = store.value("MathItems");
    const auto n = count ? readChartIndex(*count, kMaxMathItems + 1) : std::nullopt;
    for (int k = 1; k <= n.value_or(0); ++k) {
        const std::string at = std::to_string(k);
        config.MathDefinitions.push_back({store.value("MathName" + at).value_or(""),
                                          store.value("MathExpression" + at).value_or("")});
    }
}

void saveChartSettings(SettingsStore& store, const ChartConfig& config) {
    store.setInteger("Charts", config.Charts);
    writeList(store, "ChartMin", config.ChartMin);
    writeList(store, "ChartMax", config.ChartMax);
    writeList(store, "ChartBackColour", config.ChartBackColour);
    writeList(store, "TraceItem", config.TraceItem);
    writeList(store, "TraceChart", config.TraceChart);
    writeList(store, "TraceColour", config.TraceColour);
    writeList(store, "TraceMinVal", config.TraceMinVal);
    writeList(store, "TraceMaxVal", config.TraceMaxVal);
    writeList(store, "TraceCaption", config.TraceCaption);
    store.setInteger("MathItems", static_cast<int>(config.MathDefinitions.size()));
    for (std::size_t k = 0; k < config.MathDefinitions.size(); ++k) {
        const std::string at = std::to_string(k + 1);
        store.setValue("MathName" + at, config.MathDefinitions[k].name);
        store.setValue("MathExpression" + at, config.MathDefinitions[k].expression);
    }
}

std::shared_ptr<const MathItems> compileChartMath(ChartConfig& config, const TraceItems& items,
                                                  std::string* error) {
    std::shared_ptr<const MathItems> math =
        MathItems::compile(config.MathDefinitions, items, error);
    if (!math) config.MathDefinitions.clear();
    const int last = kFirstMathTraceItem + static_cast<int>(config.MathDefinitions.size()) - 1;
    for (int& item : config.TraceItem)
        if (item > last) item = 0;
    if (!math || math->count() == 0) return nullptr;
    return math;
}

TraceScale traceScale(const ChartConfig& config, int trace) {
    const auto t = static_cast<std::size_t>(trace);
    const int lastPane = std::clamp(config.Charts, 1, ChartConfig::kPanes) - 1;
    TraceScale s;
    s.pane = std::clamp(config.TraceChart.at(t), 0, lastPane);
    const double low = config.ChartMin[static_cast<std::size_t>(s.pane)];
    const double high = config.ChartMax[static_cast<std::size_t>(s.pane)];
    const double range = config.TraceMaxVal[t] - config.TraceMinVal[t];
    s.scale = range != 0 ? (high - low) / range : 0;
    s.offset = high - s.scale * config.TraceMaxVal[t];
    if (!std::isfinite(s.scale) || !std::isfinite(s.offset)) {
        s.scale = 0;
        s.offset = high;
    }
    return s;
}

std::vector<CaptionPlace> captionPlaces(const ChartConfig& config) {
    const auto used = std::count_if(config.TraceItem.begin(), config.TraceItem.end(),
                                    [](int item) { return item > 0; });
    std::vector<CaptionPlace> places;
    int k = 0;
    for (int t = 0; t < ChartConfig::kUserTraces; ++t)
        if (config.TraceItem[static_cast<std::size_t>(t)] > 0)
            places.push_back({t, static_cast<double>(++k) / static_cast<double>(used + 1)});
    return places;
}

void replaceMathItems(ChartConfig& config, std::vector<MathDefinition> definitions,
                      const std::vector<int>& origins) {
    for (std::size_t t = 0; t < config.TraceItem.size(); ++t) {
        const int old = config.TraceItem[t] - kFirstMathTraceItem;
        if (old < 0) continue;
        const auto now = std::find(origins.begin(), origins.end(), old);
        const bool kept = now != origins.end() &&
                          now - origins.begin() < static_cast<std::ptrdiff_t>(definitions.size());
        const std::string ownCaption =
            static_cast<std::size_t>(old) < config.MathDefinitions.size()
                ? "- " + config.MathDefinitions[static_cast<std::size_t>(old)].name
                : std::string();
        if (!kept) {
            config.TraceItem[t] = 0;
            if (config.TraceCaption[t] == ownCaption) config.TraceCaption[t].clear();
            continue;
        }
        const auto k = static_cast<std::size_t>(now - origins.begin());
        config.TraceItem[t] = kFirstMathTraceItem + static_cast<int>(k);
        if (config.TraceCaption[t] == ownCaption)
            config.TraceCaption[t] = "- " + definitions[k].name;
    }
    config.MathDefinitions = std::move(definitions);
}

std::string itemCaption(const TraceItems& items, int traceItem,
                        const std::vector<MathDefinition>& math) {
    const auto k = static_cast<std::size_t>(traceItem - kFirstMathTraceItem);
    if (traceItem >= kFirstMathTraceItem && k < math.size()) return "- " + math[k].name;
    if (traceItem < 1 || traceItem > kTraceItemCount) return {};
    const std::string label = items.label(traceItem - 1);
    const std::size_t space = label.find(' ');
    return "- " + (space == std::string::npos ? label : label.substr(space + 1));
}

ChartColour newTraceColour(const ChartConfig& config, int trace) {
    // As 0x00BBGGRR, each readable on the grey background and against the others.
    static constexpr ChartColour kDistinct[] = {
        0x0000FF, 0xFF0000, 0x008000, 0xFF00FF, 0x0080FF, 0x808000, 0x800080, 0x004080,
        0x800000, 0x008080, 0x000000, 0x00FFFF, 0x00FF00, 0x000080, 0xFFFF00, 0xFFFFFF};
    const auto taken = [&](ChartColour colour) {
        for (int t = 0; t < ChartConfig::kUserTraces; ++t) {
            const auto at = static_cast<std::size_t>(t);
            if (t != trace && config.TraceItem[at] > 0 && config.TraceColour[at] == colour)
                return true;
        }
        return false;
    };
    const ChartColour own = config.TraceColour.at(static_cast<std::size_t>(trace));
    if (!taken(own)) return own;
    for (ChartColour colour : kDistinct)
        if (!taken(colour)) return colour;
    return own;
}

TimeWindow keepCursorInView(TimeWindow window, double cursor, double scrollLimit) {
    const double width = window.hi - window.lo;
    const double left = window.lo + 0.1 * width - cursor;
    if (left > 0 && window.lo > 0) {
        const double shift = std::min(left, window.lo);
        return {window.lo - shift, window.hi - shift};
    }
    const double right = cursor - window.lo - 0.9 * width;
    if (right > 0 && window.hi <= scrollLimit) return {window.lo + right, window.hi + right};
    return window;
}

int arrowStep(int sample, ChartArrow arrow, bool ctrl, int logLast) {
    const int step = ctrl ? 10 : 1;
    const long long next =
        static_cast<long long>(sample) + (arrow == ChartArrow::Left ? -step : step);
    return static_cast<int>(std::clamp<long long>(next, 0, std::max(logLast, 0)));
}

std::optional<int> nextPlaySample(int underCursor, int logLast) {
    if (underCursor >= logLast) return std::nullopt;
    return std::max(underCursor + 1, 0);
}

std::string chartSetupPath(const SettingsStore& store, const std::string& programFolder) {
    return store.folder("ChartSetupPath", programFolder, "Charts");
}

void rememberChartSetupPath(SettingsStore& store, const std::string& chosenPath) {
    store.rememberFolderOf("ChartSetupPath", chosenPath);
}

}  // namespace tunalyx
