#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/trace_items.h"

namespace tunalyx {

// The log of live data the whole program shares: a value of every item and a time stamp for each
// sample. Allocated once, at full size; a run overwrites it from sample 0 and `LogLast` marks the
// end of what is valid.
//
// While a run polls on a thread of its own, that thread is the one writer: it fills a sample
// whole, then publishes it. Readers on other threads look only at published samples, which the
// writer never touches again in this run; no one waits for anyone.
class LogStore {
public:
    static constexpr int kItemRows = kTraceItemCount + 1;  // row 64 is never written
    static constexpr int kSamples = 32768;
    static constexpr int kMaxRunSamples = 32767;  // a run and a log file hold at most this many

    LogStore()
        : m_data(static_cast<std::size_t>(kItemRows) * kSamples),
          m_time(kSamples),
          m_sensorFlags(kSamples) {}
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

    // The sensors' fault flags of a live sample, a bit each (they are shown, not logged).
    [[nodiscard]] std::uint8_t sensorFlags(int sample) const {
        return m_sensorFlags[static_cast<std::size_t>(sample)];
    }
    void setSensorFlags(int sample, std::uint8_t bits) {
        m_sensorFlags[static_cast<std::size_t>(sample)] = bits;
    }

    // Samples `from`..`from + n - 1` of `other` (times, values and flags) as this log's samples
    // of the same numbers.
    void copySamples(const LogStore& other, int n, int from = 0) {
        const auto first = static_cast<std::ptrdiff_t>(from);
        const auto last = first + static_cast<std::ptrdiff_t>(n);
        for (int item = 0; item < kItemRows; ++item) {
            const auto row = static_cast<std::ptrdiff_t>(at(item, 0));
            std::copy(other.m_data.begin() + row + first, other.m_data.begin() + row + last,
                      m_data.begin() + row + first);
        }
        std::copy(other.m_time.begin() + first, other.m_time.begin() + last,
                  m_time.begin() + first);
        std::copy(other.m_sensorFlags.begin() + first, other.m_sensorFlags.begin() + last,
                  m_sensorFlags.begin() + first);
    }

    // Samples 0..n-1 of the run are whole and may be read from any thread.
    void publish(int n) { m_published.store(n, std::memory_order_release); }
    [[nodiscard]] int published() const { return m_published.load(std::memory_order_acquire); }

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
    std::vector<std::uint8_t> m_sensorFlags;
    std::atomic<int> m_published = 0;
};

}  // namespace tunalyx
