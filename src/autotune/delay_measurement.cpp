#include "autotune/delay_measurement.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "curves/fuel_curves.h"

namespace tunalyx {

namespace {

// Bands narrow enough that the delay moves little inside one (the model's shape takes up the rest).
constexpr std::array<double, 6> kBandEdges{0, 0.03, 0.08, 0.15, 0.30, 1.0};
constexpr double kLongestLag = 2.0;
constexpr double kLagStep = 0.002;
// The matched filter's reach: the lag's response has all but 2 % of its area within it.
constexpr double kResponseSeconds = 4 * kSensorLagSeconds;
// Off the peak by more than this, the correlation is what the peak must stand out of.
constexpr double kPeakWidth = 3 * kSensorLagSeconds + 0.05;
// A tip-in's A/F has clearly moved when the mean of this long of readings is this far off.
constexpr double kMoveSeconds = 0.05;
constexpr double kClearMove = 0.03;
// A tip-in whose flow moves further than this before its answer is left out.
constexpr double kFlowDrift = 0.25;
constexpr double kFlowDriftLeast = 0.01;
// A lean rail this long after fuel was last cut is the cut's.
constexpr double kCutRailSeconds = kLongestLag + 0.5;

struct Event {
    std::size_t log;
    double seconds;
    double sign;  // the way the A/F must move: +1 leaner, -1 richer
    double flow;
};

// One log's readings as the correlation sees them.
struct Movement {
    std::vector<double> seconds;
    std::vector<double> slope;  // A/F per second, 0 where the readings cannot move
    // The slope at `t`, between the samples around it; `hint` walks forward with rising t.
    [[nodiscard]] double at(double t, std::size_t& hint) const {
        while (hint + 1 < seconds.size() && seconds[hint + 1] <= t)
            ++hint;
        if (hint + 1 >= seconds.size() || t < seconds[hint]) return 0;
        const double f = (t - seconds[hint]) / (seconds[hint + 1] - seconds[hint]);
        return slope[hint] + f * (slope[hint + 1] - slope[hint]);
    }
};

bool inRange(double afr, const AutoTuneSettings& s) {
    return afr >= s.lowestAfr && afr <= s.highestAfr;
}

// The A/F's movement: a central difference, over readings that can move (in range, or on the
// lean rail of a fuel cut, which is the clearest step there is).
Movement movementOf(const LogStore& log, const AutoTuneSettings& s) {
    const int n = log.sampleCount();
    Movement m;
    m.seconds.resize(static_cast<std::size_t>(n));
    m.slope.assign(static_cast<std::size_t>(n), 0);
    std::vector<char> usable(static_cast<std::size_t>(n));
    double lastCut = -std::numeric_limits<double>::infinity();
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        m.seconds[k] = log.LogTime(i) / 1000.0;
        if (log.LogData(kInjMsItem, i) <= 0) lastCut = m.seconds[k];
        const double afr = log.LogData(s.afrItem, i);
        usable[k] =
            inRange(afr, s) || (afr > s.highestAfr && m.seconds[k] - lastCut <= kCutRailSeconds);
    }
    for (int i = 1; i + 1 < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const double span = m.seconds[k + 1] - m.seconds[k - 1];
        if (!usable[k - 1] || !usable[k + 1] || span <= 0) continue;
        m.slope[k] = (log.LogData(s.afrItem, i + 1) - log.LogData(s.afrItem, i - 1)) / span;
    }
    return m;
}

// The first sample at or after `t`.
int firstAtOrAfter(const LogStore& log, double t) {
    int low = 0, high = log.sampleCount();
    while (low < high) {
        const int mid = (low + high) / 2;
        if (log.LogTime(mid) / 1000.0 < t)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

double meanAfr(const LogStore& log, int afrItem, int from, double fromSeconds, double toSeconds) {
    double sum = 0;
    int count = 0;
    const int n = log.sampleCount();
    for (int i = from; i < n && log.LogTime(i) / 1000.0 < toSeconds; ++i) {
        if (log.LogTime(i) / 1000.0 < fromSeconds) continue;
        sum += log.LogData(afrItem, i);
        ++count;
    }
    return count > 0 ? sum / count : std::numeric_limits<double>::quiet_NaN();
}

void findEvents(const LogStore& log, std::size_t index, const AutoTuneSettings& s,
                std::vector<Event>& events) {
    const int n = log.sampleCount();
    const auto secondsOf = [&](int i) { return log.LogTime(i) / 1000.0; };
    const auto flowAt = [&](int i) {
        return flowShare(log.LogData(kRpmItem, i), log.LogData(kLoadItem, i));
    };
    const auto afr = [&](int i) { return log.LogData(s.afrItem, i); };
    // Between the two samples it fell between: on average right.
    const auto moment = [&](int i) { return (secondsOf(i - 1) + secondsOf(i)) / 2; };
    bool railedInCut = false;
    for (int i = 1; i < n; ++i) {
        const bool cutBefore = log.LogData(kInjMsItem, i - 1) <= 0;
        const bool cutNow = log.LogData(kInjMsItem, i) <= 0;
        if (cutNow && afr(i) > s.highestAfr) railedInCut = true;
        if (!cutBefore && cutNow) {
            railedInCut = afr(i) > s.highestAfr;
            if (inRange(afr(i - 1), s)) events.push_back({index, moment(i), 1, flowAt(i - 1)});
        } else if (cutBefore && !cutNow) {
            if (!railedInCut && inRange(afr(i), s))
                events.push_back({index, moment(i), -1, flowAt(i)});
        }
    }
    for (const int i : tipInStarts(log)) {
        if (i < 1 || log.LogData(kInjMsItem, i - 1) <= 0 || log.LogData(kInjMsItem, i) <= 0)
            continue;
        const double t = tipInSeconds(log, i);
        const double before = meanAfr(log, s.afrItem, firstAtOrAfter(log, t - kTipInBaseSeconds),
                                      t - kTipInBaseSeconds, t);
        if (!inRange(before, s)) continue;
        // The delay follows the flow: one that moves on much before the answer comes has no
        // delay of its own to give.
        const double flow = flowAt(i - 1);
        const int answer =
            std::min(n - 1, firstAtOrAfter(log, t + assumedDelayAtFlow(flow, s.delayScale)));
        if (std::abs(flowAt(answer) - flow) > std::max(kFlowDrift * flow, kFlowDriftLeast))
            continue;
        // The pump may give more or less than the engine wants: the A/F's first clear move
        // shows which, before the new operating point's own mixture comes through.
        for (int k = i; k < n && secondsOf(k) < t + kLongestLag; ++k) {
            const double recent =
                meanAfr(log, s.afrItem, firstAtOrAfter(log, secondsOf(k) - kMoveSeconds),
                        secondsOf(k) - kMoveSeconds, secondsOf(k) + 1e-6);
            if (!inRange(recent, s)) break;
            if (std::abs(recent / before - 1) < kClearMove) continue;
            events.push_back({index, t, recent > before ? 1.0 : -1.0, flowAt(i - 1)});
            break;
        }
    }
}

// The correlation of a band's events with the A/F's movement at each lag (the lag stretched for
// each event by the model's delay at its flow against the band's mean), then matched to the
// response of the sensor's lag, whose causal tail would otherwise pull the peak late.
std::vector<double> matchedCorrelation(const std::vector<const Event*>& events,
                                       const std::vector<Movement>& moves, double meanModel) {
    const auto lags = static_cast<std::size_t>((kLongestLag + kResponseSeconds) / kLagStep) + 1;
    std::vector<double> c(lags, 0);
    for (const Event* e : events) {
        const Movement& m = moves[e->log];
        const double stretch = assumedDelayAtFlow(e->flow) / meanModel;
        // Start the walk at the event: the slope lookup only moves forward.
        auto hint = static_cast<std::size_t>(
            std::upper_bound(m.seconds.begin(), m.seconds.end(), e->seconds) - m.seconds.begin());
        hint = hint > 0 ? hint - 1 : 0;
        for (std::size_t k = 0; k < lags; ++k)
            c[k] += e->sign * m.at(e->seconds + stretch * kLagStep * static_cast<double>(k), hint);
    }
    const auto reach = static_cast<std::size_t>(kResponseSeconds / kLagStep);
    const std::size_t out = static_cast<std::size_t>(kLongestLag / kLagStep) + 1;
    std::vector<double> matched(out, 0);
    for (std::size_t k = 0; k < out; ++k)
        for (std::size_t j = 0; j <= reach && k + j < lags; ++j)
            matched[k] +=
                c[k + j] * std::exp(-static_cast<double>(j) * kLagStep / kSensorLagSeconds);
    return matched;
}

// The peak's lag, between the grid's steps, and how clearly it stands out of the rest.
void findPeak(const std::vector<double>& m, DelayRegion& region) {
    const auto top = static_cast<std::size_t>(std::max_element(m.begin(), m.end()) - m.begin());
    double offset = 0;
    if (top > 0 && top + 1 < m.size()) {
        const double curve = m[top - 1] - 2 * m[top] + m[top + 1];
        if (curve < 0) offset = 0.5 * (m[top - 1] - m[top + 1]) / curve;
    }
    region.seconds = (static_cast<double>(top) + offset) * kLagStep;
    // Only what could pass for another peak counts against it: a cut's end after its start
    // pulls the correlation down, never up.
    double sum = 0;
    int count = 0;
    for (std::size_t k = 0; k < m.size(); ++k) {
        if (std::abs(static_cast<double>(k) - static_cast<double>(top)) * kLagStep <= kPeakWidth)
            continue;
        const double v = std::max(0.0, m[k]);
        sum += v * v;
        ++count;
    }
    const double spread = count > 0 ? std::sqrt(sum / count) : 0;
    const double height = m[top];
    const double clarity = height <= 0   ? 0
                           : spread <= 0 ? 1
                                         : std::clamp(1 - 2 * spread / height, 0.0, 1.0);
    const double n = region.events;
    region.confidence = clarity * n / (n + 2);
}

}  // namespace

MeasuredDelay measureSensorDelay(const std::vector<AutoTuneLog>& logs,
                                 const AutoTuneSettings& settings) {
    std::vector<Event> events;
    std::vector<Movement> moves(logs.size());
    for (std::size_t k = 0; k < logs.size(); ++k) {
        const LogStore& log = *logs[k].log;
        if (!missingGroupsProblem(log, settings.afrItem, logs[k].name).empty()) continue;
        if (log.sampleCount() < 3) continue;
        moves[k] = movementOf(log, settings);
        findEvents(log, k, settings, events);
    }
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.log != b.log ? a.log < b.log : a.seconds < b.seconds;
    });
    MeasuredDelay delay;
    for (std::size_t b = 0; b + 1 < kBandEdges.size(); ++b) {
        DelayRegion region;
        region.lowFlow = kBandEdges[b];
        region.highFlow = kBandEdges[b + 1];
        std::vector<const Event*> inBand;
        double model = 0;
        for (const Event& e : events) {
            const bool last = b + 2 == kBandEdges.size();
            if (e.flow < region.lowFlow || (e.flow >= region.highFlow && !last)) continue;
            inBand.push_back(&e);
            region.eventFlows.push_back(e.flow);
            model += assumedDelayAtFlow(e.flow);
        }
        region.events = static_cast<int>(inBand.size());
        if (!inBand.empty())
            findPeak(matchedCorrelation(inBand, moves, model / static_cast<double>(inBand.size())),
                     region);
        delay.regions.push_back(std::move(region));
    }
    return delay;
}

double throttleRate(const LogStore& log, int i) {
    if (i < 1 || i >= log.sampleCount()) return 0;
    const double span = (log.LogTime(i) - log.LogTime(i - 1)) / 1000.0;
    if (span <= 0) return 0;
    const double travel =
        (log.LogData(kThrottleVoltsItem, i) - log.LogData(kThrottleVoltsItem, i - 1)) /
        (AccelPump::kCountsPerTravel / 51);
    return travel / span;
}

double tipInSeconds(const LogStore& log, int start) {
    const double at = log.LogTime(start) / 1000.0;
    if (start < 1) return at;
    const double previous = log.LogTime(start - 1) / 1000.0;
    const double speed = std::max(throttleRate(log, start), throttleRate(log, start + 1));
    if (speed <= 0) return at;
    return std::max(previous, at - throttleRate(log, start) * (at - previous) / speed);
}

std::vector<int> tipInStarts(const LogStore& log) {
    std::vector<int> starts;
    double lastFast = -std::numeric_limits<double>::infinity();
    for (int i = 1; i < log.sampleCount(); ++i) {
        if (throttleRate(log, i) <= AccelPump::kTipInRate) continue;
        // A throttle near the rate flickers across it: the pump it started still runs.
        const double t = log.LogTime(i) / 1000.0;
        if (t - lastFast > AccelPump::kPumpSeconds) starts.push_back(i);
        lastFast = t;
    }
    return starts;
}

}  // namespace tunalyx
