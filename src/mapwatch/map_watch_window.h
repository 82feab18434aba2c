#pragma once

#include <QMainWindow>
#include <functional>
#include <optional>
#include <string>

#include "autotune/ran_on_tunes.h"
#include "history/tune_history.h"
#include "mapwatch/map_watch.h"
#include "monitor/live_run.h"
#include "monitor/log_timeline.h"
#include "monitor/shown_samples.h"
#include "ports/settings_store.h"
#include "session/session.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTableWidget;

namespace tunalyx {

class MapPosMarker;

// frmMapWatch: for one item, a statistic of its values in every cell the engine passed through,
// from the live samples or the log in memory; a marker follows the position and drives the main
// window's map tracer.
class MapWatchWindow final : public QMainWindow, public LiveConsumer {
    Q_OBJECT
public:
    // `showMapPos` is the main window's tracer (ShowMapPos), called with the main window's own
    // choice of source while its tracer is on.
    MapWatchWindow(Session& session, LiveRun& live, SettingsStore& store,
                   std::function<void(double x, double y)> showMapPos, QWidget* parent = nullptr);
    ~MapWatchWindow() override;

    [[nodiscard]] MapWatch& watch() { return m_watch; }
    [[nodiscard]] QTableWidget* grid() const { return m_grid; }
    [[nodiscard]] MapPosMarker* marker() const { return m_marker; }

    void RecalculateMap();
    void RefreshMap();
    void ResetMap();
    // Puts the marker (and the ghost) on sample s and moves the main window's tracer.
    void ShowPos(int s);
    void setTraceOn(bool on);
    void setGhostOn(bool on);
    // Counts over the samples of a session the chart shows (`shown`, over `timeline`), each
    // placed with the axes of its part's tune; without a timeline, the log in memory again.
    void followSession(const SampleSource& shown, const LogTimeline* timeline);

    // LiveConsumer: the live samples of a run, and a log opened instead.
    void runStarted() override;
    void samplePublished(const PublishedSample& sample) override;
    void logReplaced() override { RecalculateMap(); }

    // Window > Monitor, Window > Chart, File > Open, Save As, Log > Start, End: the main window
    // lends them.
    std::function<void()> openLog, saveLog, startLog, endLog, showMonitor, showChart;
    // The main window's tune history, which names the tunes the log ran on; none when not kept.
    std::function<const TuneHistory*()> history;

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void GridLabels();
    void writeCell(int row, int col);
    void setColumnWidth(int index);
    void fitColumns();
    void clearGhost();
    void copySelection();
    void saveSettings();
    void placeMarker(double x, double y);
    // The axes of the tunes the log in memory ran on, and the line that names them.
    void followTunes();
    void showNotes();
    // The math items after the 64, as many as there are now.
    void listMathItems();

    Session& m_session;
    LiveRun& m_live;
    SettingsStore& m_store;
    std::function<void(double, double)> m_showMapPos;
    MapWatch m_watch;
    LogStoreSource m_logSource;
    ShownSamples m_samples;  // what m_watch counts over, with the math items on top
    bool m_following = false;
    LogTunes m_followedTunes;
    QComboBox* m_comItem;
    QComboBox* m_comFunction;
    QLineEdit* m_txtDelay;
    QLineEdit* m_txtMax;
    QTableWidget* m_grid;
    QLabel* m_lblTunes;
    QLabel* m_lblItem;
    MapPosMarker* m_marker;
    QMenu* m_popup = nullptr;
    QAction* m_mnuTrace = nullptr;
    QAction* m_mnuGhost = nullptr;
    QAction* m_mnuRefLabels = nullptr;
    QList<QAction*> m_widths;
    QList<QAction*> m_places;
    QList<QAction*> m_sources;
    std::optional<RanOnTunes> m_tunes;  // kept between analyses
    std::size_t m_tunesFollowed = 0;    // the log's tunes known when they were last followed
    bool m_traceOn = false;
    bool m_ghostOn = false;
    int m_columnWidth = 0;
    double m_lastX = 0;
    double m_lastY = 0;
};

}  // namespace tunalyx
