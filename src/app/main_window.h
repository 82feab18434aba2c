#pragma once

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "app/main_window_state.h"
#include "app/qt_compare_commands.h"
#include "app/qt_file_commands.h"
#include "app/qt_main_menus.h"
#include "app/qt_map_commands.h"
#include "app/qt_port_menu.h"
#include "app/qt_transfer_commands.h"
#include "app/qt_window_toggle.h"
#include "app/unsaved_changes.h"
#include "autotune/auto_tune_window.h"
#include "auxinputs/setup_aux_dialog.h"
#include "charts/chart_window.h"
#include "graph/graph_window.h"
#include "history/history_window.h"
#include "history/tune_history.h"
#include "knock/knock_window.h"
#include "mapwatch/map_watch_window.h"
#include "monitor/monitor_window.h"
#include "session/session.h"
#include "watches/qt_watch_windows.h"

class QCheckBox;
class QDialog;
class QPushButton;
class QTabWidget;

namespace tunalyx {

class SampleSource;
class SettingsPageWidget;

// frmMain: builds the tabbed pages, the transfer buttons and the menu tree and binds them to the
// session through its collaborators (ports, files, transfers, maps); the rules live in core.
class MainWindow final : public QMainWindow, public SessionView {
    Q_OBJECT
public:
    static constexpr int kTabCount = 9;
    static constexpr int kFirstSettingsTab = 3;
    static constexpr int kInfoTab = 8;

    MainWindow(Session& session, LiveRun& live, SettingsStore& store, MainWindowPorts ports,
               FileWriter& files, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence; call once after construction.
    void Form_Load();
    // The logs of runs that were never saved (the program was killed, the power failed) are
    // offered for recovery, each written as a log file in the Logs folder.
    void offerLogRecovery();

    // The views the operations ask for (SessionView).
    void DisplayAllData() override;
    void showNotes() override;
    void GridDisplay(int grid) override;
    void GridLabels() override;
    void layoutChanged() override;
    void UpdateEnable() override;
    void RefreshUpdateEnabled() override;
    void setUpdateEnabled(bool enabled) override;
    void setCaptionFile(const std::string& name) override;
    bool mnuSaveAs_Click() override;
    void setCommandEnabled(const std::string& name, bool enabled) override;
    void endCompareMode() override;

    [[nodiscard]] QTabWidget* tabs() const { return m_tabs; }
    [[nodiscard]] QPushButton* updateButton() const { return m_cmdUpdate; }
    [[nodiscard]] QCheckBox* autoUpdateBox() const { return m_optAutoUpdate; }
    [[nodiscard]] const MainMenus& menus() const { return m_menus; }
    [[nodiscard]] SettingsPageWidget* settingsPage(int page) const;
    [[nodiscard]] int rightClickedFrame() const { return m_popupFrame; }
    [[nodiscard]] MapGridWidget* grid(int index) const {
        return m_grids.at(static_cast<std::size_t>(index));
    }
    [[nodiscard]] MapTracerView& tracer() { return m_maps->tracer(); }
    [[nodiscard]] QtTransferCommands& transfers() { return *m_transfers; }
    [[nodiscard]] QtFileCommands& files() { return *m_files; }
    [[nodiscard]] QtCompareCommands& compare() { return *m_compare; }
    // frmMonitor, created on first use; it starts and shows the live run.
    [[nodiscard]] MonitorWindow& monitor();
    [[nodiscard]] LogStore& log() { return m_live.log(); }
    // frmChart, created on first use.
    [[nodiscard]] ChartWindow& chart();
    // frmMapWatch, created on first use.
    [[nodiscard]] MapWatchWindow& mapWatch();
    // Auto Tune, created on first use.
    [[nodiscard]] AutoTuneWindow& autoTune();
    // Knock, created on first use.
    [[nodiscard]] KnockWindow& knock();
    // frmGraph, created on first use.
    [[nodiscard]] GraphWindow& graph();
    // Keeps the tune history in `folder` from now on: every read, write, open, save and Auto Tune
    // or Knock Apply that succeeds, and the logs saved; File > History shows it.
    void useTuneHistory(const std::string& folder);
    // File > History, created on first use (with a tune history only).
    [[nodiscard]] HistoryWindow& historyWindow();
    // The ten watch windows, restored at start-up.
    [[nodiscard]] WatchWindows& watches() { return *m_watches; }
    [[nodiscard]] QtPortMenu& portMenu() { return *m_ports; }
    // Setup > Auxiliary: the aux inputs' names and calibration; the dialog can be answered by
    // tests through `showAuxSetup`.
    void mnuAuxilary_Click();
    std::function<bool(SetupAuxDialog&)> showAuxSetup;
    // Edit: undo and redo of the history, the table tools on the map shown. Scale asks its
    // percentage and offset through `askScale` (tests answer it); nothing on Cancel.
    void mnuUndo_Click();
    void mnuRedo_Click();
    std::function<std::optional<std::pair<double, double>>()> askScale;
    // Opens the curve editor for button `index`; tests replace how it is shown.
    void cmdEditCurve_Click(int index);
    std::function<void(QDialog&)> showCurveEditor;

    // Edits neither written to the unit nor saved in a file (a restored tune and cells applied
    // by Auto Tune included), as a close would lose them now.
    [[nodiscard]] WaitingChanges waitingChanges() const;
    // The question a close asks about them; tests answer it.
    enum class WaitingAnswer { Send, Save, Discard, Cancel };
    std::function<WaitingAnswer(const std::string& text)> askWaitingChanges;
    // SIGTERM or SIGHUP: the program ends as from File > Exit, but nobody is there to answer a
    // question. The run ends and its log is saved where it was going (its journal stays when it
    // cannot be); edits not sent are kept in the tune history as "Exit (not sent)".
    void closeUnattended();

signals:
    // Update ran (from the button or the auto-update timer).
    void updateRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void buildTabs();
    QWidget* buildMapTab(int map, std::array<QPushButton*, 2>& buttons);
    void buildButtons(QWidget* central);
    // The transfer, file, map and compare commands and the port menu.
    void bindCommands(MainWindowPorts ports, FileWriter& files);
    // The Window menu's windows, the watches and the Log menu.
    void bindWindows(FileWriter& files);
    // The chart's session when it shows one, for the windows that follow it; null otherwise.
    [[nodiscard]] const SampleSource* shownSession() const;
    // Setup's switches: heat colours, verified writes, the aux inputs, continuous logs.
    void bindOptions();
    void restorePlacement();
    void saveOnUnload();
    // The question about waiting edits, asked until nothing waits or the user gives them up.
    // False when the user keeps the program open.
    bool keepOrGiveUpWaitingChanges();
    void FraSettings_MouseUp(int frameIndex, const QPoint& globalPos);
    void focusTabs();
    void buildEditMenu();
    void refreshEditMenu();
    // Undo or Redo: `step` moves the history; the display and the Update button follow.
    void historyStep(const std::function<bool()>& step);
    void afterHistoryStep();
    // An analysis window changed a map: the tune history keeps the result as `action`.
    void analysisApplied(const char* action);
    // The grid of the map tab shown, if one is.
    [[nodiscard]] MapGridWidget* currentGrid() const;

    Session& m_session;
    LiveRun& m_live;
    SettingsStore& m_store;
    MainMenus m_menus;
    QTabWidget* m_tabs = nullptr;
    std::array<MapGridWidget*, kMapGridCount> m_grids{};
    std::array<std::array<QPushButton*, 2>, kMapGridCount> m_mapButtons{};
    QList<SettingsPageWidget*> m_pages;
    QPushButton* m_cmdReadAll = nullptr;
    QPushButton* m_cmdWriteAll = nullptr;
    QPushButton* m_cmdUpdate = nullptr;
    QCheckBox* m_optAutoUpdate = nullptr;
    QtPortMenu* m_ports = nullptr;
    QtFileCommands* m_files = nullptr;
    QtTransferCommands* m_transfers = nullptr;
    QtMapCommands* m_maps = nullptr;
    QtCompareCommands* m_compare = nullptr;
    FileWriter& m_fileWriter;
    AuxCalibration m_aux;
    MonitorWindow* m_monitor = nullptr;
    WindowToggle* m_monitorToggle = nullptr;
    ChartWindow* m_chart = nullptr;
    WindowToggle* m_chartToggle = nullptr;
    MapWatchWindow* m_mapWatch = nullptr;
    WindowToggle* m_mapWatchToggle = nullptr;
    AutoTuneWindow* m_autoTune = nullptr;
    WindowToggle* m_autoTuneToggle = nullptr;
    KnockWindow* m_knock = nullptr;
    WindowToggle* m_knockToggle = nullptr;
    GraphWindow* m_graph = nullptr;
    WatchWindows* m_watches = nullptr;
    WindowToggle* m_graphToggle = nullptr;
    std::unique_ptr<TuneHistory> m_tuneHistory;
    std::unique_ptr<TuneRecorder> m_recorder;
    HistoryWindow* m_history = nullptr;
    UnsavedChanges m_unsaved;
    int m_popupFrame = -1;
    bool m_unloaded = false;
    bool m_unattended = false;
    int m_unattendedRetries = 0;
};

}  // namespace tunalyx
