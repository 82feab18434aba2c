#pragma once

#include <array>

#include "ports/bytes.h"
#include "sim/sim_unit.h"

namespace tunalyx {

using BlockStore = std::array<Bytes, 256>;

// The blocks a freshly initialised unit of this kind holds: every block of its layout's Read All
// list at its listed length, with contents that look like a real SR20DET tune (identity blocks
// included, in 0x6B/0x6C for the older unit). Blocks outside the list are empty.
[[nodiscard]] BlockStore defaultBlocks(const SimUnit& unit);

}  // namespace tunalyx
