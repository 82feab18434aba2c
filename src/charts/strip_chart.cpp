#include "charts/strip_chart.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "charts/trace_pyramid.h"
#include "monitor/sample_source.h"

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
    for (int t = 0; t < kStoredTraces; ++t)
        clearTrace(t);
}

void StripChart::clearTrace(int t) {
    Trace& tr = trace(t);
    tr.count = 0;
    tr.source = {};
    tr.pyramid.reset();
    m_columnStarts.source = nullptr;
}

void StripChart::setTraceSource(int t, TraceSource source) {
    Trace& tr = trace(t);
    tr.count = 0;
    tr.pyramid.reset();
    m_columnStarts.source = nullptr;  // the source may hold other samples now
    if (source.source != nullptr && source.item != TraceSource::kSampleIndex)
        tr.pyramid = std::make_shared<TracePyramid>(*source.source, source.item);
    tr.source = std::move(source);
}

bool StripChart::hasData(int t) const {
    const Trace& tr = trace(t);
    return tr.count > 0 || (tr.source.source != nullptr && tr.source.source->sampleCount() > 0);
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
    for (int t = 0; t < kStoredTraces; ++t)
        if (hasData(t)) return false;
    return true;
}

double StripChart::dataLower() const noexcept {
    double lower = std::numeric_limits<double>::infinity();
    for (const Trace& t : m_traces) {
        if (t.count > 0) lower = std::min(lower, t.x[0]);
        if (const SampleSource* s = t.source.source; s != nullptr && s->sampleCount() > 0)
            lower = std::min(lower, s->timeSeconds(0) + t.source.shift);
    }
    return lower;
}

double StripChart::dataUpper() const noexcept {
    double upper = -std::numeric_limits<double>::infinity();
    for (const Trace& t : m_traces) {
        if (t.count > 0) upper = std::max(upper, t.x[static_cast<std::size_t>(t.count - 1)]);
        if (const SampleSource* s = t.source.source; s != nullptr && s->sampleCount() > 0)
            upper = std::max(upper, s->timeSeconds(s->sampleCount() - 1) + t.source.shift);
    }
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

namespace {

// The first sample of `source` in a..b-1 for which `before` no longer holds, by bisection.
template <typename Before>
int firstNotBefore(int a, int b, Before before) {
    while (a < b) {
        const int mid = a + (b - a) / 2;
        if (before(mid))
            a = mid + 1;
        else
            b = mid;
    }
    return a;
}

}  // namespace

double StripChart::valueAt(int t, double x) const {
    const Trace& tr = trace(t);
    if (const SampleSource* src = tr.source.source) {
        const int n = src->sampleCount();
        if (n == 0) return 0;
        const double at = x - tr.source.shift;
        const int after = firstNotBefore(0, n, [&](int s) { return src->timeSeconds(s) <= at; });
        const int s = std::max(0, after - 1);
        if (tr.source.item == TraceSource::kSampleIndex) return s;
        return tr.source.scale * src->value(tr.source.item, s) + tr.source.offset;
    }
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
    if (tr.pyramid) return decimateSource(t, columns, out);
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

const StripChart::ColumnStarts& StripChart::columnStarts(const TraceSource& ts, int n,
                                                         int columns) const {
    ColumnStarts& c = m_columnStarts;
    if (c.source == ts.source && c.shift == ts.shift && c.lower == m_lower && c.upper == m_upper &&
        c.n == n && c.columns == columns)
        return c;
    c = {ts.source, ts.shift, m_lower, m_upper, n, columns, 0, 0, {}, {}};
    const SampleSource& src = *ts.source;
    const double perSecond = columns / windowWidth();
    const auto pixel = [&](int s) { return (src.timeSeconds(s) + ts.shift - m_lower) * perSecond; };
    c.first = firstNotBefore(0, n, [&](int s) { return pixel(s) < 0; });
    c.end = firstNotBefore(c.first, n, [&](int s) { return pixel(s) <= columns; });
    for (int i = c.first; i < c.end;) {
        const int col = std::min(static_cast<int>(pixel(i)), columns - 1);
        c.sample.push_back(i);
        c.column.push_back(col);
        // The same pixel arithmetic as `col`, so rounding never splits a column in two.
        i = col + 1 >= columns
                ? c.end
                : firstNotBefore(i + 1, c.end, [&](int s) { return pixel(s) < col + 1.0; });
    }
    c.sample.push_back(c.end);
    return c;
}

void StripChart::decimateSource(int t, int columns, std::vector<StripColumn>& out) const {
    const Trace& tr = trace(t);
    const TraceSource& ts = tr.source;
    const SampleSource& src = *ts.source;
    const TracePyramid& pyramid = *tr.pyramid;
    const double width = windowWidth();
    const int n = std::min(src.sampleCount(), pyramid.sampleCount());
    if (n == 0 || columns <= 0 || !(width > 0)) return;
    const double perSecond = columns / width;
    const auto pixel = [&](int s) { return (src.timeSeconds(s) + ts.shift - m_lower) * perSecond; };
    const auto scaled = [&](double v) { return ts.scale * v + ts.offset; };
    const auto point = [&](double px, double v) {
        const double y = scaled(v);
        return StripColumn{px, y, y, y, y};
    };
    const ColumnStarts& starts = columnStarts(ts, n, columns);
    const int first = starts.first;
    const int end = starts.end;
    // A gap between parts, or samples without a number, breaks the line.
    const auto gapIn = [&](int a, int b) {  // a break sample in a+1..b
        const auto at = std::upper_bound(ts.breaks.begin(), ts.breaks.end(), a);
        return at != ts.breaks.end() && *at <= b;
    };

    // The samples either side of the window, drawn as points when near, else at the edge.
    const auto edgePoint = [&](int outside, int inside, double edge) {
        const double po = pixel(outside);
        const double vo = src.value(ts.item, outside);
        if (std::abs(po - edge) <= 1 || std::isnan(vo)) return point(po, vo);
        const double pi = pixel(inside);
        const double vi = src.value(ts.item, inside);
        const double v = pi != po ? vo + (vi - vo) * (edge - po) / (pi - po) : vi;
        return point(edge, v);
    };
    int last = -1;  // the last sample drawn
    if (first > 0 && first < n && !gapIn(first - 1, first) &&
        !std::isnan(src.value(ts.item, first - 1))) {
        const StripColumn c = edgePoint(first - 1, first, std::max(-1.0, pixel(first - 1)));
        if (!std::isnan(c.first)) out.push_back(c);
        last = first - 1;
    }
    bool broken = false;
    for (std::size_t k = 0; k + 1 < starts.sample.size(); ++k) {
        const int i = starts.sample[k];
        const int next = starts.sample[k + 1];
        const int col = starts.column[k];
        if (const auto r = pyramid.range(i, next)) {
            StripColumn c{static_cast<double>(col), scaled(r->first), scaled(r->min),
                          scaled(r->max), scaled(r->last)};
            if (c.min > c.max) std::swap(c.min, c.max);  // a negative scale
            c.breakBefore = broken || (last >= 0 && gapIn(last, i));
            out.push_back(c);
            broken = false;
            last = next - 1;
        } else {
            broken = true;
        }
    }
    if (end < n && end > 0 && !broken && !gapIn(end - 1, end) &&
        !std::isnan(src.value(ts.item, end))) {
        out.push_back(edgePoint(end, end - 1, std::min(columns + 1.0, pixel(end))));
    }
}

}  // namespace tunalyx
