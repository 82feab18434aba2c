#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "autotune/ran_on_tunes.h"
#include "history/tune_history.h"
#include "mapwatch/map_scatter.h"
#include "monitor/live_run.h"
#include "ports/settings_store.h"
#include "session/session.h"

class QAction;
class QComboBox;
class QTableWidget;

namespace tunalyx {

class HistogramWidget;
class ScatterWidget;

// Scatter: every sample of a log on the Inj or Ign Map's axes coloured by an item, beside it the
// map watch's statistic of another item per cell, and under them that item's values in the cell
// clicked as a histogram. Shows the log in memory unless given another source.
class ScatterWindow final : public QMainWindow, public LiveConsumer {
    Q_OBJECT
public:
    ScatterWindow(Session& session, LiveRun& live, SettingsStore& store, QWidget* parent = nullptr);
    ~ScatterWindow() override;

    // The samples shown: null for the log in memory (placed on the tunes it ran on), or another
    // source, such as a whole session, with the axes of the tunes its samples ran on. The source
    // must outlive its showing.
    void setSource(const SampleSource* source, std::vector<MapAxesFrom> ranOn = {});
    // Everything again from the source: points, statistics, histogram.
    void refresh();
    void selectCell(int row, int col);

    [[nodiscard]] ScatterWidget* scatter() const { return m_scatter; }
    [[nodiscard]] QTableWidget* grid() const { return m_grid; }
    [[nodiscard]] HistogramWidget* histogram() const { return m_histogram; }
    [[nodiscard]] const ScatterPoints& points() const { return m_points; }

    // The main window's tune history, which names the tunes the log ran on; none when not kept.
    std::function<const TuneHistory*()> history;

    // LiveConsumer: a run that ends or a log opened is shown whole.
    void runEnded() override { refresh(); }
    void logReplaced() override { refresh(); }

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fillItemChoices();
    void followTunes();
    void recolour();
    void recount();
    void writeGrid();
    void showHistogram();
    [[nodiscard]] QString itemLabel(int item) const;
    [[nodiscard]] int chosenItem(const QComboBox* box) const;
    void chooseItem(QComboBox* box, int item);
    void saveSettings();

    Session& m_session;
    LiveRun& m_live;
    SettingsStore& m_store;
    LogStoreSource m_logSource;
    const SampleSource* m_base;
    std::optional<WithDerivedItems> m_source;
    std::vector<MapAxesFrom> m_ranOn;
    std::vector<MapAxesFrom> m_givenRanOn;
    MapAxes m_axes;
    std::array<std::optional<RanOnTunes>, 2> m_tunes;  // the Inj Map's and the Ign Map's
    ScatterPoints m_points;
    CellStatistics m_stats;
    QComboBox* m_comColour;
    QComboBox* m_comItem;
    QComboBox* m_comFunction;
    QComboBox* m_comMap;
    ScatterWidget* m_scatter;
    QTableWidget* m_grid;
    HistogramWidget* m_histogram;
};

// The Window menu's "&Scatter" item: shows and hides the window, made on first use as a window of
// `owner`'s own, which closes and deletes it with itself. It shows `shownSession()` when that is
// not null (a session opened in the chart), the log in memory otherwise.
void bindScatterWindow(QAction* item, QWidget& owner, Session& session, LiveRun& live,
                       SettingsStore& store, std::function<const TuneHistory*()> history,
                       std::function<const SampleSource*()> shownSession = {});

}  // namespace tunalyx
