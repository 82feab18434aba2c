#pragma once

#include <algorithm>

#include "model/trace_items.h"
#include "monitor/log_store.h"

namespace tunalyx {

// One log's samples as the analyses read them: the items they use, times in seconds, and values
// between samples.
class LogSamples {
public:
    LogSamples(const LogStore& log, int afrItem) : m_log(log), m_afr(afrItem) {}
    [[nodiscard]] int count() const { return m_log.sampleCount(); }
    [[nodiscard]] double seconds(int i) const { return m_log.LogTime(i) / 1000.0; }
    [[nodiscard]] double rpm(int i) const { return m_log.LogData(kRpmItem, i); }
    [[nodiscard]] double load(int i) const { return m_log.LogData(kLoadItem, i); }
    [[nodiscard]] double throttle(int i) const { return m_log.LogData(kThrottleVoltsItem, i); }
    [[nodiscard]] double injMs(int i) const { return m_log.LogData(kInjMsItem, i); }
    [[nodiscard]] double water(int i) const { return m_log.LogData(kWaterTempItem, i); }
    [[nodiscard]] double afr(int i) const { return m_log.LogData(m_afr, i); }
    [[nodiscard]] const LogStore& log() const { return m_log; }

    // The last sample at or before `t` (0 when all are after it), at or before `hint`.
    [[nodiscard]] int before(double t, int hint) const {
        int low = 0;
        int high = hint;
        while (low < high) {
            const int mid = (low + high + 1) / 2;
            if (seconds(mid) <= t)
                low = mid;
            else
                high = mid - 1;
        }
        return low;
    }
    [[nodiscard]] int before(double t) const { return before(t, count() - 1); }

    // Item `of` (a function of the sample) at `t`, between the samples around it.
    template <typename Of>
    [[nodiscard]] double at(double t, Of of, int hint) const {
        const int k = before(t, hint);
        if (k + 1 >= count() || seconds(k) >= t) return of(k);
        const double f = (t - seconds(k)) / (seconds(k + 1) - seconds(k));
        return of(k) + f * (of(k + 1) - of(k));
    }
    template <typename Of>
    [[nodiscard]] double at(double t, Of of) const {
        return at(t, of, count() - 1);
    }
    [[nodiscard]] double rpmAt(double t, int hint) const {
        return at(
            t, [&](int k) { return rpm(k); }, hint);
    }
    [[nodiscard]] double loadAt(double t, int hint) const {
        return at(
            t, [&](int k) { return load(k); }, hint);
    }
    [[nodiscard]] double rpmAt(double t) const { return rpmAt(t, count() - 1); }
    [[nodiscard]] double loadAt(double t) const { return loadAt(t, count() - 1); }

private:
    const LogStore& m_log;
    int m_afr;
};

// Whether a value moved from `low` to `high` faster than `limitPerSecond` over `seconds`.
[[nodiscard]] inline bool tooFast(double low, double high, double seconds, double limitPerSecond) {
    return (high - low) / seconds > limitPerSecond;
}

// How fast a steady reading's rpm, load and throttle may move.
struct SteadyLimits {
    double rpmPerSecond;
    double loadPerSecond;
    double throttleVoltsPerSecond;
};

// Whether rpm, load or throttle spanned more than `limits` allow from `from` to sample i.
[[nodiscard]] inline bool movedTooFast(const LogSamples& v, int i, double from,
                                       const SteadyLimits& limits) {
    double rpmLow = v.rpm(i), rpmHigh = rpmLow;
    double loadLow = v.load(i), loadHigh = loadLow;
    double tpsLow = v.throttle(i), tpsHigh = tpsLow;
    for (int k = v.before(from, i); k < i; ++k) {
        rpmLow = std::min(rpmLow, v.rpm(k));
        rpmHigh = std::max(rpmHigh, v.rpm(k));
        loadLow = std::min(loadLow, v.load(k));
        loadHigh = std::max(loadHigh, v.load(k));
        tpsLow = std::min(tpsLow, v.throttle(k));
        tpsHigh = std::max(tpsHigh, v.throttle(k));
    }
    const double window = v.seconds(i) - from;
    return tooFast(rpmLow, rpmHigh, window, limits.rpmPerSecond) ||
           tooFast(loadLow, loadHigh, window, limits.loadPerSecond) ||
           tooFast(tpsLow, tpsHigh, window, limits.throttleVoltsPerSecond);
}

}  // namespace tunalyx
