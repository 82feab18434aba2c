#include "maps/qt_map_tracer.h"

#include <QAction>
#include <QHeaderView>
#include <QPainter>
#include <QTabWidget>

namespace tunalyx {

MapPosMarker::MapPosMarker(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ctlMapPos"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void MapPosMarker::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(QPen(Qt::black, 2));
    // The outline is inset by the margin at the right and bottom edges.
    const int m = MapTracer::kMarginPixels;
    p.drawRect(QRect(1, 1, width() - 2 - m, height() - 2 - m));
}

MapTracer::MapTracer(const std::array<MapGridWidget*, kMapGridCount>& grids, QTabWidget& tabs,
                     const MainMenus& menus, QObject* parent)
    : QObject(parent),
      m_grids(grids),
      m_tabs(tabs),
      m_menus(menus),
      m_marker(new MapPosMarker(grids[0])) {
    m_marker->hide();
}

void MapTracer::sizeMarker() {
    MapGridWidget* g = m_grids[0];
    m_marker->resize(g->columnWidth(0) + kMarginPixels, g->rowHeight(0) + kMarginPixels);
    m_marker->RectangleResize();
}

MapGridWidget* MapTracer::tracedGrid() const {
    return m_grids[static_cast<std::size_t>(
        std::clamp(m_tabs.currentIndex(), 0, kMapGridCount - 1))];
}

void MapTracer::ShowMapPos(double x, double y) {
    if (x < 0) {
        x = m_lastX;
        y = m_lastY;
    } else {
        m_lastX = x;
        m_lastY = y;
    }
    if (!m_menus.mnuMapTrace->isChecked()) return;
    MapGridWidget* g = tracedGrid();
    const CellRange saved = g->selectionRange();
    g->setUpdatesEnabled(false);
    CellRange covered = coveredCells(x, y);
    covered.rowSel = std::min(covered.rowSel, kMapRows);
    covered.colSel = std::min(covered.colSel, kMapCols);
    g->setSelectionRange(covered);
    if (m_menus.mnuMapTraceGhost->isChecked())
        for (int r = covered.top(); r <= covered.bottom(); ++r)
            for (int c = covered.left(); c <= covered.right(); ++c)
                g->cells().setCellColor(r, c, ghostColor());
    if (!m_menus.mnuAutoSelect->isChecked()) g->setSelectionRange(saved);
    if (m_marker->parentWidget() != g) {
        m_marker->setParent(g);
        m_marker->setVisible(m_menus.mnuMapTrace->isChecked());
    }
    const int left =
        g->frameWidth() + g->verticalHeader()->width() + static_cast<int>(g->columnWidth(0) * x);
    const int top =
        g->frameWidth() + static_cast<int>(g->horizontalHeader()->height() + g->rowHeight(0) * y);
    m_marker->resize(g->columnWidth(0) + kMarginPixels, g->rowHeight(0) + kMarginPixels);
    m_marker->move(left, top);
    m_marker->raise();
    g->setUpdatesEnabled(true);
}

void MapTracer::mnuMapTrace_Click() {
    if (m_menus.mnuMapTrace->isChecked()) {
        m_menus.mnuMapTrace->setChecked(false);
        m_marker->hide();
        return;
    }
    m_menus.mnuMapTrace->setChecked(true);
    m_marker->show();
    ShowMapPos(-1, -1);
}

void MapTracer::mnuAutoSelect_Click() {
    m_menus.mnuAutoSelect->setChecked(!m_menus.mnuAutoSelect->isChecked());
}

void MapTracer::mnuMapTraceGhost_Click() {
    if (m_menus.mnuMapTraceGhost->isChecked()) {
        m_menus.mnuMapTraceGhost->setChecked(false);
        mnuMapTraceGhostClear_Click();
        m_menus.mnuMapTraceGhostClear->setEnabled(false);
    } else {
        m_menus.mnuMapTraceGhost->setChecked(true);
        m_menus.mnuMapTraceGhostClear->setEnabled(true);
    }
}

void MapTracer::mnuMapTraceGhostClear_Click() {
    for (MapGridWidget* g : m_grids)
        g->cells().clearColors(CellRange::all());
}

void MapTracer::mnuSetupMapTraceSource_Click(int index) {
    for (int i = 0; i < m_menus.mnuSetupMapTraceSource.size(); ++i)
        m_menus.mnuSetupMapTraceSource[i]->setChecked(i == index);
    m_source = index;
}

void MapTracer::SSTab1_Click(int tab) {
    if (tab >= kMapGridCount) return;
    if (tab != m_traceTab) {
        if (!m_menus.mnuMapTrace->isChecked()) {
            m_traceTab = tab;
        } else {
            if (m_menus.mnuMapTraceGhost->isChecked()) {
                // The maps share their axes, so the trail seen on one belongs on the next.
                MapGridModel& from = m_grids[static_cast<std::size_t>(m_traceTab)]->cells();
                MapGridModel& to = m_grids[static_cast<std::size_t>(tab)]->cells();
                for (int r = 1; r <= kMapRows; ++r)
                    for (int c = 1; c <= kMapCols; ++c)
                        to.setCellColor(r, c, from.cellColor(r, c));
            }
            ShowMapPos(-1, -1);
            m_traceTab = tab;
        }
    }
    if (m_grids[static_cast<std::size_t>(tab)]->isVisible())
        m_grids[static_cast<std::size_t>(tab)]->setFocus();
}

}  // namespace tunalyx
