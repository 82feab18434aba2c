#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tunalyx {

class SampleSource;
class TracePyramid;

// A colour kept as 0x00BBGGRR, as the chart configuration stores it.
using ChartColour = std::uint32_t;

// One of the stacked panes. Traces are plotted in the pane's own Y units (yMin at the bottom).
struct StripPane {
    ChartColour backColour = 0xC0C0C0;
    double yMin = 0;
    double yMax = 250;
    bool grid = true;  // the light grid is drawn
};

// A trace's caption, drawn in its pane; positions are fractions of the pane, `along` from the
// left edge and `across` from the bottom edge, each the centre of the text.
struct StripCaption {
    ChartColour colour = 0;
    std::string text;
    double along = 0.5;
    double across = 0.92;
};

// One pixel column of a trace after decimation, `x` in pixels from the plot's left edge. The
// entries before column 0 and after the last column are where the line to the nearest point
// outside the window crosses the edge, so the trace runs to both edges.
struct StripColumn {
    double x;
    double first;
    double min;
    double max;
    double last;
    bool breakBefore = false;  // no line joins it to the column before (a gap in the samples)
};

// A trace drawn straight from an item of a sample source rather than from points of its own:
// y = scale * value + offset at time + shift. Samples whose value is NaN are not drawn.
struct TraceSource {
    static constexpr int kSampleIndex = -1;  // the item of the time trace: the sample's number
    const SampleSource* source = nullptr;
    int item = kSampleIndex;
    double scale = 1;
    double offset = 0;
    double shift = 0;
    std::vector<int> breaks;  // samples, in order, drawn without a line from the one before
};

// A marker set in the log: a thin line over every pane, its number at the top, its note the tip.
struct StripMarker {
    double seconds = 0;
    int number = 0;
    std::string note;
};

// The strip chart without its widget: stacked panes, traces of preallocated points, captions,
// the time-axis window and the cursor. Times are seconds; a trace's times never decrease, which
// is what lets every lookup be a binary search.
class StripChart {
public:
    static constexpr int kMaxPanes = 4;
    static constexpr int kUserTraces = 20;                 // the traces the user sets up with items
    static constexpr int kTimeTrace = 20;                  // time -> sample index, never drawn
    static constexpr int kStoredTraces = kUserTraces + 1;  // the user's traces and the time trace
    static constexpr int kCapacity = 32768;  // points per trace, one for each sample a log holds
    static constexpr double kDefaultWindow = 30;
    static constexpr double kMinWindow = 0.01;

    StripChart();

    [[nodiscard]] int paneCount() const noexcept { return m_paneCount; }
    // Clamped to 1..kMaxPanes.
    void setPaneCount(int count) noexcept;
    [[nodiscard]] StripPane& pane(int p) { return m_panes.at(static_cast<std::size_t>(p)); }
    [[nodiscard]] const StripPane& pane(int p) const {
        return m_panes.at(static_cast<std::size_t>(p));
    }

    [[nodiscard]] int tracePane(int t) const { return trace(t).pane; }
    void setTracePane(int t, int pane);
    // The pane a trace is drawn in: a trace set on a pane that is not shown goes to the last one.
    [[nodiscard]] int shownPane(int t) const;
    [[nodiscard]] ChartColour traceColour(int t) const { return trace(t).colour; }
    void setTraceColour(int t, ChartColour colour) { trace(t).colour = colour; }

    [[nodiscard]] StripCaption& caption(int t) {
        return m_captions.at(static_cast<std::size_t>(t));
    }
    [[nodiscard]] const StripCaption& caption(int t) const {
        return m_captions.at(static_cast<std::size_t>(t));
    }

    // Appends a point. Refused (false) when the trace is full, x is earlier than the trace's last
    // point or not a number, or t is no trace: storage never grows while logging.
    bool plot(int t, double x, double y) noexcept;
    // Clearing a trace also lets go of its source.
    void clear() noexcept;
    void clearTrace(int t);
    [[nodiscard]] int pointCount(int t) const { return trace(t).count; }
    // Trace t is drawn from `source` (which must outlive it) until cleared; its own points go.
    // The min/max summary of the item is built here, once.
    void setTraceSource(int t, TraceSource source);
    [[nodiscard]] bool hasSource(int t) const { return trace(t).source.source != nullptr; }
    // There is something to draw: points, or a source with samples.
    [[nodiscard]] bool hasData(int t) const;
    [[nodiscard]] std::span<const double> xs(int t) const;
    [[nodiscard]] std::span<const double> ys(int t) const;

    // The time-axis window. The ends may come in either order; a window narrower than
    // kMinWindow is widened to it, and one with an end that is not finite is ignored.
    [[nodiscard]] double windowLower() const noexcept { return m_lower; }
    [[nodiscard]] double windowUpper() const noexcept { return m_upper; }
    [[nodiscard]] double windowWidth() const noexcept { return m_upper - m_lower; }
    void setWindow(double a, double b) noexcept;
    // How far right the window may be scrolled: the last time plotted on any trace, but never
    // less than the window's width, so a short log still fills a window starting at 0.
    [[nodiscard]] double scrollLimit() const noexcept;
    // The window scaled by `factor` with `anchor` staying where it is on the axis; it widens no
    // further than the whole log (or the default window) and opens no new time before the log's
    // start (0 without one) or past the scroll limit.
    void zoom(double anchor, double factor) noexcept;
    // The window shifted by `seconds`, kept within 0 .. the scroll limit.
    void scrollBy(double seconds) noexcept;
    // The window spanning every point plotted (the default window when there are none).
    void fitAll() noexcept;

    [[nodiscard]] double cursor() const noexcept { return m_cursor; }
    void setCursor(double seconds) noexcept { m_cursor = seconds; }
    // The y of the last point of trace t at or before time x (the first point when x is
    // earlier than all of them; 0 for an empty trace). On the time trace this is the sample
    // under x.
    [[nodiscard]] double valueAt(int t, double x) const;
    [[nodiscard]] double valueAtCursor(int t) const { return valueAt(t, m_cursor); }

    // Trace t over the window reduced to `columns` pixel columns: first, min, max and last y of
    // the points in each non-empty column, plus the edge crossings. `out` is scratch the caller
    // keeps, so a redraw allocates nothing once it has grown to the plot's width.
    // A source trace reads at most a block's worth of samples at each end of a column.
    void decimate(int t, int columns, std::vector<StripColumn>& out) const;

    [[nodiscard]] std::vector<StripMarker>& markers() noexcept { return m_markers; }
    [[nodiscard]] const std::vector<StripMarker>& markers() const noexcept { return m_markers; }

private:
    void decimateSource(int t, int columns, std::vector<StripColumn>& out) const;
    // The first sample of each non-empty pixel column of a source over the window (and the end),
    // found once for every trace of that source and time shift.
    struct ColumnStarts {
        const SampleSource* source = nullptr;
        double shift = 0;
        double lower = 0;
        double upper = 0;
        int n = 0;
        int columns = 0;
        int first = 0;
        int end = 0;
        std::vector<int> sample;
        std::vector<int> column;
    };
    const ColumnStarts& columnStarts(const TraceSource& ts, int n, int columns) const;
    struct Trace {
        std::vector<double> x;
        std::vector<double> y;
        int count = 0;
        int pane = 0;
        ChartColour colour = 0x0000FF;
        TraceSource source;
        std::shared_ptr<const TracePyramid> pyramid;
    };
    [[nodiscard]] Trace& trace(int t) { return m_traces.at(static_cast<std::size_t>(t)); }
    [[nodiscard]] const Trace& trace(int t) const {
        return m_traces.at(static_cast<std::size_t>(t));
    }
    [[nodiscard]] bool empty() const noexcept;
    // First and last time over every trace; meaningful only when not empty().
    [[nodiscard]] double dataLower() const noexcept;
    [[nodiscard]] double dataUpper() const noexcept;

    std::array<StripPane, kMaxPanes> m_panes{};
    std::array<Trace, kStoredTraces> m_traces;
    std::array<StripCaption, kStoredTraces> m_captions{};
    int m_paneCount = 1;
    double m_lower = 0;
    double m_upper = kDefaultWindow;
    double m_cursor = 0;
    mutable ColumnStarts m_columnStarts;
    std::vector<StripMarker> m_markers;
};

}  // namespace tunalyx
