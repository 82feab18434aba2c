// The chart's share of the log markers: set from its Log menu, drawn over the traces, named in
// the status bar as the cursor reaches them.
#include <QEvent>
#include <QHelpEvent>
#include <QStatusBar>
#include <QToolTip>

#include <cmath>

#include "charts/chart_window.h"
#include "monitor/log_markers.h"
#include "monitor/marker_note_widget.h"

namespace tunalyx {

namespace {

// How near the pointer must be to a marker's line for its tip, in pixels either side.
constexpr double kTipReach = 4;

QString markerText(int number, const std::string& note) {
    const QString text = QObject::tr("Marker %1").arg(number);
    return note.empty() ? text : text + QStringLiteral(": ") + QString::fromStdString(note);
}

// A marker's note as the tool tip of its line.
class MarkerTips final : public QObject {
public:
    explicit MarkerTips(StripChartWidget& strip) : QObject(&strip), m_strip(strip) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &m_strip || event->type() != QEvent::ToolTip) return false;
        const auto* help = static_cast<QHelpEvent*>(event);
        const StripMarker* nearest = nullptr;
        double best = kTipReach;
        for (const StripMarker& m : m_strip.chart().markers()) {
            const double off = std::abs(m_strip.pixelAt(m.seconds) - help->pos().x());
            if (off <= best) {
                best = off;
                nearest = &m;
            }
        }
        // Away from the markers the chart's own tips, if any, have the event.
        if (!nearest) return false;
        QToolTip::showText(help->globalPos(), markerText(nearest->number, nearest->note), &m_strip);
        return true;
    }

private:
    StripChartWidget& m_strip;
};

}  // namespace

void ChartWindow::setUpMarkers(QMenu* log) {
    new MarkerKey(m_live, m_session.prompts, *this, log);
    m_strip->installEventFilter(new MarkerTips(*m_strip));
    statusBar()->setObjectName(QStringLiteral("sbChart"));
}

void ChartWindow::showMarkers() {
    std::vector<StripMarker>& shown = m_strip->chart().markers();
    shown.clear();
    for (const LogMarker& m : shownMarkers())
        shown.push_back({m.seconds, m.number, m.note});
    m_markerFrom = m_strip->cursorPosition();
    // A marker named for another log, or before a note it has now, is not this one.
    statusBar()->clearMessage();
    m_strip->redraw();
}

void ChartWindow::markerSet(const LogMarker& /*marker*/) {
    showMarkers();
}

void ChartWindow::showMarkerReached(int sample) {
    const double to = sampleSeconds(sample);
    const LogMarker* reached = markerReached(shownMarkers(), m_markerFrom, to);
    m_markerFrom = to;
    if (reached) statusBar()->showMessage(markerText(reached->number, reached->note));
}

const std::vector<LogMarker>& ChartWindow::shownMarkers() const {
    return m_timeline ? m_sessionMarkers : m_live.markers();
}

std::vector<LogMarker> ChartWindow::markersOfLog(const std::string& path) {
    LogMarkersRead read = readLogMarkers(path);
    if (!read.problem.empty()) m_session.prompts.tell(read.problem, MessageIcon::Exclamation);
    return std::move(read.markers);
}

}  // namespace tunalyx
