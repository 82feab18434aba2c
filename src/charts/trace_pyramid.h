#pragma once

#include <optional>
#include <vector>

#include "monitor/sample_source.h"

namespace tunalyx {

// One item of a source summed up in blocks of kBlock samples (first, min, max and last value
// that is a number), built once, so that a pixel column over thousands of samples reads a few
// block entries and at most a block's worth of samples at either end, not every sample.
class TracePyramid {
public:
    static constexpr int kBlock = 64;

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
    const SampleSource& m_source;
    int m_item;
    int m_count;
    std::vector<Range> m_blocks;  // min NaN: the block holds no number
};

}  // namespace tunalyx
