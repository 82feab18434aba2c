#include "charts/chart_window_compare.h"

#include <QAction>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

#include <cmath>

#include "charts/chart_window.h"
#include "monitor/log_file.h"
#include "ports/whole_file.h"
#include "ui/qt_text.h"

namespace tunalyx {

namespace {

constexpr const char* kPullRpmKey = "AlignPullRpm";
constexpr int kDefaultPullRpm = 3000;
constexpr double kCoarseNudgeSeconds = 0.1;
// Bright against the grey panes and unlike any ghost.
constexpr ChartColour kDifferenceColour = 0xFF00FF;

}  // namespace

ChartCompare::ChartCompare(ChartWindow& window) : QObject(&window), m_window(window) {
    buildMenu();
    chooseOverlayToOpen = [this] {
        QString selected = QStringLiteral("Txt Files (*.txt)");
        return QFileDialog::getOpenFileName(&m_window, tr("Open Overlay"),
                                            QString::fromStdString(logPath(
                                                m_window.m_store, m_window.session().filesFolder)),
                                            QString::fromLatin1(kLogFileFilter), &selected)
            .toStdString();
    };
    askPullRpm = [this](double proposed) -> std::optional<double> {
        bool ok = false;
        const int rpm = QInputDialog::getInt(&m_window, tr("Align on Pull"),
                                             tr("Align where the rpm rises through:"),
                                             static_cast<int>(proposed), 500, 12000, 100, &ok);
        return ok ? std::optional<double>(rpm) : std::nullopt;
    };
    chooseDifferenceItem = [this]() -> std::optional<int> {
        const SampleSource& shown = m_window.shownSource();
        const LogStoreSource overlayBase(*m_log);
        const WithDerivedItems overlay(overlayBase, m_window.session().mathItems);
        const auto& math = m_window.session().mathItems;
        QStringList names;
        std::vector<int> items;
        const int count = kFirstMathItem + (math ? math->count() : 0);
        for (int item = 0; item < count; ++item) {
            if (!shown.hasItem(item) || !overlay.hasItem(item)) continue;
            items.push_back(item);
            names << QString::fromStdString(item < kFirstMathItem
                                                ? m_window.session().trace.label(item)
                                                : math->name(item - kFirstMathItem));
        }
        if (items.empty()) {
            tell("The shown log and " + m_name + " have no item logged in both.");
            return std::nullopt;
        }
        bool ok = false;
        const QString chosen =
            QInputDialog::getItem(&m_window, tr("Difference"), tr("Item:"), names, 0, false, &ok);
        if (!ok) return std::nullopt;
        return items[static_cast<std::size_t>(names.indexOf(chosen))];
    };
}

ChartCompare::~ChartCompare() {
    m_window.strip().setOverlay(nullptr);
}

void ChartCompare::buildMenu() {
    QMenuBar* bar = m_window.menuBar();
    QAction* before = nullptr;
    for (QAction* a : bar->actions())
        if (a->text() == tr("&Window")) before = a;
    QMenu* menu = new QMenu(tr("&Compare"), bar);
    menu->setObjectName(QStringLiteral("mnuCompare"));
    bar->insertMenu(before, menu);
    const auto item = [&](const QString& caption, const char* name, auto handler,
                          QKeySequence key = {}) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(key);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    item(tr("Open &Overlay..."), "mnuOverlayOpen", [this] {
        const std::string path = chooseOverlayToOpen ? chooseOverlayToOpen() : std::string();
        if (path.empty()) return;
        rememberLogPath(m_window.m_store, path);
        openOverlay(path);
    });
    item(tr("Overlay Log of &Previous Tune"), "mnuOverlayPrevious",
         [this] { overlayPreviousTune(); });
    menu->addSeparator();
    m_overlayOnly[0] = item(tr("&Align on Pull..."), "mnuOverlayAlign", [this] {
        const double proposed =
            static_cast<double>(m_window.m_store.integer(kPullRpmKey, kDefaultPullRpm));
        const std::optional<double> rpm = askPullRpm ? askPullRpm(proposed) : std::nullopt;
        if (!rpm) return;
        m_window.m_store.setInteger(kPullRpmKey, std::lround(*rpm));
        alignOnPull(*rpm);
    });
    // Shift makes the step a tenth of a second, as it makes the wheel scroll.
    m_overlayOnly[1] = item(
        tr("Nudge Overlay &Left"), "mnuOverlayLeft", [this] { nudge(-1, false); },
        QKeySequence(Qt::ALT | Qt::Key_Left));
    m_overlayOnly[2] = item(
        tr("Nudge Overlay &Right"), "mnuOverlayRight", [this] { nudge(1, false); },
        QKeySequence(Qt::ALT | Qt::Key_Right));
    // The coarse nudges have keys only: the menu stays short.
    for (const auto& [key, direction] :
         {std::pair{Qt::Key_Left, -1}, std::pair{Qt::Key_Right, 1}}) {
        QAction* coarse = new QAction(menu);
        coarse->setShortcut(QKeySequence(Qt::ALT | Qt::SHIFT | key));
        connect(coarse, &QAction::triggered, this, [this, d = direction] { nudge(d, true); });
        m_window.addAction(coarse);
    }
    m_overlayOnly[3] = item(tr("&Difference..."), "mnuOverlayDifference", [this] {
        const std::optional<int> chosen =
            chooseDifferenceItem ? chooseDifferenceItem() : std::nullopt;
        if (chosen) showDifference(*chosen);
    });
    menu->addSeparator();
    m_overlayOnly[4] = item(tr("&Close Overlay"), "mnuOverlayClose", [this] { closeOverlay(); });
    m_status = new QLabel(&m_window);
    m_status->setObjectName(QStringLiteral("lblOverlay"));
    m_window.statusBar()->addWidget(m_status, 1);
    updateStatus();
}

bool ChartCompare::openOverlay(const std::string& path) {
    auto log = std::make_unique<LogStore>();
    const std::string name = fileNameOf(path);
    if (!openLogFile(*log, m_window.session().trace, m_window.session().prompts, path, name))
        return false;
    m_log = std::move(log);
    if (!m_chart) m_chart = std::make_unique<StripChart>();
    m_name = name;
    m_tuneText = m_window.tuneOfLog ? m_window.tuneOfLog(path).text : std::string();
    m_step = sampleStepSeconds(LogStoreSource(*m_log));
    // A log starts where the shown one starts until it is aligned.
    m_shift.reset();
    m_shift.nudge(m_window.shownSource().timeSeconds(0) - m_log->LogTime(0) / 1000.0);
    m_differenceItem = -1;
    m_window.strip().setOverlay(m_chart.get());
    replot();
    return true;
}

std::string ChartCompare::shownLogPath() const {
    // Of a session, the part under the cursor: the parts may have run on different tunes.
    if (const LogTimeline* timeline = m_window.timeline()) {
        const int part = timeline->partOf(m_window.LookupIndex());
        return timeline->parts()[static_cast<std::size_t>(part)].path;
    }
    // Else the log in memory, whether the chart opened it or the monitor saved it.
    return m_window.m_live.logPath();
}

bool ChartCompare::overlayPreviousTune() {
    const std::string shown = shownLogPath();
    const PreviousTuneLog found =
        previousTuneLog && !shown.empty() ? previousTuneLog(shown) : PreviousTuneLog{};
    if (found.path.empty()) {
        tell(found.message.empty() ? kNoEarlierTuneLog : found.message);
        return false;
    }
    return openOverlay(found.path);
}

bool ChartCompare::alignOnPull(double rpm) {
    if (!m_log) return false;
    const SampleSource& shown = m_window.shownSource();
    const LogStoreSource overlay(*m_log);
    const double cursor = m_window.strip().cursorPosition();
    std::optional<double> shownStart = findPullStart(shown, rpm, {.from = cursor});
    if (!shownStart) shownStart = findPullStart(shown, rpm);
    if (!shownStart) {
        const std::string& live = m_window.m_live.logName();
        tell(noPullText(rpm, live.empty() ? std::string("Untitled.txt") : live));
        return false;
    }
    const std::optional<double> overlayStart =
        nearestPullStart(overlay, rpm, *shownStart - m_shift.seconds());
    if (!overlayStart) {
        tell(noPullText(rpm, m_name));
        return false;
    }
    m_shift.align(*shownStart, *overlayStart);
    replot();
    return true;
}

void ChartCompare::nudge(int direction, bool coarse) {
    if (!m_log) return;
    m_shift.nudge(direction * (coarse ? kCoarseNudgeSeconds : m_step));
    replot();
}

void ChartCompare::showDifference(int item) {
    if (!m_log) return;
    m_differenceItem = item;
    replot();
}

void ChartCompare::closeOverlay() {
    m_window.strip().setOverlay(nullptr);
    m_chart.reset();
    m_log.reset();
    m_differenceItem = -1;
    m_shift.reset();
    updateStatus();
}

void ChartCompare::replot() {
    if (m_log) {
        for (int t = 0; t < StripChart::kUserTraces; ++t)
            plotGhost(t);
        plotDifference();
        m_window.strip().redraw();
    }
    updateStatus();
}

void ChartCompare::replotTrace(int trace) {
    if (!m_log) return;
    plotGhost(trace);
    // The difference is drawn at the item's trace's scale.
    plotDifference();
}

void ChartCompare::plotGhost(int t) {
    const ChartConfig& config = m_window.config();
    const StripChart& shown = m_window.strip().chart();
    const LogStoreSource base(*m_log);
    const WithDerivedItems overlay(base, m_window.session().mathItems);
    m_chart->setPaneCount(shown.paneCount());
    m_chart->clearTrace(t);
    const int item = config.TraceItem[static_cast<std::size_t>(t)] - 1;
    if (item < 0 || !overlay.hasItem(item)) return;
    const int pane = shown.shownPane(t);
    m_chart->setTracePane(t, pane);
    m_chart->setTraceColour(t, ghostColour(shown.traceColour(t), shown.pane(pane).backColour));
    const TraceScale scale = traceScale(config, t);
    const double shift = m_shift.seconds();
    for (int s = 0; s < overlay.sampleCount(); ++s)
        m_chart->plot(t, overlay.timeSeconds(s) + shift, scale.y(overlay.value(item, s)));
}

void ChartCompare::plotDifference() {
    m_chart->clearTrace(kDifferenceTrace);
    if (m_differenceItem < 0) return;
    const ChartConfig& config = m_window.config();
    const auto& math = m_window.session().mathItems;
    const SampleSource& shown = m_window.shownSource();
    const LogStoreSource overlayBase(*m_log);
    const WithDerivedItems overlay(overlayBase, math);
    const std::vector<double> d =
        differenceTrace(shown, overlay, m_differenceItem, m_shift.seconds());
    // In the pane of the item's trace, else the last pane.
    int trace = -1;
    for (int t = 0; t < ChartConfig::kUserTraces && trace < 0; ++t)
        if (config.TraceItem[static_cast<std::size_t>(t)] == m_differenceItem + 1) trace = t;
    const StripChart& chart = m_window.strip().chart();
    const int pane = trace >= 0 ? chart.shownPane(trace) : chart.paneCount() - 1;
    const TraceScale scale = differenceScale(config, trace, pane, d);
    m_chart->setTracePane(kDifferenceTrace, pane);
    m_chart->setTraceColour(kDifferenceTrace, kDifferenceColour);
    for (int s = 0; s < shown.sampleCount(); ++s)
        if (!std::isnan(d[static_cast<std::size_t>(s)]))
            m_chart->plot(kDifferenceTrace, shown.timeSeconds(s),
                          scale.y(d[static_cast<std::size_t>(s)]));
}

QString ChartCompare::statusText() const {
    return m_status->text();
}

void ChartCompare::updateStatus() {
    for (QAction* a : m_overlayOnly)
        a->setEnabled(m_log != nullptr);
    if (!m_log) {
        m_status->clear();
        m_status->setVisible(false);
        return;
    }
    std::string text = m_name + " overlaid";
    if (!m_tuneText.empty()) text += ", " + m_tuneText;
    text += ", " + shiftText(m_shift.seconds());
    if (m_differenceItem >= 0) {
        const auto& math = m_window.session().mathItems;
        text += ", difference of " + (m_differenceItem < kFirstMathItem
                                          ? m_window.session().trace.label(m_differenceItem)
                                      : math ? math->name(m_differenceItem - kFirstMathItem)
                                             : std::string());
    }
    m_status->setText(QString::fromStdString(text));
    m_status->setVisible(true);
}

void ChartCompare::tell(const std::string& text) {
    m_window.session().prompts.tell(text, MessageIcon::Exclamation);
}

}  // namespace tunalyx
