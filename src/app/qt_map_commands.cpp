#include "app/qt_map_commands.h"

#include <QAction>
#include <QMenu>
#include <functional>

namespace tunalyx {

QtMapCommands::QtMapCommands(Session& session,
                             const std::array<MapGridWidget*, kMapGridCount>& grids,
                             QTabWidget& tabs, const MainMenus& menus, QObject* parent)
    : QObject(parent),
      m_session(session),
      m_grids(grids),
      m_menus(menus),
      m_tracer(std::make_unique<MapTracerView>(
          session, grids, tabs,
          TracerMenuItems{menus.mnuMapTrace, menus.mnuAutoSelect, menus.mnuMapTraceGhost,
                          menus.mnuMapTraceGhostClear, menus.mnuSetupMapTraceSource})) {
    for (MapGridWidget* g : m_grids)
        connect(g, &MapGridWidget::contextMenuRequested, this, &QtMapCommands::showContextMenu);

    const MainMenus& m = m_menus;
    for (QAction* a : {m.mnuGridCopy, m.mnuGridPaste, m.mnuMapRefLabels, m.mnuMapTrace,
                       m.mnuAutoSelect, m.mnuMapTraceGhost})
        a->setEnabled(true);
    for (QAction* a : m.mnuSetupMapTraceSource)
        a->setEnabled(true);
    // Each handler decides the check itself, so the automatic toggle is taken back first.
    auto handler = [this](QAction* a, std::function<void()> f) {
        connect(a, &QAction::triggered, this, [a, f] {
            if (a->isCheckable()) a->setChecked(!a->isChecked());
            f();
        });
    };
    MapTracerView& tracer = *m_tracer;
    handler(m.mnuGridCopy,
            [this] { m_grids[static_cast<std::size_t>(m_popupGrid)]->copySelection(); });
    handler(m.mnuGridPaste,
            [this] { m_grids[static_cast<std::size_t>(m_popupGrid)]->pasteClipboard(); });
    handler(m.mnuMapRefLabels, [this] {
        m_menus.mnuMapRefLabels->setChecked(!m_menus.mnuMapRefLabels->isChecked());
        GridLabels();
    });
    handler(m.mnuMapTrace, [&tracer] { tracer.mnuMapTrace_Click(); });
    handler(m.mnuAutoSelect, [&tracer] { tracer.mnuAutoSelect_Click(); });
    handler(m.mnuMapTraceGhost, [&tracer] { tracer.mnuMapTraceGhost_Click(); });
    handler(m.mnuMapTraceGhostClear, [&tracer] { tracer.mnuMapTraceGhostClear_Click(); });
    for (int i = 0; i < m.mnuSetupMapTraceSource.size(); ++i)
        handler(m.mnuSetupMapTraceSource[i],
                [&tracer, i] { tracer.mnuSetupMapTraceSource_Click(i); });
    handler(m.mnuReCalcBase, [this] {
        m_session.history.begin();
        m_session.maps.ReCalcBase();
        m_session.history.commit("ReCalc Base");
        m_session.view().GridDisplay(kInjMap);
        m_session.view().GridDisplay(kBaseMap);
        m_session.view().UpdateEnable();
    });
}

void QtMapCommands::showContextMenu(int grid, const QPoint& at) {
    // Copy, Paste and Ghost Clear show only in the grids' own menu, Source only on the bar.
    m_popupGrid = grid;
    const auto contextItems = {m_menus.mnuGridCopy, m_menus.mnuGridPaste,
                               m_menus.tableTools->menuAction(), m_menus.mnuSep4,
                               m_menus.mnuMapTraceGhostClear};
    for (QAction* a : contextItems)
        a->setVisible(true);
    m_menus.traceSource->menuAction()->setVisible(false);
    m_menus.maps->exec(at);
    for (QAction* a : contextItems)
        a->setVisible(false);
    m_menus.traceSource->menuAction()->setVisible(true);
}

void QtMapCommands::GridLabels() {
    for (MapGridWidget* g : m_grids)
        g->GridLabels(m_menus.mnuMapRefLabels->isChecked());
}

}  // namespace tunalyx
