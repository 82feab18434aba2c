#pragma once

#include <array>
#include <cstdint>

#include "graph/map_graph.h"

namespace tunalyx {

// How the surface is looked at. The turn is around the vertical axis (0: straight at the front,
// the edge of load P01; positive: the eye goes round towards the side of speed N20), the tilt is
// the height of the eye above the floor in degrees, the zoom scales the fitted view.
struct SurfaceCamera {
    static constexpr float kMinTilt = 0;
    static constexpr float kMaxTilt = 90;
    static constexpr float kMinZoom = 0.5F;
    static constexpr float kMaxZoom = 4;
    float turnDegrees = 40;
    float tiltDegrees = 18;
    float zoom = 1;
};

// The part of the widget the box is fitted into, in pixels.
struct ViewRect {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
};

struct ScreenPoint {
    float x = 0;
    float y = 0;
};

struct SurfaceRgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};

// One cell of the surface as drawn: its four corners on the screen in order around the cell,
// its distance towards the eye (larger is nearer) and its fill.
struct SurfaceQuad {
    std::array<ScreenPoint, 4> corners{};
    float depth = 0;
    int row = 0;  // the cell's first map row (load) and column (speed)
    int col = 0;
    SurfaceRgb fill{};
};

// The map as a surface in a box: speed N across (x), load P in depth (z, P01 at the front), the
// value up (y, the map's lowest value on the floor, its highest at the lid). A mild perspective
// keeps the near edge the larger, as the eye expects.
class SurfaceProjection {
public:
    static constexpr int kCellRows = kMapRows - 1;
    static constexpr int kCellCols = kMapCols - 1;
    static constexpr int kCells = kCellRows * kCellCols;
    // Half the box's size: wide and low, as the window is.
    static constexpr float kHalfX = 1.3F;
    static constexpr float kHalfY = 0.4F;
    static constexpr float kHalfZ = 1.0F;

    SurfaceProjection();

    // The value axis runs from the lowest to the highest value; a flat map gets one unit either
    // side so that it lies in the middle of the box.
    void setValues(const GraphValues& values);
    // Tilt and zoom are clamped to the camera's limits, the turn wrapped into [0, 360).
    void setCamera(SurfaceCamera camera);
    void setView(ViewRect view);

    [[nodiscard]] const SurfaceCamera& camera() const noexcept { return m_camera; }
    [[nodiscard]] float valueMin() const noexcept { return m_min; }
    [[nodiscard]] float valueMax() const noexcept { return m_max; }

    // The box's coordinates of a column, a row and a value.
    [[nodiscard]] static float columnX(float col) noexcept;
    [[nodiscard]] static float rowZ(float row) noexcept;
    [[nodiscard]] float valueY(float value) const noexcept;

    // A point of the box on the screen, and how near it is to the eye. At zoom 1 the whole box
    // stays inside the view at every turn, so turning never changes the surface's size.
    [[nodiscard]] ScreenPoint project(float x, float y, float z) const noexcept;
    [[nodiscard]] float depth(float x, float y, float z) const noexcept;

    // The cells sorted far to near: drawn in this order, nearer cells cover farther ones.
    [[nodiscard]] const std::array<SurfaceQuad, kCells>& quads() const noexcept { return m_quads; }

private:
    void update();

    GraphValues m_values{};
    float m_min = -1;
    float m_max = 1;
    SurfaceCamera m_camera{};
    ViewRect m_view{};
    // Derived from the camera and the view.
    float m_cosTurn = 1, m_sinTurn = 0, m_cosTilt = 1, m_sinTilt = 0;
    float m_scale = 1;
    float m_middleY = 0;
    std::array<SurfaceQuad, kCells> m_quads{};
};

// The fill of a cell whose height is `level` (0 at the floor, 1 at the lid), lit by `light`
// (0 facing away from the light, 1 facing it): dark green low to light yellow-green high.
[[nodiscard]] SurfaceRgb surfaceColour(float level, float light) noexcept;

// The value axis's labels: `segments` + 1 values from min to max, and the decimals that keep
// neighbouring labels apart.
[[nodiscard]] int valueLabelDecimals(float min, float max, int segments) noexcept;

}  // namespace tunalyx
