#include "graph/surface_projection.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tunalyx {

namespace {

constexpr float kDegrees = std::numbers::pi_v<float> / 180;
// The eye's distance from the box's centre, in box units: far enough for a mild perspective.
constexpr float kEyeDistance = 6;

struct Vec {
    float x, y, z;
};

Vec cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The light comes from above, a little from the front and the left.
float lightOn(Vec normal) {
    constexpr Vec kLight{-0.32F, 0.85F, 0.42F};  // unit length
    const float length = std::sqrt(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z);
    if (length <= 0) return 1;
    const float facing = (normal.x * kLight.x + normal.y * kLight.y + normal.z * kLight.z) / length;
    return std::clamp(std::abs(facing), 0.F, 1.F);
}

}  // namespace

SurfaceProjection::SurfaceProjection() {
    update();
}

void SurfaceProjection::setValues(const GraphValues& values) {
    m_values = values;
    float lo = values[0][0];
    float hi = lo;
    for (const auto& row : values)
        for (const float v : row) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    if (!(hi > lo)) {
        lo -= 1;
        hi += 1;
    }
    m_min = lo;
    m_max = hi;
    update();
}

void SurfaceProjection::setCamera(SurfaceCamera camera) {
    camera.turnDegrees = std::fmod(camera.turnDegrees, 360.F);
    if (camera.turnDegrees < 0) camera.turnDegrees += 360;
    camera.tiltDegrees =
        std::clamp(camera.tiltDegrees, SurfaceCamera::kMinTilt, SurfaceCamera::kMaxTilt);
    camera.zoom = std::clamp(camera.zoom, SurfaceCamera::kMinZoom, SurfaceCamera::kMaxZoom);
    m_camera = camera;
    update();
}

void SurfaceProjection::setView(ViewRect view) {
    m_view = view;
    update();
}

float SurfaceProjection::columnX(float col) noexcept {
    return kHalfX * (2 * col / static_cast<float>(kMapCols - 1) - 1);
}

float SurfaceProjection::rowZ(float row) noexcept {
    return kHalfZ * (1 - 2 * row / static_cast<float>(kMapRows - 1));
}

float SurfaceProjection::valueY(float value) const noexcept {
    return kHalfY * (2 * (value - m_min) / (m_max - m_min) - 1);
}

float SurfaceProjection::depth(float x, float y, float z) const noexcept {
    const float towards = x * m_sinTurn + z * m_cosTurn;
    return towards * m_cosTilt + y * m_sinTilt;
}

ScreenPoint SurfaceProjection::project(float x, float y, float z) const noexcept {
    const float right = x * m_cosTurn - z * m_sinTurn;
    const float towards = x * m_sinTurn + z * m_cosTurn;
    const float up = y * m_cosTilt - towards * m_sinTilt;
    const float near = towards * m_cosTilt + y * m_sinTilt;
    const float s = m_scale * kEyeDistance / (kEyeDistance - near);
    return {m_view.left + m_view.width / 2 + right * s, m_middleY - up * s};
}

void SurfaceProjection::update() {
    m_cosTurn = std::cos(m_camera.turnDegrees * kDegrees);
    m_sinTurn = std::sin(m_camera.turnDegrees * kDegrees);
    m_cosTilt = std::cos(m_camera.tiltDegrees * kDegrees);
    m_sinTilt = std::sin(m_camera.tiltDegrees * kDegrees);
    // Fitted to the box's extent over every turn at this tilt, so that turning never changes the
    // size. The perspective makes the near, lower part the larger: the box's middle sits above
    // the view's by as much.
    float across = 0;
    float above = 0;
    float below = 0;
    for (int step = 0; step < 360; step += 2) {
        const float c = std::cos(static_cast<float>(step) * kDegrees);
        const float s = std::sin(static_cast<float>(step) * kDegrees);
        for (const float x : {-kHalfX, kHalfX})
            for (const float y : {-kHalfY, kHalfY})
                for (const float z : {-kHalfZ, kHalfZ}) {
                    const float towards = x * s + z * c;
                    const float up = y * m_cosTilt - towards * m_sinTilt;
                    const float k =
                        kEyeDistance / (kEyeDistance - towards * m_cosTilt - y * m_sinTilt);
                    across = std::max(across, std::abs(x * c - z * s) * k);
                    above = std::max(above, up * k);
                    below = std::max(below, -up * k);
                }
    }
    constexpr float kBetweenSteps = 1.01F;  // what the turns between two samples may add
    m_scale = m_camera.zoom *
              std::max(0.F, std::min(m_view.width / 2 / across, m_view.height / (above + below)) /
                                kBetweenSteps);
    m_middleY = m_view.top + m_view.height / 2 + (above - below) / 2 * m_scale;

    std::array<std::array<ScreenPoint, kMapCols>, kMapRows> points;
    std::array<std::array<float, kMapCols>, kMapRows> depths;
    std::array<std::array<float, kMapCols>, kMapRows> heights;
    for (int i = 0; i < kMapRows; ++i)
        for (int j = 0; j < kMapCols; ++j) {
            const auto r = static_cast<std::size_t>(i);
            const auto c = static_cast<std::size_t>(j);
            const float x = columnX(static_cast<float>(j));
            const float z = rowZ(static_cast<float>(i));
            const float y = valueY(m_values[r][c]);
            heights[r][c] = y;
            points[r][c] = project(x, y, z);
            depths[r][c] = depth(x, y, z);
        }
    const float dx = columnX(1) - columnX(0);
    const float dz = rowZ(1) - rowZ(0);
    std::size_t n = 0;
    for (std::size_t r = 0; r < static_cast<std::size_t>(kCellRows); ++r)
        for (std::size_t c = 0; c < static_cast<std::size_t>(kCellCols); ++c) {
            SurfaceQuad& q = m_quads[n++];
            q.row = static_cast<int>(r);
            q.col = static_cast<int>(c);
            q.corners = {points[r][c], points[r][c + 1], points[r + 1][c + 1], points[r + 1][c]};
            q.depth =
                (depths[r][c] + depths[r][c + 1] + depths[r + 1][c + 1] + depths[r + 1][c]) / 4;
            const float h00 = heights[r][c], h01 = heights[r][c + 1];
            const float h10 = heights[r + 1][c], h11 = heights[r + 1][c + 1];
            const float level = ((h00 + h01 + h10 + h11) / 4 / kHalfY + 1) / 2;
            // The normal from the two diagonals of the cell.
            const Vec normal = cross({dx, h11 - h00, dz}, {-dx, h10 - h01, dz});
            q.fill = surfaceColour(level, lightOn(normal));
        }
    std::sort(m_quads.begin(), m_quads.end(),
              [](const SurfaceQuad& a, const SurfaceQuad& b) { return a.depth < b.depth; });
}

SurfaceRgb surfaceColour(float level, float light) noexcept {
    const float t = std::clamp(level, 0.F, 1.F);
    // A cell turned from the light is darker, never black: the shape reads without losing the
    // height's colour.
    const float lit = 0.6F + 0.4F * std::clamp(light, 0.F, 1.F);
    const auto channel = [&](int low, int high) {
        const float v = (static_cast<float>(low) + static_cast<float>(high - low) * t) * lit;
        return static_cast<std::uint8_t>(std::lround(v));
    };
    return {channel(0x34, 0xA6), channel(0x66, 0xD4), channel(0x1A, 0x52)};
}

int valueLabelDecimals(float min, float max, int segments) noexcept {
    const float step = (max - min) / static_cast<float>(std::max(segments, 1));
    if (!(step > 0)) return 0;
    for (int decimals = 0; decimals < 3; ++decimals) {
        const float unit = std::pow(10.F, static_cast<float>(decimals));
        bool close = true;
        for (int k = 0; k <= segments; ++k) {
            const float value = min + step * static_cast<float>(k);
            close = close && std::abs(std::round(value * unit) / unit - value) <= step * 0.05F;
        }
        if (close) return decimals;
    }
    return 3;
}

}  // namespace tunalyx
