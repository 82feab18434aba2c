#include "maps/map_tracer.h"

#include <algorithm>

namespace tunalyx {

namespace {

bool isCell(int grid, int row, int col) {
    return grid >= 0 && grid < kMapGridCount && row >= 1 && row <= kMapRows && col >= 1 &&
           col <= kMapCols;
}

// A position past the last breakpoint (or before the first) still marks a cell of the map.
CellRange insideTheMap(CellRange r) {
    r.row = std::clamp(r.row, 1, kMapRows);
    r.rowSel = std::clamp(r.rowSel, 1, kMapRows);
    r.col = std::clamp(r.col, 1, kMapCols);
    r.colSel = std::clamp(r.colSel, 1, kMapCols);
    return r;
}

}  // namespace

CellColour MapColours::at(int grid, int row, int col) const {
    if (!isCell(grid, row, col)) return kNormalBackground;
    return m_cells[static_cast<std::size_t>(grid)][static_cast<std::size_t>(row - 1)]
                  [static_cast<std::size_t>(col - 1)];
}

void MapColours::set(int grid, int row, int col, CellColour colour) {
    if (!isCell(grid, row, col)) return;
    m_cells[static_cast<std::size_t>(grid)][static_cast<std::size_t>(row - 1)]
           [static_cast<std::size_t>(col - 1)] = colour;
}

void MapColours::clear(int grid) {
    if (grid < 0 || grid >= kMapGridCount) return;
    for (auto& row : m_cells[static_cast<std::size_t>(grid)])
        row.fill(kNormalBackground);
}

void MapColours::copy(int from, int to) {
    if (from < 0 || from >= kMapGridCount || to < 0 || to >= kMapGridCount) return;
    m_cells[static_cast<std::size_t>(to)] = m_cells[static_cast<std::size_t>(from)];
}

std::optional<MapTracer::Drawing> MapTracer::ShowMapPos(double x, double y, int activeTab) {
    if (x < 0) {
        x = m_lastX;
        y = m_lastY;
    } else {
        m_lastX = x;
        m_lastY = y;
    }
    if (!m_options.trace) return std::nullopt;
    const int grid = std::clamp(activeTab, 0, kMapGridCount - 1);
    const CellRange covered = insideTheMap(coveredCells(x, y));
    if (m_options.ghost) {
        for (int row = covered.top(); row <= covered.bottom(); ++row)
            for (int col = covered.left(); col <= covered.right(); ++col)
                m_colours.set(grid, row, col, kGhostColour);
    }
    return Drawing{grid, covered, m_options.autoSelect, x, y};
}

std::optional<MapTracer::Drawing> MapTracer::mnuMapTrace_Click(int activeTab) {
    // Turning the tracer off leaves the trail and the selection as they are.
    m_options.trace = !m_options.trace;
    if (!m_options.trace) return std::nullopt;
    return ShowMapPos(-1, -1, activeTab);
}

void MapTracer::mnuMapTraceGhost_Click() {
    m_options.ghost = !m_options.ghost;
    if (!m_options.ghost) mnuMapTraceGhostClear_Click();
}

void MapTracer::mnuMapTraceGhostClear_Click() {
    for (int grid = 0; grid < kMapGridCount; ++grid)
        m_colours.clear(grid);
}

void MapTracer::mnuSetupMapTraceSource_Click(int index) {
    m_options.source = index;
}

MapTracer::TabChange MapTracer::SSTab1_Click(int tab, bool carryTrail) {
    TabChange change;
    if (tab < 0 || tab >= kMapGridCount || tab == m_traceTab) return change;
    if (m_options.trace) {
        // The maps share their axes, so the trail seen on one belongs on the next.
        if (m_options.ghost && carryTrail) {
            m_colours.copy(m_traceTab, tab);
            change.carriedFrom = m_traceTab;
        }
        change.drawing = ShowMapPos(-1, -1, tab);
    }
    m_traceTab = tab;
    return change;
}

}  // namespace tunalyx
