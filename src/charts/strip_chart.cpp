#include "charts/strip_chart.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tunalyx {

StripChart::StripChart() {
    // Sized once: plotting a sample must never allocate.
    for (Trace& t : m_traces) {
        t.x.resize(kCapacity);
        t.y.resize(kCapacity);
    }
}

void StripChart::setPaneCount(int count) noexcept {
    m_paneCount = std::clamp(count, 1, kMaxPanes);
}

void StripChart::setTracePane(int t, int pane) {
    trace(t).pane = std::clamp(pane, 0, kMaxPanes - 1);
}

int StripChart::shownPane(int t) const {
    return std::min(trace(t).pane, m_paneCount - 1);
}

bool StripChart::plot(int t, double x, double y) noexcept {
    if (t < 0 || t >= kStoredTraces || std::isnan(x)) return false;
    Trace& tr = m_traces[static_cast<std::size_t>(t)];
    if (tr.count == kCapacity) return false;
    if (tr.count > 0 && x < tr.x[static_cast<std::size_t>(tr.count - 1)]) return false;
    tr.x[static_cast<std::size_t>(tr.count)] = x;
    tr.y[static_cast<std::size_t>(tr.count)] = y;
    ++tr.count;
    return true;
}

void StripChart::clear() noexcept {
    for (Trace& t : m_traces)
        t.count = 0;
}

void StripChart::clearTrace(int t) {
    trace(t).count = 0;
}

std::span<const double> StripChart::xs(int t) const {
    const Trace& tr = trace(t);
    return {tr.x.data(), static_cast<std::size_t>(tr.count)};
}

std::span<const double> StripChart::ys(int t) const {
    const Trace& tr = trace(t);
    return {tr.y.data(), static_cast<std::size_t>(tr.count)};
}

bool StripChart::empty() const noexcept {
    return std::all_of(m_traces.begin(), m_traces.end(),
                       [](const Trace& t) { return t.count == 0; });
}

double StripChart::dataLower() const noexcept {
    double lower = std::numeric_limits<double>::infinity();
    for (const Trace& t : m_traces)
        if (t.count > 0) lower = std::min(lower, t.x[0]);
    return lower;
}

double StripChart::dataUpper() const noexcept {
    double upper = -std::numeric_limits<double>::infinity();
    for (const Trace& t : m_traces)
        if (t.count > 0) upper = std::max(upper, t.x[static_cast<std::size_t>(t.count - 1)]);
    return upper;
}

void StripChart::setWindow(double a, double b) noexcept {
    const double lower = std::min(a, b);
    const double upper = std::max(lower + kMinWindow, std::max(a, b));
    // Times so large that the minimum width is lost in rounding would leave no width at all.
    if (!std::isfinite(lower) || !std::isfinite(upper) || !(upper > lower)) return;
    m_lower = lower;
    m_upper = upper;
}

double StripChart::scrollLimit() const noexcept {
    const double width = windowWidth();
    return empty() ? width : std::max(dataUpper(), width);
}

void StripChart::zoom(double anchor, double factor) noexcept {
    if (!std::isfinite(anchor) || !std::isfinite(factor) || factor <= 0) return;
    const double width = windowWidth();
    const double whole = empty() ? kDefaultWindow : dataUpper() - dataLower();
    const double widest = std::max({whole, kDefaultWindow, width});
    const double newWidth = std::clamp(width * factor, kMinWindow, widest);
    double lower = anchor - (anchor - m_lower) * newWidth / width;
    // Zooming out near either end opens no empty time before the log (or 0) or past its end.
    const double end = std::max({empty() ? 0 : dataUpper(), newWidth, m_upper});
    lower = std::min(lower, end - newWidth);
    lower = std::max(lower, std::min(empty() ? 0 : dataLower(), m_lower));
    setWindow(lower, lower + newWidth);
}

void StripChart::scrollBy(double seconds) noexcept {
    const double width = windowWidth();
    const double limit = scrollLimit();
    double lower = m_lower + seconds;
    // Never pushes an already out-of-range window further out, only back towards the data.
    if (seconds > 0) lower = std::min(lower, std::max(m_lower, limit - width));
    if (seconds < 0) lower = std::max(lower, std::min(m_lower, 0.0));
    setWindow(lower, lower + width);
}

void StripChart::fitAll() noexcept {
    if (empty()) {
        setWindow(0, kDefaultWindow);
        return;
    }
    setWindow(dataLower(), dataUpper());
}

double StripChart::valueAt(int t, double x) const {
    const Trace& tr = trace(t);
    if (tr.count == 0) return 0;
    const auto begin = tr.x.begin();
    const auto end = begin + tr.count;
    const auto after = std::upper_bound(begin, end, x);
    const auto i = after == begin ? 0 : after - begin - 1;
    return tr.y[static_cast<std::size_t>(i)];
}

void StripChart::decimate(int t, int columns, std::vector<StripColumn>& out) const {
    out.clear();
    const Trace& tr = trace(t);
    const double width = windowWidth();
    if (tr.count == 0 || columns <= 0 || !(width > 0)) return;
    const double* x = tr.x.data();
    const double* y = tr.y.data();
    const int n = tr.count;
    const int first = static_cast<int>(std::lower_bound(x, x + n, m_lower) - x);
    const int end = static_cast<int>(std::upper_bound(x + first, x + n, m_upper) - x);
    const double perSecond = columns / width;
    const auto pixel = [&](int i) { return (x[i] - m_lower) * perSecond; };

    // Where the segment from point a to point b crosses pixel position px (a before b).
    const auto crossing = [&](int a, int b, double px) {
        const double pa = pixel(a);
        const double pb = pixel(b);
        const double v = pb > pa ? y[a] + (y[b] - y[a]) * (px - pa) / (pb - pa) : y[b];
        return StripColumn{px, v, v, v, v};
    };

    if (first > 0 && first < n) {
        // Points just left of the window are drawn as they are; far ones from the edge.
        const double pa = pixel(first - 1);
        out.push_back(pa >= -1
                          ? StripColumn{pa, y[first - 1], y[first - 1], y[first - 1], y[first - 1]}
                          : crossing(first - 1, first, -1));
    }
    int i = first;
    while (i < end) {
        const int col = std::min(static_cast<int>(pixel(i)), columns - 1);
        // The same pixel arithmetic as `col`, so rounding never splits a column in two.
        const double columnEnd =
            col + 1 >= columns ? std::numeric_limits<double>::infinity() : col + 1.0;
        StripColumn c{static_cast<double>(col), y[i], y[i], y[i], y[i]};
        for (++i; i < end && pixel(i) < columnEnd; ++i) {
            c.min = std::min(c.min, y[i]);
            c.max = std::max(c.max, y[i]);
        }
        c.last = y[i - 1];
        out.push_back(c);
    }
    if (end < n && end > 0) {
        const double pb = pixel(end);
        out.push_back(pb <= columns + 1 ? StripColumn{pb, y[end], y[end], y[end], y[end]}
                                        : crossing(end - 1, end, columns + 1));
    }
}

}  // namespace tunalyx
