#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "versions/tune.h"

namespace tunalyx {

// A block as the user finds it on the pages: "8C (Settings 2 > Fuel Pump)", "86 (Inj Map
// columns 1-5)", or the bare "D6" for a block no page shows. A block several frames show is named
// by the first of them.
[[nodiscard]] std::string blockShownName(const Tune& tune, std::uint8_t block);
// Where alone: "Settings 2 > Fuel Pump", "Inj Map columns 1-5", or empty.
[[nodiscard]] std::string blockPlace(const Tune& tune, std::uint8_t block);

// "8A", "8A and 8B", "8A, 8B and 8C".
[[nodiscard]] std::string listedNames(const std::vector<std::string>& names);

}  // namespace tunalyx
