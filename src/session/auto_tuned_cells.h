#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "maps/map_grids.h"

namespace tunalyx {

// The Inj Map cells auto-tune set from measured A/F within its max change, with the raw value it
// set. Such a cell is its proposal, not a risk, for as long as it holds that value: an edit by
// hand since makes it the user's own again.
class AutoTunedCells {
public:
    void applied(int row, int col, std::int32_t raw) { at(row, col) = raw; }
    [[nodiscard]] bool holds(int row, int col, std::int32_t raw) const {
        const auto& value =
            m_raw[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col - 1)];
        return value && *value == raw;
    }
    void clear() { m_raw = {}; }

private:
    std::optional<std::int32_t>& at(int row, int col) {
        return m_raw[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col - 1)];
    }
    std::array<std::array<std::optional<std::int32_t>, kMapCols>, kMapRows> m_raw{};
};

}  // namespace tunalyx
