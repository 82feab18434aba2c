#pragma once

#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "monitor/live_run.h"
#include "monitor/monitor_readout.h"
#include "monitor/qt_polling_thread.h"
#include "ports/settings_store.h"
#include "session/session.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tunalyx {

class MarkerKey;

// frmMonitor: the latest live values, the maxima, the groups to poll and the commands of a run.
// It drives the live run and shows it: Start hands the run a thread of its own, and the
// window's frames present what it published since the last, so painting never costs a sample.
class MonitorWindow final : public QWidget, public LiveConsumer {
    Q_OBJECT
public:
    MonitorWindow(Session& session, LiveRun& live, const AuxCalibration& aux, SettingsStore& store,
                  QWidget* parent = nullptr);
    ~MonitorWindow() override;

    void cmdLogStart_Click();
    void cmdLogStop_Click();
    void cmdMonMaxRst_Click();
    // Save dialog and writer; true when the log was written.
    bool cmdSave_Click();
    // Nothing when the log is saved; otherwise the user's answer (Cancel abandons).
    std::optional<MessageAnswer> CheckUnsavedLog();
    // The program ends with nobody to ask: the run ends, and a log not saved goes where the run
    // was logging to; when it cannot be written there, its journal stays for recovery.
    void endRunUnattended();

    // The labels and switch captions from the layout and item names in force; called whenever a
    // layout switch may have renamed them.
    void showCaptions();

    [[nodiscard]] LiveRun& live() { return m_live; }
    // Log > Continuous: a run that fills its log saves it as NAME.txt, NAME-001.txt, ... in the
    // Logs folder and goes on in the next without a pause. Kept in the settings.
    void setContinuous(bool on);
    [[nodiscard]] bool continuous() const { return m_continuous; }
    // The journal of the run, on disk until the log is saved.
    [[nodiscard]] const LogJournal& journal() const { return m_live.journal(); }
    [[nodiscard]] bool runInProgress() const { return m_live.running(); }
    // Set Marker (F8 or the button) while a run goes on.
    [[nodiscard]] MarkerKey& markerKey() { return *m_markerKey; }
    // The save dialog; tests replace it. An empty path means the user cancelled.
    std::function<std::string(const std::string& proposedName)> chooseSavePath;

    // LiveConsumer
    void samplePublished(const PublishedSample& sample) override;
    void framePresented() override;
    void runEnded() override;

signals:
    // A run began or ended (the menus of other windows follow).
    void runningChanged(bool running);
    // The window was closed (the Window menu unchecks its item).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildFields();
    void showFields();
    void showCountAndMaxima();
    void saveSettings();
    // Said once the window's thread is free of the frame being presented.
    void tellLater(const std::string& text, MessageIcon icon);
    // Why the run ended, when the user would not know it from what they did.
    [[nodiscard]] std::string endText() const;

    Session& m_session;
    LiveRun& m_live;
    const AuxCalibration& m_aux;
    SettingsStore& m_store;
    MonitorReadout m_readout;
    QtPollingThread m_thread;
    QTimer m_frames;          // while a run goes on
    std::string m_runTarget;  // where the last run's logs were to go
    bool m_continuous = false;

    std::array<QLineEdit*, 10> m_txtMonitor{};
    std::array<QLineEdit*, 10> m_txtMonitorMax{};
    std::array<QLabel*, 10> m_lblMonitor{};
    std::array<QLineEdit*, 19> m_txtTuning{};
    std::array<QLabel*, 19> m_lblTuning{};
    std::array<QLineEdit*, 8> m_txtSensor{};
    std::array<QLabel*, 8> m_lblSensor{};
    std::array<QCheckBox*, 8> m_chkSensor1{};
    std::array<QCheckBox*, 8> m_chkSensor2{};
    std::array<QLineEdit*, 4> m_txtA2D{};
    std::array<QLineEdit*, 2> m_txtMap{};
    std::array<QCheckBox*, kTraceGroupCount> m_chkInclude{};
    QLineEdit* m_txtMonCount = nullptr;
    QPushButton* m_cmdLogStart = nullptr;
    QPushButton* m_cmdLogStop = nullptr;
    QPushButton* m_cmdMonMaxRst = nullptr;
    QPushButton* m_cmdSave = nullptr;
    QPushButton* m_cmdMarker = nullptr;
    MarkerKey* m_markerKey = nullptr;
};

}  // namespace tunalyx
