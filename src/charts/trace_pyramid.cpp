#include "charts/trace_pyramid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tunalyx {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Adds values in sample order: the first one taken stays first, every one taken is last.
struct Accumulator {
    TracePyramid::Range r{kNaN, kNaN, kNaN, kNaN};
    bool any = false;

    void take(double v) {
        if (std::isnan(v)) return;
        if (!any) {
            r = {v, v, v, v};
            any = true;
            return;
        }
        r.min = std::min(r.min, v);
        r.max = std::max(r.max, v);
        r.last = v;
    }
    void take(const TracePyramid::Range& block) {
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

}  // namespace

TracePyramid::TracePyramid(const SampleSource& source, int item)
    : m_source(source), m_item(item), m_count(source.sampleCount()) {
    m_blocks.reserve(static_cast<std::size_t>(m_count / kBlock));
    for (int b = 0; b + kBlock <= m_count; b += kBlock) {
        Accumulator acc;
        for (int s = b; s < b + kBlock; ++s)
            acc.take(source.value(item, s));
        m_blocks.push_back(acc.r);
    }
}

std::optional<TracePyramid::Range> TracePyramid::range(int a, int b) const {
    a = std::max(a, 0);
    b = std::min(b, m_count);
    Accumulator acc;
    // Whole blocks from the first boundary at or after a; samples one by one around them.
    const int blockA = (a + kBlock - 1) / kBlock;
    const int blockB = std::max(blockA, b / kBlock);
    const int headEnd = std::min(b, blockA * kBlock);
    for (int s = a; s < headEnd; ++s)
        acc.take(m_source.value(m_item, s));
    for (int k = blockA; k < blockB; ++k)
        acc.take(m_blocks[static_cast<std::size_t>(k)]);
    for (int s = std::max(headEnd, blockB * kBlock); s < b; ++s)
        acc.take(m_source.value(m_item, s));
    if (!acc.any) return std::nullopt;
    return acc.r;
}

}  // namespace tunalyx
