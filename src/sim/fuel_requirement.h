#pragma once

#include <optional>
#include <string>

#include "curves/fuel_curves.h"
#include "maps/map_axes.h"
#include "sim/default_blocks.h"
#include "sim/engine_options.h"
#include "versions/layout_family.h"

namespace tunalyx {

inline constexpr double kStoichiometricAfr = 14.7;

// A one-byte map of a unit's blocks from `firstBlock` on as the grid shows it (raw x scale +
// offset), [load row][rpm column]; nothing when a block of the map is missing or short.
[[nodiscard]] std::optional<MapField> byteMapField(const BlockStore& blocks,
                                                   std::uint8_t firstBlock, double scale,
                                                   double offset);
// The Inj Map of a unit's blocks as the grid shows it (0.500..1.496), [load row][rpm column];
// nothing when a block of the map is missing or short.
[[nodiscard]] std::optional<MapField> injectionField(const BlockStore& blocks,
                                                     const FamilyLayout& layout);

// The engine's hidden fuel requirement: for every operating point the Inj Map value at which it
// burns 14.7 A/F. It belongs to the engine, not to the tune it is given: it is fixed against the
// family's default tune, so a drive with a corrected tune meets the same engine.
class FuelRequirement {
public:
    FuelRequirement(const MapField& defaultInjection, const MapAxes& defaultAxes,
                    const EngineOptions& options);
    // The requirement of a simulated unit of this family.
    [[nodiscard]] static FuelRequirement forFamily(LayoutFamily family,
                                                   const EngineOptions& options);

    // At the breakpoints of the default map reference.
    [[nodiscard]] const MapField& field() const { return m_field; }
    [[nodiscard]] const MapAxes& axes() const { return m_axes; }
    // Between breakpoints as the unit interpolates.
    [[nodiscard]] double at(double rpm, double load) const;

    // 20 lines of 20 TAB-separated values, the top line the first load row, after a comment
    // that says what they are.
    [[nodiscard]] std::string text() const;

private:
    MapField m_field{};
    MapAxes m_axes;
};

// What the engine needs beyond the Inj Map, hidden like its fuel requirement and fixed against the
// family's default curves: more fuel while cold, and fuel for the port walls on a tip-in.
struct CurveRequirement {
    // The warm-up factor at which it burns as it does warm, on the unit's coolant points: the
    // default's at 50 and 80 C, off it by a smooth pattern from the seed below (10-25 % of fuel at
    // -30 C, either way).
    WarmUpCurve warmUp;
    // The fuel a tip-in's wetting of the port walls takes, as an Accel A against rpm on the unit's
    // points: the default's times a factor per point from the seed (about 0.4 to 2.2).
    PointCurve<kPumpPoints> pump;

    // An engine that needs neither: warm-up factor 1, no wall wetting.
    [[nodiscard]] static CurveRequirement none();
    // Equal to `defaults` with a correct or uniform requirement, else patterned.
    CurveRequirement(const FuelCurves& defaults, const EngineOptions& options);
    [[nodiscard]] static CurveRequirement forFamily(LayoutFamily family,
                                                    const EngineOptions& options);

private:
    CurveRequirement() = default;
};

// How lean the default tune burns against the requirement, a factor per cell: 1 is right.
[[nodiscard]] MapField requirementErrorPattern(const EngineOptions& options);

}  // namespace tunalyx
