#include "sim/fuel_requirement.h"

#include "maps/field_table.h"
#include "maps/map_grids.h"
#include "sim/unit_draw.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace tunalyx {

namespace {

constexpr double kPatternReach = 0.15;  // the pattern's largest error either way
constexpr int kPatternWaves = 3;

// The warm-up requirement's error at the coldest point, either way; none from kWarmUpTrueFromC up.
constexpr double kWarmUpLeastError = 0.10;
constexpr double kWarmUpMostError = 0.25;
constexpr double kWarmUpTrueFromC = 50;
constexpr double kPumpLeastFactor = 0.4;
constexpr double kPumpMostFactor = 2.2;

constexpr double kInjectionScale = 0.00390625;  // the Inj Map's raw steps
constexpr double kInjectionOffset = 0.5;

}  // namespace

std::optional<MapField> byteMapField(const BlockStore& blocks, std::uint8_t firstBlock,
                                     double scale, double offset) {
    constexpr std::size_t kBlockBytes = 100;
    for (std::size_t b = 0; b < 4; ++b)
        if (firstBlock + b >= blocks.size() || blocks[firstBlock + b].size() < kBlockBytes)
            return std::nullopt;
    MapField field{};
    for (std::size_t col = 0; col < kMapAxisSize; ++col) {
        for (std::size_t row = 0; row < kMapAxisSize; ++row) {
            const auto k = static_cast<std::size_t>(
                cellIndex(static_cast<int>(row) + 1, static_cast<int>(col) + 1));
            const Bytes& block = blocks[firstBlock + k / kBlockBytes];
            field[row][col] = offset + block[k % kBlockBytes] * scale;
        }
    }
    return field;
}

std::optional<MapField> injectionField(const BlockStore& blocks, const FamilyLayout& layout) {
    return byteMapField(blocks, layout.injMapBlock, kInjectionScale, kInjectionOffset);
}

MapField requirementErrorPattern(const EngineOptions& options) {
    MapField factor{};
    for (auto& row : factor)
        row.fill(1.0);
    if (options.requirement == RequirementKind::Correct) return factor;
    if (options.requirement == RequirementKind::Uniform) {
        for (auto& row : factor)
            row.fill(1.0 + options.uniformLeanPercent / 100);
        return factor;
    }
    // A few long waves across the map with drawn directions and phases: smooth, no two seeds
    // alike, then scaled so the worst cell is off by the full reach.
    std::mt19937_64 random(options.seed);
    struct Wave {
        double fx, fy, phase, amplitude;
    };
    std::array<Wave, kPatternWaves> waves{};
    for (Wave& w : waves)
        w = {0.3 + 0.9 * unitDraw(random),
             0.3 + 0.9 * unitDraw(random) * (unitDraw(random) < 0.5 ? -1 : 1),
             2 * std::numbers::pi * unitDraw(random), 0.5 + 0.5 * unitDraw(random)};
    MapField raw{};
    double largest = 0;
    for (std::size_t row = 0; row < kMapAxisSize; ++row) {
        for (std::size_t col = 0; col < kMapAxisSize; ++col) {
            const double x = static_cast<double>(col) / (kMapAxisSize - 1);
            const double y = static_cast<double>(row) / (kMapAxisSize - 1);
            double v = 0;
            for (const Wave& w : waves)
                v += w.amplitude * std::sin(2 * std::numbers::pi * (w.fx * x + w.fy * y) + w.phase);
            raw[row][col] = v;
            largest = std::max(largest, std::abs(v));
        }
    }
    for (std::size_t row = 0; row < kMapAxisSize; ++row)
        for (std::size_t col = 0; col < kMapAxisSize; ++col)
            factor[row][col] = 1 + kPatternReach * raw[row][col] / largest;
    return factor;
}

FuelRequirement::FuelRequirement(const MapField& defaultInjection, const MapAxes& defaultAxes,
                                 const EngineOptions& options)
    : m_axes(defaultAxes) {
    // The default tune burns 14.7 x requirement / value: lean where the factor is above 1.
    const MapField factor = requirementErrorPattern(options);
    for (std::size_t row = 0; row < kMapAxisSize; ++row)
        for (std::size_t col = 0; col < kMapAxisSize; ++col)
            m_field[row][col] = defaultInjection[row][col] * factor[row][col];
}

FuelRequirement FuelRequirement::forFamily(LayoutFamily family, const EngineOptions& options) {
    const BlockStore blocks = defaultBlocks(simUnit(simUnitOf(family)));
    const FamilyLayout& layout = familyLayout(family);
    return FuelRequirement(injectionField(blocks, layout).value(),
                           mapAxesOfBlock(blocks[layout.mapRefBlock]).value(), options);
}

double FuelRequirement::at(double rpm, double load) const {
    return interpolateField(m_field, m_axes, rpm, load);
}

std::string FuelRequirement::text() const {
    return fieldTableText(m_field,
                          "The Inj Map values that burn 14.7 A/F: a line per load row, top row "
                          "first as the grid shows it;\na value per rpm column.",
                          3);
}

CurveRequirement CurveRequirement::none() {
    CurveRequirement none;
    none.warmUp.x = {-30, -10, 10, 30, 50, 80};
    none.warmUp.y.fill(1);
    none.pump.x = {1000, 2000, 3000, 4000, 5000};
    return none;
}

CurveRequirement::CurveRequirement(const FuelCurves& defaults, const EngineOptions& options)
    : warmUp(defaults.warmUp), pump(defaults.pump.pulse) {
    if (options.requirement != RequirementKind::Pattern) return;
    // Keyed apart from the map's pattern, which draws from the same seed.
    std::mt19937_64 random(options.seed ^ 0xC0'1D'5EEDULL);
    // Warm-up: the error grows smoothly towards the cold end, with a drawn bow in the middle.
    const double sign = unitDraw(random) < 0.5 ? -1 : 1;
    const double coldest =
        kWarmUpLeastError + (kWarmUpMostError - kWarmUpLeastError) * unitDraw(random);
    const double bow = 0.4 * coldest * (2 * unitDraw(random) - 1);
    const double span = kWarmUpTrueFromC - warmUp.x.front();
    for (std::size_t i = 0; i < kWarmUpPoints; ++i) {
        const double cold = std::clamp((kWarmUpTrueFromC - warmUp.x[i]) / span, 0.0, 1.0);
        warmUp.y[i] *= 1 + sign * coldest * cold + bow * std::sin(std::numbers::pi * cold);
    }
    // Pump: a factor per rpm point, with at least one band well rich and one well lean.
    std::array<double, kPumpPoints> factor{};
    for (double& f : factor)
        f = kPumpLeastFactor + (kPumpMostFactor - kPumpLeastFactor) * unitDraw(random);
    const auto rich = static_cast<std::size_t>(unitDraw(random) * kPumpPoints);
    const auto lean =
        (rich + 1 + static_cast<std::size_t>(unitDraw(random) * (kPumpPoints - 1))) % kPumpPoints;
    factor[rich] = kPumpLeastFactor + 0.3 * unitDraw(random);
    factor[lean] = kPumpMostFactor - 0.5 * unitDraw(random);
    for (std::size_t i = 0; i < kPumpPoints; ++i)
        pump.y[i] *= factor[i];
}

CurveRequirement CurveRequirement::forFamily(LayoutFamily family, const EngineOptions& options) {
    PacketImage image;
    image.assign(defaultBlocks(simUnit(simUnitOf(family))));
    return CurveRequirement(fuelCurvesOf(image, familyLayout(family)).value(), options);
}

}  // namespace tunalyx
