#pragma once

#include <QObject>
#include <QWidget>
#include <array>

#include "app/qt_main_menus.h"
#include "maps/map_grid_widget.h"

class QTabWidget;

namespace tunalyx {

// ctlMapPos: one cell plus a small margin, drawn as an outline only so the cell text stays
// readable; mouse clicks pass through to the grid.
class MapPosMarker final : public QWidget {
public:
    explicit MapPosMarker(QWidget* parent = nullptr);
    // Redraws the outline for the current size.
    void RectangleResize() { update(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The map position tracer on the map grids: the marker at the traced position, the covered
// cells selected (Auto Select) and painted red (Ghost), and the trail carried to the next map.
class MapTracer final : public QObject {
public:
    static constexpr int kMarginPixels = 1;  // 20 twips

    MapTracer(const std::array<MapGridWidget*, kMapGridCount>& grids, QTabWidget& tabs,
              const MainMenus& menus, QObject* parent = nullptr);

    // Draws the trace at (x, y) in cells from the first data cell; x < 0 redraws the last one.
    void ShowMapPos(double x, double y);
    void mnuMapTrace_Click();
    void mnuAutoSelect_Click();
    void mnuMapTraceGhost_Click();
    void mnuMapTraceGhostClear_Click();
    void mnuSetupMapTraceSource_Click(int index);
    // The tab control changed to tab t.
    void SSTab1_Click(int tab);
    // Sizes the marker to one data cell of the first grid (after the grids were laid out).
    void sizeMarker();

    [[nodiscard]] int MapTraceSource() const { return m_source; }
    [[nodiscard]] int TraceTab() const { return m_traceTab; }
    [[nodiscard]] MapPosMarker& marker() { return *m_marker; }
    [[nodiscard]] double lastX() const { return m_lastX; }
    [[nodiscard]] double lastY() const { return m_lastY; }

    static QColor ghostColor() { return QColor(255, 0, 0); }

private:
    [[nodiscard]] MapGridWidget* tracedGrid() const;

    std::array<MapGridWidget*, kMapGridCount> m_grids;
    QTabWidget& m_tabs;
    const MainMenus& m_menus;
    MapPosMarker* m_marker;
    double m_lastX = 0;
    double m_lastY = 0;
    int m_traceTab = 0;
    int m_source = 0;
};

}  // namespace tunalyx
