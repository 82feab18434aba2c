#include "maps/map_axes.h"

#include <algorithm>
#include <cmath>

#include "model/number_format.h"
#include "ports/bytes.h"

namespace tunalyx {

MapAxes LoadMapAxes(const SettingsCodec& codec, std::uint8_t mapRefBlock) {
    MapAxes axes;
    const NumberLocale& locale = codec.locale();
    const auto word = [&](int pos) {
        const std::string tag =
            "&H" + hexText(mapRefBlock) + "," + std::to_string(pos) + ",2,1,0,0";
        return parseUserNumber(codec.DisplayData(tag), locale).value_or(0);
    };
    for (int i = 0; i < kMapAxisSize; ++i) {
        axes.row[static_cast<std::size_t>(i)] = word(2 * i + 1);
        axes.column[static_cast<std::size_t>(i)] = word(2 * i + 41);
    }
    return axes;
}

std::optional<MapAxes> mapAxesOfBlock(const Bytes& mapReference) {
    if (mapReference.size() < 4 * kMapAxisSize) return std::nullopt;
    MapAxes axes;
    const auto word = [&](std::size_t at) {
        return mapReference[at] + 256.0 * mapReference[at + 1];
    };
    for (std::size_t i = 0; i < kMapAxisSize; ++i) {
        axes.row[i] = word(2 * i);
        axes.column[i] = word(2 * i + 2 * kMapAxisSize);
    }
    return axes;
}

double fractionalPosition(double value, const std::array<double, kMapAxisSize>& axis) {
    if (value < axis[0]) return 0;
    for (std::size_t k = 1; k < axis.size(); ++k)
        if (value < axis[k])
            return static_cast<double>(k - 1) + (value - axis[k - 1]) / (axis[k] - axis[k - 1]);
    return kMapAxisSize - 1;
}

std::array<CellShare, 4> bilinearShares(const MapAxes& axes, double rpm, double load) {
    const double x = fractionalPosition(rpm, axes.column);
    const double y = fractionalPosition(load, axes.row);
    const int col = std::clamp(static_cast<int>(std::floor(x)), 0, kMapAxisSize - 1);
    const int row = std::clamp(static_cast<int>(std::floor(y)), 0, kMapAxisSize - 1);
    const int nextCol = std::min(col + 1, kMapAxisSize - 1);
    const int nextRow = std::min(row + 1, kMapAxisSize - 1);
    const double fx = x - col;
    const double fy = y - row;
    return {{{row, col, (1 - fy) * (1 - fx)},
             {row, nextCol, (1 - fy) * fx},
             {nextRow, col, fy * (1 - fx)},
             {nextRow, nextCol, fy * fx}}};
}

double interpolateField(const MapField& field, const MapAxes& axes, double rpm, double load) {
    double sum = 0;
    for (const CellShare& s : bilinearShares(axes, rpm, load))
        sum += s.weight * field[static_cast<std::size_t>(s.row)][static_cast<std::size_t>(s.col)];
    return sum;
}

}  // namespace tunalyx
