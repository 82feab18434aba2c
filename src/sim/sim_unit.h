#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "versions/layout_family.h"

namespace tunalyx {

// The engine computers the simulator can stand in for.
enum class SimUnitKind {
    Det1_501,     // "SR20DET1" "5.01 "  family 5
    Det2_312A,    // "SR20DET2" "3.12A"  family 3
    Det1_170B,    // "SR20DET1" "1.70B"  family 1.70, older unit: answers 0x6B/0x6C, not 0xF3/0xF5
    T2D_511A,     // "SR20T2-D" "5.11A"  family T2-D (pressure sensor)
    Unsupported,  // "SR20DET2" "4.07 "  an SR20 unit of no supported version
    NotSr20,      // "RB25DET1" "5.01 "  some other engine's unit
};

struct SimUnit {
    SimUnitKind kind;
    std::string programName;  // 8 characters
    std::string versionText;  // 5 characters
    bool olderUnit;           // identity in 0x6B/0x6C instead of 0xF3/0xF5
    // The layout its blocks follow; unsupported and foreign units are given the family 5 layout.
    LayoutFamily layout;
};

[[nodiscard]] SimUnit simUnit(SimUnitKind kind);
// The blocks that hold a unit's identity (0xF3..0xF5, the older unit's 0x6B/0x6C): never written,
// and never taken from a tune.
[[nodiscard]] bool isIdentityBlock(std::size_t block);
// The unit the simulator stands in for a layout family.
[[nodiscard]] SimUnitKind simUnitOf(LayoutFamily family);
// "1.70", "3", "5", "T2-D" as for the command line, plus "unsupported" and "not-sr20".
[[nodiscard]] std::optional<SimUnitKind> simUnitFromName(std::string_view name);

}  // namespace tunalyx
