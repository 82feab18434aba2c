#pragma once

#include <optional>
#include <vector>

#include "monitor/sample_source.h"

namespace tunalyx {

// One item of a source summed up in blocks (first, min, max and last value that is a number):
// blocks of kFanOut samples, blocks of kFanOut of those, and so on, built once. A pixel column
// over thousands of samples then reads fewer than kFanOut entries at each end on each level,
// not every sample.
class TracePyramid {
public:
    static constexpr int kFanOut = 8;

    TracePyramid(const SampleSource& source, int item);

    [[nodiscard]] int item() const noexcept { return m_item; }
    [[nodiscard]] int sampleCount() const noexcept { return m_count; }

    struct Range {
        double first;
        double min;
        double max;
        double last;
    };
    // The values of samples a..b-1 that are numbers; nothing when none is.
    [[nodiscard]] std::optional<Range> range(int a, int b) const;

private:
    struct Accumulator;
    void add(Accumulator& acc, int level, int a, int b) const;

    const SampleSource& m_source;
    int m_item;
    int m_count;
    // Level k holds blocks of kFanOut^(k+1) samples; a block whose min is NaN holds no number.
    std::vector<std::vector<Range>> m_levels;
};

}  // namespace tunalyx
