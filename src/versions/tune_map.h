#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "maps/map_axes.h"
#include "maps/map_grids.h"
#include "versions/tune.h"

namespace tunalyx {

using RawGrid = std::array<std::array<std::int32_t, kMapAxisSize>, kMapAxisSize>;

// One map of a tune (the Inj Map or the Ign Map) as its grid holds it, with the grid's codec and
// the axes of its map reference: what the analyses of logs read a tune by.
struct TuneMap {
    int grid = kInjMap;
    RawGrid raw{};
    MapDescriptor codec;
    MapAxes axes;
    [[nodiscard]] double value(int row, int col) const {
        return raw[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] * codec.scale +
               codec.offset;
    }
};

// Map `grid` of the maps in the window, with the axes of its map reference.
[[nodiscard]] TuneMap tuneMapOf(const MapGrids& maps, int grid, const MapAxes& axes);
// Map `grid` and its axes of a tune as its own layout reads them.
[[nodiscard]] TuneMap tuneMapOfTune(const Tune& tune, int grid);

// The map the samples of a log ran on from `firstSample` to the next one's first.
struct RanOnMap {
    int firstSample = 0;
    TuneMap tune;
};

// Which of a log's tunes each sample ran on, as the values that tune gives the cells of the map
// analysed for: its own cells when the axes are the same, else its value at each cell's
// breakpoints as the unit interpolates it. Without tunes every sample ran on `tune` itself.
class RanOnSegments {
public:
    RanOnSegments(const std::vector<RanOnMap>& ranOn, const TuneMap& tune);
    // The segment of sample `s`; samples before the first segment are the first's.
    [[nodiscard]] std::size_t of(int s) const;
    [[nodiscard]] const MapField& held(std::size_t segment) const { return m_held[segment]; }
    [[nodiscard]] const MapField& at(int sample) const { return m_held[of(sample)]; }

private:
    std::vector<int> m_first;
    std::vector<MapField> m_held;
};

// Stores an analysis's new raw values in map `grid`, marking each cell for Update: every cell
// `newRawOf` gives a value for (1-based row and column), or only those in `only`, 1-based as the
// grid's selection. The texts the cells then show.
std::vector<CellText> storeCells(
    MapGrids& maps, int grid, const std::function<std::optional<std::int32_t>(int, int)>& newRawOf,
    const std::optional<CellRange>& only = std::nullopt);

}  // namespace tunalyx
