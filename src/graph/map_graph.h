#pragma once

#include <array>

#include "maps/map_grids.h"

namespace tunalyx {

class TuneDocument;

// The graph's whole data set: [row 0..19 = load P01..P20][column 0..19 = speed N01..N20].
using GraphValues = std::array<std::array<float, kMapCols>, kMapRows>;

// The maps the graph offers, in the order of its list: "INJ", "IGN".
inline constexpr std::array<int, 2> kGraphMaps{kInjMap, kIgnMap};

// A map as its grid shows it: every cell's display text read back as a number, so the surface
// carries the grid's rounding rather than the raw value's full precision. A text that does not
// read as a number (the grids never show one) gives 0.
[[nodiscard]] GraphValues graphValues(const TuneDocument& tune, int grid);

}  // namespace tunalyx
