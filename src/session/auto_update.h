#pragma once

#include <cstdint>
#include <optional>

namespace tunalyx {

// The Update button and the auto-update timer: while "Auto Update" is checked, Update runs
// 500 ms after the last edit. Times are milliseconds of any monotonic clock; the window arms its
// timer for dueAtMs() and calls TimerUpdate_Timer() when it fires.
class AutoUpdate {
public:
    static constexpr std::int64_t kDelayMs = 500;

    // An edit: the button is enabled and, with Auto Update checked, the timer counts afresh.
    void UpdateEnable(std::int64_t nowMs);
    // The button set from outside (from the flags, or off after Read All and Write All).
    void setUpdateEnabled(bool enabled) { m_updateEnabled = enabled; }
    // Checking the box while the button is enabled starts the timer at once; clearing it lets
    // a running timer still fire once.
    void optAutoUpdate_Click(bool checked, std::int64_t nowMs);
    // The timer fired: it stops, and Update is to run when it was armed.
    [[nodiscard]] bool TimerUpdate_Timer();

    [[nodiscard]] bool updateEnabled() const { return m_updateEnabled; }
    [[nodiscard]] std::optional<std::int64_t> dueAtMs() const { return m_dueAtMs; }

private:
    bool m_updateEnabled = false;
    bool m_autoChecked = false;
    std::optional<std::int64_t> m_dueAtMs;
};

}  // namespace tunalyx
