#pragma once

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "autotune/analysed_logs.h"
#include "autotune/live_auto_tune.h"
#include "knock/knock_analysis.h"
#include "monitor/live_run.h"
#include "ports/settings_store.h"
#include "session/session.h"

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace tunalyx {

// Knock: the knock events of the logs per Ign Map cell and the retard they ask for, applied as
// one step of the edit history. While a run is logged it counts again every few seconds, so that
// knock shows in its cells as it happens; it never writes to the unit by itself.
class KnockWindow final : public QMainWindow {
    Q_OBJECT
public:
    KnockWindow(Session& session, LiveRun& live, SettingsStore& store, QWidget* parent = nullptr);
    ~KnockWindow() override;

    // Told when Apply changed the Ign Map: the tune history keeps the result.
    std::function<void()> applied;
    // The main window's tune history, which names the tunes logs ran on; none when not kept.
    std::function<const TuneHistory*()> history;
    // The dialog; tests replace it. Empty means cancelled.
    std::function<std::vector<std::string>()> chooseLogs;

    [[nodiscard]] QTableWidget* grid() const { return m_grid; }
    [[nodiscard]] const std::optional<KnockAnalysis>& analysis() const { return m_analysis; }
    // Follows the run being logged; it hears of the run as any consumer does.
    [[nodiscard]] LiveAutoTune& live() { return m_liveRun; }

    // The Ign Map as it is now against the log in memory and the logs opened.
    void analyse();
    void openLogs();
    // The cells selected, or every cell when none is.
    void apply();
    void setSelectedLocked(bool locked);
    // Every few seconds while a run is logged.
    void liveTick();

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The analysis again on the Ign Map it was first made for (a lock, a setting changed);
    // nothing before the first analysis.
    void reevaluate();
    void evaluate();
    void showAnalysis();
    [[nodiscard]] KnockSettings settings() const;

    Session& m_session;
    LiveRun& m_live;
    SettingsStore& m_store;
    LiveAutoTune m_liveRun;
    AnalysedLogs m_logs;
    QTableWidget* m_grid = nullptr;
    QLabel* m_lblLogs = nullptr;
    QLabel* m_lblTunes = nullptr;
    QLabel* m_lblSummary = nullptr;
    QDoubleSpinBox* m_txtMaxRetard = nullptr;
    QPushButton* m_cmdApply = nullptr;
    QTimer m_liveTimer;

    std::optional<TuneMap> m_tune;  // the Ign Map of the last analysis
    std::size_t m_logCount = 0;     // read by it
    std::optional<KnockAnalysis> m_analysis;
    CellLocks m_locks{};
    std::optional<std::string> m_targetFile;  // Auto Tune's, as last read
    std::optional<MapField> m_target;
};

}  // namespace tunalyx
