#pragma once

#include <QObject>
#include <QPointF>
#include <QWidget>
#include <array>
#include <optional>

#include <QList>

#include "maps/map_grid_widget.h"
#include "maps/map_tracer.h"

class QAction;
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

// The Maps menu's items of the tracer; their check marks show its options.
struct TracerMenuItems {
    QAction* trace;       // "&Map Tracer"
    QAction* autoSelect;  // "&Auto Select"
    QAction* ghost;       // "&Ghost"
    QAction* ghostClear;  // "Ghost Clear", enabled while the ghost is on
    QList<QAction*> sources;
};

// The map tracer on the grids: forwards the Maps menu and the tab changes to the session's
// tracer and draws what it answers: the marker, the selection and the ghost colours.
class MapTracerView final : public QObject {
public:
    static constexpr int kMarginPixels = 1;  // 20 twips

    MapTracerView(Session& session, const std::array<MapGridWidget*, kMapGridCount>& grids,
                  QTabWidget& tabs, TracerMenuItems menu, QObject* parent = nullptr);

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

    [[nodiscard]] MapPosMarker& marker() { return *m_marker; }

private:
    void draw(const std::optional<MapTracer::Drawing>& drawing);
    // The marker over the last position drawn, for the cells' present size.
    void placeMarker(MapGridWidget* grid);
    void showOptions();

    const Session& m_session;
    MapTracer& m_tracer;
    std::array<MapGridWidget*, kMapGridCount> m_grids;
    QTabWidget& m_tabs;
    TracerMenuItems m_menu;
    MapPosMarker* m_marker;
    QPointF m_markerAt;  // in cells from the first data cell
};

}  // namespace tunalyx
