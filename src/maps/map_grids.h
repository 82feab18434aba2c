#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/number_format.h"
#include "model/packet_image.h"

namespace tunalyx {

inline constexpr int kMapRows = 20;
inline constexpr int kMapCols = 20;
inline constexpr int kMapGridCount = 3;  // Inj Map, Ign Map, Base Map
inline constexpr int kInjMap = 0;
inline constexpr int kIgnMap = 1;
inline constexpr int kBaseMap = 2;

// The Tag of a map grid: block,width,scale,offset,format,min,max, e.g.
// "&H86,1,0.00390625,0.5,0.000,0,255". A map fills 4 x width blocks of 100 bytes from `block`.
struct MapDescriptor {
    int block = 0;
    int width = 1;  // bytes per cell, 1 or 2
    float scale = 1;
    float offset = 0;
    std::string format;
    float min = 0;  // smallest raw value an edit may store
    float max = 255;
};
[[nodiscard]] std::optional<MapDescriptor> parseMapDescriptor(std::string_view tag);

// The caption of a map's tab: "Inj Map", "Ign Map", "Base Map".
[[nodiscard]] const char* mapTabCaption(int grid);

// The Tags the grids start with.
[[nodiscard]] const std::array<std::string, kMapGridCount>& startupMapTags();

// Cells are stored column by column: cell index k = (col - 1) x 20 + (row - 1).
[[nodiscard]] constexpr int cellIndex(int row, int col) {
    return (col - 1) * kMapRows + (row - 1);
}
// Where a cell lives: byte number p = k x width from the map's first block,
// block = first + p / 100, byte = p % 100 + 1.
struct CellAddress {
    std::uint8_t block;
    int byte;  // 1-based
};
[[nodiscard]] CellAddress cellAddress(const MapDescriptor& d, int row, int col);

// A rectangle of data cells between (row, col) and (rowSel, colSel) in either order; walked row
// by row from the smaller row, each row from the smaller column.
struct CellRange {
    int row = 1;
    int col = 1;
    int rowSel = 1;
    int colSel = 1;
    [[nodiscard]] int top() const { return std::min(row, rowSel); }
    [[nodiscard]] int bottom() const { return std::max(row, rowSel); }
    [[nodiscard]] int left() const { return std::min(col, colSel); }
    [[nodiscard]] int right() const { return std::max(col, colSel); }
    static CellRange all() { return {1, 1, kMapRows, kMapCols}; }
};

// The rows and columns of a range as the grids label them: "P03-P09 N04-N12", "P03 N04".
[[nodiscard]] std::string cellRangeText(const CellRange& range);

// The part of a range inside a grid of rows x cols data cells (header cells are never walked).
[[nodiscard]] CellRange cellsWithin(const CellRange& range, int rows, int cols);

// Clip text as rows of cell texts: TAB between cells; rows end with CR as the grids write them,
// or CR LF / LF as spreadsheets do. One trailing break ends the last row, not an empty one.
[[nodiscard]] std::vector<std::vector<std::string_view>> splitClip(std::string_view clip);

// Where the layout in force puts the maps: each grid's Tag with its parsed descriptor, and the
// map reference block. The version layouts rewrite it; it starts as the grids' start-up Tags.
class MapLayout {
public:
    MapLayout();

    // Replaces the first block of a grid's map; a block that would push the map past 0xFF
    // leaves the grid where it was.
    void setMapBlock(int grid, int block);
    [[nodiscard]] const MapDescriptor& descriptor(int grid) const {
        return m_descriptors.at(static_cast<std::size_t>(grid));
    }
    [[nodiscard]] std::string tag(int grid) const;
    // The blocks of a grid's map, first to last.
    [[nodiscard]] std::vector<std::uint8_t> mapBlocks(int grid) const;

    // The command byte of the map reference block: bytes 1..40 row breakpoints, 41..80 column
    // breakpoints, little-endian words.
    std::uint8_t MapRefBlock = 0x8A;

private:
    std::array<std::string, kMapGridCount> m_tags = startupMapTags();
    std::array<MapDescriptor, kMapGridCount> m_descriptors{};
};

// The cells changed since the unit last had them, indexed [grid 0..4][row 0..20][column 0..20]
// as the transfers count them (more grids than exist; row and column 0 are never data).
class CellFlags {
public:
    [[nodiscard]] bool isSet(int grid, int row, int col) const;
    void set(int grid, int row, int col, bool changed);
    void clear(int grid);
    // The data cells of a grid that are set.
    [[nodiscard]] int count(int grid) const;
    friend bool operator==(const CellFlags&, const CellFlags&) = default;

private:
    static constexpr int kGrids = 5;
    std::array<std::array<std::array<bool, kMapCols + 1>, kMapRows + 1>, kGrids> m_flags{};
};

// A cell whose text the grid must show after an edit operation.
struct CellText {
    int row;
    int col;
    std::string text;
};

// The three maps over the packet image: the cell codec of the layout's descriptors, the per-cell
// changed flags and the edit operations on a selection. Every change of a cell writes the image,
// sets the block's PacketDirty flag and the cell's CellChanged flag, and calls onChange
// (UpdateEnable). The grids keep nothing of their own but the locale: the image, the flags and
// the layout they work on are held by whoever holds the tune.
class MapGrids {
public:
    MapGrids(PacketImage& image, PacketDirty& dirty, MapLayout& layout, CellFlags& cellChanged)
        : MapRefBlock(layout.MapRefBlock),
          m_image(image),
          m_dirty(dirty),
          m_layout(layout),
          m_cellChanged(cellChanged) {}

    // Fills the map blocks of the image with zero bytes.
    void GridInit();
    // Replaces the first block of a grid's map (the version layouts move the maps).
    void setMapBlock(int grid, int block) { m_layout.setMapBlock(grid, block); }
    [[nodiscard]] const MapDescriptor& descriptor(int grid) const {
        return m_layout.descriptor(grid);
    }
    [[nodiscard]] std::string tag(int grid) const { return m_layout.tag(grid); }
    [[nodiscard]] std::vector<std::uint8_t> mapBlocks(int grid) const {
        return m_layout.mapBlocks(grid);
    }
    // The layout's map reference block.
    std::uint8_t& MapRefBlock;

    void setLocale(const NumberLocale& locale) { m_locale = locale; }
    [[nodiscard]] const NumberLocale& locale() const { return m_locale; }
    std::function<void()> onChange;

    // Raw value of a cell (0 for a cell that cannot be addressed).
    [[nodiscard]] std::int32_t GridData(int grid, int row, int col) const;
    // Stores a raw value (width 1: clamped to 0..255; width 2: low byte v mod 256, high byte
    // (v div 256) clamped). Marks the cell and the block only when the bytes change; true then.
    bool GridSetData(int grid, int row, int col, std::int32_t value);
    // Display text of a raw value: format(value x scale + offset).
    [[nodiscard]] std::string fText(int grid, std::int32_t value) const;
    // Raw value of a typed display value: clamped to min..max, then rounded half to even;
    // 0 for a text that is not a number.
    [[nodiscard]] std::int32_t GridParse(int grid, std::string_view text) const;
    // Raw value of a display value: clamped to min..max, then rounded half to even.
    [[nodiscard]] std::int32_t rawOfDisplay(int grid, double value) const;
    // Display value of a cell: raw x scale + offset.
    [[nodiscard]] double displayValue(int grid, int row, int col) const;
    // Display text of a cell as the grid shows it.
    [[nodiscard]] std::string cellText(int grid, int row, int col) const;
    // The single-cell write: the command below the map's first block, the cell index k (low
    // byte, high byte) and the cell's raw value (one byte, or low then high byte).
    [[nodiscard]] Bytes cellWriteRequest(int grid, int row, int col) const;

    // The selection operations; each returns the texts of every cell it walked.
    std::vector<CellText> GridIncrease(int grid, const CellRange& selection, std::int32_t step);
    std::vector<CellText> GridDecrease(int grid, const CellRange& selection, std::int32_t step);
    std::vector<CellText> GridSetRange(int grid, const CellRange& editRange, std::int32_t value);
    // Re-parses the given texts of the selected cells (row by row) and stores them.
    std::vector<CellText> GridCommit(int grid, const CellRange& selection,
                                     const std::function<std::string(int row, int col)>& textOf);

    // Clip text of a selection: display texts, TAB between cells, CR between rows.
    [[nodiscard]] std::string clipText(int grid, const CellRange& selection) const;
    // Paste: the clip text fills the selection from its top-left cell, row by row; texts beyond
    // the selection are ignored, cells beyond the text keep their text; then GridCommit.
    std::vector<CellText> paste(int grid, const CellRange& selection, std::string_view clip);

    // "ReCalc Base": folds the injection factor of every cell into the base map and sets the
    // injection cell to 1.000 (raw 128).
    void ReCalcBase();

    [[nodiscard]] bool CellChanged(int grid, int row, int col) const {
        return m_cellChanged.isSet(grid, row, col);
    }
    void setCellChanged(int grid, int row, int col, bool changed) {
        m_cellChanged.set(grid, row, col, changed);
    }
    void clearCellChanged(int grid) { m_cellChanged.clear(grid); }
    [[nodiscard]] int changedCellCount(int grid) const { return m_cellChanged.count(grid); }

    // Axis label texts: "N01".."N20" / "P01".."P20", or the breakpoints of the map reference.
    [[nodiscard]] std::vector<std::string> columnLabels(bool fromMapReference) const;
    [[nodiscard]] std::vector<std::string> rowLabels(bool fromMapReference) const;

private:
    PacketImage& m_image;
    PacketDirty& m_dirty;
    MapLayout& m_layout;
    CellFlags& m_cellChanged;
    NumberLocale m_locale;
};

// The map tracer's geometry: the cells a one-cell marker with its top-left corner at (x, y)
// covers by more than a quarter of a cell: col = int(x + 0.25) + 1 .. int(x + 0.75) + 1, the same
// for rows. x, y count cells from the first data cell (0.0 = column 1, 19.0 = column 20).
[[nodiscard]] CellRange coveredCells(double x, double y);

}  // namespace tunalyx
