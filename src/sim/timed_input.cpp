#include "sim/timed_input.h"

#include <algorithm>

namespace tunalyx {

void TimedInput::schedule(std::int64_t atMicros, const Bytes& bytes) {
    schedulePaced(atMicros, 0, bytes);
}

void TimedInput::schedulePaced(std::int64_t firstMicros, std::int64_t spacingMicros,
                               const Bytes& bytes) {
    std::int64_t at = firstMicros;
    for (auto b : bytes) {
        m_bytes.push_back({std::max(at, lastArrival()), b});
        at += spacingMicros;
    }
}

std::size_t TimedInput::arrived(std::int64_t nowMicros) const {
    const auto it = std::upper_bound(m_bytes.begin(), m_bytes.end(), nowMicros,
                                     [](std::int64_t t, const TimedByte& b) { return t < b.at; });
    return static_cast<std::size_t>(it - m_bytes.begin());
}

std::int64_t TimedInput::timeAvailable(std::size_t count) const {
    if (count == 0) return std::numeric_limits<std::int64_t>::min();
    if (count > m_bytes.size()) return kNever;
    return m_bytes[count - 1].at;
}

Bytes TimedInput::take(std::size_t count, std::int64_t nowMicros) {
    const std::size_t n = std::min(count, arrived(nowMicros));
    Bytes out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(m_bytes.front().value);
        m_bytes.pop_front();
    }
    return out;
}

void TimedInput::discardArrived(std::int64_t nowMicros) {
    const std::size_t n = arrived(nowMicros);
    m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

std::int64_t sleepBeforeNextByte(const TimedInput& line, std::int64_t nowMicros,
                                 std::int64_t longestMicros) {
    const std::int64_t first = line.timeAvailable(1);
    if (first == TimedInput::kNever) return longestMicros;
    return std::clamp<std::int64_t>(first - nowMicros, 0, longestMicros);
}

}  // namespace tunalyx
