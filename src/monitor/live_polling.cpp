#include "monitor/live_polling.h"

#include <chrono>

namespace tunalyx {

namespace {
// How often a worker kept from polling (a transfer holds the port) looks again.
constexpr std::chrono::milliseconds kPortTakenRecheck{2};
// A worker whose spare is full too looks again this often (a stepped test must not hang).
constexpr std::chrono::milliseconds kSpareFullRecheck{50};
}  // namespace

void LiveHandoff::requestStop() {
    m_stop.store(true);
    const std::lock_guard lock(m_mutex);
    m_changed.notify_all();
}

bool LiveHandoff::finished() const {
    const std::lock_guard lock(m_mutex);
    return m_finished;
}

void LiveHandoff::reset(bool continuous) {
    m_stop = false;
    m_continuous = continuous;
    m_spare = 0;
    m_logGivenBack = false;
    m_end = PollingEnd::Stopped;
    m_samplesPolled = 0;
    m_problem.clear();
    const std::lock_guard lock(m_mutex);
    m_closed = false;
    m_finished = false;
    m_news = false;
    m_lastJob = {};
    m_jobsTaken = 0;
}

LiveHandoff::JobMark LiveHandoff::takeJobMarks() {
    const std::lock_guard lock(m_mutex);
    m_jobsTaken = m_lastJob.jobs;
    return m_lastJob;
}

void LiveHandoff::giveLogBack() {
    m_logGivenBack.store(true, std::memory_order_release);
    const std::lock_guard lock(m_mutex);
    m_changed.notify_all();
}

void LiveHandoff::waitForNews(int ms) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_news; });
    m_news = false;
}

void LiveHandoff::beginOnThisThread() {
    m_worker = std::this_thread::get_id();
}

bool LiveHandoff::takeLogBack() {
    return m_logGivenBack.exchange(false, std::memory_order_acq_rel);
}

void LiveHandoff::setSpareSamples(int n) {
    const bool first = m_spare.exchange(n, std::memory_order_release) == 0 && n > 0;
    if (!first) return;
    // The log has just filled: the presenting side saves it.
    const std::lock_guard lock(m_mutex);
    m_news = true;
    m_changed.notify_all();
}

bool LiveHandoff::onOwnerThread() const {
    return m_worker.load() == std::this_thread::get_id();
}

bool LiveHandoff::carry(const std::function<void()>& job) {
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

void LiveHandoff::runJobs() {
    std::unique_lock lock(m_mutex);
    runJobs(lock);
}

void LiveHandoff::runJobs(std::unique_lock<std::mutex>& lock) {
    while (!m_jobs.empty()) {
        Job* job = m_jobs.front();
        m_jobs.pop_front();
        lock.unlock();
        (*job->work)();
        lock.lock();
        const long polled = m_samplesPolled.load();
        if (m_lastJob.jobs == m_jobsTaken) m_lastJob.firstSamplesBefore = polled;
        ++m_lastJob.jobs;
        m_lastJob.samplesBefore = polled;
        job->done = true;
        m_changed.notify_all();
    }
}

void LiveHandoff::waitForJobs() {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, kPortTakenRecheck, [this] { return !m_jobs.empty(); });
}

void LiveHandoff::waitForLogBack() {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, kSpareFullRecheck, [this] {
        return m_logGivenBack.load() || m_stop.load() || !m_jobs.empty();
    });
}

void LiveHandoff::close(PollingEnd end, const std::function<void()>& letGo) {
    m_end = end;
    std::unique_lock lock(m_mutex);
    m_closed = true;
    runJobs(lock);
    lock.unlock();
    if (letGo) letGo();
    lock.lock();
    m_worker = std::thread::id{};
    m_finished = true;
    m_news = true;
    m_changed.notify_all();
}

void LivePolling::prepare(const PollingPlan& plan, LogStore& log, LogStore& spare,
                          std::function<void()> letGo) {
    m_plan = plan;
    m_log = &log;
    m_spare = &spare;
    m_letGo = std::move(letGo);
    m_begun = false;
    m_startTick = 0;
    m_runSamples = 0;
    m_polled = 0;
    m_sparePolled = 0;
    m_over.reset();
}

bool LivePolling::cycle() {
    if (!m_begun) {
        m_handoff.beginOnThisThread();
        m_begun = true;
    }
    m_handoff.runJobs();
    switch (poll()) {
        case Poll::Sampled:
            return true;
        case Poll::PortTaken:
            m_handoff.waitForJobs();
            return true;
        case Poll::SpareFull:
            m_handoff.waitForLogBack();
            return true;
        case Poll::Over:
            break;
    }
    m_handoff.close(m_over.value_or(PollingEnd::Stopped), m_letGo);
    return false;
}

LivePolling::Poll LivePolling::poll() {
    // The samples polled while the full log was saved come first, even when Stop was pressed.
    if (m_handoff.takeLogBack()) moveSpareIn();
    if (m_handoff.stopRequested()) m_over = PollingEnd::Stopped;
    if (m_over) return Poll::Over;
    const bool intoSpare = m_polled >= LogStore::kMaxRunSamples;
    if (intoSpare && !m_handoff.continuous()) {
        m_over = PollingEnd::Full;
        return Poll::Over;
    }
    if (intoSpare && m_sparePolled >= LogStore::kMaxRunSamples) return Poll::SpareFull;
    // A transfer is between two of its packets: its turn first.
    if (m_line.PortBusy) return Poll::PortTaken;

    LogStore& log = intoSpare ? *m_spare : *m_log;
    const int s = intoSpare ? m_sparePolled : m_polled;
    const std::int64_t tick = m_clock.tickMs();
    if (m_runSamples == 0) m_startTick = tick;
    // Times count from the run's first sample, across the parts of a continuous run.
    const std::int64_t ms = tick - m_startTick;
    log.setLogTime(s, static_cast<std::int32_t>(ms));
    for (int group : kPollOrder) {
        if (!m_plan.include[static_cast<std::size_t>(group)]) {
            clearGroup(group, m_plan.items, m_sample);
            continue;
        }
        Bytes data;
        const auto length = static_cast<std::uint8_t>(kLiveLength[static_cast<std::size_t>(group)]);
        const std::uint8_t command = liveCommand(m_plan.live, group);
        Bytes request{command};
        // The sample being read when a read fails is not counted.
        if (!m_line.link.ReadPacketData(request, length, data)) {
            // The request became a whole reply of another length: the unit answered, and the
            // link says nothing of it, so the run's end must.
            if (request.size() > 1)
                m_handoff.setProblem("The unit's reply to live block " + hexText(command) +
                                     " had " + std::to_string(request.size() - 3) +
                                     " data bytes instead of " + std::to_string(length) + ".");
            m_over = PollingEnd::UnitSilent;
            return Poll::Over;
        }
        decodeGroup(group, data, m_plan.items, m_plan.aux, m_sample);
    }
    for (int item = 0; item < kTraceItemCount; ++item)
        log.setLogData(item, s, m_sample.value[static_cast<std::size_t>(item)]);
    std::uint8_t flags = 0;
    for (std::size_t k = 0; k < m_sample.sensorFlag.size(); ++k)
        if (m_sample.sensorFlag[k]) flags = static_cast<std::uint8_t>(flags | (1u << k));
    log.setSensorFlags(s, flags);

    ++m_runSamples;
    m_handoff.setSamplesPolled(m_runSamples);
    if ((m_plan.mostSamples && m_runSamples >= *m_plan.mostSamples) ||
        (m_plan.mostMs && ms >= *m_plan.mostMs))
        m_over = PollingEnd::Stopped;
    if (intoSpare) {
        // Nobody reads the spare: its samples are published when they move to the log.
        m_sparePolled = s + 1;
        m_handoff.setSpareSamples(m_sparePolled);
    } else {
        m_polled = s + 1;
        m_log->publish(m_polled);
    }
    return Poll::Sampled;
}

void LivePolling::moveSpareIn() {
    const int n = m_sparePolled;
    m_log->copySamples(*m_spare, n);
    m_polled = n;
    m_sparePolled = 0;
    m_handoff.setSpareSamples(0);
    m_log->publish(n);
}

void LivePolling::settleAfterJoin() {
    if (m_handoff.takeLogBack()) moveSpareIn();
}

}  // namespace tunalyx
