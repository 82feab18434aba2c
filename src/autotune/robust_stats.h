#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace tunalyx {

// A normal distribution's median absolute deviation, in standard deviations.
inline constexpr double kMadToSigma = 1.4826;
// Corrections alike to this are not split into outliers.
inline constexpr double kSmallestMad = 0.002;

// The middle value (the upper of two); the values are taken as a copy, so their order stays.
[[nodiscard]] inline double median(std::vector<double> values) {
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    return *mid;
}

}  // namespace tunalyx
