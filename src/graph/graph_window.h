#pragma once

#include <QWidget>

#include "graph/map_graph.h"
#include "ports/settings_store.h"

class QComboBox;
class Q3DSurface;
class QSurface3DSeries;

namespace tunalyx {

class Session;

// frmGraph: the injection or ignition map as a 3D surface. It copies the map when a map is
// chosen, so later edits show only when a map is chosen again; it never changes anything.
// Without a usable OpenGL it says so in place of the surface.
class GraphWindow final : public QWidget {
    Q_OBJECT
public:
    GraphWindow(Session& session, SettingsStore& store, QWidget* parent = nullptr);

    // List index 0 "INJ", 1 "IGN": the chosen map's values replace the whole data set.
    void Combo1_Click(int index);

    // The data set last handed to the surface (kept without OpenGL too).
    [[nodiscard]] const GraphValues& values() const { return m_values; }
    // The surface, or null where OpenGL is missing and the window shows its notice instead.
    [[nodiscard]] Q3DSurface* surface() const { return m_surface; }

signals:
    // The window was closed (the Window menu unchecks its item).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Whether a surface can be drawn on this display, asked before one is made.
    [[nodiscard]] static bool openGlAvailable();
    static void setUpReadableAxes(Q3DSurface& surface);
    void showValues();

    Session& m_session;
    SettingsStore& m_store;
    GraphValues m_values{};
    QComboBox* m_combo = nullptr;
    Q3DSurface* m_surface = nullptr;
    QSurface3DSeries* m_series = nullptr;
};

}  // namespace tunalyx
