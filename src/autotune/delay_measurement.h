#pragma once

#include <vector>

#include "autotune/autotune.h"
#include "autotune/sensor_delay.h"

namespace tunalyx {

// Measures the delay from cylinder to sensor in wide-band logs, per band of exhaust flow: each
// fuel cut's start and end and each tip-in is a moment the fuel changed; the A/F's movement after
// those moments, cross-correlated with them over lags up to a few seconds, peaks at the delay.
// Readings of `settings.afrItem`; railed, cold-sensor and start-of-run stretches are skipped as
// auto-tune skips them. Deterministic.
[[nodiscard]] MeasuredDelay measureSensorDelay(const std::vector<AutoTuneLog>& logs,
                                               const AutoTuneSettings& settings);

}  // namespace tunalyx
