#pragma once

#include <QObject>
#include <array>
#include <memory>

#include "app/qt_main_menus.h"
#include "maps/map_grid_widget.h"
#include "maps/qt_map_tracer.h"
#include "session/session.h"

class QTabWidget;

namespace tunalyx {

// The Maps menu and the grids' context menu (Copy, Paste, MapRef Labels, the map tracer's items)
// and Tools > ReCalc Base.
class QtMapCommands final : public QObject {
public:
    QtMapCommands(Session& session, const std::array<MapGridWidget*, kMapGridCount>& grids,
                  QTabWidget& tabs, const MainMenus& menus, QObject* parent = nullptr);

    // The axis labels of every grid, from the map reference when "MapRef &Labels" is checked.
    void GridLabels();
    [[nodiscard]] MapTracerView& tracer() { return *m_tracer; }

private:
    void showContextMenu(int grid, const QPoint& at);

    Session& m_session;
    std::array<MapGridWidget*, kMapGridCount> m_grids;
    const MainMenus& m_menus;
    std::unique_ptr<MapTracerView> m_tracer;
    int m_popupGrid = 0;
};

}  // namespace tunalyx
