#include "maps/table_tools.h"

#include <array>

namespace tunalyx {

namespace {

using Values = std::array<std::array<double, kMapCols + 1>, kMapRows + 1>;

// The display values of the whole map as they are before an operation, 1-based.
Values snapshot(const MapGrids& maps, int grid) {
    Values v{};
    for (int row = 1; row <= kMapRows; ++row)
        for (int col = 1; col <= kMapCols; ++col)
            v[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] =
                maps.displayValue(grid, row, col);
    return v;
}

double at(const Values& v, int row, int col) {
    return v[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

// Where `i` lies between `first` and `last`, 0..1; 0 when they are the same.
double fraction(int i, int first, int last) {
    return last == first ? 0.0 : static_cast<double>(i - first) / (last - first);
}

double between(double a, double b, double t) {
    return a + (b - a) * t;
}

// Stores the new display value of every cell of the selection, row by row.
template <typename NewValue>
std::vector<CellText> store(MapGrids& maps, int grid, const CellRange& r, NewValue&& newValue) {
    std::vector<CellText> texts;
    for (int row = r.top(); row <= r.bottom(); ++row)
        for (int col = r.left(); col <= r.right(); ++col) {
            const std::int32_t raw = maps.rawOfDisplay(grid, newValue(row, col));
            maps.GridSetData(grid, row, col, raw);
            texts.push_back({row, col, maps.cellText(grid, row, col)});
        }
    return texts;
}

bool isMap(int grid) {
    return grid >= 0 && grid < kMapGridCount;
}

}  // namespace

std::vector<CellText> interpolateCells(MapGrids& maps, int grid, const CellRange& selection,
                                       InterpolateMode mode) {
    if (!isMap(grid)) return {};
    const CellRange r = cellsWithin(selection, kMapRows, kMapCols);
    const Values v = snapshot(maps, grid);
    const int top = r.top(), bottom = r.bottom(), left = r.left(), right = r.right();
    return store(maps, grid, r, [&](int row, int col) {
        const double u = fraction(col, left, right);
        const double w = fraction(row, top, bottom);
        switch (mode) {
            case InterpolateMode::Rows:
                return between(at(v, row, left), at(v, row, right), u);
            case InterpolateMode::Columns:
                return between(at(v, top, col), at(v, bottom, col), w);
            case InterpolateMode::Block:
                break;
        }
        return between(between(at(v, top, left), at(v, top, right), u),
                       between(at(v, bottom, left), at(v, bottom, right), u), w);
    });
}

std::vector<CellText> smoothCells(MapGrids& maps, int grid, const CellRange& selection) {
    if (!isMap(grid)) return {};
    const CellRange r = cellsWithin(selection, kMapRows, kMapCols);
    const Values v = snapshot(maps, grid);
    return store(maps, grid, r, [&](int row, int col) {
        double sum = 0;
        double weights = 0;
        for (int dr = -1; dr <= 1; ++dr)
            for (int dc = -1; dc <= 1; ++dc) {
                const int nr = row + dr, nc = col + dc;
                if (nr < 1 || nr > kMapRows || nc < 1 || nc > kMapCols) continue;
                // 4 for the cell, 2 for a side neighbour, 1 for a corner one.
                const double weight = dr == 0 && dc == 0 ? 4 : (dr == 0 || dc == 0) ? 2 : 1;
                sum += weight * at(v, nr, nc);
                weights += weight;
            }
        return sum / weights;
    });
}

std::vector<CellText> scaleCells(MapGrids& maps, int grid, const CellRange& selection,
                                 double percent, double offset) {
    if (!isMap(grid)) return {};
    const CellRange r = cellsWithin(selection, kMapRows, kMapCols);
    const Values v = snapshot(maps, grid);
    return store(maps, grid, r,
                 [&](int row, int col) { return at(v, row, col) * percent / 100.0 + offset; });
}

}  // namespace tunalyx
