#include <gtest/gtest.h>

#include <cmath>

#include "graph/surface_projection.h"

namespace tunalyx {
namespace {

GraphValues filled(float (*value)(int row, int col)) {
    GraphValues v{};
    for (int i = 0; i < kMapRows; ++i)
        for (int j = 0; j < kMapCols; ++j)
            v[std::size_t(i)][std::size_t(j)] = value(i, j);
    return v;
}

// A steep, uneven map: a ridge and a bowl, values far from the box's units.
GraphValues steep() {
    return filled([](int i, int j) {
        return 400 + 350 * std::sin(float(i) * 0.5F) * std::cos(float(j) * 0.3F) + float(i * j);
    });
}

constexpr ViewRect kWide{10, 20, 600, 180};

SurfaceProjection projection(const GraphValues& values, float turn, float tilt, float zoom = 1,
                             ViewRect view = kWide) {
    SurfaceProjection p;
    p.setView(view);
    p.setValues(values);
    p.setCamera({turn, tilt, zoom});
    return p;
}

TEST(SurfaceProjectionTest, CellsAreDrawnFarToNearAndTheNearestCornerLast) {
    const GraphValues flat = filled([](int, int) { return 3.F; });
    for (const float tilt : {0.F, 18.F, 60.F, 90.F})
        for (float turn = 0; turn < 360; turn += 15) {
            const auto quads = projection(steep(), turn, tilt).quads();
            for (std::size_t k = 1; k < quads.size(); ++k)
                ASSERT_LE(quads[k - 1].depth, quads[k].depth) << turn << " " << tilt;
        }
    // From the front-left the cell of the highest speed and the lowest load is nearest, and it
    // is the lowest on the screen; half a turn further it is the farthest.
    const auto front = projection(flat, 40, 18).quads();
    EXPECT_EQ(front.back().row, 0);
    EXPECT_EQ(front.back().col, SurfaceProjection::kCellCols - 1);
    const auto middle = [](const SurfaceQuad& q) {
        return (q.corners[0].y + q.corners[1].y + q.corners[2].y + q.corners[3].y) / 4;
    };
    for (const SurfaceQuad& q : front)
        EXPECT_LE(middle(q), middle(front.back()));
    const auto behind = projection(flat, 220, 18).quads();
    EXPECT_EQ(behind.front().row, 0);
    EXPECT_EQ(behind.front().col, SurfaceProjection::kCellCols - 1);
    EXPECT_EQ(behind.back().row, SurfaceProjection::kCellRows - 1);
    EXPECT_EQ(behind.back().col, 0);
}

TEST(SurfaceProjectionTest, TheSurfaceStaysInsideTheViewAtEveryTurnAndFillsIt) {
    // A wide, low view and a narrow, tall one: each of its sides can be the one that limits.
    for (const ViewRect view : {kWide, ViewRect{5, 5, 160, 400}})
        for (const float tilt : {0.F, 18.F, 45.F, 90.F}) {
            float widest = 0;
            float tallest = 0;
            for (float turn = 0; turn < 360; turn += 3) {
                const SurfaceProjection p = projection(steep(), turn, tilt, 1, view);
                float left = 1e9F, right = -1e9F, top = 1e9F, bottom = -1e9F;
                for (const float x : {-1.F, 1.F})
                    for (const float y : {-1.F, 1.F})
                        for (const float z : {-1.F, 1.F}) {
                            const ScreenPoint s = p.project(x * SurfaceProjection::kHalfX,
                                                            y * SurfaceProjection::kHalfY,
                                                            z * SurfaceProjection::kHalfZ);
                            left = std::min(left, s.x);
                            right = std::max(right, s.x);
                            top = std::min(top, s.y);
                            bottom = std::max(bottom, s.y);
                        }
                for (const SurfaceQuad& q : p.quads())
                    for (const ScreenPoint& s : q.corners) {
                        ASSERT_TRUE(s.x >= left - 0.01F && s.x <= right + 0.01F);
                        ASSERT_TRUE(s.y >= top - 0.01F && s.y <= bottom + 0.01F);
                    }
                ASSERT_GE(left, view.left - 0.01F) << turn << " " << tilt;
                ASSERT_LE(right, view.left + view.width + 0.01F) << turn << " " << tilt;
                ASSERT_GE(top, view.top - 0.01F) << turn << " " << tilt;
                ASSERT_LE(bottom, view.top + view.height + 0.01F) << turn << " " << tilt;
                widest = std::max(widest, right - left);
                tallest = std::max(tallest, bottom - top);
            }
            // Fitted, not merely inside: at some turn the box spans most of the view one way.
            EXPECT_TRUE(widest > 0.8F * view.width || tallest > 0.8F * view.height) << tilt;
        }
    // Zoom scales the fitted surface about the view's middle.
    const auto span = [](const SurfaceProjection& p) {
        return p.project(SurfaceProjection::kHalfX, 0, 0).x -
               p.project(-SurfaceProjection::kHalfX, 0, 0).x;
    };
    EXPECT_NEAR(span(projection(steep(), 40, 18, 2)), 2 * span(projection(steep(), 40, 18)), 0.1);
}

TEST(SurfaceProjectionTest, AFlatMapLiesInTheMiddleInOneColour) {
    const SurfaceProjection p = projection(filled([](int, int) { return 12.5F; }), 40, 18);
    EXPECT_EQ(p.valueY(12.5F), 0);
    const SurfaceRgb first = p.quads().front().fill;
    for (const SurfaceQuad& q : p.quads()) {
        EXPECT_TRUE(q.fill.r == first.r && q.fill.g == first.g && q.fill.b == first.b);
        for (const ScreenPoint& s : q.corners)
            ASSERT_TRUE(std::isfinite(s.x) && std::isfinite(s.y));
    }
}

TEST(SurfaceProjectionTest, HigherCellsAreLighterOnTheGradient) {
    // A plane rising with load: every cell faces the light alike, only its height differs.
    const SurfaceProjection p = projection(filled([](int i, int) { return float(i); }), 40, 18);
    std::array<int, SurfaceProjection::kCellRows> brightness{};
    for (const SurfaceQuad& q : p.quads())
        brightness[std::size_t(q.row)] = q.fill.r + q.fill.g + q.fill.b;
    for (std::size_t r = 1; r < brightness.size(); ++r)
        EXPECT_GT(brightness[r], brightness[r - 1]) << r;
}

TEST(SurfaceProjectionTest, ValueLabelsKeepTheDecimalsTheyNeed) {
    struct Case {
        float min, max;
        int decimals;
    };
    for (const Case c : {Case{0.95F, 1.30F, 2}, Case{10, 22, 0}, Case{10, 21, 1}, Case{-30, 60, 0},
                         Case{0.5F, 0.503F, 3}, Case{4, 4, 0}})
        EXPECT_EQ(valueLabelDecimals(c.min, c.max, 3), c.decimals) << c.min << " " << c.max;
}

}  // namespace
}  // namespace tunalyx
