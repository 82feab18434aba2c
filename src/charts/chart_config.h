#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "charts/strip_chart.h"
#include "model/trace_items.h"
#include "monitor/math_items.h"
#include "ports/settings_store.h"

namespace tunalyx {

// TraceItem of a trace that shows math item k: kFirstMathTraceItem + k, after the live items.
inline constexpr int kFirstMathTraceItem = kFirstMathItem + 1;

// What the chart shows: the panes with their ranges and backgrounds, and for each of the 20
// traces its item, pane, colour, value range and caption. Shared by the chart window, its setup
// dialog and the setup files; the defaults are those of a first start.
struct ChartConfig {
    static constexpr int kPanes = 4;
    static constexpr int kUserTraces = StripChart::kUserTraces;  // traces set up with an item

    int Charts = 1;  // panes shown, 1..4
    std::array<double, kPanes> ChartMin{0, 0, 0, 0};
    std::array<double, kPanes> ChartMax{250, 250, 250, 250};
    std::array<ChartColour, kPanes> ChartBackColour{0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0};

    std::array<int, kUserTraces> TraceItem{};   // item + 1; 0 = no item on the trace
    std::array<int, kUserTraces> TraceChart{};  // pane, 0-based (may name a pane not shown)
    std::array<ChartColour, kUserTraces> TraceColour = filled<ChartColour>(0x0000FF);
    std::array<double, kUserTraces> TraceMinVal{};
    std::array<double, kUserTraces> TraceMaxVal = filled<double>(250);
    std::array<std::string, kUserTraces> TraceCaption;
    // The user's math items, kept with the traces that show them.
    std::vector<MathDefinition> MathDefinitions;

    bool operator==(const ChartConfig&) const = default;

private:
    template <typename T>
    static constexpr std::array<T, kUserTraces> filled(T v) {
        std::array<T, kUserTraces> a{};
        a.fill(v);
        return a;
    }
};

// Reads the chart keys of the settings store ("Charts", "ChartMin", ... "TraceCaption"). A list
// uses its first 4 or 20 fields; a missing key or field, or one that is not a number in range,
// leaves that entry as it was.
void loadChartSettings(const SettingsStore& store, ChartConfig& config);
// The math items are keys of their own: "MathItems" (how many), "MathName1", "MathExpression1"...
// Writes them back: numbers with a leading blank when not negative (" 250"), captions with each
// comma written as ";" so that none splits the list.
void saveChartSettings(SettingsStore& store, const ChartConfig& config);

// The number forms of the chart's stored settings: decimal with "." or "&HC0C0C0&"-style
// hexadecimal, blanks around ignored; written (in setup files too) as the shortest decimal text
// that reads back as the value, never with an exponent.
[[nodiscard]] std::optional<double> readChartNumber(std::string_view text);
// A whole number 0..count - 1 (a pane, a trace, an item number...).
[[nodiscard]] std::optional<int> readChartIndex(std::string_view text, int count);
// A colour, also one stored as a negative 32-bit number (system colours have the top bit set).
[[nodiscard]] std::optional<ChartColour> readChartColour(std::string_view text);
[[nodiscard]] std::string chartNumberText(double value);

// The configuration's math items compiled against the current item names; null for none. Ones
// that no longer compile (a setting edited by hand, an aux input renamed) are dropped with the
// traces that showed them, and the error says why. Traces that name a math item not there are
// cleared too.
[[nodiscard]] std::shared_ptr<const MathItems> compileChartMath(ChartConfig& config,
                                                                const TraceItems& items,
                                                                std::string* error = nullptr);

// How a trace is drawn: the pane it is in (its own, or the last pane shown when that is not
// shown) and the line y = scale x value + offset that takes TraceMinVal to the pane's ChartMin and
// TraceMaxVal to its ChartMax. An empty value range (or one that overflows) has no such line: the
// trace is then drawn flat along the top of the pane (scale 0, offset ChartMax).
struct TraceScale {
    int pane = 0;
    double scale = 1;
    double offset = 0;

    [[nodiscard]] double y(double value) const { return scale * value + offset; }
};
[[nodiscard]] TraceScale traceScale(const ChartConfig& config, int trace);

// Captions of the traces that have an item, spread evenly along their pane: the k-th of n at
// k / (n + 1). Traces without an item get no place.
struct CaptionPlace {
    int trace;
    double along;
};
inline constexpr double kCaptionAcross = 0.92;  // every caption sits this far across its pane
[[nodiscard]] std::vector<CaptionPlace> captionPlaces(const ChartConfig& config);

// Puts edited math items in place of the configuration's: origins[k] is the item that item k was
// (-1 for a new one). Traces follow their item to its new place, and a caption that was the
// item's own ("- Lag") follows a new name; a trace whose item went is cleared.
void replaceMathItems(ChartConfig& config, std::vector<MathDefinition> definitions,
                      const std::vector<int>& origins);

// The caption a trace gets when an item is chosen for it in the setup dialog: "- " and the
// item's label after the group prefix ("- Rpm" for item 0), or the math item's name; empty for
// no item (0).
[[nodiscard]] std::string itemCaption(const TraceItems& items, int traceItem,
                                      const std::vector<MathDefinition>& math = {});

// The colour a trace takes when it is given an item: its own, unless another trace with an item
// is drawn in it already; then the first of a set of clearly different colours that no such
// trace has (its own when every one is taken).
[[nodiscard]] ChartColour newTraceColour(const ChartConfig& config, int trace);

// The visible stretch of the time axis, in seconds.
struct TimeWindow {
    double lo = 0;
    double hi = 0;

    bool operator==(const TimeWindow&) const = default;
};
// Moves the window so that the cursor stays between 10 % and 90 % of it. It moves left only
// while it starts after 0 and never to before 0, and right only while its upper end has not
// passed the scroll limit.
[[nodiscard]] TimeWindow keepCursorInView(TimeWindow window, double cursor, double scrollLimit);

// The arrow keys step the cursor one sample, ten with Ctrl, within 0..logLast.
enum class ChartArrow { Left, Right };
[[nodiscard]] int arrowStep(int sample, ChartArrow arrow, bool ctrl, int logLast);

// Playback shows the sample after the one under the cursor; none once the cursor is on the last.
[[nodiscard]] std::optional<int> nextPlaySample(int underCursor, int logLast);
// The tick (ms) at which a sample recorded at `sampleTime` is due, when playback (re)started at
// `startTick` on a sample recorded at `startTime`: the log plays at the speed it was recorded.
[[nodiscard]] constexpr std::int64_t playDueTick(std::int64_t startTick, std::int32_t startTime,
                                                 std::int32_t sampleTime) {
    return startTick + (static_cast<std::int64_t>(sampleTime) - startTime);
}

// "ChartSetupPath": the folder the chart setup dialogs start in, the program's Charts folder
// until one is used.
[[nodiscard]] std::string chartSetupPath(const SettingsStore& store,
                                         const std::string& programFolder);
void rememberChartSetupPath(SettingsStore& store, const std::string& chosenPath);

}  // namespace tunalyx
