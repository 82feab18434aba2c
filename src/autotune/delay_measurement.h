#pragma once

#include <vector>

#include "autotune/autotune.h"
#include "autotune/sensor_delay.h"
#include "monitor/log_store.h"

namespace tunalyx {

// The wide-band sensor's own first-order lag: a step of the burned A/F reaches it at once but
// shows over about three of these.
inline constexpr double kSensorLagSeconds = 0.1;

// Measures the delay from cylinder to sensor in wide-band logs, per band of exhaust flow: each
// fuel cut's start and end and each tip-in is a moment the fuel changed; the A/F's movement after
// those moments, cross-correlated with them over lags up to two seconds, peaks at the delay.
// Readings of `settings.afrItem` outside its range (railed, or a sensor still cold) show no
// movement, except the lean rail a fuel cut makes. A fuel cut's end is used only when its A/F
// never railed: the rail hides when the fall began. Deterministic.
[[nodiscard]] MeasuredDelay measureSensorDelay(const std::vector<AutoTuneLog>& logs,
                                               const AutoTuneSettings& settings);

// A tip-in's A/F before it: the readings of this long before it opened.
inline constexpr double kTipInBaseSeconds = 0.3;

// Throttle travel (0..1) per second from sample i - 1 to sample i, from the TPS volts (3.85 V is
// full travel); 0 for the first sample.
[[nodiscard]] double throttleRate(const LogStore& log, int i);
// The samples at which the throttle began to open faster than AccelPump::kTipInRate, after
// not doing so for the pump's time.
[[nodiscard]] std::vector<int> tipInStarts(const LogStore& log);
// When the tip-in found at sample `start` began: the travel into that sample, at the speed the
// throttle went on with, back from it.
[[nodiscard]] double tipInSeconds(const LogStore& log, int start);

}  // namespace tunalyx
