#include "mapwatch/map_scatter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "monitor/log_groups.h"

namespace tunalyx {

namespace {

// A log of one sample is an empty one: the map watch replays nothing from it.
bool anySamples(const SampleSource& source) {
    return source.sampleCount() > 1 && source.hasItem(kRpmItem) && source.hasItem(kLoadItem);
}

}  // namespace

AxesWalker::AxesWalker(const std::vector<MapAxesFrom>& ranOn, const MapAxes& axes)
    : m_ranOn(ranOn), m_axes(axes), m_current(ranOn.empty() ? &axes : &ranOn.front().axes) {}

const MapAxes& AxesWalker::at(int s) {
    while (m_next < m_ranOn.size() && m_ranOn[m_next].firstSample <= s)
        m_current = &m_ranOn[m_next++].axes;
    return *m_current;
}

void ScatterPoints::place(const SampleSource& source, const std::vector<MapAxesFrom>& ranOn,
                          const MapAxes& axes) {
    x.clear();
    y.clear();
    sample.clear();
    colour.clear();
    low = 0;
    high = -1;
    if (!anySamples(source)) return;
    const int n = source.sampleCount();
    x.reserve(static_cast<std::size_t>(n));
    y.reserve(static_cast<std::size_t>(n));
    sample.reserve(static_cast<std::size_t>(n));
    AxesWalker walker(ranOn, axes);
    for (int s = 0; s < n; ++s) {
        const double rpm = source.value(kRpmItem, s);
        const double load = source.value(kLoadItem, s);
        if (std::isnan(rpm) || std::isnan(load)) continue;
        const MapAxes& a = walker.at(s);
        x.push_back(static_cast<float>(fractionalPosition(rpm, a.column)));
        y.push_back(static_cast<float>(fractionalPosition(load, a.row)));
        sample.push_back(s);
    }
    colour.assign(x.size(), std::numeric_limits<float>::quiet_NaN());
}

void ScatterPoints::colourBy(const SampleSource& source, int item) {
    low = std::numeric_limits<float>::max();
    high = std::numeric_limits<float>::lowest();
    const bool has = source.hasItem(item);
    for (std::size_t i = 0; i < sample.size(); ++i) {
        const float v = has ? static_cast<float>(source.value(item, sample[i]))
                            : std::numeric_limits<float>::quiet_NaN();
        colour[i] = v;
        if (std::isnan(v)) continue;
        low = std::min(low, v);
        high = std::max(high, v);
    }
    if (low > high) {
        low = 0;
        high = -1;
    }
}

int Histogram::total() const {
    int sum = 0;
    for (const int c : counts)
        sum += c;
    return sum;
}

Histogram histogramOf(const std::vector<double>& values, int bins) {
    Histogram h;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const double v : values)
        if (!std::isnan(v)) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    if (low > high) return h;
    const int n = low == high ? 1 : std::max(1, bins);
    const double width = (high - low) / n;
    h.counts.assign(static_cast<std::size_t>(n), 0);
    for (int i = 0; i <= n; ++i)
        h.edges.push_back(i == n ? high : low + width * i);
    for (const double v : values) {
        if (std::isnan(v)) continue;
        // The greatest value closes the last bin rather than opening one of its own.
        const int bin = width > 0 ? std::min(n - 1, static_cast<int>((v - low) / width)) : 0;
        ++h.counts[static_cast<std::size_t>(bin)];
    }
    return h;
}

void CellStatistics::compute(const SampleSource& source, const std::vector<MapAxesFrom>& ranOn,
                             const MapAxes& axes) {
    m_watch = std::make_unique<MapWatch>(source);
    m_watch->options = options;
    m_watch->ranOnAxes = ranOn;
    m_watch->ResetMap(axes);
    m_takenIn.assign(static_cast<std::size_t>(std::max(0, source.sampleCount())), kNotTaken);
    if (!anySamples(source)) return;
    for (int s = 0; s < source.sampleCount(); ++s)
        if (m_watch->AddMapLog(s)) {
            const MapWatch::Cell cell = m_watch->cellOf(s);
            m_takenIn[static_cast<std::size_t>(s)] =
                static_cast<std::int16_t>(cell.row + kMapWatchSize * cell.col);
        }
}

std::string CellStatistics::cellText(int row, int col, const NumberLocale& locale,
                                     Precision itemPrecision) const {
    if (!m_watch) return {};
    // The function and places change without a new count.
    m_watch->options.function = options.function;
    m_watch->options.decimalPlaces = options.decimalPlaces;
    return m_watch->cellText(row, col, locale, itemPrecision);
}

std::vector<double> CellStatistics::valuesIn(const SampleSource& source, int row, int col) const {
    std::vector<double> values;
    const auto index = static_cast<std::int16_t>(row + kMapWatchSize * col);
    const int n = std::min(source.sampleCount(), static_cast<int>(m_takenIn.size()));
    for (int s = 0; s < n; ++s)
        if (m_takenIn[static_cast<std::size_t>(s)] == index)
            values.push_back(source.value(options.item, s));
    return values;
}

}  // namespace tunalyx
