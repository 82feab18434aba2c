#include "charts/log_overlay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tunalyx {

std::optional<double> findPullStart(const SampleSource& source, double rpm,
                                    const PullSearch& search) {
    const int n = source.sampleCount();
    if (n < 2 || !source.hasItem(kRpmItem) || !source.hasItem(kThrottleVoltsItem)) return {};
    double highest = -std::numeric_limits<double>::infinity();
    for (int s = 0; s < n; ++s)
        highest = std::max(highest, source.value(kThrottleVoltsItem, s));
    if (!(highest >= search.leastWideOpenVolts)) return {};
    const double wideOpen = highest - search.throttleMarginVolts;
    const auto open = [&](int s) { return source.value(kThrottleVoltsItem, s) >= wideOpen; };

    for (int i = 1; i < n; ++i) {
        const double r0 = source.value(kRpmItem, i - 1);
        const double r1 = source.value(kRpmItem, i);
        if (!(r0 < rpm && r1 >= rpm) || !open(i - 1) || !open(i)) continue;
        const double t0 = source.timeSeconds(i - 1);
        const double t1 = source.timeSeconds(i);
        const double t = t1 > t0 ? t0 + (t1 - t0) * (rpm - r0) / (r1 - r0) : t1;
        if (t < search.from) continue;
        int j = i;
        while (j < n && source.timeSeconds(j) < t + search.riseSeconds)
            ++j;
        if (j < n && source.value(kRpmItem, j) >= rpm + search.riseRpm) return t;
    }
    return {};
}

std::optional<double> nearestPullStart(const SampleSource& source, double rpm, double near) {
    std::optional<double> nearest;
    PullSearch search;
    while (const std::optional<double> start = findPullStart(source, rpm, search)) {
        if (!nearest || std::abs(*start - near) < std::abs(*nearest - near)) nearest = start;
        // A pull rises through the rpm once; the next crossing is the next pull.
        search.from = *start + search.riseSeconds;
    }
    return nearest;
}

std::string noPullText(double rpm, const std::string& logName) {
    char number[32];
    std::snprintf(number, sizeof number, "%.0f", rpm);
    return std::string("No pull through ") + number + " rpm at wide-open throttle in " + logName +
           ".";
}

double sampleStepSeconds(const SampleSource& source) {
    const int n = source.sampleCount();
    if (n < 2) return 0.1;
    std::vector<double> steps(static_cast<std::size_t>(n - 1));
    for (int s = 1; s < n; ++s)
        steps[static_cast<std::size_t>(s - 1)] = source.timeSeconds(s) - source.timeSeconds(s - 1);
    const auto middle = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    return *middle;
}

std::string shiftText(double seconds) {
    // Rounded to the millisecond first, so that a tiny negative shift reads "+0.000".
    const double ms = std::round(seconds * 1000);
    char text[48];
    std::snprintf(text, sizeof text, "overlay %c%.3f s", ms < 0 ? '-' : '+', std::abs(ms) / 1000);
    return text;
}

std::vector<double> differenceTrace(const SampleSource& shown, const SampleSource& overlay,
                                    int item, double shift) {
    const int n = shown.sampleCount();
    const int m = overlay.sampleCount();
    std::vector<double> out(static_cast<std::size_t>(n), std::nan(""));
    if (m < 1 || !shown.hasItem(item) || !overlay.hasItem(item)) return out;
    const double first = overlay.timeSeconds(0);
    const double last = overlay.timeSeconds(m - 1);
    // Both logs run forwards in time, so the overlay's sample only ever moves on.
    int k = 0;
    for (int s = 0; s < n; ++s) {
        const double t = shown.timeSeconds(s) - shift;
        if (t < first || t > last) continue;
        while (k + 1 < m && overlay.timeSeconds(k + 1) <= t)
            ++k;
        double v = overlay.value(item, k);
        if (k + 1 < m) {
            const double t0 = overlay.timeSeconds(k);
            const double t1 = overlay.timeSeconds(k + 1);
            v += (overlay.value(item, k + 1) - v) * (t - t0) / (t1 - t0);
        }
        out[static_cast<std::size_t>(s)] = shown.value(item, s) - v;
    }
    return out;
}

TraceScale differenceScale(const ChartConfig& config, int trace, int pane,
                           const std::vector<double>& difference) {
    const auto at = static_cast<std::size_t>(std::clamp(pane, 0, ChartConfig::kPanes - 1));
    const double bottom = config.ChartMin[at];
    const double top = config.ChartMax[at];
    TraceScale scale;
    scale.pane = static_cast<int>(at);
    scale.offset = (bottom + top) / 2;
    if (trace >= 0) {
        scale.scale = traceScale(config, trace).scale;
        return scale;
    }
    double largest = 0;
    for (double d : difference)
        if (std::isfinite(d)) largest = std::max(largest, std::abs(d));
    scale.scale = largest > 0 ? (top - bottom) / 2 / largest : 1;
    return scale;
}

ChartColour ghostColour(ChartColour trace, ChartColour back) {
    ChartColour out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const ChartColour a = (trace >> shift) & 0xFF;
        const ChartColour b = (back >> shift) & 0xFF;
        out |= ((a + b) / 2) << shift;
    }
    return out;
}

}  // namespace tunalyx
