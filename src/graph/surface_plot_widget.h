#pragma once

#include <QPoint>
#include <QWidget>

#include "graph/map_graph.h"
#include "graph/surface_projection.h"

namespace tunalyx {

// The map as a shaded surface in a box with its floor grid, back walls and axes, drawn with
// the painter alone so it shows wherever a window does. A drag turns (across) and tilts (up and
// down) the view, the wheel zooms.
class SurfacePlotWidget final : public QWidget {
    Q_OBJECT
public:
    explicit SurfacePlotWidget(QWidget* parent = nullptr);

    void setValues(const GraphValues& values);
    [[nodiscard]] const GraphValues& values() const noexcept { return m_values; }

    void setCamera(const SurfaceCamera& camera);
    [[nodiscard]] const SurfaceCamera& camera() const noexcept { return m_projection.camera(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    GraphValues m_values{};
    SurfaceProjection m_projection;
    bool m_dragging = false;
    QPoint m_dragFrom;
};

}  // namespace tunalyx
