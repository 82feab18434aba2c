#include "mapwatch/map_watch.h"

#include <algorithm>
#include <cmath>

#include "model/number_format.h"
#include "monitor/log_groups.h"
#include "monitor/log_reader.h"

namespace tunalyx {

namespace {

constexpr int kMostDecimals = 6;

int cellIndex(double position) {
    if (std::isnan(position)) return 0;  // a sample of a part without Rpm or Load
    return std::clamp(static_cast<int>(std::floor(position + 0.5)), 0, kMapWatchSize - 1);
}

}  // namespace

MapPosition mapPositionOf(const LogStore& log, int sample, int source, const MapAxes& axes) {
    if (source == MapWatchOptions::Logged)
        return {log.LogData(kLoggedColumnItem, sample), log.LogData(kLoggedRowItem, sample)};
    return {fractionalPosition(log.LogData(kRpmItem, sample), axes.column),
            fractionalPosition(log.LogData(kLoadItem, sample), axes.row)};
}

MapPosition mapPositionOf(const SampleSource& samples, int sample, int source,
                          const MapAxes& axes) {
    if (source == MapWatchOptions::Logged)
        return {samples.value(kLoggedColumnItem, sample), samples.value(kLoggedRowItem, sample)};
    // A sample without Rpm or Load has no place: NaN, not the grid's edge.
    const auto along = [](double v, const auto& axis) {
        return std::isnan(v) ? v : fractionalPosition(v, axis);
    };
    return {along(samples.value(kRpmItem, sample), axes.column),
            along(samples.value(kLoadItem, sample), axes.row)};
}

bool itemLogged(const LogStore& log, int item) {
    const TraceItems items;
    return log.IncludeGroup[static_cast<std::size_t>(
        items.TraceGroup[static_cast<std::size_t>(std::clamp(item, 0, kTraceItemCount - 1))])];
}

const MapAxes& MapWatch::axesOf(int s) const {
    const MapAxes* found = &axes;
    for (const MapAxesFrom& from : ranOnAxes)
        if (from.firstSample <= s || found == &axes) found = &from.axes;
    return *found;
}

MapWatch::Cell MapWatch::cellOf(int s) const {
    const MapPosition p = positionOf(s, options.source);
    // The unit's own N and P are whole cells already; a value off the grid stays on its edge.
    return {cellIndex(p.x), cellIndex(p.y)};
}

bool MapWatch::AddMapLog(int s) {
    if (!itemLogged()) return false;
    const double v = m_source->value(options.item, s);
    const MapPosition p = positionOf(s, options.source);
    if (std::isnan(v) || std::isnan(p.x) || std::isnan(p.y)) return false;
    const Cell cell = cellOf(s);
    // Whole milliseconds, as the log file has them, whatever holds the samples.
    const std::int32_t time = logMilliseconds(m_source->timeSeconds(s));
    if (cell.col != m_lastCol || cell.row != m_lastRow) m_cellEntryTime = time;
    bool taken = false;
    if (time - m_cellEntryTime >= options.holdOffMs) {
        // A value above the maximum is not taken, and the cell it was in is not remembered.
        if (v > options.maxVal) return false;
        Stats& c = m_cells[static_cast<std::size_t>(cell.row + kMapWatchSize * cell.col)];
        if (c.count == 0) {
            c.min = c.max = c.avg = v;
        } else {
            c.min = std::min(c.min, v);
            c.max = std::max(c.max, v);
            c.avg = (c.count * c.avg + v) / (c.count + 1);
        }
        ++c.count;
        taken = true;
    }
    m_lastCol = cell.col;
    m_lastRow = cell.row;
    return taken;
}

void MapWatch::clear() {
    m_cells.fill(Stats{});
    m_lastCol = 0;
    m_lastRow = 0;
    m_cellEntryTime = 0;
}

void MapWatch::RecalculateMap(const MapAxes& newAxes) {
    axes = newAxes;
    clear();
    if (const int n = m_source->sampleCount(); n > 1)
        for (int s = 0; s < n; ++s)
            AddMapLog(s);
}

void MapWatch::ResetMap(const MapAxes& newAxes) {
    axes = newAxes;
    clear();
}

std::string MapWatch::cellText(int row, int col, const NumberLocale& locale,
                               Precision itemPrecision) const {
    const Stats& c = at(row, col);
    if (c.count == 0) return {};
    if (options.function == MapWatchOptions::Num) return std::to_string(c.count);
    // A math item has no format of its own: two decimals, as a worked-out value needs.
    const int own = options.item >= kFirstMathItem ? 2 : std::max(0, itemDecimals(options.item));
    const int places = std::clamp(
        options.decimalPlaces == MapWatchOptions::kItemsOwn ? own : options.decimalPlaces, 0,
        kMostDecimals);
    const std::string pattern = places == 0 ? "0" : "0." + std::string(places, '0');
    const double v = options.function == MapWatchOptions::Min   ? c.min
                     : options.function == MapWatchOptions::Max ? c.max
                                                                : c.avg;
    const bool average = options.function == MapWatchOptions::Avg;
    return formatValue(v, pattern, locale, average ? Precision::Double : itemPrecision);
}

}  // namespace tunalyx
