#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "auxinputs/aux_calibration.h"
#include "monitor/live_decode.h"
#include "monitor/log_store.h"
#include "ports/clock.h"
#include "session/unit_line.h"
#include "versions/layout_family.h"

namespace tunalyx {

// What a run polls and for how long, fixed at its start: the window's thread may switch the
// layout or the aux set-up while the run goes on, and the worker must not read them as they
// change.
struct PollingPlan {
    std::array<bool, kTraceGroupCount> include{};
    LiveCommands live;
    TraceItems items;
    AuxCalibration aux;
    std::optional<long> mostSamples;     // the run ends with its N-th sample,
    std::optional<std::int64_t> mostMs;  // or with its first sample this late
};

// Why the polling of a run ended.
enum class PollingEnd {
    Stopped,     // a stop was asked for, or the plan's limits were reached
    Full,        // the log is full and the run was not to go on into a next one
    UnitSilent,  // a read failed; the sample being read is not counted
};

// Where the two sides of a live run meet. Apart from the samples the log store publishes, this
// is all that both threads touch: a few flags, the line's jobs and the waits.
class LiveHandoff final : public LineOwner {
public:
    // Either side.
    void requestStop();
    [[nodiscard]] bool stopRequested() const { return m_stop.load(); }
    // Whether a full log goes on into the next (read by the worker whenever the log is full).
    void setContinuous(bool on) { m_continuous.store(on); }
    [[nodiscard]] bool continuous() const { return m_continuous.load(); }
    // Samples polled into the spare while the full log waits to be saved.
    [[nodiscard]] int spareSamples() const { return m_spare.load(std::memory_order_acquire); }
    // The worker has let the line go; its last sample is published.
    [[nodiscard]] bool finished() const;
    [[nodiscard]] PollingEnd end() const { return m_end.load(); }
    // Why the polling ended, when the line could not say it itself (a reply of another length
    // than the block's, which the link takes without a message); empty otherwise. Read once the
    // worker has finished.
    [[nodiscard]] const std::string& problem() const { return m_problem; }
    // Samples of the run polled so far, across its parts.
    [[nodiscard]] long samplesPolled() const { return m_samplesPolled.load(); }
    // The jobs run so far, and how many samples of the run came before the last of them and
    // before the first since the last take: the first sample polled after a job is the first that
    // can show what the job did.
    struct JobMark {
        long jobs = 0;
        long samplesBefore = 0;
        long firstSamplesBefore = 0;
    };
    [[nodiscard]] JobMark takeJobMarks();

    // The presenting side.
    // A new run, before its worker starts.
    void reset(bool continuous);
    // The full log is saved and starts again from sample 0: the worker moves the spare's
    // samples in at its next cycle.
    void giveLogBack();
    // Waits until the worker has news (the log full, the run over) or `ms` have passed.
    void waitForNews(int ms);

    // The worker side.
    void beginOnThisThread();
    // True once after each giveLogBack.
    [[nodiscard]] bool takeLogBack();
    void setSpareSamples(int n);
    void setSamplesPolled(long n) { m_samplesPolled.store(n); }
    // Before close: what the run's end is to say.
    void setProblem(std::string text) { m_problem = std::move(text); }
    // Runs the jobs asked for so far.
    void runJobs();
    // A transfer holds the port: waits a moment for its jobs.
    void waitForJobs();
    // The spare is full as well: waits until the log is given back, a stop or a job comes.
    void waitForLogBack();
    // The run is over: the jobs asked for until now are run, then `letGo`; the line is free.
    void close(PollingEnd end, const std::function<void()>& letGo);

    // LineOwner: transfers the user starts during a run go out on the worker's thread, whole,
    // between two samples.
    [[nodiscard]] bool onOwnerThread() const override;
    bool carry(const std::function<void()>& job) override;

private:
    struct Job {
        const std::function<void()>* work;
        bool done = false;
    };
    void runJobs(std::unique_lock<std::mutex>& lock);

    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_continuous = false;
    std::atomic<int> m_spare = 0;
    std::atomic<bool> m_logGivenBack = false;
    std::atomic<PollingEnd> m_end = PollingEnd::Stopped;
    std::atomic<std::thread::id> m_worker{};
    std::atomic<long> m_samplesPolled = 0;
    std::string m_problem;  // the worker's until close, the presenting side's after

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job*> m_jobs;  // guarded by m_mutex, as are the three below
    bool m_closed = false;    // no more jobs are taken
    bool m_finished = false;  // the line is let go
    bool m_news = false;      // for waitForNews
    JobMark m_lastJob;
    long m_jobsTaken = 0;
};

// The worker side of a live run: it polls the unit on the thread the run was handed, back to
// back, and is the one writer of the log store. The presenting side sets it up before that thread
// starts and meets it only in the handoff and the published samples.
class LivePolling {
public:
    LivePolling(UnitLine& line, Clock& clock, LiveHandoff& handoff)
        : m_line(line), m_clock(clock), m_handoff(handoff) {}

    // Before the thread starts. `letGo` runs on the worker's thread after its last use of the
    // port (a port tied to its thread goes back to the program's main thread there).
    void prepare(const PollingPlan& plan, LogStore& log, LogStore& spare,
                 std::function<void()> letGo);
    // One cycle on the worker's thread: the jobs asked for, then a sample. False once the run
    // is over and the line let go.
    bool cycle();
    // After the thread is joined: a log given back that the worker never took has the spare's
    // samples moved in here.
    void settleAfterJoin();

private:
    enum class Poll { Sampled, PortTaken, SpareFull, Over };
    Poll poll();
    // The spare's samples become the first of the log given back.
    void moveSpareIn();

    UnitLine& m_line;
    Clock& m_clock;
    LiveHandoff& m_handoff;

    PollingPlan m_plan;
    LogStore* m_log = nullptr;
    LogStore* m_spare = nullptr;
    std::function<void()> m_letGo;
    bool m_begun = false;
    LiveSample m_sample;
    std::int64_t m_startTick = 0;  // the run's first sample
    long m_runSamples = 0;
    int m_polled = 0;       // samples in the log
    int m_sparePolled = 0;  // samples in the spare
    std::optional<PollingEnd> m_over;
};

}  // namespace tunalyx
