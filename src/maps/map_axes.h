#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "model/settings_codec.h"
#include "ports/bytes.h"

namespace tunalyx {

inline constexpr int kMapAxisSize = 20;

// The breakpoints of the map reference block: rows (load) from bytes 1..40, columns (speed)
// from bytes 41..80, words as the settings show them.
struct MapAxes {
    std::array<double, kMapAxisSize> column{};
    std::array<double, kMapAxisSize> row{};
};
[[nodiscard]] MapAxes LoadMapAxes(const SettingsCodec& codec, std::uint8_t mapRefBlock);
// The same from the block's bytes, as the unit reads them (an incomplete block gives nothing).
[[nodiscard]] std::optional<MapAxes> mapAxesOfBlock(const Bytes& mapReference);

// Where a value lies on an axis, in cells: 0 below the first breakpoint, 19 from the last on,
// and between two breakpoints the fraction of the way from the one to the next.
[[nodiscard]] double fractionalPosition(double value, const std::array<double, kMapAxisSize>& axis);

// The four cells around an operating point and their shares, as the unit interpolates between
// breakpoints: the fractional position on each axis splits the point between the cell at or
// below it and the next one. Rows and columns are 0-based; shares add up to 1. On an edge the
// two cells of a pair are the same cell.
struct CellShare {
    int row;
    int col;
    double weight;
};
[[nodiscard]] std::array<CellShare, 4> bilinearShares(const MapAxes& axes, double rpm, double load);

// A 20 x 20 field of values, [row][col], interpolated at an operating point.
using MapField = std::array<std::array<double, kMapAxisSize>, kMapAxisSize>;
[[nodiscard]] double interpolateField(const MapField& field, const MapAxes& axes, double rpm,
                                      double load);

}  // namespace tunalyx
