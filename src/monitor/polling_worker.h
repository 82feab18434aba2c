#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "link/packet_link.h"
#include "monitor/monitor_loop.h"

namespace tunalyx {

// Polls a started run back to back on the thread that calls run(), so that nothing the windows
// do takes time from the line. While it runs it owns the link: transactions other threads ask
// for are carried out here, whole, between two samples, in the order they were asked for.
class PollingWorker final : public LineOwner {
public:
    // `letGo` runs on the worker's thread after its last use of the port (a port tied to the
    // thread it is used from goes back to the window's thread there).
    PollingWorker(MonitorLoop& loop, PacketLink& link, std::function<void()> letGo = {});
    ~PollingWorker() override;
    PollingWorker(const PollingWorker&) = delete;
    PollingWorker& operator=(const PollingWorker&) = delete;

    // The worker's thread: polls until the run is over, then carries what was asked for until
    // then and lets the line go.
    void run();
    // The run's end was reached and the line let go; the window's thread presents the rest.
    [[nodiscard]] bool finished() const;

    // LineOwner
    [[nodiscard]] bool onOwnerThread() const override;
    bool carry(const std::function<void()>& job) override;

private:
    struct Job {
        const std::function<void()>* work;
        bool done = false;
    };
    // Runs every job asked for so far. Called with the lock held; runs them without it.
    void runJobs(std::unique_lock<std::mutex>& lock);

    MonitorLoop& m_loop;
    PacketLink& m_link;
    std::function<void()> m_letGo;
    std::atomic<std::thread::id> m_thread{};

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job*> m_jobs;  // guarded by m_mutex, as are the two below
    bool m_closed = false;    // no more jobs are taken
    bool m_finished = false;  // the line is let go
};

}  // namespace tunalyx
