#include "sim/knock_limit.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "maps/field_table.h"
#include "sim/fuel_requirement.h"
#include "sim/unit_draw.h"

namespace tunalyx {

namespace {

// The pattern: the limit a few degrees over the default map, rolling gently across it, with one
// dip on boost that takes it about 3 degrees under the map in a handful of cells.
constexpr double kPatternMargin = 5;
constexpr double kPatternRoll = 2;
constexpr double kDipUnder = 3;
constexpr double kDipWidthRpm = 0.09;  // shares of the map's width and height
constexpr double kDipWidthLoad = 0.08;
constexpr int kRollWaves = 2;

// A richer mixture's fuel cools the charge: about 1.5 degrees per A/F point, no more than the
// 4.5 degrees of a full-boost 11.7. Lean costs less per point, up to 2 degrees.
constexpr double kRichDegreesPerAfr = 1.5;
constexpr double kMostRichGain = 4.5;
constexpr double kLeanDegreesPerAfr = 1;
constexpr double kMostLeanLoss = 2;
// A hotter intake knocks sooner: a degree per 10 C, over 0..60 C that is 3 degrees either way.
constexpr double kDegreesPerAirC = 0.1;

}  // namespace

std::optional<MapField> ignitionField(const BlockStore& blocks, const FamilyLayout& layout) {
    return byteMapField(blocks, layout.ignMapBlock, 1, 0);
}

double ignitionAt(const MapField& ignition, const MapAxes& axes, double rpm, double load) {
    return interpolateField(ignition, axes, rpm, load);
}

double knockLimitShift(double afr, double airC) {
    const double richer = kKnockReferenceAfr - afr;
    const double mixture = richer > 0 ? std::min(kRichDegreesPerAfr * richer, kMostRichGain)
                                      : std::max(kLeanDegreesPerAfr * richer, -kMostLeanLoss);
    return mixture - kDegreesPerAirC * (airC - kKnockReferenceAirC);
}

MapField knockLimitMargin(const EngineOptions& options) {
    MapField margin{};
    if (options.knockLimit != KnockLimitKind::Pattern) {
        const double all = options.knockLimit == KnockLimitKind::Uniform
                               ? options.uniformKnockDegrees
                               : KnockLimit::kNeverKnocks;
        for (auto& row : margin)
            row.fill(all);
        return margin;
    }
    // Keyed apart from the fuel requirement's pattern, which draws from the same seed.
    std::mt19937_64 random(options.seed ^ 0x6B6E'6F63'6BULL);
    struct Wave {
        double fx, fy, phase;
    };
    std::array<Wave, kRollWaves> waves{};
    for (Wave& w : waves)
        w = {0.2 + 0.6 * unitDraw(random), 0.2 + 0.6 * unitDraw(random),
             2 * std::numbers::pi * unitDraw(random)};
    // The dip sits where pulls run: the top rows, the middle and upper rpm.
    const double dipRpm = 0.35 + 0.45 * unitDraw(random);
    const double dipLoad = 0.84 + 0.11 * unitDraw(random);
    const auto roll = [&](double x, double y) {
        double v = 0;
        for (const Wave& w : waves)
            v += std::sin(2 * std::numbers::pi * (w.fx * x + w.fy * y) + w.phase);
        return kPatternMargin + kPatternRoll * v / kRollWaves;
    };
    const double depth = roll(dipRpm, dipLoad) + kDipUnder;
    for (std::size_t row = 0; row < kMapAxisSize; ++row) {
        for (std::size_t col = 0; col < kMapAxisSize; ++col) {
            const double x = static_cast<double>(col) / (kMapAxisSize - 1);
            const double y = static_cast<double>(row) / (kMapAxisSize - 1);
            const double dx = (x - dipRpm) / kDipWidthRpm;
            const double dy = (y - dipLoad) / kDipWidthLoad;
            margin[row][col] = roll(x, y) - depth * std::exp(-(dx * dx + dy * dy) / 2);
        }
    }
    return margin;
}

KnockLimit::KnockLimit(const MapField& defaultIgnition, const MapAxes& defaultAxes,
                       const EngineOptions& options)
    : m_axes(defaultAxes) {
    const MapField margin = knockLimitMargin(options);
    for (std::size_t row = 0; row < kMapAxisSize; ++row)
        for (std::size_t col = 0; col < kMapAxisSize; ++col)
            m_field[row][col] = defaultIgnition[row][col] + margin[row][col];
}

KnockLimit KnockLimit::forFamily(LayoutFamily family, const EngineOptions& options) {
    const BlockStore blocks = defaultBlocks(simUnit(simUnitOf(family)));
    const FamilyLayout& layout = familyLayout(family);
    return KnockLimit(ignitionField(blocks, layout).value(),
                      mapAxesOfBlock(blocks[layout.mapRefBlock]).value(), options);
}

double KnockLimit::at(double rpm, double load) const {
    return interpolateField(m_field, m_axes, rpm, load);
}

double KnockLimit::at(double rpm, double load, double afr, double airC) const {
    return at(rpm, load) + knockLimitShift(afr, airC);
}

std::string KnockLimit::text() const {
    return fieldTableText(m_field,
                          "The ignition advance, degrees, above which the engine knocks at 14.7 "
                          "A/F and 30 C intake air: a line per load row, top row first as the grid "
                          "shows it;\na value per rpm column.",
                          2);
}

}  // namespace tunalyx
