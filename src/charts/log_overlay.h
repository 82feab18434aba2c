#pragma once

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "charts/chart_config.h"
#include "monitor/sample_source.h"

namespace tunalyx {

// A second log laid over the chart to see what a change did: where a pull starts, the shift
// that lines the overlay up with the shown log, and the difference of an item between them.

struct PullSearch {
    // Only crossings at or after this time count: the user picks which pull of a log.
    double from = -std::numeric_limits<double>::infinity();
    // Wide open is the log's own highest throttle less this many volts: the sensor's top
    // differs from car to car.
    double throttleMarginVolts = 0.25;
    // A throttle that never reached this did not open wide anywhere in the log.
    double leastWideOpenVolts = 3.0;
    // Rising means this many rpm more within riseSeconds of the crossing, so that an engine
    // holding near the rpm, its reading dithering across it, is not a pull.
    double riseRpm = 50;
    double riseSeconds = 0.3;
};

// The time the engine, at wide-open throttle ("TPS V"), rises through `rpm`: the first such
// crossing at or after `search.from`, to a fraction of a sample by linear interpolation between
// the samples either side. Nothing when there is none or the log lacks Rpm or TPS V.
[[nodiscard]] std::optional<double> findPullStart(const SampleSource& source, double rpm,
                                                  const PullSearch& search = {});
// Of all the log's pulls through `rpm`, the one starting nearest to `near`: the overlay's pull
// that matches the one picked in the shown log, wherever the overlay now sits.
[[nodiscard]] std::optional<double> nearestPullStart(const SampleSource& source, double rpm,
                                                     double near);
// "No pull through 3000 rpm at wide-open throttle in LOG.txt."
[[nodiscard]] std::string noPullText(double rpm, const std::string& logName);

// Where the overlay sits on the shown log's time axis: overlay time + seconds() = shown time.
// The alignment puts the overlay's pull start on the shown log's; nudges go on top of it.
class OverlayShift {
public:
    [[nodiscard]] double seconds() const noexcept { return m_aligned + m_nudged; }
    // A new alignment starts without nudges.
    void align(double shownPullStart, double overlayPullStart) noexcept {
        m_aligned = shownPullStart - overlayPullStart;
        m_nudged = 0;
    }
    void nudge(double seconds) noexcept { m_nudged += seconds; }
    void reset() noexcept { m_aligned = m_nudged = 0; }

private:
    double m_aligned = 0;
    double m_nudged = 0;
};

// One sample of a log for a nudge: the median step between its sample times (0.1 s for a log
// of fewer than two samples).
[[nodiscard]] double sampleStepSeconds(const SampleSource& source);
// "overlay +2.314 s", "overlay -0.100 s".
[[nodiscard]] std::string shiftText(double seconds);

// The shown log minus the overlay, item by item, at each sample of the shown log: the overlay's
// value interpolated at the sample's time less `shift`. NaN where the overlay has no data (before
// its first sample, after its last, or without the item) and where the shown log lacks the item.
[[nodiscard]] std::vector<double> differenceTrace(const SampleSource& shown,
                                                  const SampleSource& overlay, int item,
                                                  double shift);

// How a difference is drawn: zero across the middle of the pane, at the scale of the item's trace
// when the chart has one (`trace`, -1 for none), else so that the largest difference fills half
// the pane.
[[nodiscard]] TraceScale differenceScale(const ChartConfig& config, int trace, int pane,
                                         const std::vector<double>& difference);

// A trace's colour for the overlay: halfway to the pane's back colour, under the shown log's.
[[nodiscard]] ChartColour ghostColour(ChartColour trace, ChartColour back);

}  // namespace tunalyx
