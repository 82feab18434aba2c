#pragma once

#include <QColor>

#include "maps/map_tracer.h"

namespace tunalyx {

// A colour kept as 0x00BBGGRR, as the widgets paint it.
[[nodiscard]] inline QColor cellQColor(CellColour colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

}  // namespace tunalyx
