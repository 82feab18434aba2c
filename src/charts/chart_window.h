#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "charts/chart_config.h"
#include "charts/strip_chart_widget.h"
#include "monitor/live_run.h"
#include "monitor/log_timeline.h"
#include "monitor/log_tunes.h"
#include "monitor/shown_samples.h"
#include "ports/file_writer.h"
#include "ports/settings_store.h"
#include "session/session.h"

class QAction;
class QMenu;

namespace tunalyx {

class ChartCompare;
class MonitorWindow;

// frmChart: up to 20 live or logged items as strip-chart traces in one to four panes. The cursor
// picks a sample (mouse, arrow keys, playback at the recorded speed) and the sample is handed on
// to the windows that show one (watches, map watch) through sampleShown().
class ChartWindow final : public QMainWindow, public LiveConsumer {
    Q_OBJECT
public:
    ChartWindow(Session& session, LiveRun& live, MonitorWindow& monitor, SettingsStore& store,
                FileWriter& files, QWidget* parent = nullptr);
    ~ChartWindow() override;

    [[nodiscard]] StripChartWidget& strip() { return *m_strip; }
    [[nodiscard]] ChartConfig& config() { return m_config; }
    // Compare: a second log over this one.
    [[nodiscard]] ChartCompare& compare() { return *m_compare; }

    void initCharts();
    void initChart(int pane);
    void initTrace(int trace);
    void initTraces();
    void initXTrace();
    // The sample under the cursor.
    [[nodiscard]] int LookupIndex() const;

    // File > Open of a log; true when one was opened.
    bool mnuOpen_Click();
    void mnuLogPlay_Click();
    void LogPlayStop();
    [[nodiscard]] bool playing() const { return m_playing; }
    // The arrows of the chart: one sample, ten with Ctrl.
    void Strip1_KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void Strip1_CursorMoved(double seconds);
    // The caption's file name ("Untitled.txt" until a log is saved or opened).
    void setLogName(const std::string& name);

    // The dialogs; tests replace them. An empty path means the user cancelled.
    std::function<std::string()> chooseLogToOpen;
    std::function<std::string(const char* title, const char* filter, const std::string& name)>
        chooseFileToSave;
    std::function<std::string()> chooseSetupToOpen;
    // Which tunes a log file ran on: the caption's words ("ran on tune 5 (...)", empty when not
    // known) and the tune of each sample, for those who take the log's readings.
    struct RanOn {
        std::string text;
        LogTunes tunes;
    };
    std::function<RanOn(const std::string& path)> tuneOfLog;
    // Window > Map Watch: the main window shows it.
    std::function<void()> showMapWatch;
    // Setup > Auxiliary: the main window's aux set-up.
    std::function<void()> showAuxSetup;
    // Window > Add Watch, Hide Watchs, Load Watch, Save Watchs: the program's watches.
    struct WatchCommands {
        std::function<void()> add;
        std::function<void()> hide;
        std::function<void()> load;
        std::function<void()> save;
    } watchCommands;
    // Add Watch goes once the tenth watch has been added from either window.
    void setAddWatchEnabled(bool enabled);

    // File > Open Session: logs chosen together (one part alone brings the rest of its run)
    // shown as one timeline; true when one was opened. The dialog; tests replace it.
    bool mnuOpenSession_Click();
    std::function<std::vector<std::string>()> chooseLogsToOpen;
    // The samples the chart shows, with the math items on top: a session's timeline, or the
    // log in memory. The same object throughout; shownSourceChanged tells when what it shows
    // changes.
    [[nodiscard]] const SampleSource& shownSource() const { return m_shown; }
    // The session shown, or null for the log in memory.
    [[nodiscard]] const LogTimeline* timeline() const { return m_timeline.get(); }

    // LiveConsumer: the live run, sample by sample.
    void runStarted() override;
    void samplePublished(const PublishedSample& sample) override;
    void framePresented() override;
    void runEnded() override;
    void logSaved(const SavedLog& saved) override;
    void markerSet(const LogMarker& marker) override;
    // The markers of the log in memory over the chart.
    void showMarkers();
    // The markers of what the chart shows: the session's, or the log in memory's.
    [[nodiscard]] const std::vector<LogMarker>& shownMarkers() const;

signals:
    // A sample was put under the cursor (moved, stepped or played): the watches and the map
    // watch show it.
    void sampleShown(int sample);
    void shownSourceChanged();
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

public:
    // Panes, trace panes and colours, captions and their places from the configuration, without
    // replotting (the setup dialog applies each change at once).
    void applyTracesToStrip();
    [[nodiscard]] Session& session() { return m_session; }
    // Setup > Math Items: edits the math items; the traces follow them.
    void showMathItems();

private:
    void buildMenus();
    void showSample(int sample);
    // The trace's caption, with its value at the readout sample when there is one.
    [[nodiscard]] std::string captionText(int trace) const;
    // The captions show the values of `sample` (-1: no values, as during a run).
    void showReadout(int sample);
    void keepCursorInView();
    void playNext();
    void mnuSetupSave_Click();
    void mnuSetupLoad_Click();
    void mnuSetupChart_Click();
    void exportCsv();
    void saveImage();
    // The configuration's math items become the session's.
    void useMathItems();
    [[nodiscard]] double liveMathValue(int item, int index) const;
    [[nodiscard]] std::string mathReadout(double value) const;
    void buildSessionMenu(QMenu* file);
    // Back to the log in memory from a session (a live start, File > Open).
    void showLogInMemory();
    [[nodiscard]] int lastSample() const { return m_shown.sampleCount() - 1; }
    [[nodiscard]] double sampleSeconds(int s) const { return m_shown.timeSeconds(s); }
    // Log > Set Marker, the markers' tool tips and the status bar a reached marker shows in.
    void setUpMarkers(QMenu* log);
    void showMarkerReached(int sample);
    // The markers beside a log file opened, what was wrong with them told.
    [[nodiscard]] std::vector<LogMarker> markersOfLog(const std::string& path);

    Session& m_session;
    LiveRun& m_live;
    LogStore& m_log;
    MonitorWindow& m_monitor;
    SettingsStore& m_store;
    FileWriter& m_files;
    ChartConfig m_config;
    std::array<TraceScale, ChartConfig::kUserTraces> m_scales{};
    StripChartWidget* m_strip;
    QAction* m_mnuLogPlay = nullptr;
    QAction* m_mnuAddWatch = nullptr;

    bool m_playing = false;
    int m_playStartIndex = 0;
    std::int64_t m_playStartTick = 0;
    QTimer m_playTimer;
    double m_lastCursor = -1;
    int m_lastIndex = -1;
    int m_readout = -1;
    friend class ChartCompare;
    std::unique_ptr<ChartCompare> m_compare;

    LogStoreSource m_logSource{m_log};
    std::unique_ptr<LogTimeline> m_timeline;
    ShownSamples m_shown{m_logSource, m_session.mathItems};
    double m_markerFrom = 0;  // where the cursor stood when a marker could last be reached
    // The markers of every part of the session shown, on its time axis; empty without one.
    std::vector<LogMarker> m_sessionMarkers;
};

}  // namespace tunalyx
