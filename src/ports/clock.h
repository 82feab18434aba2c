#pragma once

#include <atomic>
#include <cstdint>

namespace tunalyx {

// Monotonic time. The packet link counts whole milliseconds of it; the simulator paces bytes in
// microseconds. Waiting goes through the clock so that a fake clock can jump instead of sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual std::int64_t nowMicros() const = 0;
    // Blocks the calling thread until nowMicros() >= t (returns at once when t has passed).
    virtual void sleepUntilMicros(std::int64_t t) = 0;

    [[nodiscard]] std::int64_t tickMs() const { return nowMicros() / 1000; }
};

// The real monotonic clock of the machine.
class SteadyClock final : public Clock {
public:
    [[nodiscard]] std::int64_t nowMicros() const override;
    void sleepUntilMicros(std::int64_t t) override;
};

// A clock that only moves when told to; sleeping moves it to the wake-up time at once. A live-data
// worker may move it while the window's thread reads it.
class ManualClock : public Clock {
public:
    explicit ManualClock(std::int64_t startMicros = 0) : m_now(startMicros) {}
    [[nodiscard]] std::int64_t nowMicros() const override { return m_now.load(); }
    void sleepUntilMicros(std::int64_t t) override {
        std::int64_t now = m_now.load();
        while (t > now && !m_now.compare_exchange_weak(now, t)) {
        }
    }
    void advanceMicros(std::int64_t d) { m_now += d; }
    void advanceMs(std::int64_t ms) { m_now += ms * 1000; }

private:
    std::atomic<std::int64_t> m_now;
};

}  // namespace tunalyx
