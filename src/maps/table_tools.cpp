#include "maps/table_tools.h"

#include <functional>

namespace tunalyx {

namespace {

// The values of the whole table as they are before an operation.
class Snapshot {
public:
    explicit Snapshot(const ToolTable& table) : m_cols(table.cols()) {
        for (int row = 1; row <= table.rows(); ++row)
            for (int col = 1; col <= table.cols(); ++col)
                m_values.push_back(table.value(row, col));
    }
    [[nodiscard]] std::optional<double> at(int row, int col) const {
        return m_values[static_cast<std::size_t>((row - 1) * m_cols + (col - 1))];
    }

private:
    int m_cols;
    std::vector<std::optional<double>> m_values;
};

// Where `i` lies between `first` and `last`, 0..1; 0 when they are the same.
double fraction(int i, int first, int last) {
    return last == first ? 0.0 : static_cast<double>(i - first) / (last - first);
}

std::optional<double> between(std::optional<double> a, std::optional<double> b, double t) {
    if (!a || !b) return std::nullopt;
    return *a + (*b - *a) * t;
}

// Stores the new value of every cell of the selection that has one, row by row.
void store(ToolTable& table, const CellRange& r, const Snapshot& before,
           const std::function<std::optional<double>(int row, int col)>& newValue) {
    for (int row = r.top(); row <= r.bottom(); ++row)
        for (int col = r.left(); col <= r.right(); ++col) {
            if (!before.at(row, col)) continue;
            if (const auto v = newValue(row, col)) table.store(row, col, *v);
        }
}

CellRange within(const ToolTable& table, const CellRange& selection) {
    return cellsWithin(selection, table.rows(), table.cols());
}

// A map grid as a table of its display values.
class MapTable final : public ToolTable {
public:
    MapTable(MapGrids& maps, int grid) : m_maps(maps), m_grid(grid) {}
    int rows() const override { return kMapRows; }
    int cols() const override { return kMapCols; }
    std::optional<double> value(int row, int col) const override {
        return m_maps.displayValue(m_grid, row, col);
    }
    void store(int row, int col, double value) override {
        m_maps.GridSetData(m_grid, row, col, m_maps.rawOfDisplay(m_grid, value));
    }

private:
    MapGrids& m_maps;
    int m_grid;
};

bool isMap(int grid) {
    return grid >= 0 && grid < kMapGridCount;
}

// Runs a tool on a map and gives the texts of the cells it walked.
std::vector<CellText> onMap(MapGrids& maps, int grid, const CellRange& selection,
                            const std::function<void(ToolTable&)>& tool) {
    if (!isMap(grid)) return {};
    MapTable table{maps, grid};
    tool(table);
    std::vector<CellText> texts;
    const CellRange r = within(table, selection);
    for (int row = r.top(); row <= r.bottom(); ++row)
        for (int col = r.left(); col <= r.right(); ++col)
            texts.push_back({row, col, maps.cellText(grid, row, col)});
    return texts;
}

}  // namespace

void interpolate(ToolTable& table, const CellRange& selection, InterpolateMode mode) {
    const CellRange r = within(table, selection);
    const Snapshot v(table);
    const int top = r.top(), bottom = r.bottom(), left = r.left(), right = r.right();
    store(table, r, v, [&](int row, int col) {
        const double u = fraction(col, left, right);
        const double w = fraction(row, top, bottom);
        switch (mode) {
            case InterpolateMode::Rows:
                return between(v.at(row, left), v.at(row, right), u);
            case InterpolateMode::Columns:
                return between(v.at(top, col), v.at(bottom, col), w);
            case InterpolateMode::Block:
                break;
        }
        return between(between(v.at(top, left), v.at(top, right), u),
                       between(v.at(bottom, left), v.at(bottom, right), u), w);
    });
}

void smooth(ToolTable& table, const CellRange& selection, Neighbours neighbours) {
    const CellRange r = within(table, selection);
    const Snapshot v(table);
    const int rowReach = neighbours == Neighbours::Area ? 1 : 0;
    store(table, r, v, [&](int row, int col) -> std::optional<double> {
        double sum = 0;
        double weights = 0;
        for (int dr = -rowReach; dr <= rowReach; ++dr)
            for (int dc = -1; dc <= 1; ++dc) {
                const int nr = row + dr, nc = col + dc;
                if (nr < 1 || nr > table.rows() || nc < 1 || nc > table.cols()) continue;
                const auto neighbour = v.at(nr, nc);
                if (!neighbour) continue;
                // 4 for the cell, 2 for a side neighbour, 1 for a corner one.
                const double weight = dr == 0 && dc == 0 ? 4 : (dr == 0 || dc == 0) ? 2 : 1;
                sum += weight * *neighbour;
                weights += weight;
            }
        return sum / weights;
    });
}

void scale(ToolTable& table, const CellRange& selection, double percent, double offset) {
    const CellRange r = within(table, selection);
    const Snapshot v(table);
    store(table, r, v,
          [&](int row, int col) { return *v.at(row, col) * percent / 100.0 + offset; });
}

std::vector<CellText> interpolateCells(MapGrids& maps, int grid, const CellRange& selection,
                                       InterpolateMode mode) {
    return onMap(maps, grid, selection,
                 [&](ToolTable& table) { interpolate(table, selection, mode); });
}

std::vector<CellText> smoothCells(MapGrids& maps, int grid, const CellRange& selection) {
    return onMap(maps, grid, selection,
                 [&](ToolTable& table) { smooth(table, selection, Neighbours::Area); });
}

std::vector<CellText> scaleCells(MapGrids& maps, int grid, const CellRange& selection,
                                 double percent, double offset) {
    return onMap(maps, grid, selection,
                 [&](ToolTable& table) { scale(table, selection, percent, offset); });
}

}  // namespace tunalyx
