#include "curves/fuel_curves.h"

#include <algorithm>

#include "curves/curve_descriptor.h"
#include "model/descriptors.h"

namespace tunalyx {

template <std::size_t N>
double PointCurve<N>::at(double where) const {
    double sum = 0;
    for (std::size_t i = 0; i < N; ++i)
        sum += weight(i, where) * y[i];
    return sum;
}

template <std::size_t N>
double PointCurve<N>::weight(std::size_t i, double where) const {
    if (where <= x.front()) return i == 0 ? 1 : 0;
    if (where >= x.back()) return i == N - 1 ? 1 : 0;
    if (i > 0 && where >= x[i - 1] && where <= x[i]) return (where - x[i - 1]) / (x[i] - x[i - 1]);
    if (i + 1 < N && where >= x[i] && where < x[i + 1])
        return (x[i + 1] - where) / (x[i + 1] - x[i]);
    return 0;
}

template struct PointCurve<kWarmUpPoints>;
template struct PointCurve<kPumpPoints>;
template struct PointCurve<kPumpSharePoints>;

double AccelPump::extraMs(double rpm, double travelPerSecond, double since) const {
    if (since < 0 || since >= kPumpSeconds) return 0;
    const double shared = hasShare ? share.at(shareSpeed(travelPerSecond)) : 1;
    return pulse.at(rpm) * shared * (1 - since / kPumpSeconds);
}

std::string_view warmUpTagOf(const FamilyLayout& layout) {
    return layout.layout170 ? kWarmUpTag170 : kWarmUpTag;
}

std::string_view pumpTagOf(const FamilyLayout& layout) {
    return layout.layout170 ? kPumpTag170 : kPumpTag;
}

namespace {

// The points of a curve, nothing when its blocks do not hold them all or X does not rise.
template <std::size_t N>
std::optional<PointCurve<N>> readCurve(const PacketImage& image, std::string_view tag) {
    const auto d = parseCurveDescriptor(tag);
    if (!d || d->count != static_cast<int>(N)) return std::nullopt;
    PointCurve<N> curve;
    for (std::size_t i = 0; i < N; ++i) {
        for (const CurveElement* e : {&d->x, &d->y}) {
            if (e->constant) continue;
            const Bytes& slot = image[static_cast<std::uint8_t>(e->block)];
            const std::int64_t last =
                e->position(static_cast<int>(i)) + (e->type == kTypeUnsigned16 ? 1 : 0);
            if (e->position(static_cast<int>(i)) < 1 ||
                last > static_cast<std::int64_t>(slot.size()))
                return std::nullopt;
        }
        curve.x[i] = d->x.value(image, static_cast<int>(i));
        curve.y[i] = d->y.value(image, static_cast<int>(i));
        if (i > 0 && !(curve.x[i] > curve.x[i - 1])) return std::nullopt;
    }
    return curve;
}

}  // namespace

std::optional<FuelCurves> fuelCurvesOf(const PacketImage& image, const FamilyLayout& layout) {
    const auto warmUp = readCurve<kWarmUpPoints>(image, warmUpTagOf(layout));
    const auto pulse = readCurve<kPumpPoints>(image, pumpTagOf(layout));
    if (!warmUp || !pulse) return std::nullopt;
    FuelCurves curves;
    static_cast<PointCurve<kWarmUpPoints>&>(curves.warmUp) = *warmUp;
    curves.pump.pulse = *pulse;
    if (!layout.layout170) {
        const auto share = readCurve<kPumpSharePoints>(image, kPumpShareTag);
        if (!share) return std::nullopt;
        curves.pump.share = *share;
        for (double& y : curves.pump.share.y)
            y /= kPumpShareUnit;
        curves.pump.hasShare = true;
    }
    return curves;
}

}  // namespace tunalyx
