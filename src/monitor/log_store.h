#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "monitor/trace_items.h"

namespace tunalyx {

// The log of live data the whole program shares: a value of every item and a time stamp for each
// sample. Allocated once, at full size; a run overwrites it from sample 0 and `LogLast` marks the
// end of what is valid.
class LogStore {
public:
    static constexpr int kItemRows = kTraceItemCount + 1;  // row 64 is never written
    static constexpr int kSamples = 32768;
    static constexpr int kMaxRunSamples = 32767;  // a run and a log file hold at most this many

    LogStore() : m_data(static_cast<std::size_t>(kItemRows) * kSamples), m_time(kSamples) {}
    LogStore(const LogStore&) = delete;
    LogStore& operator=(const LogStore&) = delete;

    [[nodiscard]] double LogData(int item, int sample) const { return m_data[at(item, sample)]; }
    void setLogData(int item, int sample, double value) { m_data[at(item, sample)] = value; }
    // The values of one item, samples 0..32767 in order (charts read whole traces).
    [[nodiscard]] const double* itemRow(int item) const { return &m_data[at(item, 0)]; }

    [[nodiscard]] std::int32_t LogTime(int sample) const {
        return m_time[static_cast<std::size_t>(sample)];
    }
    void setLogTime(int sample, std::int32_t ms) { m_time[static_cast<std::size_t>(sample)] = ms; }

    int LogLast = 0;          // index of the last valid sample
    bool LogUnsaved = false;  // a sample was logged since the last save
    std::array<bool, kTraceGroupCount> IncludeGroup{};

    // Samples 0..LogLast hold data (a log of one sample and an empty one both have LogLast 0).
    [[nodiscard]] int sampleCount() const { return LogLast + 1; }

private:
    static std::size_t at(int item, int sample) {
        return static_cast<std::size_t>(item) * kSamples + static_cast<std::size_t>(sample);
    }
    std::vector<double> m_data;
    std::vector<std::int32_t> m_time;
};

}  // namespace tunalyx
