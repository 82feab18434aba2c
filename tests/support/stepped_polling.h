#pragma once

#include <functional>
#include <utility>

#include "monitor/polling_thread.h"

namespace tunalyx::test {

// A live run's polling on the test's own thread, one cycle when the test says: every sample
// time then comes from a fake clock the test moves.
class SteppedPolling final : public PollingThread {
public:
    void start(std::function<bool()> cycle) override {
        m_cycle = std::move(cycle);
        m_running = true;
    }
    // One cycle; false once the last one has run.
    bool step() {
        if (m_running) m_running = m_cycle();
        return m_running;
    }
    void join() override {
        while (step()) {
        }
    }

private:
    std::function<bool()> m_cycle;
    bool m_running = false;
};

}  // namespace tunalyx::test
