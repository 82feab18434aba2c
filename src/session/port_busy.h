#pragma once

#include <atomic>

namespace tunalyx {

// "The port is between two transactions of someone else's": Read All and a monitor cycle hold
// it; the other transfers wait for it and clear it when they end. Only a guard sets or clears
// it, so no early return can leave it set and hang every later transfer. The live-data worker
// reads it from its own thread.
class PortBusyFlag {
public:
    [[nodiscard]] bool isSet() const noexcept { return m_set.load(); }
    explicit operator bool() const noexcept { return isSet(); }

private:
    friend class PortBusyGuard;
    std::atomic<bool> m_set = false;
};

// Holds the flag for one scope: takes it on entry when asked, clears it on every exit.
class PortBusyGuard {
public:
    enum class Take { Now, NotYet };

    explicit PortBusyGuard(PortBusyFlag& flag, Take take = Take::Now) noexcept : m_flag(&flag) {
        if (take == Take::Now) m_flag->m_set.store(true);
    }
    ~PortBusyGuard() { release(); }
    PortBusyGuard(const PortBusyGuard&) = delete;
    PortBusyGuard& operator=(const PortBusyGuard&) = delete;

    // Clears the flag now (Read All lets go of the port before it redisplays everything).
    void release() noexcept {
        if (!m_flag) return;
        m_flag->m_set.store(false);
        m_flag = nullptr;
    }

private:
    PortBusyFlag* m_flag;
};

}  // namespace tunalyx
