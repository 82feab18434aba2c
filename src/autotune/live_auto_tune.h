#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "autotune/autotune.h"
#include "maps/map_grids.h"
#include "monitor/live_consumer.h"
#include "ports/user_prompts.h"
#include "transfer/write_risks.h"

namespace tunalyx {

// Auto-tune following a run as it is logged. It keeps a copy of what the run has published (the
// worker writes the run's log meanwhile, so the analysis reads a log of its own length) and the
// rules for writing to the unit while the engine runs: at most one write every 15 s of the run,
// and a cell written learns only from readings taken from the delay plus 1 s after its write on
// (the analysis leaves the earlier ones out through `writtenAt`). The parts of a continuous run
// are one run to it: the cells written stay written, and a next part has no start of run.
class LiveAutoTune final : public LiveConsumer {
public:
    static constexpr double kLeastSecondsBetweenWrites = 15;
    using WrittenAt = decltype(AutoTuneSettings::writtenAtSeconds);

    explicit LiveAutoTune(const LogStore& runLog);

    // A run is being logged and has published samples not analysed yet; they count as analysed
    // from now on.
    [[nodiscard]] bool takeNewSamples();
    // The next takeNewSamples is true while a run is being logged, new samples or not.
    void analyseAgain() { m_seen = -1; }
    // What the run has published so far, as a log to learn from; nothing before its first sample.
    [[nodiscard]] std::optional<AutoTuneLog> runSoFar();
    [[nodiscard]] bool running() const { return m_running; }
    // None written yet this run, or the last write 15 s of the run ago.
    [[nodiscard]] bool mayWrite() const;
    // `cells` reached the unit now, at the run's newest sample (samples polled while Update
    // sent them included).
    void written(const std::vector<CellText>& cells);
    // When each cell was last written, in the run's seconds.
    [[nodiscard]] const WrittenAt& writtenAt() const { return m_writtenAt; }
    // The run's newest published sample, in seconds from its first.
    [[nodiscard]] double newestSeconds() const;
    // Counts the logs the run's log store has held: a new run, a part or a log opened changes it.
    [[nodiscard]] int logGeneration() const { return m_generation; }
    // Leaning boost cells on its own is the risk a tuner watches: the first time in a run that the
    // proposal would, the user is asked whether it may, and the answer holds for the run. Until a
    // Yes, the proposal keeps those cells as they are.
    void holdBackBoostLeaning(AutoTuneProposal& proposal, const BoostRows& boost,
                              UserPrompts& prompts);

    // Added while a run is logged (`part` its part, 0 the first): follows that run from its first
    // sample, as if it had been told of its start.
    void joinRun(bool running, int part);

    // LiveConsumer
    void runStarted() override;
    void partStarted(int part) override;
    void runEnded() override { m_running = false; }
    void logReplaced() override;

private:
    const LogStore& m_runLog;
    std::unique_ptr<LogStore> m_copy;
    int m_copied = 0;
    int m_seen = -1;  // the published count of the last analysis
    bool m_running = false;
    bool m_partContinues = false;
    WrittenAt m_writtenAt = AutoTuneSettings::neverWritten();
    std::optional<double> m_lastWrite;  // this run's
    int m_generation = 0;
    std::optional<bool> m_mayLeanBoost;  // this run's answer
};

}  // namespace tunalyx
