#include "autotune/live_auto_tune.h"

namespace tunalyx {

LiveAutoTune::LiveAutoTune(const LogStore& runLog) : m_runLog(runLog) {}

bool LiveAutoTune::takeNewSamples() {
    const int published = m_runLog.published();
    if (!m_running || published == m_seen) return false;
    m_seen = published;
    return true;
}

std::optional<AutoTuneLog> LiveAutoTune::runSoFar() {
    const int published = m_runLog.published();
    if (published == 0) return std::nullopt;
    if (!m_copy) m_copy = std::make_unique<LogStore>();
    m_copy->copySamples(m_runLog, published - m_copied, m_copied);
    m_copied = published;
    m_copy->LogLast = published - 1;
    m_copy->IncludeGroup = m_runLog.IncludeGroup;
    return AutoTuneLog(m_copy.get(), m_partContinues);
}

double LiveAutoTune::newestSeconds() const {
    const int published = m_runLog.published();
    return published > 0 ? m_runLog.LogTime(published - 1) / 1000.0 : 0;
}

bool LiveAutoTune::mayWrite() const {
    return !m_lastWrite || newestSeconds() - *m_lastWrite >= kLeastSecondsBetweenWrites;
}

void LiveAutoTune::written(const std::vector<CellText>& cells) {
    if (cells.empty()) return;
    m_lastWrite = newestSeconds();
    for (const CellText& cell : cells)
        m_writtenAt[static_cast<std::size_t>(cell.row - 1)]
                   [static_cast<std::size_t>(cell.col - 1)] = *m_lastWrite;
}

void LiveAutoTune::holdBackBoostLeaning(AutoTuneProposal& proposal, const BoostRows& boost,
                                        UserPrompts& prompts) {
    std::vector<CellResult*> leaning;
    std::string named;
    for (std::size_t row = 0; row < kMapAxisSize; ++row)
        for (std::size_t col = 0; col < kMapAxisSize; ++col) {
            CellResult& cell = proposal.cells[row][col];
            if (!boost[row] || !cell.changes() || cell.newValue >= cell.oldValue) continue;
            if (leaning.empty())
                named = std::string(col < 9 ? "N0" : "N") + std::to_string(col + 1) +
                        (row < 9 ? " P0" : " P") + std::to_string(row + 1);
            leaning.push_back(&cell);
        }
    if (leaning.empty()) return;
    if (!m_mayLeanBoost) {
        const std::string more =
            leaning.size() > 1 ? " and " + std::to_string(leaning.size() - 1) + " more" : "";
        m_mayLeanBoost =
            prompts.showMessage("Live auto-tune would make boost cells of the Inj Map leaner (" +
                                    named + more + "). Let it lean boost cells for this session?",
                                MessageIcon::Exclamation,
                                MessageButtons::YesNoDefaultNo) == MessageAnswer::Yes;
    }
    if (*m_mayLeanBoost) return;
    for (CellResult* cell : leaning) {
        cell->newRaw = cell->oldRaw;
        cell->newValue = cell->oldValue;
    }
}

void LiveAutoTune::runStarted() {
    m_running = true;
    m_mayLeanBoost.reset();
    ++m_generation;
    m_writtenAt = AutoTuneSettings::neverWritten();
    m_lastWrite.reset();
    m_copied = 0;
    m_seen = -1;
    m_partContinues = false;
}

void LiveAutoTune::partStarted(int /*part*/) {
    // The engine runs on, and the times with it: the cells written stay written.
    ++m_generation;
    m_copied = 0;
    m_seen = -1;
    m_partContinues = true;
}

void LiveAutoTune::logReplaced() {
    // Its times are no longer those of the writes.
    ++m_generation;
    m_writtenAt = AutoTuneSettings::neverWritten();
    m_lastWrite.reset();
}

void LiveAutoTune::joinRun(bool running, int part) {
    if (!running) return;
    if (part > 0)
        partStarted(part);
    else
        runStarted();
}

}  // namespace tunalyx
