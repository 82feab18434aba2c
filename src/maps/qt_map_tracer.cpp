#include "maps/qt_map_tracer.h"

#include <QAction>
#include <QHeaderView>
#include <QPainter>
#include <QTabWidget>

#include <utility>

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
    const int m = MapTracerView::kMarginPixels;
    p.drawRect(QRect(1, 1, width() - 2 - m, height() - 2 - m));
}

MapTracerView::MapTracerView(Session& session,
                             const std::array<MapGridWidget*, kMapGridCount>& grids,
                             QTabWidget& tabs, TracerMenuItems menu, QObject* parent)
    : QObject(parent),
      m_session(session),
      m_tracer(session.tracer),
      m_grids(grids),
      m_tabs(tabs),
      m_menu(std::move(menu)),
      m_marker(new MapPosMarker(grids[0])) {
    m_marker->hide();
    // Cells change size with the window: the marker goes with its cell at once, not only at
    // the next sample.
    for (MapGridWidget* g : m_grids)
        for (QHeaderView* header : {g->horizontalHeader(), g->verticalHeader()})
            connect(header, &QHeaderView::sectionResized, this, [this, g] {
                if (m_marker->parentWidget() == g) placeMarker(g);
            });
}

void MapTracerView::sizeMarker() {
    MapGridWidget* g = m_grids[0];
    m_marker->resize(g->columnWidth(0) + kMarginPixels, g->rowHeight(0) + kMarginPixels);
    m_marker->RectangleResize();
}

void MapTracerView::draw(const std::optional<MapTracer::Drawing>& drawing) {
    if (!drawing) return;
    MapGridWidget* g = m_grids[static_cast<std::size_t>(drawing->grid)];
    // Only the cells the marker left and reached are painted again, at the next frame.
    if (drawing->select) g->setSelectionRange(drawing->covered);
    g->cells().coloursChanged(drawing->covered);
    if (m_marker->parentWidget() != g) m_marker->setParent(g);
    m_marker->setVisible(m_tracer.options().trace);
    m_markerAt = {drawing->x, drawing->y};
    placeMarker(g);
}

void MapTracerView::placeMarker(MapGridWidget* g) {
    const int left = g->frameWidth() + g->verticalHeader()->width() +
                     static_cast<int>(g->columnWidth(0) * m_markerAt.x());
    const int top = g->frameWidth() + static_cast<int>(g->horizontalHeader()->height() +
                                                       g->rowHeight(0) * m_markerAt.y());
    m_marker->resize(g->columnWidth(0) + kMarginPixels, g->rowHeight(0) + kMarginPixels);
    m_marker->move(left, top);
    m_marker->raise();
}

void MapTracerView::showOptions() {
    const MapTracer::Options& o = m_tracer.options();
    m_menu.trace->setChecked(o.trace);
    m_menu.autoSelect->setChecked(o.autoSelect);
    m_menu.ghost->setChecked(o.ghost);
    m_menu.ghostClear->setEnabled(o.ghost);
    for (int i = 0; i < m_menu.sources.size(); ++i)
        m_menu.sources[i]->setChecked(i == o.source);
    m_marker->setVisible(o.trace);
}

void MapTracerView::ShowMapPos(double x, double y) {
    draw(m_tracer.ShowMapPos(x, y, m_tabs.currentIndex()));
}

void MapTracerView::mnuMapTrace_Click() {
    const auto drawing = m_tracer.mnuMapTrace_Click(m_tabs.currentIndex());
    showOptions();
    draw(drawing);
}

void MapTracerView::mnuAutoSelect_Click() {
    m_tracer.mnuAutoSelect_Click();
    showOptions();
}

void MapTracerView::mnuMapTraceGhost_Click() {
    m_tracer.mnuMapTraceGhost_Click();
    showOptions();
    for (MapGridWidget* g : m_grids)
        g->cells().coloursChanged(CellRange::all());
}

void MapTracerView::mnuMapTraceGhostClear_Click() {
    m_tracer.mnuMapTraceGhostClear_Click();
    for (MapGridWidget* g : m_grids)
        g->cells().coloursChanged(CellRange::all());
}

void MapTracerView::mnuSetupMapTraceSource_Click(int index) {
    m_tracer.mnuSetupMapTraceSource_Click(index);
    showOptions();
}

void MapTracerView::SSTab1_Click(int tab) {
    if (tab >= kMapGridCount) return;
    const MapTracer::TabChange change = m_tracer.SSTab1_Click(tab, !m_session.compareMode);
    if (change.carriedFrom)
        m_grids[static_cast<std::size_t>(tab)]->cells().coloursChanged(CellRange::all());
    draw(change.drawing);
    if (m_grids[static_cast<std::size_t>(tab)]->isVisible())
        m_grids[static_cast<std::size_t>(tab)]->setFocus();
}

}  // namespace tunalyx
