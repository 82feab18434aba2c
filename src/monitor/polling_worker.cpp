#include "monitor/polling_worker.h"

#include <chrono>

namespace tunalyx {

namespace {
// How often a worker kept from polling (a transfer holds the port) looks again.
constexpr std::chrono::milliseconds kPortTakenRecheck{2};
}  // namespace

PollingWorker::PollingWorker(MonitorLoop& loop, PacketLink& link, std::function<void()> letGo)
    : m_loop(loop), m_link(link), m_letGo(std::move(letGo)) {}

PollingWorker::~PollingWorker() = default;

bool PollingWorker::onOwnerThread() const {
    return m_thread.load() == std::this_thread::get_id();
}

bool PollingWorker::finished() const {
    const std::lock_guard lock(m_mutex);
    return m_finished;
}

bool PollingWorker::carry(const std::function<void()>& job) {
    std::unique_lock lock(m_mutex);
    if (m_closed) {
        // Whoever asks now waits until the line is back, then uses it directly.
        m_changed.wait(lock, [this] { return m_finished; });
        return false;
    }
    Job asked{&job};
    m_jobs.push_back(&asked);
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return asked.done; });
    return true;
}

void PollingWorker::runJobs(std::unique_lock<std::mutex>& lock) {
    while (!m_jobs.empty()) {
        Job* job = m_jobs.front();
        m_jobs.pop_front();
        lock.unlock();
        (*job->work)();
        lock.lock();
        job->done = true;
        m_changed.notify_all();
    }
}

void PollingWorker::run() {
    m_thread = std::this_thread::get_id();
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            runJobs(lock);
        }
        const MonitorLoop::Poll polled = m_loop.poll();
        if (polled == MonitorLoop::Poll::Over) break;
        if (polled == MonitorLoop::Poll::PortTaken) {
            std::unique_lock lock(m_mutex);
            m_changed.wait_for(lock, kPortTakenRecheck, [this] { return !m_jobs.empty(); });
        }
    }
    std::unique_lock lock(m_mutex);
    m_closed = true;
    runJobs(lock);
    lock.unlock();
    if (m_letGo) m_letGo();
    lock.lock();
    m_thread = std::thread::id{};
    m_finished = true;
    m_changed.notify_all();
}

}  // namespace tunalyx
