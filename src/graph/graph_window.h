#pragma once

#include <QWidget>

#include "graph/map_graph.h"
#include "graph/surface_plot_widget.h"
#include "ports/settings_store.h"

class QComboBox;

namespace tunalyx {

class Session;

// frmGraph: the injection or ignition map as a 3D surface. It copies the map when a map is
// chosen, so later edits show only when a map is chosen again; it never changes anything.
class GraphWindow final : public QWidget {
    Q_OBJECT
public:
    GraphWindow(Session& session, SettingsStore& store, QWidget* parent = nullptr);

    // List index 0 "INJ", 1 "IGN": the chosen map's values replace the whole data set.
    void Combo1_Click(int index);

    // The data set last handed to the surface.
    [[nodiscard]] const GraphValues& values() const { return m_values; }
    [[nodiscard]] SurfacePlotWidget* plot() const { return m_plot; }

signals:
    // The window was closed (the Window menu unchecks its item).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Session& m_session;
    SettingsStore& m_store;
    GraphValues m_values{};
    QComboBox* m_combo = nullptr;
    SurfacePlotWidget* m_plot = nullptr;
};

}  // namespace tunalyx
