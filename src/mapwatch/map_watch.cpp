#include "mapwatch/map_watch.h"

#include <algorithm>
#include <cmath>

#include "model/number_format.h"
#include "monitor/log_groups.h"

namespace tunalyx {

namespace {

constexpr int kMostDecimals = 6;

int cellIndex(double position) {
    return std::clamp(static_cast<int>(std::floor(position + 0.5)), 0, kMapWatchSize - 1);
}

}  // namespace

MapPosition mapPositionOf(const LogStore& log, int sample, int source, const MapAxes& axes) {
    if (source == MapWatchOptions::Logged)
        return {log.LogData(kLoggedColumnItem, sample), log.LogData(kLoggedRowItem, sample)};
    return {fractionalPosition(log.LogData(kRpmItem, sample), axes.column),
            fractionalPosition(log.LogData(kLoadItem, sample), axes.row)};
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
    const double v = m_log.LogData(options.item, s);
    const Cell cell = cellOf(s);
    if (cell.col != m_lastCol || cell.row != m_lastRow) m_cellEntryTime = m_log.LogTime(s);
    bool taken = false;
    if (m_log.LogTime(s) - m_cellEntryTime >= options.holdOffMs) {
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
    if (m_log.LogLast > 0)
        for (int s = 0; s <= m_log.LogLast; ++s)
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
    const int places = std::clamp(options.decimalPlaces == MapWatchOptions::kItemsOwn
                                      ? std::max(0, itemDecimals(options.item))
                                      : options.decimalPlaces,
                                  0, kMostDecimals);
    const std::string pattern = places == 0 ? "0" : "0." + std::string(places, '0');
    const double v = options.function == MapWatchOptions::Min   ? c.min
                     : options.function == MapWatchOptions::Max ? c.max
                                                                : c.avg;
    const bool average = options.function == MapWatchOptions::Avg;
    return formatValue(v, pattern, locale, average ? Precision::Double : itemPrecision);
}

}  // namespace tunalyx
