#pragma once

#include <cstdint>

#include "maps/map_axes.h"
#include "versions/tune_map.h"

namespace tunalyx::test {

// Breakpoints 1000, 1500, ... rows (load) and 1000, 1400, ... columns (rpm).
inline MapAxes evenAxes() {
    MapAxes axes;
    for (std::size_t k = 0; k < kMapAxisSize; ++k) {
        axes.row[k] = 1000 + 500.0 * static_cast<double>(k);
        axes.column[k] = 1000 + 400.0 * static_cast<double>(k);
    }
    return axes;
}
// The point `fx` of the way from column `col` to the next and `fy` from row `row` to the next.
inline double rpmAt(int col, double fx = 0) {
    return 1000 + 400.0 * (col + fx);
}
inline double loadAt(int row, double fy = 0) {
    return 1000 + 500.0 * (row + fy);
}

// Map `grid` holding `raw` in every cell, on the even axes.
inline TuneMap flatMap(int grid, std::int32_t raw) {
    TuneMap map;
    map.grid = grid;
    map.codec = parseMapDescriptor(startupMapTags()[static_cast<std::size_t>(grid)]).value();
    map.axes = evenAxes();
    for (auto& row : map.raw)
        row.fill(raw);
    return map;
}

}  // namespace tunalyx::test
