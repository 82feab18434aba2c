#include "ports/clock.h"

#include <chrono>
#include <thread>

namespace tunalyx {

namespace {
using SteadyMicros = std::chrono::duration<std::int64_t, std::micro>;
}

std::int64_t SteadyClock::nowMicros() const {
    return std::chrono::duration_cast<SteadyMicros>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SteadyClock::sleepUntilMicros(std::int64_t t) {
    std::this_thread::sleep_until(std::chrono::steady_clock::time_point(SteadyMicros(t)));
}

}  // namespace tunalyx
