#include "session/auto_update.h"

namespace tunalyx {

void AutoUpdate::UpdateEnable(std::int64_t nowMs) {
    m_updateEnabled = true;
    // Always count from the latest change.
    if (m_autoChecked) m_dueAtMs = nowMs + kDelayMs;
}

void AutoUpdate::optAutoUpdate_Click(bool checked, std::int64_t nowMs) {
    m_autoChecked = checked;
    if (checked && m_updateEnabled) UpdateEnable(nowMs);
}

bool AutoUpdate::TimerUpdate_Timer() {
    if (!m_dueAtMs) return false;
    m_dueAtMs.reset();
    return true;
}

}  // namespace tunalyx
