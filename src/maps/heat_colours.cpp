#include "maps/heat_colours.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tunalyx {

namespace {

struct Rgb {
    double r, g, b;
};

constexpr std::array<Rgb, 3> kAnchors = {{{190, 215, 255}, {200, 240, 200}, {255, 195, 185}}};

CellColour colourOf(const Rgb& c) {
    const auto channel = [](double v) {
        return static_cast<CellColour>(std::lround(std::clamp(v, 0.0, 255.0)));
    };
    // Kept as 0x00BBGGRR, as every cell colour is.
    return channel(c.r) | channel(c.g) << 8 | channel(c.b) << 16;
}

}  // namespace

RawSpan mapSpan(const MapGrids& maps, int grid) {
    RawSpan span{maps.GridData(grid, 1, 1), maps.GridData(grid, 1, 1)};
    for (int row = 1; row <= kMapRows; ++row)
        for (int col = 1; col <= kMapCols; ++col) {
            const std::int32_t v = maps.GridData(grid, row, col);
            span.low = std::min(span.low, v);
            span.high = std::max(span.high, v);
        }
    return span;
}

CellColour heatColour(std::int32_t raw, RawSpan span) {
    const double width = static_cast<double>(span.high) - span.low;
    const double t =
        width > 0 ? std::clamp((raw - static_cast<double>(span.low)) / width, 0.0, 1.0) : 0.5;
    const double at = t * 2;  // 0..1 blue to green, 1..2 green to red
    const auto i = static_cast<std::size_t>(std::min(at, 1.0));
    const double f = at - static_cast<double>(i);
    const Rgb& a = kAnchors[i];
    const Rgb& b = kAnchors[i + 1];
    return colourOf({a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f});
}

}  // namespace tunalyx
