#pragma once

#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "monitor/log_journal.h"
#include "monitor/monitor_loop.h"
#include "monitor/polling_worker.h"
#include "ports/file_writer.h"
#include "ports/settings_store.h"
#include "session/session.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QThread;

namespace tunalyx {

// frmMonitor: the latest live values, the maxima, the groups to poll and the commands of a run.
// Its loop is the only poller of live data. During a run a worker thread polls back to back and
// owns the line (transfers started meanwhile are carried out by it between two samples); the
// window's thread takes the new samples a frame at a time, so painting never costs a sample.
class MonitorWindow final : public QWidget, public SampleListener {
    Q_OBJECT
public:
    MonitorWindow(Session& session, LogStore& log, const AuxCalibration& aux, SettingsStore& store,
                  FileWriter& files, QWidget* parent = nullptr);
    ~MonitorWindow() override;

    void cmdLogStart_Click();
    void cmdLogStop_Click();
    void cmdMonMaxRst_Click();
    // Save dialog and writer; true when the log was written.
    bool cmdSave_Click();
    // Nothing when the log is saved; otherwise the user's answer (Cancel abandons).
    std::optional<MessageAnswer> CheckUnsavedLog();

    // The labels and switch captions from the layout and item names in force; called whenever a
    // layout switch may have renamed them.
    void showCaptions();

    [[nodiscard]] MonitorLoop& loop() { return m_loop; }
    // Log > Continuous: a run that fills its log saves it as NAME-001.txt, NAME-002.txt, ... in
    // the Logs folder and goes on in the next without a pause. Kept in the settings.
    void setContinuous(bool on);
    [[nodiscard]] bool continuous() const { return m_continuous; }
    // The journal of the run, on disk until the log is saved.
    [[nodiscard]] const LogJournal& journal() const { return m_journal; }
    [[nodiscard]] bool runInProgress() const { return m_loop.runInProgress(); }
    // The save dialog; tests replace it. An empty path means the user cancelled.
    std::function<std::string(const std::string& proposedName)> chooseSavePath;

    // SampleListener
    void sampleLogged(int s, const LiveSample& sample, bool refresh) override;
    void framePresented() override;
    void runEnded() override;

signals:
    // A run began or ended (the menus of other windows follow).
    void runningChanged(bool running);
    // The window was closed (the Window menu unchecks its item).
    void closed();
    // The log was written to a file of this name (the chart shows it in its caption).
    void logSaved(const QString& fileName);
    // A continuous run is logging into the file of this name.
    void logNamed(const QString& fileName);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildFields();
    void showFields();
    void showCountAndMaxima();
    void saveSettings();
    void startWorker();
    // A frame: the samples polled since the last one go to the fields and the listeners.
    void frame();
    // The worker is done: the line comes back, the rest is presented and the run ends.
    void finishRun();
    // A continuous run's log is full: it is saved and the next one begins.
    void saveFullLog();
    // Where part n of a continuous run is saved.
    [[nodiscard]] std::string continuousLogPath(int part) const;
    // Said once the window's thread is free of the frame being presented.
    void tellLater(const std::string& text, MessageIcon icon);

    Session& m_session;
    LogStore& m_log;
    SettingsStore& m_store;
    FileWriter& m_files;
    MonitorLoop m_loop;
    std::unique_ptr<PollingWorker> m_worker;
    QThread* m_thread = nullptr;
    QTimer m_frames;
    LogJournal m_journal;
    bool m_continuous = false;
    std::unique_ptr<LogStore> m_spare;  // a continuous run polls on into it while a log is saved
    std::string m_runName;              // NAME of a continuous run's NAME-001.txt, ...

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
};

}  // namespace tunalyx
