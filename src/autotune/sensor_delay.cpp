#include "autotune/sensor_delay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tunalyx {

double flowShare(double rpm, double load) {
    return std::clamp(rpm / 7000, 0.0, 1.0) * std::clamp(load / 13000, 0.0, 1.0);
}

double assumedDelayAtFlow(double flow, double scale) {
    return scale * (0.15 + 0.45 * std::exp(-flow / 0.12));
}

double assumedDelaySeconds(double rpm, double load, double scale) {
    return assumedDelayAtFlow(flowShare(rpm, load), scale);
}

namespace {

// The model's delay at the region's events, on average.
double modelAtEvents(const DelayRegion& r) {
    double model = 0;
    for (const double flow : r.eventFlows)
        model += assumedDelayAtFlow(flow);
    return model / static_cast<double>(r.eventFlows.size());
}

// What the measured bands show against the model, weighted by their events; 1 without any.
double measuredRatio(const MeasuredDelay& d) {
    double sum = 0, weight = 0;
    for (const DelayRegion& r : d.regions) {
        if (!r.measured() || r.eventFlows.empty()) continue;
        sum += r.events * r.seconds / modelAtEvents(r);
        weight += r.events;
    }
    return weight > 0 ? sum / weight : 1;
}

}  // namespace

double MeasuredDelay::secondsAt(double rpm, double load, double scale) const {
    const double flow = flowShare(rpm, load);
    for (const DelayRegion& r : regions) {
        if (!r.measured() || flow < r.lowFlow || (flow >= r.highFlow && r.highFlow < 1)) continue;
        if (r.eventFlows.empty()) return r.seconds;
        return r.seconds * assumedDelayAtFlow(flow) / modelAtEvents(r);
    }
    return assumedDelaySeconds(rpm, load, scale) * measuredRatio(*this);
}

bool MeasuredDelay::anyMeasured() const {
    return std::any_of(regions.begin(), regions.end(),
                       [](const DelayRegion& r) { return r.measured(); });
}

std::string MeasuredDelay::line() const {
    if (!anyMeasured())
        return "Sensor delay not measured: no fuel cut or tip-in clear enough; assumed";
    std::string text = "Sensor delay measured:";
    bool first = true;
    for (const DelayRegion& r : regions) {
        if (!r.measured()) continue;
        char part[160];
        std::snprintf(part, sizeof part,
                      "%s %.0f ms at flow %.0f-%.0f %% (%d events, confidence %.2f)",
                      first ? "" : ",", r.seconds * 1000, r.lowFlow * 100, r.highFlow * 100,
                      r.events, r.confidence);
        text += part;
        first = false;
    }
    return text + "; elsewhere the assumed delay, scaled to match";
}

}  // namespace tunalyx
