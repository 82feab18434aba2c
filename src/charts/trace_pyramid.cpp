#include "charts/trace_pyramid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tunalyx {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

// Adds values in sample order: the first one taken stays first, every one taken is last.
struct TracePyramid::Accumulator {
    Range r{kNaN, kNaN, kNaN, kNaN};
    bool any = false;

    void take(double v) { take(Range{v, v, v, v}); }
    void take(const Range& block) {
        if (std::isnan(block.min)) return;
        if (!any) {
            r = block;
            any = true;
            return;
        }
        r.min = std::min(r.min, block.min);
        r.max = std::max(r.max, block.max);
        r.last = block.last;
    }
};

TracePyramid::TracePyramid(const SampleSource& source, int item)
    : m_source(source), m_item(item), m_count(source.sampleCount()) {
    // Each level from the one below it, the first from the samples.
    for (int n = m_count / kFanOut; n > 0; n /= kFanOut) {
        std::vector<Range> level(static_cast<std::size_t>(n));
        for (int b = 0; b < n; ++b) {
            Accumulator acc;
            for (int k = b * kFanOut; k < (b + 1) * kFanOut; ++k)
                if (m_levels.empty())
                    acc.take(source.value(item, k));
                else
                    acc.take(m_levels.back()[static_cast<std::size_t>(k)]);
            level[static_cast<std::size_t>(b)] = acc.r;
        }
        m_levels.push_back(std::move(level));
    }
}

// Samples a..b-1 from the blocks of `level` (-1: the samples themselves) that lie within them,
// the ends from the levels below.
void TracePyramid::add(Accumulator& acc, int level, int a, int b) const {
    if (a >= b) return;
    if (level < 0) {
        for (int s = a; s < b; ++s)
            acc.take(m_source.value(m_item, s));
        return;
    }
    int size = kFanOut;
    for (int k = 0; k < level; ++k)
        size *= kFanOut;
    const int first = (a + size - 1) / size;
    const int end = b / size;
    if (first >= end) return add(acc, level - 1, a, b);
    add(acc, level - 1, a, first * size);
    const std::vector<Range>& blocks = m_levels[static_cast<std::size_t>(level)];
    for (int k = first; k < end; ++k)
        acc.take(blocks[static_cast<std::size_t>(k)]);
    add(acc, level - 1, end * size, b);
}

std::optional<TracePyramid::Range> TracePyramid::range(int a, int b) const {
    Accumulator acc;
    add(acc, static_cast<int>(m_levels.size()) - 1, std::max(a, 0), std::min(b, m_count));
    if (!acc.any) return std::nullopt;
    return acc.r;
}

}  // namespace tunalyx
