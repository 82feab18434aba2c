#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "maps/map_axes.h"
#include "model/settings_codec.h"
#include "monitor/log_store.h"
#include "monitor/sample_source.h"

namespace tunalyx {

inline constexpr int kMapWatchSize = kMapAxisSize;

// What the map watch counts and how it shows it; the defaults are those of a first start.
struct MapWatchOptions {
    enum Function { Min = 0, Max = 1, Avg = 2, Num = 3 };
    enum Source { Advanced = 0, Logged = 1 };
    int item = 0;  // the item watched, 0..63, or a math item from kFirstMathItem
    int function = Avg;
    static constexpr int kItemsOwn = -1;
    int decimalPlaces = kItemsOwn;  // 0..4 (more than 6 are never shown), or the item's own
    std::int32_t holdOffMs = 0;
    int source = Advanced;
    double maxVal = 9999;  // values above it are ignored
};

// The position of a sample in cells: x along the columns, y along the rows. The Advanced
// source takes Rpm and Load against the axes, the Logged one the unit's own N and P.
struct MapPosition {
    double x;
    double y;
};
[[nodiscard]] MapPosition mapPositionOf(const LogStore& log, int sample, int source,
                                        const MapAxes& axes);
[[nodiscard]] MapPosition mapPositionOf(const SampleSource& samples, int sample, int source,
                                        const MapAxes& axes);

// Whether the log holds the item: its group was logged.
[[nodiscard]] bool itemLogged(const LogStore& log, int item);

// The axes of the tune a log's samples ran on from `firstSample` on.
struct MapAxesFrom {
    int firstSample = 0;
    MapAxes axes;
};

// The map watch without its window: per cell the count, minimum, maximum and average of the
// watched item while the engine was in that cell, fed a sample at a time or from the whole log.
// It reads the log in memory unless given other samples (a session, math items on top); a
// sample whose value or position is NaN counts in no cell.
class MapWatch {
public:
    explicit MapWatch(const LogStore& log) : m_own(std::in_place, log), m_source(&*m_own) {}
    explicit MapWatch(const SampleSource& samples) : m_source(&samples) {}
    MapWatch(const MapWatch&) = delete;
    MapWatch& operator=(const MapWatch&) = delete;

    // `samples` must outlive the watch, or be replaced before it goes.
    void setSource(const SampleSource& samples) { m_source = &samples; }
    [[nodiscard]] const SampleSource& source() const { return *m_source; }

    MapWatchOptions options;
    MapAxes axes;
    // The axes of the tunes the log ran on, in order of first sample, when known; a sample is
    // placed with those of its own tune. Empty: every sample with `axes`.
    std::vector<MapAxesFrom> ranOnAxes;

    // The axes sample s is placed with, and its place on them.
    [[nodiscard]] const MapAxes& axesOf(int s) const;
    [[nodiscard]] MapPosition positionOf(int s, int source) const {
        return mapPositionOf(*m_source, s, source, axesOf(s));
    }
    // The item watched is in the log; an item that is not fills no cell.
    [[nodiscard]] bool itemLogged() const { return m_source->hasItem(options.item); }

    // AddMapLog: accounts sample s. True when a cell took the value (its text may change).
    bool AddMapLog(int s);
    // RecalculateMap: every sample of the log in memory again, from empty cells (a log of one
    // sample replays nothing).
    void RecalculateMap(const MapAxes& newAxes);
    // ResetMap: empty cells, for a new run.
    void ResetMap(const MapAxes& newAxes);

    // The cell of a sample (column, row), 0..19 each.
    struct Cell {
        int col;
        int row;
    };
    [[nodiscard]] Cell cellOf(int s) const;
    // The cell's text for the function and decimal places chosen (the item's own by default);
    // empty for a cell without a sample. The minimum and maximum are values of the item, rounded
    // from the digits of the precision it is held in; the average is worked out in full.
    [[nodiscard]] std::string cellText(int row, int col, const NumberLocale& locale = {},
                                       Precision itemPrecision = Precision::Double) const;
    [[nodiscard]] int count(int row, int col) const { return at(row, col).count; }

private:
    struct Stats {
        int count = 0;
        double min = 0;
        double max = 0;
        double avg = 0;
    };
    [[nodiscard]] const Stats& at(int row, int col) const {
        return m_cells[static_cast<std::size_t>(row + kMapWatchSize * col)];
    }
    void clear();

    std::optional<LogStoreSource> m_own;
    const SampleSource* m_source;
    std::array<Stats, kMapWatchSize * kMapWatchSize> m_cells{};
    int m_lastCol = 0;
    int m_lastRow = 0;
    std::int32_t m_cellEntryTime = 0;
};

}  // namespace tunalyx
