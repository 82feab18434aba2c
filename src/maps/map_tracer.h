#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "maps/map_grids.h"

namespace tunalyx {

// Background colour of a grid cell as 0x00BBGGRR; 0 is the grid's own background.
using CellColour = std::uint32_t;
inline constexpr CellColour kNormalBackground = 0;
inline constexpr CellColour kGhostColour = 0x0000FF;  // pure red

// The background colours of the data cells of the three grids: the tracer's ghost trail and
// compare's difference colours are nothing but these.
class MapColours {
public:
    [[nodiscard]] CellColour at(int grid, int row, int col) const;
    void set(int grid, int row, int col, CellColour colour);
    void clear(int grid);
    // Every cell of `to` takes the colour of the same cell of `from`.
    void copy(int from, int to);

private:
    using Grid = std::array<std::array<CellColour, kMapCols>, kMapRows>;
    std::array<Grid, kMapGridCount> m_cells{};
};

// The map position tracer without its widgets: the options of the Maps menu, the last position,
// the tab traced last and the ghost trail. The window draws what each step returns.
class MapTracer {
public:
    struct Options {
        bool trace = false;       // "&Map Tracer"
        bool autoSelect = false;  // "&Auto Select"
        bool ghost = false;       // "&Ghost"
        int source = 0;           // MapTraceSource: 0 "&Advanced", 1 "&MapRef"
    };
    // One drawn position: the grid, the cells the marker covers (already inside the map), whether
    // they become the grid's selection, and the marker's top-left corner in cells.
    struct Drawing {
        int grid;
        CellRange covered;
        bool select;
        double x;
        double y;
    };
    // A tab change while tracing: the trail carried from `from` (when the ghost is on) and the
    // trace redrawn on the new grid.
    struct TabChange {
        std::optional<int> carriedFrom;
        std::optional<Drawing> drawing;
    };

    explicit MapTracer(MapColours& colours) : m_colours(colours) {}

    // Draws at (x, y) on the grid of the active tab (the last grid when a settings tab is active);
    // x < 0 redraws the last position. Nothing is drawn while the tracer is off.
    std::optional<Drawing> ShowMapPos(double x, double y, int activeTab);
    // Turns the tracer off, or on and redraws the last position.
    std::optional<Drawing> mnuMapTrace_Click(int activeTab);
    void mnuAutoSelect_Click() { m_options.autoSelect = !m_options.autoSelect; }
    // Turning the ghost off also clears every grid's colours.
    void mnuMapTraceGhost_Click();
    void mnuMapTraceGhostClear_Click();
    void mnuSetupMapTraceSource_Click(int index);
    // The main tab control changed to tab t. `carryTrail` is false while the colours are not the
    // trail's alone (compare's differences): each grid then keeps its own.
    TabChange SSTab1_Click(int tab, bool carryTrail = true);

    [[nodiscard]] const Options& options() const { return m_options; }
    [[nodiscard]] int TraceTab() const { return m_traceTab; }
    [[nodiscard]] double lastX() const { return m_lastX; }
    [[nodiscard]] double lastY() const { return m_lastY; }

private:
    MapColours& m_colours;
    Options m_options;
    double m_lastX = 0;
    double m_lastY = 0;
    int m_traceTab = 0;
};

}  // namespace tunalyx
