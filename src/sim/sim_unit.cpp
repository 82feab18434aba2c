#include "sim/sim_unit.h"

namespace tunalyx {

SimUnit simUnit(SimUnitKind kind) {
    switch (kind) {
        case SimUnitKind::Det1_501:
            return {kind, "SR20DET1", "5.01 ", false, LayoutFamily::Family5};
        case SimUnitKind::Det2_312A:
            return {kind, "SR20DET2", "3.12A", false, LayoutFamily::Family3};
        case SimUnitKind::Det1_170B:
            return {kind, "SR20DET1", "1.70B", true, LayoutFamily::Family170};
        case SimUnitKind::T2D_511A:
            return {kind, "SR20T2-D", "5.11A", false, LayoutFamily::FamilyT2D};
        case SimUnitKind::Unsupported:
            return {kind, "SR20DET2", "4.07 ", false, LayoutFamily::Family5};
        case SimUnitKind::NotSr20:
            return {kind, "RB25DET1", "5.01 ", false, LayoutFamily::Family5};
    }
    return {SimUnitKind::Det1_501, "SR20DET1", "5.01 ", false, LayoutFamily::Family5};
}

bool isIdentityBlock(std::size_t block) {
    return block == 0xF3 || block == 0xF4 || block == 0xF5 || block == 0x6B || block == 0x6C;
}

SimUnitKind simUnitOf(LayoutFamily family) {
    switch (family) {
        case LayoutFamily::Family170:
            return SimUnitKind::Det1_170B;
        case LayoutFamily::Family3:
            return SimUnitKind::Det2_312A;
        case LayoutFamily::FamilyT2D:
            return SimUnitKind::T2D_511A;
        case LayoutFamily::Family5:
            break;
    }
    return SimUnitKind::Det1_501;
}

std::optional<SimUnitKind> simUnitFromName(std::string_view name) {
    if (name == "unsupported") return SimUnitKind::Unsupported;
    if (name == "not-sr20") return SimUnitKind::NotSr20;
    if (const auto family = familyFromName(name)) return simUnitOf(*family);
    return std::nullopt;
}

}  // namespace tunalyx
