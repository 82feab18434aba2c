#pragma once

#include <optional>
#include <vector>

#include "maps/map_grids.h"

namespace tunalyx {

// A table the tools work on: rows x columns of display values, read and stored through the
// table's own codec, so every result is a value the table can hold (clamped to its raw range, in
// its display steps) and only cells whose bytes change are marked changed. A cell without a
// value (its block never read) is left alone and lends no value to others.
class ToolTable {
public:
    virtual ~ToolTable() = default;
    [[nodiscard]] virtual int rows() const = 0;
    [[nodiscard]] virtual int cols() const = 0;
    [[nodiscard]] virtual std::optional<double> value(int row, int col) const = 0;
    virtual void store(int row, int col, double value) = 0;
};

// The shapes a selection can be filled in between its edges.
enum class InterpolateMode {
    Block,    // bilinear between the four corners
    Rows,     // each row between its own first and last cell
    Columns,  // each column between its own top and bottom cell
};

// Which cells smoothing takes a mean over.
enum class Neighbours {
    Area,  // the eight around a cell: a map
    Row,   // the two beside it in its row: a table whose rows are curves
};

// The tools on a rectangular selection, each from the values before it began. Smoothing gives a
// cell the weighted mean of itself (4), its side neighbours (2) and its corner neighbours (1)
// inside the table. Scaling gives value x percent / 100 + offset.
void interpolate(ToolTable& table, const CellRange& selection, InterpolateMode mode);
void smooth(ToolTable& table, const CellRange& selection, Neighbours neighbours);
void scale(ToolTable& table, const CellRange& selection, double percent, double offset);

// The tools on a map; each returns the texts of the cells it walked, as the other selection
// operations do.
std::vector<CellText> interpolateCells(MapGrids& maps, int grid, const CellRange& selection,
                                       InterpolateMode mode);
std::vector<CellText> smoothCells(MapGrids& maps, int grid, const CellRange& selection);
std::vector<CellText> scaleCells(MapGrids& maps, int grid, const CellRange& selection,
                                 double percent, double offset);

}  // namespace tunalyx
