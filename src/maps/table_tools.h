#pragma once

#include <vector>

#include "maps/map_grids.h"

namespace tunalyx {

// The shapes a selection can be filled in between its edges.
enum class InterpolateMode {
    Block,    // bilinear between the four corners
    Rows,     // each row between its own first and last cell
    Columns,  // each column between its own top and bottom cell
};

// The table tools on a rectangular selection of a map. They work on display values and store
// through the grid's own codec, so every result is a value the map can hold (clamped to its raw
// range, in its display steps); only cells whose bytes change are marked changed. Each returns
// the texts of the cells it walked, as the other selection operations do.
std::vector<CellText> interpolateCells(MapGrids& maps, int grid, const CellRange& selection,
                                       InterpolateMode mode);
// Each selected cell becomes the weighted mean of itself (4), its edge neighbours (2) and its
// corner neighbours (1) inside the map, all taken from the values before the operation.
std::vector<CellText> smoothCells(MapGrids& maps, int grid, const CellRange& selection);
// value x percent / 100 + offset.
std::vector<CellText> scaleCells(MapGrids& maps, int grid, const CellRange& selection,
                                 double percent, double offset);

}  // namespace tunalyx
