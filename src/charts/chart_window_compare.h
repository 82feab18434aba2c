#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "charts/log_overlay.h"
#include "history/tune_history.h"
#include "monitor/log_store.h"

class QAction;
class QLabel;

namespace tunalyx {

class ChartWindow;

// The chart's Compare menu: a second log drawn as ghost traces under the shown one, lined up on
// the start of a pull, nudged by hand, and the difference of an item drawn as a trace of its own.
class ChartCompare final : public QObject {
    Q_OBJECT
public:
    explicit ChartCompare(ChartWindow& window);
    ~ChartCompare() override;

    // Open Overlay: the log file at `path` over the chart; false when it could not be read.
    bool openOverlay(const std::string& path);
    // Overlay Log of Previous Tune, through previousTuneLog: of the log shown, or of the
    // session's part under the cursor.
    bool overlayPreviousTune();
    // Align on Pull: the shown log's first pull through `rpm` from the cursor on (else its first),
    // and the overlay's pull nearest to it as the overlay sits now.
    bool alignOnPull(double rpm);
    // One of the overlay's samples, or 0.1 s when coarse, either way.
    void nudge(int direction, bool coarse);
    // The difference trace of `item`, shown minus overlay; -1 for none.
    void showDifference(int item);
    void closeOverlay();

    [[nodiscard]] bool hasOverlay() const { return m_log != nullptr; }
    [[nodiscard]] double shiftSeconds() const { return m_shift.seconds(); }
    [[nodiscard]] int differenceItem() const { return m_differenceItem; }
    // The ghost traces, and the difference on kDifferenceTrace; null without an overlay.
    [[nodiscard]] const StripChart* overlayChart() const { return m_chart.get(); }
    // The overlay has no time trace of its own; that slot carries the difference.
    static constexpr int kDifferenceTrace = StripChart::kTimeTrace;
    [[nodiscard]] QString statusText() const;

    // The window's hooks: the chart's log was replotted, or the setup changed.
    void replot();
    void replotTrace(int trace);

    // The dialogs and the history; tests replace them. An empty path, nothing: cancelled.
    std::function<std::string()> chooseOverlayToOpen;
    std::function<std::optional<double>(double proposed)> askPullRpm;
    std::function<std::optional<int>()> chooseDifferenceItem;
    // The log of the tune the shown log's tune replaced, found on disk, or why not.
    std::function<PreviousTuneLog(const std::string& shownPath)> previousTuneLog;

private:
    void buildMenu();
    // The file whose previous tune is looked for; empty for a log never saved.
    [[nodiscard]] std::string shownLogPath() const;
    void plotGhost(int trace);
    void plotDifference();
    void updateStatus();
    void tell(const std::string& text);

    ChartWindow& m_window;
    std::unique_ptr<LogStore> m_log;
    std::unique_ptr<StripChart> m_chart;
    OverlayShift m_shift;
    double m_step = 0.1;
    std::string m_name;
    std::string m_tuneText;
    int m_differenceItem = -1;
    QLabel* m_status = nullptr;
    QAction* m_overlayOnly[5] = {};
};

}  // namespace tunalyx
