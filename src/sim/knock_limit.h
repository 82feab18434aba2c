#pragma once

#include <optional>
#include <string>

#include "maps/map_axes.h"
#include "sim/default_blocks.h"
#include "sim/engine_options.h"
#include "versions/layout_family.h"

namespace tunalyx {

// The Ign Map of a unit's blocks in degrees, [load row][rpm column]; nothing when a block of the
// map is missing or short.
[[nodiscard]] std::optional<MapField> ignitionField(const BlockStore& blocks,
                                                    const FamilyLayout& layout);
// The timing the unit gives at an operating point: its Ign Map between breakpoints, interpolated
// as it interpolates the Inj Map.
[[nodiscard]] double ignitionAt(const MapField& ignition, const MapAxes& axes, double rpm,
                                double load);

// The conditions the limit table is stated at.
inline constexpr double kKnockReferenceAfr = 14.7;
inline constexpr double kKnockReferenceAirC = 30;
// How far the limit moves from the table at a burned A/F and intake air temperature: up for a
// richer mixture (its fuel cools the charge), down for a hotter intake.
[[nodiscard]] double knockLimitShift(double afr, double airC);

// The engine's hidden knock limit: for every operating point the most ignition advance it takes
// without knocking, at 14.7 A/F and 30 C intake air. Like the fuel requirement it belongs to the
// engine: it is fixed against the family's default Ign Map, whatever tune the unit is given.
class KnockLimit {
public:
    KnockLimit(const MapField& defaultIgnition, const MapAxes& defaultAxes,
               const EngineOptions& options);
    // The limit of a simulated unit of this family.
    [[nodiscard]] static KnockLimit forFamily(LayoutFamily family, const EngineOptions& options);

    // At the breakpoints of the default map reference, at the reference conditions.
    [[nodiscard]] const MapField& field() const { return m_field; }
    [[nodiscard]] const MapAxes& axes() const { return m_axes; }
    // Between breakpoints as the unit interpolates, at the reference conditions.
    [[nodiscard]] double at(double rpm, double load) const;
    // The same burning `afr` with intake air at `airC`.
    [[nodiscard]] double at(double rpm, double load, double afr, double airC) const;

    // 20 lines of 20 TAB-separated degrees, the top line the first load row, after a comment that
    // says what they are (the same table form as the fuel requirement's).
    [[nodiscard]] std::string text() const;

    // The limit of an engine that never knocks: beyond any timing a one-byte map can hold.
    static constexpr double kNeverKnocks = 360;

private:
    MapField m_field{};
    MapAxes m_axes;
};

// Degrees the limit stands over the default Ign Map, a value per cell (negative: under).
[[nodiscard]] MapField knockLimitMargin(const EngineOptions& options);

}  // namespace tunalyx
