#pragma once

#include <cstdint>

#include "maps/map_grids.h"
#include "maps/map_tracer.h"

namespace tunalyx {

// The smallest and largest raw value of a map as it is now.
struct RawSpan {
    std::int32_t low = 0;
    std::int32_t high = 0;
};
[[nodiscard]] RawSpan mapSpan(const MapGrids& maps, int grid);

// A cell's background for its value's place in the span: light blue at the bottom through light
// green to light red at the top, pale enough for the black cell text. A flat map is all green.
[[nodiscard]] CellColour heatColour(std::int32_t raw, RawSpan span);

}  // namespace tunalyx
