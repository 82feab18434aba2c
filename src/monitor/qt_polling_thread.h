#pragma once

#include <QThread>

#include "monitor/polling_thread.h"

namespace tunalyx {

// A live run's thread as a Qt thread, so that a Qt serial port can be moved onto it. Polling
// gets the highest priority: a sample late is a sample lost to the line.
class QtPollingThread final : public PollingThread {
public:
    QtPollingThread() = default;
    ~QtPollingThread() override;
    QtPollingThread(const QtPollingThread&) = delete;
    QtPollingThread& operator=(const QtPollingThread&) = delete;

    void start(std::function<bool()> cycle) override;
    void join() override;
    [[nodiscard]] void* handle() const override { return m_thread; }

private:
    QThread* m_thread = nullptr;
};

}  // namespace tunalyx
