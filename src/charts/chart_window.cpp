#include "charts/chart_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QMenuBar>

#include <algorithm>
#include <cmath>
#include <exception>

#include "charts/chart_setup_file.h"
#include "charts/chart_window_compare.h"
#include "charts/setup_chart_dialog.h"
#include "model/descriptors.h"
#include "model/number_format.h"
#include "model/trace_items.h"
#include "monitor/live_decode.h"
#include "monitor/log_file.h"
#include "monitor/monitor_window.h"
#include "monitor/sample_source.h"
#include "transfer/data_file.h"
#include "ui/qt_text.h"
#include "ui/qt_window_placement.h"

namespace tunalyx {

namespace {

constexpr const char* kCaptionPrefix = "Corvalink SR20DET - ";
constexpr double kLiveWindowSeconds = 10;
const WindowPlacement kChartPlacement{105, 0, 3495, 10395, 0};
constexpr const char* kSetupFilter = "All Files (*.*);;Corvalink Chart Setup Files (*.dcf)";
constexpr const char* kSetupSaveFilter = "All Files (*.*);;Corvalink Chart Setup Files(*.dcf)";

double seconds(std::int32_t ms) {
    return static_cast<double>(ms) / 1000.0;
}

// A value as the monitor shows its item: in the item's own format where it has one, otherwise
// to three decimals at most. A single rounds from its own digits.
std::string valueText(const TraceItems& items, int item, double value, const NumberLocale& locale) {
    const Precision precision = itemPrecision(items, item);
    const std::vector<std::string_view> fields = splitFields(traceDescriptor(item));
    if (fields.size() == 6) return formatValue(value, fields[5], locale, precision);
    return formatValue(std::round(value * 1000) / 1000, "", locale);
}

}  // namespace

ChartWindow::ChartWindow(Session& session, LiveRun& live, MonitorWindow& monitor,
                         SettingsStore& store, FileWriter& files, QWidget* parent)
    : QMainWindow(parent, Qt::Window),
      m_session(session),
      m_live(live),
      m_log(live.log()),
      m_monitor(monitor),
      m_store(store),
      m_files(files),
      m_strip(new StripChartWidget(this)) {
    setObjectName(QStringLiteral("frmChart"));
    setCentralWidget(m_strip);
    setLogName(live.logName().empty() ? "Untitled.txt" : live.logName());
    buildMenus();
    m_compare = std::make_unique<ChartCompare>(*this);
    m_playTimer.setSingleShot(true);
    connect(&m_playTimer, &QTimer::timeout, this, &ChartWindow::playNext);
    connect(m_strip, &StripChartWidget::cursorMoved, this, &ChartWindow::Strip1_CursorMoved);
    connect(m_strip, &StripChartWidget::keyDown, this, &ChartWindow::Strip1_KeyDown);

    const auto folder = [this](std::string path) { return QString::fromStdString(path); };
    chooseLogToOpen = [this, folder] {
        QString selected = QStringLiteral("Txt Files (*.txt)");
        return QFileDialog::getOpenFileName(this, tr("Open Log"),
                                            folder(logPath(m_store, m_session.filesFolder)),
                                            QString::fromLatin1(kLogFileFilter), &selected)
            .toStdString();
    };
    chooseFileToSave = [this](const char* title, const char* filter, const std::string& start) {
        // The kind of file saved, not "All Files", is selected.
        const QString filters = QString::fromLatin1(filter);
        QString selected = filters.section(QStringLiteral(";;"), -1);
        return QFileDialog::getSaveFileName(this, tr(title), QString::fromStdString(start), filters,
                                            &selected)
            .toStdString();
    };
    chooseSetupToOpen = [this, folder] {
        QString selected = QStringLiteral("Corvalink Chart Setup Files (*.dcf)");
        return QFileDialog::getOpenFileName(this, tr("Load Chart Setup"),
                                            folder(chartSetupPath(m_store, m_session.filesFolder)),
                                            QString::fromLatin1(kSetupFilter), &selected)
            .toStdString();
    };

    // Form_Load
    applyPlacement(*this, loadWindowPlacement(m_store, "Chart", kChartPlacement));
    loadChartSettings(m_store, m_config);
    useMathItems();
    m_live.addConsumer(this);
    initCharts();
}

ChartWindow::~ChartWindow() {
    m_playTimer.stop();
    m_live.removeConsumer(this);
}

void ChartWindow::buildMenus() {
    const auto item = [this](QMenu* menu, const QString& caption, const char* name) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    QMenu* file = menuBar()->addMenu(tr("&File"));
    connect(item(file, tr("&Open"), "mnuOpen"), &QAction::triggered, this,
            [this] { mnuOpen_Click(); });
    buildSessionMenu(file);
    connect(item(file, tr("Save &As"), "mnuSaveAs"), &QAction::triggered, this,
            [this] { m_monitor.cmdSave_Click(); });
    connect(item(file, tr("Export &CSV"), "mnuExportCsv"), &QAction::triggered, this,
            &ChartWindow::exportCsv);
    connect(item(file, tr("Save &Image"), "mnuSaveImage"), &QAction::triggered, this,
            &ChartWindow::saveImage);
    file->addSeparator();
    connect(item(file, tr("E&xit"), "mnuExit"), &QAction::triggered, this, &QWidget::close);

    QMenu* log = menuBar()->addMenu(tr("&Log"));
    connect(item(log, tr("&Start"), "mnuLogStart"), &QAction::triggered, this,
            [this] { m_monitor.cmdLogStart_Click(); });
    connect(item(log, tr("&End"), "mnuLogEnd"), &QAction::triggered, this,
            [this] { m_monitor.cmdLogStop_Click(); });
    m_mnuLogPlay = item(log, tr("Play Back"), "mnuLogPlay");
    m_mnuLogPlay->setCheckable(true);
    connect(m_mnuLogPlay, &QAction::triggered, this, [this] {
        // The item shows the state; the handler decides it.
        m_mnuLogPlay->setChecked(m_playing);
        mnuLogPlay_Click();
    });
    setUpMarkers(log);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    QAction* fit = item(view, tr("&Fit Whole Log"), "mnuFitAll");
    fit->setShortcut(QKeySequence(Qt::Key_Home));
    connect(fit, &QAction::triggered, this, [this] { m_strip->fitAll(); });

    QMenu* window = menuBar()->addMenu(tr("&Window"));
    connect(item(window, tr("&Map Watch"), "mnuMapWatch"), &QAction::triggered, this, [this] {
        if (showMapWatch) showMapWatch();
    });
    const auto watchItem = [&](const QString& caption, const char* name,
                               std::function<void()> WatchCommands::*command) {
        QAction* a = item(window, caption, name);
        connect(a, &QAction::triggered, this, [this, command] {
            if (watchCommands.*command) (watchCommands.*command)();
        });
        return a;
    };
    m_mnuAddWatch = watchItem(tr("&Add Watch"), "mnuAddWatch", &WatchCommands::add);
    watchItem(tr("&Hide Watchs"), "mnuHideWatches", &WatchCommands::hide);
    watchItem(tr("&Load Watch"), "mnuLoadWatches", &WatchCommands::load);
    watchItem(tr("&Save Watchs"), "mnuSaveWatches", &WatchCommands::save);

    QMenu* setup = menuBar()->addMenu(tr("&Setup"));
    connect(item(setup, tr("&Chart"), "mnuSetupChart"), &QAction::triggered, this,
            &ChartWindow::mnuSetupChart_Click);
    connect(item(setup, tr("&Load"), "mnuSetupLoad"), &QAction::triggered, this,
            &ChartWindow::mnuSetupLoad_Click);
    connect(item(setup, tr("&Save"), "mnuSetupSave"), &QAction::triggered, this,
            &ChartWindow::mnuSetupSave_Click);
    connect(item(setup, tr("&Math Items..."), "mnuMathItems"), &QAction::triggered, this,
            &ChartWindow::showMathItems);
    connect(item(setup, tr("&Monitor"), "mnuMonitor"), &QAction::triggered, this, [this] {
        m_monitor.show();
        m_monitor.raise();
    });
    connect(item(setup, tr("&Auxiliary"), "mnuAuxiliary"), &QAction::triggered, this, [this] {
        if (showAuxSetup) showAuxSetup();
    });
}

void ChartWindow::setLogName(const std::string& name) {
    setWindowTitle(QString::fromLatin1(kCaptionPrefix) + QString::fromStdString(name));
}

void ChartWindow::applyTracesToStrip() {
    StripChart& chart = m_strip->chart();
    chart.setPaneCount(m_config.Charts);
    for (int t = 0; t < ChartConfig::kUserTraces; ++t) {
        const auto at = static_cast<std::size_t>(t);
        chart.setTracePane(t, m_config.TraceChart[at]);
        chart.setTraceColour(t, m_config.TraceColour[at]);
        StripCaption& caption = chart.caption(t);
        caption.colour = m_config.TraceColour[at];
        caption.text = captionText(t);
        caption.across = kCaptionAcross;
    }
    for (const CaptionPlace& place : captionPlaces(m_config))
        chart.caption(place.trace).along = place.along;
    // An empty chart over a log would look like a log without data.
    const bool noTrace = std::none_of(m_config.TraceItem.begin(), m_config.TraceItem.end(),
                                      [](int item) { return item >= 1; });
    m_strip->setHint(noTrace ? tr("No traces: choose items with Setup > Chart.") : QString());
    if (m_compare) m_compare->replot();
}

std::string ChartWindow::captionText(int trace) const {
    const auto at = static_cast<std::size_t>(trace);
    const int item = m_config.TraceItem[at];
    if (item < 1) return {};
    // A tuner reads numbers: the value under the cursor follows the caption.
    if (m_readout < 0 || m_readout > lastSample()) return m_config.TraceCaption[at];
    const double value = m_shown.value(item - 1, m_readout);
    if (item > kTraceItemCount) return m_config.TraceCaption[at] + "  " + mathReadout(value);
    if (std::isnan(value)) return m_config.TraceCaption[at];  // not logged in this part
    return m_config.TraceCaption[at] + "  " +
           valueText(m_session.trace, item - 1, value, m_session.codec.locale());
}

void ChartWindow::showReadout(int sample) {
    m_readout = sample;
    StripChart& chart = m_strip->chart();
    for (int t = 0; t < ChartConfig::kUserTraces; ++t)
        chart.caption(t).text = captionText(t);
    m_strip->redraw();
}

void ChartWindow::initCharts() {
    try {
        applyTracesToStrip();
        for (int p = 0; p < m_config.Charts; ++p)
            initChart(p);
        initTraces();
    } catch (const std::exception&) {
        m_session.prompts.tell("Error in frmChart.initCharts", MessageIcon::Critical);
    }
}

void ChartWindow::initChart(int pane) {
    StripPane& p = m_strip->chart().pane(pane);
    const auto at = static_cast<std::size_t>(pane);
    p.grid = true;
    p.backColour = m_config.ChartBackColour[at];
    p.yMin = m_config.ChartMin[at];
    p.yMax = m_config.ChartMax[at];
    m_strip->redraw();
}

void ChartWindow::initTrace(int trace) {
    StripChart& chart = m_strip->chart();
    chart.clearTrace(trace);
    const TraceScale scale = traceScale(m_config, trace);
    m_scales[static_cast<std::size_t>(trace)] = scale;
    const int item = m_config.TraceItem[static_cast<std::size_t>(trace)];
    if (item >= 1 && m_timeline)
        chart.setTraceSource(
            trace, {&m_shown, item - 1, scale.scale, scale.offset, 0, m_timeline->gaps()});
    else if (item >= 1)
        for (int s = 0; s <= m_log.LogLast; ++s)
            chart.plot(trace, seconds(m_log.LogTime(s)), scale.y(m_shown.value(item - 1, s)));
    if (m_compare) m_compare->replotTrace(trace);
    m_strip->redraw();
}

void ChartWindow::initTraces() {
    for (int t = 0; t < ChartConfig::kUserTraces; ++t)
        initTrace(t);
    initXTrace();
}

void ChartWindow::initXTrace() {
    StripChart& chart = m_strip->chart();
    chart.clearTrace(StripChart::kTimeTrace);
    if (m_timeline)
        chart.setTraceSource(StripChart::kTimeTrace,
                             {&m_shown, TraceSource::kSampleIndex, 1, 0, 0, {}});
    for (int s = 0; s <= m_log.LogLast && !m_timeline; ++s)
        chart.plot(StripChart::kTimeTrace, seconds(m_log.LogTime(s)), s);
    if (m_compare) m_compare->replot();
}

void ChartWindow::setAddWatchEnabled(bool enabled) {
    m_mnuAddWatch->setEnabled(enabled);
}

int ChartWindow::LookupIndex() const {
    const double index = m_strip->chart().valueAtCursor(StripChart::kTimeTrace);
    return std::clamp(static_cast<int>(index), 0, lastSample());
}

void ChartWindow::runStarted() {
    // A run that saves its logs itself (a continuous one) names the file it is logging into.
    if (!m_live.logName().empty()) setLogName(m_live.logName());
    LogPlayStop();
    showLogInMemory();
    showReadout(-1);
    StripChart& chart = m_strip->chart();
    chart.clear();
    chart.setWindow(0, kLiveWindowSeconds);
    chart.setCursor(0);
    m_lastIndex = -1;
    showMarkers();
}

void ChartWindow::samplePublished(const PublishedSample& sample) {
    StripChart& chart = m_strip->chart();
    const double x = seconds(sample.timeMs);
    for (int t = 0; t < ChartConfig::kUserTraces; ++t) {
        const int item = m_config.TraceItem[static_cast<std::size_t>(t)];
        if (item >= 1)
            chart.plot(t, x,
                       m_scales[static_cast<std::size_t>(t)].y(
                           item > kTraceItemCount
                               ? liveMathValue(item - 1, sample.index)
                               : sample.values.value[static_cast<std::size_t>(item - 1)]));
    }
    chart.plot(StripChart::kTimeTrace, x, sample.index);
    // The newest sample stays in view, the window running along with it.
    if (x > chart.windowUpper()) chart.setWindow(x - chart.windowWidth(), x);
}

void ChartWindow::framePresented() {
    // Drawn once a frame, whatever number of samples it brought; a hidden chart only collects.
    if (isVisible()) m_strip->redraw();
}

void ChartWindow::runEnded() {
    showReadout(LookupIndex());
}

void ChartWindow::logSaved(const SavedLog& saved) {
    setLogName(fileNameOf(saved.path));
}

void ChartWindow::showSample(int sample) {
    showReadout(sample);
    showMarkerReached(sample);
    emit sampleShown(sample);
}

void ChartWindow::keepCursorInView() {
    StripChart& chart = m_strip->chart();
    const TimeWindow w = tunalyx::keepCursorInView({chart.windowLower(), chart.windowUpper()},
                                                   chart.cursor(), chart.scrollLimit());
    m_strip->setWindow(w.lo, w.hi);
}

void ChartWindow::Strip1_CursorMoved(double x) {
    if (x == m_lastCursor) return;
    m_lastCursor = x;
    const int i = LookupIndex();
    if (i == m_lastIndex) return;
    keepCursorInView();
    showSample(i);
    // Playback measures its pace from here now.
    m_playStartIndex = i;
    m_playStartTick = m_session.link.clock().tickMs();
    m_lastIndex = i;
}

void ChartWindow::Strip1_KeyDown(int key, Qt::KeyboardModifiers modifiers) {
    if (key != Qt::Key_Left && key != Qt::Key_Right) return;
    const int sample =
        arrowStep(LookupIndex(), key == Qt::Key_Left ? ChartArrow::Left : ChartArrow::Right,
                  modifiers.testFlag(Qt::ControlModifier), lastSample());
    m_strip->setCursorPosition(sampleSeconds(sample));
    m_strip->redraw();
    keepCursorInView();
    m_lastIndex = sample;
    showSample(sample);
}

void ChartWindow::mnuLogPlay_Click() {
    if (m_playing) {
        LogPlayStop();
        return;
    }
    m_playing = true;
    m_mnuLogPlay->setChecked(true);
    m_playStartTick = m_session.link.clock().tickMs();
    m_playStartIndex = LookupIndex();
    playNext();
}

void ChartWindow::playNext() {
    if (!m_playing) return;
    try {
        const std::optional<int> next = nextPlaySample(LookupIndex(), lastSample());
        if (!next) {
            LogPlayStop();
            return;
        }
        m_strip->setCursorPosition(sampleSeconds(*next));
        m_strip->redraw();
        keepCursorInView();
        m_lastIndex = *next;
        showSample(*next);
        const std::int64_t due =
            playDueTick(m_playStartTick, logMilliseconds(sampleSeconds(m_playStartIndex)),
                        logMilliseconds(sampleSeconds(*next)));
        const std::int64_t wait = due - m_session.link.clock().tickMs();
        m_playTimer.start(static_cast<int>(std::clamp<std::int64_t>(wait, 0, 60'000)));
    } catch (const std::exception&) {
        LogPlayStop();
        m_session.prompts.tell("Error during frmChart.LogPlay", MessageIcon::Critical);
    }
}

void ChartWindow::LogPlayStop() {
    m_playing = false;
    m_playTimer.stop();
    if (m_mnuLogPlay) m_mnuLogPlay->setChecked(false);
}

bool ChartWindow::mnuOpen_Click() {
    if (m_monitor.CheckUnsavedLog() == MessageAnswer::Cancel) return false;
    m_log.LogUnsaved = false;
    const std::string path = chooseLogToOpen ? chooseLogToOpen() : std::string();
    if (path.empty()) return false;
    rememberLogPath(m_store, path);
    LogPlayStop();
    const std::string name = fileNameOf(path);
    if (!openLogFile(m_log, m_session.trace, m_session.prompts, path, name)) return false;
    showLogInMemory();
    initCharts();
    // A later part of a continuous run begins where the one before it ended.
    const double first = seconds(m_log.LogTime(0));
    const double last = seconds(m_log.LogTime(m_log.LogLast));
    m_strip->setWindow(first, std::max(first + 10.0, last));
    m_strip->setCursorPosition(first);
    m_lastIndex = -1;
    showReadout(0);
    const RanOn ranOn = tuneOfLog ? tuneOfLog(path) : RanOn{};
    m_live.logReplaced(path, ranOn.tunes, markersOfLog(path));
    showMarkers();
    setLogName(ranOn.text.empty() ? name : name + " - " + ranOn.text);
    return true;
}

void ChartWindow::mnuSetupChart_Click() {
    SetupChartDialog dialog(*this, m_session.trace);
    dialog.exec();
}

void ChartWindow::mnuSetupSave_Click() {
    const std::string path =
        chooseFileToSave
            ? chooseFileToSave("Save Chart Setup", kSetupSaveFilter,
                               chartSetupPath(m_store, m_session.filesFolder) + "Setup1.dcf")
            : std::string();
    if (path.empty()) return;
    rememberChartSetupPath(m_store, path);
    const std::string error = saveChartSetup(
        m_config, m_session.trace, {m_session.VerName, m_session.VerNumber}, m_files, path);
    if (!error.empty()) m_session.prompts.tell(error, MessageIcon::Critical);
}

void ChartWindow::mnuSetupLoad_Click() {
    const std::string path = chooseSetupToOpen ? chooseSetupToOpen() : std::string();
    if (path.empty()) return;
    rememberChartSetupPath(m_store, path);
    if (openChartSetup(path, m_config, m_session.trace, {m_session.VerName, m_session.VerNumber},
                       m_session.prompts)) {
        useMathItems();
        initCharts();
    }
}

void ChartWindow::exportCsv() {
    const std::string path =
        chooseFileToSave ? chooseFileToSave("Export CSV", "CSV Files (*.csv)",
                                            logPath(m_store, m_session.filesFolder) + "Log.csv")
                         : std::string();
    if (path.empty()) return;
    // A session is written as the chart shows it, each of its logs' columns in turn.
    const std::string error = m_files.writeWhole(
        path, m_timeline ? samplesCsvText(*m_timeline, m_session.trace, m_session.mathItems.get(),
                                          Precision::Single)
                         : logCsvText(m_log, m_session.trace, m_session.mathItems.get()));
    if (!error.empty()) m_session.prompts.tell(error, MessageIcon::Critical);
}

void ChartWindow::saveImage() {
    const std::string path =
        chooseFileToSave ? chooseFileToSave("Save Image", "PNG Images (*.png)",
                                            logPath(m_store, m_session.filesFolder) + "Chart.png")
                         : std::string();
    if (path.empty()) return;
    if (!m_strip->grab().save(QString::fromStdString(path), "PNG"))
        m_session.prompts.tell("Cannot write " + path, MessageIcon::Critical);
}

void ChartWindow::closeEvent(QCloseEvent* event) {
    // Form_Unload: playback ends and the set-up is kept.
    LogPlayStop();
    saveWindowPlacement(m_store, "Chart", placementOf(*this));
    saveChartSettings(m_store, m_config);
    QMainWindow::closeEvent(event);
    emit closed();
}

}  // namespace tunalyx
