#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "autotune/analysed_logs.h"
#include "autotune/autotune.h"
#include "autotune/live_auto_tune.h"
#include "monitor/live_run.h"
#include "ports/file_writer.h"
#include "ports/settings_store.h"
#include "session/session.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace tunalyx {

// Auto Tune: the Inj Map corrections the wide-band logs ask for, applied as one step of the edit
// history, with predictions for the cells not measured and the cells to drive next; the warm-up
// and accelerator pump curves' corrections; and the target A/F table they are measured against.
// Live, it shows auto-tune following the run being logged (LiveAutoTune) and may write what it
// proposes through Update.
class AutoTuneWindow final : public QMainWindow {
    Q_OBJECT
public:
    AutoTuneWindow(Session& session, LiveRun& live, SettingsStore& store, FileWriter& files,
                   QWidget* parent = nullptr);
    ~AutoTuneWindow() override;

    // The main window lends its Update.
    std::function<void()> update;
    // Told when Apply changed the Inj Map: the tune history keeps the result.
    std::function<void()> applied;
    // The main window's tune history, which names the tunes logs ran on; none when not kept.
    std::function<const TuneHistory*()> history;
    // The dialogs; tests replace them. Empty means cancelled.
    std::function<std::vector<std::string>()> chooseLogs;
    std::function<std::string()> chooseTargetToOpen;
    std::function<std::string()> chooseTargetToSave;
    // The analysis of every tab; tests replace it.
    std::function<AutoTuneAnalysis(const std::vector<AutoTuneLog>&, const Tune&, const TuneMap&,
                                   const MapField&, const CellLocks&, const AutoTuneSettings&,
                                   CurvesAsked)>
        analyser = analyseAutoTune;

    [[nodiscard]] QTableWidget* proposalGrid() const { return m_grid; }
    [[nodiscard]] QTableWidget* targetGrid() const { return m_targetGrid; }
    [[nodiscard]] const std::optional<AutoTuneProposal>& proposal() const { return m_proposal; }
    [[nodiscard]] const CellLocks& locks() const { return m_locks; }
    [[nodiscard]] const std::optional<CurveProposal>& curveProposal(CurveKind kind) const {
        return m_curves[tabOf(kind)].proposal;
    }
    // Auto-tune following the run being logged; it hears of the run as any consumer does.
    [[nodiscard]] LiveAutoTune& live() { return m_liveTune; }

    // The Inj Map as it is now against the log in memory and the logs opened.
    void analyse();
    void openLogs();
    // The cells selected, or the whole proposal when none is.
    void apply();
    void setSelectedLocked(bool locked);
    // The predicted cells sure enough, of the selection or all; one step of the history.
    void applyPredicted();
    // The curve's changed points that still hold the value they were proposed from.
    void applyCurve(CurveKind kind);
    // Every 5 s while Live is on.
    void liveTick();

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildProposalTab();
    QWidget* buildTargetTab();
    QWidget* buildCurveTab(CurveKind kind);
    [[nodiscard]] static std::size_t tabOf(CurveKind kind) {
        return kind == CurveKind::WarmUp ? 0 : 1;
    }
    // The proposal again, on the Inj Map it was first made for (a lock, a setting, the target
    // changed); nothing before the first analysis.
    void reevaluate();
    void evaluate();
    [[nodiscard]] std::vector<AutoTuneLog> logsToRead();
    [[nodiscard]] AutoTuneSettings settings() const;
    [[nodiscard]] MapField target() const;
    // The cells applied, each one step of the history; only cells that still hold the value the
    // proposal was made from.
    std::vector<CellText> applyCells(const std::optional<CellRange>& only);
    void showProposal();
    void showCurve(CurveKind kind);
    void showTarget();
    void targetEdited(int row, int col);
    void loadTarget();
    void saveTarget();
    void defaultTarget();
    void setLive(bool on);
    void saveSettings();

    Session& m_session;
    LiveRun& m_live;
    LiveAutoTune m_liveTune;
    SettingsStore& m_store;
    FileWriter& m_files;
    QTableWidget* m_grid = nullptr;
    QTableWidget* m_targetGrid = nullptr;
    QLabel* m_lblLogs = nullptr;
    QLabel* m_lblTunes = nullptr;
    QLabel* m_lblReadings = nullptr;
    QLabel* m_lblDiagnosis = nullptr;
    QLabel* m_lblTarget = nullptr;
    QDoubleSpinBox* m_txtMaxChange = nullptr;
    QDoubleSpinBox* m_txtMinSamples = nullptr;
    QCheckBox* m_chkLive = nullptr;
    QCheckBox* m_chkApplyUpdate = nullptr;
    QPushButton* m_cmdApply = nullptr;
    QPushButton* m_cmdApplyPredictions = nullptr;
    QLabel* m_lblDelay = nullptr;
    QListWidget* m_lstDriveNext = nullptr;
    struct CurveTab {
        QTableWidget* table = nullptr;
        QLabel* used = nullptr;
        QLabel* problem = nullptr;
        QPushButton* apply = nullptr;
        std::optional<CurveProposal> proposal;
    };
    std::array<CurveTab, 2> m_curves;
    QTimer m_liveTimer;

    AnalysedLogs m_logs;
    std::optional<TuneMap> m_tune;     // the Inj Map of the last analysis
    std::optional<Tune> m_tuneAsRead;  // and the tune it is in, whose curves it was made on
    std::optional<AutoTuneProposal> m_proposal;
    CellPredictions m_predictions{};
    std::vector<CellToDrive> m_driveNext;
    std::string m_delayLine;
    CellLocks m_locks{};
    std::optional<MapField> m_target;  // nothing: the default of the map's axes
    std::string m_targetFile;
    bool m_targetEdited = false;
    bool m_showingTarget = false;  // the grid is being filled, not edited
};

}  // namespace tunalyx
