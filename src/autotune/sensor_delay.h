#pragma once

#include <string>
#include <vector>

namespace tunalyx {

// Exhaust flow as a share of the most the engine makes: what the gas's time from cylinder to
// sensor depends on.
[[nodiscard]] double flowShare(double rpm, double load);

// The delay auto-tune assumes from cylinder to sensor where none was measured: about 600 ms at
// idle and light load down to about 150 ms at high rpm and load, times `scale`.
[[nodiscard]] double assumedDelaySeconds(double rpm, double load, double scale = 1);
// The same at a flow share.
[[nodiscard]] double assumedDelayAtFlow(double flow, double scale = 1);

// The delay from cylinder to sensor as the logs show it, per band of exhaust flow: the A/F's
// answer to what changes the fuel at a known moment (a fuel cut and its end, a tip-in), found by
// cross-correlation of those moments with the A/F's movement.
struct DelayRegion {
    double lowFlow = 0;  // flowShare bounds, [low, high)
    double highFlow = 1;
    int events = 0;  // moments the correlation was made of
    // The delay found, meaningful when measured(): at the flows of its events, on average as the
    // assumed model goes; inside the band the delay follows the model's shape.
    double seconds = 0;
    double confidence = 0;           // 0..1: how clearly one lag stands out, and on how many events
    std::vector<double> eventFlows;  // flowShare at each event, in the order found
    static constexpr int kLeastEvents = 5;
    static constexpr double kLeastConfidence = 0.5;
    [[nodiscard]] bool measured() const {
        return events >= kLeastEvents && confidence >= kLeastConfidence;
    }
};

struct MeasuredDelay {
    std::vector<DelayRegion> regions;  // flow bands in rising order, covering 0..1
    // The measured delay where the flow's band was measured (shaped by the model across the
    // band, which is wider than a few tens of milliseconds of delay); elsewhere the assumed model
    // times `scale`, times the ratio the measured bands show to the model (so a sensor found slow
    // in one band is taken as slow in all).
    [[nodiscard]] double secondsAt(double rpm, double load, double scale = 1) const;
    [[nodiscard]] bool anyMeasured() const;
    // "Sensor delay measured: 810 ms at flow 0-3 % (23 events, confidence 0.92), ...; elsewhere the
    // assumed delay, scaled to match", or "Sensor delay not measured: no fuel cut or tip-in clear
    // enough; assumed".
    [[nodiscard]] std::string line() const;
};

}  // namespace tunalyx
