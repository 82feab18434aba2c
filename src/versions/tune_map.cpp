#include "versions/tune_map.h"

#include <algorithm>

#include "model/settings_codec.h"

namespace tunalyx {

TuneMap tuneMapOf(const MapGrids& maps, int grid, const MapAxes& axes) {
    TuneMap map;
    map.grid = grid;
    map.codec = maps.descriptor(grid);
    map.axes = axes;
    for (int row = 0; row < kMapRows; ++row)
        for (int col = 0; col < kMapCols; ++col)
            map.raw[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] =
                maps.GridData(grid, row + 1, col + 1);
    return map;
}

TuneMap tuneMapOfTune(const Tune& tune, int grid) {
    // The grids and the codec read the image they are given; a copy keeps the caller's as it is.
    Tune copy = tune;
    const SettingsCodec codec(copy.image, copy.dirty);
    const MapGrids maps(copy.image, copy.dirty, copy.mapLayout, copy.cellChanged);
    return tuneMapOf(maps, grid, LoadMapAxes(codec, maps.MapRefBlock));
}

namespace {

MapField heldValues(const TuneMap& ranOn, const TuneMap& tune) {
    MapField own{};
    for (int row = 0; row < kMapAxisSize; ++row)
        for (int col = 0; col < kMapAxisSize; ++col)
            own[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] =
                ranOn.value(row, col);
    if (ranOn.axes.row == tune.axes.row && ranOn.axes.column == tune.axes.column) return own;
    MapField held{};
    for (std::size_t row = 0; row < kMapAxisSize; ++row)
        for (std::size_t col = 0; col < kMapAxisSize; ++col)
            held[row][col] =
                interpolateField(own, ranOn.axes, tune.axes.column[col], tune.axes.row[row]);
    return held;
}

}  // namespace

RanOnSegments::RanOnSegments(const std::vector<RanOnMap>& ranOn, const TuneMap& tune) {
    std::vector<const RanOnMap*> sorted;
    for (const RanOnMap& r : ranOn)
        sorted.push_back(&r);
    std::stable_sort(sorted.begin(), sorted.end(), [](const RanOnMap* a, const RanOnMap* b) {
        return a->firstSample < b->firstSample;
    });
    for (const RanOnMap* r : sorted) {
        m_first.push_back(r->firstSample);
        m_held.push_back(heldValues(r->tune, tune));
    }
    if (m_held.empty()) {
        m_first.push_back(0);
        m_held.push_back(heldValues(tune, tune));
    }
}

std::size_t RanOnSegments::of(int s) const {
    const auto after = std::upper_bound(m_first.begin(), m_first.end(), s);
    return after == m_first.begin() ? 0 : static_cast<std::size_t>(after - m_first.begin() - 1);
}

std::vector<CellText> storeCells(
    MapGrids& maps, int grid, const std::function<std::optional<std::int32_t>(int, int)>& newRawOf,
    const std::optional<CellRange>& only) {
    std::vector<CellText> texts;
    for (int row = 1; row <= kMapRows; ++row) {
        for (int col = 1; col <= kMapCols; ++col) {
            if (only && (row < only->top() || row > only->bottom() || col < only->left() ||
                         col > only->right()))
                continue;
            const std::optional<std::int32_t> raw = newRawOf(row, col);
            if (!raw) continue;
            maps.GridSetData(grid, row, col, *raw);
            texts.push_back({row, col, maps.fText(grid, *raw)});
        }
    }
    return texts;
}

}  // namespace tunalyx
