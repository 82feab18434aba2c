#include <QAction>
#include <QFileDialog>
#include <QMenu>

#include <algorithm>

#include "charts/chart_window.h"
#include "monitor/log_file.h"
#include "monitor/log_markers.h"
#include "ports/whole_file.h"
#include "ui/qt_text.h"

namespace tunalyx {

void ChartWindow::buildSessionMenu(QMenu* file) {
    QAction* open = file->addAction(tr("Open &Session..."));
    open->setObjectName(QStringLiteral("mnuOpenSession"));
    connect(open, &QAction::triggered, this, [this] { mnuOpenSession_Click(); });
    chooseLogsToOpen = [this] {
        QString selected = QStringLiteral("Txt Files (*.txt)");
        const QStringList chosen = QFileDialog::getOpenFileNames(
            this, tr("Open Session"),
            QString::fromStdString(logPath(m_store, m_session.filesFolder)),
            QString::fromLatin1(kLogFileFilter), &selected);
        std::vector<std::string> paths;
        for (const QString& path : chosen)
            paths.push_back(path.toStdString());
        return paths;
    };
}

bool ChartWindow::mnuOpenSession_Click() {
    std::vector<std::string> paths =
        chooseLogsToOpen ? chooseLogsToOpen() : std::vector<std::string>{};
    if (paths.empty()) return false;
    rememberLogPath(m_store, paths.front());
    // One part of a continuous run stands for the whole run.
    if (paths.size() == 1) paths = sessionPartsOf(paths.front());
    LogPlayStop();

    auto timeline = std::make_unique<LogTimeline>();
    m_session.prompts.setBusy(true);
    const bool opened = timeline->open(
        paths, m_session.trace, m_session.prompts,
        [this](const std::string& path) { return tuneOfLog ? tuneOfLog(path).tunes : LogTunes{}; });
    m_session.prompts.setBusy(false);
    if (!opened) return false;

    // The chart lets go of the samples it reads before they go.
    m_strip->chart().clear();
    m_timeline = std::move(timeline);
    m_shown.setBase(*m_timeline);
    // Each part's markers, moved with its times.
    m_sessionMarkers.clear();
    for (const TimelinePart& part : m_timeline->parts())
        for (LogMarker m : markersOfLog(part.path)) {
            m.seconds += part.timeShift;
            m_sessionMarkers.push_back(std::move(m));
        }
    initCharts();
    const double first = m_shown.timeSeconds(0);
    const double last = m_shown.timeSeconds(lastSample());
    m_strip->setWindow(first, std::max(first + 10.0, last));
    m_strip->setCursorPosition(first);
    m_lastIndex = -1;
    showReadout(0);
    const std::size_t parts = m_timeline->parts().size();
    std::string title = fileNameOf(m_timeline->parts().front().path);
    if (parts > 1) title += " + " + std::to_string(parts - 1) + (parts == 2 ? " part" : " parts");
    setLogName(title);
    showMarkers();
    emit shownSourceChanged();
    return true;
}

void ChartWindow::showLogInMemory() {
    if (!m_timeline) return;
    m_strip->chart().clear();
    m_shown.setBase(m_logSource);
    m_timeline.reset();
    m_sessionMarkers.clear();
    showMarkers();
    emit shownSourceChanged();
}

}  // namespace tunalyx
