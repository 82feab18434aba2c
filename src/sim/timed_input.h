#pragma once

#include <cstdint>
#include <deque>
#include <limits>

#include "ports/bytes.h"

namespace tunalyx {

// Bytes travelling on one direction of a serial line, each with the time it arrives. Arrival
// times never go backwards: a line delivers in order.
class TimedInput {
public:
    static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

    // All bytes arrive at `atMicros`.
    void schedule(std::int64_t atMicros, const Bytes& bytes);
    // Bytes arrive one after another, the first at `firstMicros`, then every `spacingMicros`.
    void schedulePaced(std::int64_t firstMicros, std::int64_t spacingMicros, const Bytes& bytes);

    [[nodiscard]] std::size_t arrived(std::int64_t nowMicros) const;
    // When `count` bytes will have arrived, kNever if fewer than that are on their way.
    [[nodiscard]] std::int64_t timeAvailable(std::size_t count) const;
    // Takes up to `count` arrived bytes.
    Bytes take(std::size_t count, std::int64_t nowMicros);
    void discardArrived(std::int64_t nowMicros);
    void clear() { m_bytes.clear(); }
    [[nodiscard]] bool empty() const { return m_bytes.empty(); }
    [[nodiscard]] std::int64_t lastArrival() const {
        return m_bytes.empty() ? std::numeric_limits<std::int64_t>::min() : m_bytes.back().at;
    }

private:
    struct TimedByte {
        std::int64_t at;
        std::uint8_t value;
    };
    std::deque<TimedByte> m_bytes;
};

// How long whoever hands the line's bytes on may sleep: not at all while a byte is due and not
// yet taken, else until the next one is due, and at most `longestMicros` when none is on its way.
[[nodiscard]] std::int64_t sleepBeforeNextByte(const TimedInput& line, std::int64_t nowMicros,
                                               std::int64_t longestMicros);

}  // namespace tunalyx
