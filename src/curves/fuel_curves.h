#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "model/packet_image.h"
#include "versions/layout_family.h"

namespace tunalyx {

// The corrections on top of the Inj Map that auto-tune proposes values for, as the unit applies
// them:
// - the warm-up factor against coolant, Corr 1 of "Water Temp Correction": the fuel is multiplied
//   by it, linear between its points and flat beyond the first and the last;
// - the accelerator pump, Accel A of "Accelerate Injector": on a tip-in (the throttle opening
//   faster than kTipInRate) an extra pulse of Accel A at the engine's rpm, times the share "Inj vs
//   Accel TPS1" gives the throttle's speed, fading linearly to none over kPumpSeconds from the
//   last moment the throttle opened that fast. A lift ends it. The older layout has no TPS curve:
//   the whole pulse then.
inline constexpr std::size_t kWarmUpPoints = 6;
inline constexpr std::size_t kPumpPoints = 5;
inline constexpr std::size_t kPumpSharePoints = 3;

// The curve buttons' descriptors of these curves, in each layout.
inline constexpr std::string_view kWarmUpTag =
    "6;Const,,,,,,0,-30,-10,10,30,50,80;&H8F,6,-1,1,0.015625,0,0.000";
inline constexpr std::string_view kWarmUpTag170 =
    "6;Const,,,,,,0,-30,-10,10,30,50,80;&H5F,6,-1,1,0.015625,0,0.000";
inline constexpr std::string_view kPumpTag = "5;&H93,5,-1,1,40,0,0;&H93,14,-2,2,0.004,0,0.000";
inline constexpr std::string_view kPumpTag170 =
    "5;Const,,,,,,0,1000,2000,3000,4000,5000;&H5D,9,-2,2,0.004,0,0.000";
inline constexpr std::string_view kPumpShareTag = "3;&H94,7,-3,1,1,0,0;&H94,8,-3,2,1,0,0";

// Piecewise linear through its points (x rising), flat beyond the ends.
template <std::size_t N>
struct PointCurve {
    std::array<double, N> x{};
    std::array<double, N> y{};
    [[nodiscard]] double at(double where) const;
    // How much point i counts at `where` when the curve is read there (the tent of the point:
    // 1 on it, 0 at its neighbours; the end points take all beyond them). Sums to 1 over i.
    [[nodiscard]] double weight(std::size_t i, double where) const;
};

struct WarmUpCurve : PointCurve<kWarmUpPoints> {};  // x: coolant C, y: factor (1 = none)

struct AccelPump {
    static constexpr double kPumpSeconds = 0.5;
    static constexpr double kTipInRate = 1.0;  // throttle travel (0..1) per second
    // The throttle's speed as the TPS curve's X reads it: raw TPS counts (51 a volt, 3.85 V of
    // travel) per 100 ms.
    static constexpr double kCountsPerTravel = 3.85 * 51;
    [[nodiscard]] static double shareSpeed(double travelPerSecond) {
        return travelPerSecond * kCountsPerTravel / 10;
    }

    PointCurve<kPumpPoints> pulse;  // x: rpm, y: Accel A in ms
    // x: throttle speed (shareSpeed), y: share of the pulse; 1 throughout without the curve.
    PointCurve<kPumpSharePoints> share{{0, 1, 2}, {1, 1, 1}};
    bool hasShare = false;

    // The extra injection time `since` seconds after the throttle last opened faster than
    // kTipInRate, at `travelPerSecond` then; 0 once kPumpSeconds have passed.
    [[nodiscard]] double extraMs(double rpm, double travelPerSecond, double since) const;
};

struct FuelCurves {
    WarmUpCurve warmUp;
    AccelPump pump;
};

// The Y share of the TPS curve's raw value: 128 is the whole pulse.
inline constexpr double kPumpShareUnit = 128;

// The curves as the blocks of `image` hold them in `layout`; nothing when a block is missing or
// short, or its points do not rise.
[[nodiscard]] std::optional<FuelCurves> fuelCurvesOf(const PacketImage& image,
                                                     const FamilyLayout& layout);
[[nodiscard]] std::string_view warmUpTagOf(const FamilyLayout& layout);
[[nodiscard]] std::string_view pumpTagOf(const FamilyLayout& layout);

}  // namespace tunalyx
