#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "model/trace_items.h"
#include "monitor/log_tunes.h"
#include "monitor/sample_source.h"
#include "ports/user_prompts.h"

namespace tunalyx {

// One log file of a timeline: where its samples sit and how far its times were moved.
struct TimelinePart {
    std::string path;
    int firstSample = 0;
    int sampleCount = 0;
    double timeShift = 0;  // seconds added to the file's own times
    LogTunes tunes;        // sample numbers of the part itself
};

// Several log files opened as one timeline: a whole session, the parts of a continuous run or
// every log of a day. Values are held as float columns, one per item some part logged; an item
// a part did not log reads NaN there, and readers skip NaN.
class LogTimeline final : public SampleSource {
public:
    // A log of another run starts this long after the part before it ends.
    static constexpr double kGapSeconds = 1.0;
    using TunesOfLog = std::function<LogTunes(const std::string& path)>;

    // Reads the parts in the order given, side by side on threads of their own, each by the
    // rules of a single log file. A part that cannot be read is told, left out, and the rest
    // opens. True when at least one part was taken.
    bool open(const std::vector<std::string>& paths, const TraceItems& items, UserPrompts& prompts,
              const TunesOfLog& tunesOf = {});

    [[nodiscard]] int sampleCount() const override { return static_cast<int>(m_time.size()); }
    [[nodiscard]] double timeSeconds(int s) const override {
        return m_time[static_cast<std::size_t>(s)];
    }
    [[nodiscard]] double value(int item, int s) const override;
    [[nodiscard]] bool hasItem(int item) const override;

    [[nodiscard]] const std::vector<TimelinePart>& parts() const { return m_parts; }
    // The part sample s belongs to.
    [[nodiscard]] int partOf(int s) const;
    // The first samples of parts that were moved to follow the one before: no line is drawn
    // from the sample before each of them.
    [[nodiscard]] const std::vector<int>& gaps() const { return m_gaps; }
    // The tune sample s ran on, as the history told it for its part.
    [[nodiscard]] std::string tuneOf(int s) const;
    // The tunes of every part, in the timeline's sample numbers.
    [[nodiscard]] LogTunes tunes() const;

private:
    std::vector<TimelinePart> m_parts;
    std::vector<double> m_time;
    std::array<std::vector<float>, kTraceItemCount> m_columns;  // empty: no part logged it
    std::vector<int> m_gaps;
};

// The files of the continuous run `path` is a part of: LOG.txt, LOG-001.txt, LOG-002.txt, ...
// those that exist, in order. A name outside that pattern stands for itself.
[[nodiscard]] std::vector<std::string> sessionPartsOf(const std::string& path);

}  // namespace tunalyx
