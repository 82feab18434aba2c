#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/number_format.h"
#include "transfer/write_read_back.h"
#include "versions/tune.h"

namespace tunalyx {

// A block as the user finds it on the pages: "8C (Settings 2 > Fuel Pump)", "86 (Inj Map
// columns 1-5)", or the bare "D6" for a block no page shows. A block several frames show is named
// by the first of them.
[[nodiscard]] std::string blockShownName(const Tune& tune, std::uint8_t block);
// Where alone: "Settings 2 > Fuel Pump", "Inj Map columns 1-5", or empty.
[[nodiscard]] std::string blockPlace(const Tune& tune, std::uint8_t block);

// Many blocks, summed up as the pages show them: "Inj Map columns 6-20, Ign Map, 8B (Settings 1 >
// Rev / Idle), Settings 2 (5 blocks) and 3 other blocks". A map some of whose listed blocks are
// in `inPart` is followed by " (in part)".
[[nodiscard]] std::string blocksByPage(const Tune& tune, const std::vector<std::uint8_t>& blocks,
                                       const std::vector<std::uint8_t>& inPart = {});

// "8A", "8A and 8B", "8A, 8B and 8C".
[[nodiscard]] std::string listedNames(const std::vector<std::string>& names);

// A value a page shows that the unit did not keep as written, both ways as the page shows it.
struct UnkeptValue {
    // "Settings 1 > Rev / Idle > Idle", "Inj Map, 3200 rpm / load 80".
    std::string name;
    std::string sent;
    std::string kept;
    // Where the page shows it: a settings control (grid -1), or a cell of a map grid.
    ControlKind kind = ControlKind::Text;
    int index = -1;
    int grid = -1;
    int row = 0;
    int col = 0;

    // "Settings 1 > Rev / Idle > Idle: sent 850, kept 851".
    [[nodiscard]] std::string text() const { return name + ": sent " + sent + ", kept " + kept; }
};

// The values the pages show among the bytes of a block that differs, in the order of their bytes,
// and the differing bytes (0-based) no shown value holds. Settings are read through their Tags and
// map cells through the map layout, as the pages read them; a map cell is headed by the grid's
// headings, the map reference's breakpoints or N01 / P01.
struct ShownDifferences {
    std::vector<UnkeptValue> values;
    std::vector<std::size_t> rest;
};
[[nodiscard]] ShownDifferences shownDifferences(const Tune& tune, const NumberLocale& locale,
                                                bool mapReferenceHeadings,
                                                const ReadBackProblem& problem);

}  // namespace tunalyx
