#pragma once

#include <QObject>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "monitor/live_run.h"
#include "monitor/sample_source.h"
#include "ports/file_writer.h"
#include "session/session.h"
#include "watches/setup_watch_dialog.h"
#include "watches/watch_file.h"
#include "watches/watch_window.h"

class QWidget;

namespace tunalyx {

// The ten watch windows of the program: created at start-up, hidden rather than closed, fed once
// a second by the monitor and at every step of the chart's cursor, kept in the settings store
// between runs and in watch files.
class WatchWindows final : public QObject, public LiveConsumer {
    Q_OBJECT
public:
    WatchWindows(Session& session, LiveRun& live, SettingsStore& store, FileWriter& files,
                 QWidget* owner);
    ~WatchWindows() override;

    [[nodiscard]] WatchWindow& watch(int index) {
        return *m_windows.at(static_cast<std::size_t>(index));
    }
    [[nodiscard]] const NumberLocale& locale() const { return m_session.codec.locale(); }

    // WatchsRestore: all ten from the settings store, each initialised.
    void WatchsRestore();
    // The watch part of the main window's unload: all ten to the settings store, then hidden.
    void saveAndUnload();

    // Add Watch: the setup dialog on the lowest hidden watch; nothing when all ten show.
    void mnuWatch_Click();
    void HideWatchs();
    // Load and Save from the Window menus: a file dialog, then the file.
    void WatchsLoad();
    void WatchsSave();
    KeyFileOutcome WatchFileRead(const std::string& path);
    bool WatchFileWrite(const std::string& path);

    // Init of one watch: its bands again and the value of its item at the current sample.
    void Init(int index);
    // The setup dialog on watch `index` (a double click on it), then Init.
    void editWatch(int index);
    // A sample chosen on the chart: every visible watch shows its item's value there.
    void showSample(int sample);
    // The same for a sample of other samples (a session in the chart); an item without a
    // value there keeps what it showed.
    void showSampleOf(const SampleSource& samples, int sample);

    // Live data: the visible watches follow once a second.
    void samplePublished(const PublishedSample& sample) override;

    // Whether Add Watch may still be offered: no longer once the tenth watch has been added.
    [[nodiscard]] bool addWatchEnabled() const { return m_addEnabled; }

    // The sample the chart designates as current; sample 0 while there is no chart.
    std::function<int()> currentSample;
    // How the setup dialog is shown (tests answer it); true when confirmed.
    std::function<bool(SetupWatchDialog&)> showSetup;
    // The file dialogs; an empty path cancels.
    std::function<std::string()> chooseFileToOpen;
    std::function<std::string()> chooseFileToSave;

signals:
    void addWatchEnabledChanged(bool enabled);

private:
    SetupWatchDialog& setupDialog();
    // Shows the dialog on watch `index`; false when it was cancelled (it is then unloaded).
    bool runSetup(int index);
    [[nodiscard]] WatchSet settings() const;

    Session& m_session;
    LiveRun& m_live;
    const LogStore& m_log;
    SettingsStore& m_store;
    FileWriter& m_files;
    QWidget* m_owner;
    std::array<WatchWindow*, kWatchCount> m_windows{};
    std::unique_ptr<SetupWatchDialog> m_setup;
    bool m_addEnabled = true;
};

}  // namespace tunalyx
