#pragma once

#include <string>
#include <string_view>

#include "maps/grid_keys.h"
#include "maps/map_grids.h"
#include "model/settings_codec.h"

namespace tunalyx {

// The air flow meter curves: 32 points, one shared voltage axis (row 1, block 0xA0) and the
// airflow counts of two curves (rows 2 and 3, blocks 0xA1 and 0xA2), a 16-bit word each.
inline constexpr int kAirFlowRows = 3;
inline constexpr int kAirFlowCols = 32;
inline constexpr int kAirFlowVoltageRow = 1;
// Cell writes reach the curves 3 to 5 as well (blocks 0xA3..0xA5), which the grid does not show.
inline constexpr int kAirFlowWritableRows = 6;
inline constexpr std::uint8_t kAirFlowFirstBlock = 0xA0;

// "Voltage", "Airflow 1", "Airflow 2"; empty for other rows.
[[nodiscard]] const char* airFlowRowCaption(int row);
// "01".."32".
[[nodiscard]] std::string airFlowColumnCaption(int col);

// The numeric Tag of a cell, e.g. "&HA0, 5,2,.005,0,0.000" for row 1 column 3; empty outside
// rows 1..6 and columns 1..32.
[[nodiscard]] std::string airFlowDescriptor(int row, int col);

// Every shown data cell (Ctrl+A).
[[nodiscard]] inline CellRange airFlowAllCells() {
    return {1, 1, kAirFlowRows, kAirFlowCols};
}

// What a key does on the air flow grid: the map grids' keys, except that Delete writes 0 and
// the value of Increase and Decrease counts steps (1, or 10 with Ctrl), not raw units.
// Only Ctrl+A and Ctrl+C work in compare mode.
[[nodiscard]] GridAction AirFlow_KeyDown(GridKey key, int digit, int shift, bool compareMode);

// The air flow grid over the packet image. Every cell is read and written through its numeric
// descriptor, so edits are clamped, rounded and flagged exactly like a settings text box.
class AirFlowGrid {
public:
    explicit AirFlowGrid(SettingsCodec& codec) : m_codec(codec) {}

    // DisplayData of the cell's descriptor: empty while its block has never been read.
    [[nodiscard]] std::string cellText(int row, int col) const;
    // UpdateData of the cell's descriptor; rows outside 1..6 are ignored. True when bytes
    // changed.
    bool writeCell(int row, int col, std::string_view text);

    // The selection operations; each writes every selected shown cell.
    void setRange(const CellRange& selection, std::string_view text);
    // Adds `steps` steps (negative subtracts): 0.005 V on the voltage row, 1 on airflow rows.
    void step(const CellRange& selection, int steps);

    // Display texts, TAB between cells, CR between rows.
    [[nodiscard]] std::string clipText(const CellRange& selection) const;
    // The clip text fills the selection from its top-left cell, row by row; texts beyond the
    // selection are ignored, cells beyond the text keep their value.
    void paste(const CellRange& selection, std::string_view clip);

    // The map grids' table tools along each selected row, a row being one curve: interpolate
    // between the row's first and last selected cell; smooth over the cell and its two
    // neighbours in the row; scale by a percentage and add an offset. Cells never read are left
    // alone.
    void interpolateRows(const CellRange& selection);
    void smoothRows(const CellRange& selection);
    void scale(const CellRange& selection, double percent, double offset);

private:
    SettingsCodec& m_codec;
};

}  // namespace tunalyx
