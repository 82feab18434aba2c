#include "knock/knock_window.h"

#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "autotune/proposal_text.h"
#include "autotune/qt_analysis_grid.h"
#include "autotune/target_afr.h"
#include "knock/knock_text.h"
#include "monitor/log_file.h"
#include "ui/qt_cell_colour.h"
#include "ui/qt_text.h"
#include "ui/qt_window_placement.h"

namespace tunalyx {

namespace {

const WindowPlacement kKnockPlacement{105, 600, 8400, 14000, 0};
// As often as Auto Tune follows a run: knock shows within seconds of happening.
constexpr int kLiveMs = 5000;
const char* const kMaxRetardKey = "KnockMaxRetard";
const char* const kLocksKey = "KnockLocks";

QString swatch(const QString& text, CellColour background) {
    return QStringLiteral("<span style=\"background-color:%1\">&nbsp;%2&nbsp;</span>")
        .arg(cellQColor(background).name(), text);
}

// The colours a grid cell can have, each with what it means.
QString legendText() {
    KnockCell least{KnockVerdict::Retard};
    least.oldValue = 1;
    KnockCell most = least;
    most.oldValue = 3;
    const auto colour = [&](const KnockCell& c) {
        return knockCellLook(c, false, most.oldValue).cell.background;
    };
    return QObject::tr("Events in each cell, and the new value where retard is proposed: ") +
           swatch(QObject::tr("watched"), colour(KnockCell{KnockVerdict::Watch})) +
           QStringLiteral(" ") + swatch(QObject::tr("retard 1 degree"), colour(least)) +
           swatch(QObject::tr("to the most per pass"), colour(most)) + QStringLiteral(" ") +
           swatch(QObject::tr("retarded already"),
                  colour(KnockCell{KnockVerdict::AlreadyRetarded})) +
           QObject::tr(
               " <span style=\"color:%1; font-weight:bold\">Blue frame</span>: lean knock, "
               "fix fuel first. Hatched: locked.")
               .arg(cellQColor(leanKnockFrame()).name());
}

}  // namespace

KnockWindow::KnockWindow(Session& session, LiveRun& live, SettingsStore& store, QWidget* parent)
    : QMainWindow(parent, Qt::Window),
      m_session(session),
      m_live(live),
      m_store(store),
      m_liveRun(live.log()),
      m_logs(session, live, kIgnMap, AnalysedLogs::An1NotAfr::Read) {
    setObjectName(QStringLiteral("frmKnock"));
    setWindowTitle(tr("Knock"));
    auto* page = new QWidget(this);
    auto* v = new QVBoxLayout(page);
    auto* commands = new QHBoxLayout;
    QPushButton* analyseButton = analysisButton(tr("&Analyse"), "cmdAnalyse", page);
    QPushButton* open = analysisButton(tr("&Open Logs..."), "cmdOpenLogs", page);
    QPushButton* clear = analysisButton(tr("&Clear Logs"), "cmdClearLogs", page);
    m_cmdApply = analysisButton(tr("A&pply"), "cmdApply", page);
    QPushButton* lock = analysisButton(tr("&Lock"), "cmdLock", page);
    QPushButton* unlock = analysisButton(tr("&Unlock"), "cmdUnlock", page);
    for (QPushButton* b : {analyseButton, open, clear, m_cmdApply, lock, unlock})
        commands->addWidget(b);
    commands->addSpacing(12);
    m_txtMaxRetard = new QDoubleSpinBox(page);
    m_txtMaxRetard->setObjectName(QStringLiteral("txtMaxRetard"));
    m_txtMaxRetard->setRange(1, 10);
    m_txtMaxRetard->setDecimals(0);
    m_txtMaxRetard->setSuffix(tr(" degrees"));
    commands->addWidget(new QLabel(tr("Max retard per pass"), page));
    commands->addWidget(m_txtMaxRetard);
    commands->addStretch(1);
    v->addLayout(commands);

    m_lblLogs = new QLabel(page);
    m_lblLogs->setObjectName(QStringLiteral("lblLogs"));
    v->addWidget(m_lblLogs);
    m_lblTunes = new QLabel(page);
    m_lblTunes->setObjectName(QStringLiteral("lblTunes"));
    m_lblTunes->setWordWrap(true);
    m_lblTunes->hide();
    v->addWidget(m_lblTunes);
    m_grid = analysisGrid(m_session, QStringLiteral("10.0\u2192-10"), page);
    m_grid->setObjectName(QStringLiteral("grdKnock"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setItemDelegate(new AnalysisCellDelegate(m_grid));
    v->addWidget(m_grid);
    auto* legend = new QLabel(legendText(), page);
    legend->setObjectName(QStringLiteral("lblLegend"));
    legend->setWordWrap(true);
    v->addWidget(legend);
    m_lblSummary = new QLabel(page);
    m_lblSummary->setObjectName(QStringLiteral("lblSummary"));
    m_lblSummary->setWordWrap(true);
    QFont bold = m_lblSummary->font();
    bold.setBold(true);
    m_lblSummary->setFont(bold);
    v->addWidget(m_lblSummary);
    v->addStretch(1);
    setCentralWidget(page);
    statusBar();

    applyPlacement(*this, loadWindowPlacement(m_store, "Knock", kKnockPlacement));
    m_locks = locksOf(m_store.text(kLocksKey, ""));
    m_txtMaxRetard->setValue(
        parseFieldNumber(m_store.text(kMaxRetardKey, "")).value_or(KnockSettings{}.maxRetard));
    connect(m_txtMaxRetard, &QDoubleSpinBox::valueChanged, this, [this](double degrees) {
        m_store.setValue(kMaxRetardKey, shortestDecimal(degrees));
        reevaluate();
    });

    connect(analyseButton, &QPushButton::clicked, this, &KnockWindow::analyse);
    connect(open, &QPushButton::clicked, this, &KnockWindow::openLogs);
    connect(clear, &QPushButton::clicked, this, [this] {
        m_logs.clear();
        reevaluate();
    });
    connect(m_cmdApply, &QPushButton::clicked, this, &KnockWindow::apply);
    connect(lock, &QPushButton::clicked, this, [this] { setSelectedLocked(true); });
    connect(unlock, &QPushButton::clicked, this, [this] { setSelectedLocked(false); });

    chooseLogs = [this] {
        const QStringList paths = QFileDialog::getOpenFileNames(
            this, tr("Open Logs"), QString::fromStdString(logPath(m_store, m_session.filesFolder)),
            QString::fromLatin1(kLogFileFilter));
        std::vector<std::string> out;
        for (const QString& p : paths)
            out.push_back(p.toStdString());
        if (!out.empty()) rememberLogPath(m_store, out.front());
        return out;
    };

    // Counting follows the run as it is logged; between runs the timer finds nothing new.
    m_live.addConsumer(&m_liveRun);
    // Opened while a run is logged, it counts the run from its first sample.
    m_liveRun.joinRun(m_live.running(), m_live.part());
    m_liveTimer.setInterval(kLiveMs);
    connect(&m_liveTimer, &QTimer::timeout, this, &KnockWindow::liveTick);
    m_liveTimer.start();
    m_lblLogs->setText(tr("Analyse reads the log in memory; Open Logs adds log files to it."));
    showAnalysis();
}

KnockWindow::~KnockWindow() {
    m_live.removeConsumer(&m_liveRun);
}

KnockSettings KnockWindow::settings() const {
    KnockSettings s;
    s.maxRetard = m_txtMaxRetard->value();
    return s;
}

void KnockWindow::analyse() {
    m_tune = tuneMapOf(m_session.maps, kIgnMap,
                       LoadMapAxes(m_session.codec, m_session.maps.MapRefBlock));
    evaluate();
}

void KnockWindow::reevaluate() {
    if (m_tune)
        evaluate();
    else
        showAnalysis();
}

void KnockWindow::evaluate() {
    const LogsToRead read = m_logs.collect(m_liveRun, history ? history() : nullptr);
    std::vector<KnockLog> logs;
    for (const LogToRead& l : read.logs)
        logs.emplace_back(l.log, l.ranOn, l.name, l.an1IsAfr);
    const QString notes = latin1(read.notesText());
    m_lblLogs->setText(latin1(read.logsLine()));
    m_lblTunes->setText(notes);
    m_lblTunes->setVisible(!notes.isEmpty());
    m_logCount = logs.size();
    if (logs.empty()) {
        m_analysis.reset();
    } else {
        // Lean knock is told against the target A/F Auto Tune tunes the fuel to; its file is read
        // again only when Auto Tune keeps another, so that a damaged one is told once.
        if (const std::string file = targetAfrFile(m_store); file != m_targetFile) {
            m_targetFile = file;
            m_target = openKeptTargetAfr(file, m_session.prompts);
        }
        m_analysis = analyseKnock(logs, *m_tune, m_target.value_or(defaultTargetAfr(m_tune->axes)),
                                  m_locks, settings());
    }
    showAnalysis();
}

void KnockWindow::openLogs() {
    std::vector<std::string> paths = chooseLogs ? chooseLogs() : std::vector<std::string>{};
    if (paths.empty()) return;
    if (const std::string status = m_logs.open(std::move(paths)); !status.empty())
        statusBar()->showMessage(latin1(status));
    analyse();
}

void KnockWindow::showAnalysis() {
    const NumberLocale& locale = m_session.maps.locale();
    const double maxRetard = m_txtMaxRetard->value();
    const RawText valueText = [this](std::int32_t raw) {
        return m_session.maps.fText(kIgnMap, raw);
    };
    m_grid->setUpdatesEnabled(false);
    for (int row = 0; row < kMapRows; ++row) {
        for (int col = 0; col < kMapCols; ++col) {
            const auto r = static_cast<std::size_t>(row);
            const auto c = static_cast<std::size_t>(col);
            const KnockCell cell = m_analysis ? m_analysis->cells[r][c] : KnockCell{};
            const bool locked = m_locks[r][c];
            const KnockLook look = knockCellLook(cell, locked, maxRetard);
            QTableWidgetItem* item = m_grid->item(row, col);
            showAnalysisCell(*item, QString::fromStdString(knockCellText(cell, valueText, locale)),
                             look.cell,
                             m_analysis ? knockToolTip(cell, locked, locale) : std::string());
            item->setData(kFrameRole,
                          look.leanFrame ? QVariant(cellQColor(leanKnockFrame())) : QVariant());
        }
    }
    m_grid->setUpdatesEnabled(true);
    m_lblSummary->setText(m_analysis ? latin1(knockSummary(*m_analysis, m_logCount)) : QString());
    m_lblSummary->setStyleSheet(
        m_analysis && !m_analysis->problem.empty() ? QStringLiteral("color: #a00000;") : QString());
    m_cmdApply->setEnabled(m_analysis && m_analysis->changedCells() > 0);
}

void KnockWindow::apply() {
    if (m_session.compareMode) {
        statusBar()->showMessage(tr("Compare mode shows another tune: end it to apply."));
        return;
    }
    if (!m_analysis) return;
    const std::optional<CellRange> only = selectedBlock(*m_grid);
    EditHistory& edits = m_session.history;
    edits.begin();
    const std::size_t cells = applyRetard(m_session.maps, *m_analysis, only).size();
    std::string label = std::string("Knock ") + mapTabCaption(kIgnMap);
    if (only) label += " " + cellRangeText(cellsWithin(*only, kMapRows, kMapCols));
    edits.commit(label);
    if (cells > 0) {
        m_session.view().GridDisplay(kIgnMap);
        if (applied) applied();
    }
    statusBar()->showMessage(cells == 0 ? tr("No cell to change.")
                                        : tr("%1 cells of the Ign Map retarded.").arg(cells));
}

void KnockWindow::setSelectedLocked(bool locked) {
    lockSelected(*m_grid, m_locks, locked);
    m_store.setValue(kLocksKey, locksText(m_locks));
    reevaluate();
}

void KnockWindow::liveTick() {
    // Off while a transfer runs; the samples wait.
    if (!isEnabled()) return;
    if (!m_liveRun.takeNewSamples()) return;
    analyse();
}

void KnockWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    keepOnScreen(*this);
    // A window manager puts its frame round the window after it is shown.
    QTimer::singleShot(0, this, [this] { keepOnScreen(*this); });
}

void KnockWindow::closeEvent(QCloseEvent* event) {
    saveWindowPlacement(m_store, "Knock", placementOf(*this));
    QMainWindow::closeEvent(event);
    emit closed();
}

}  // namespace tunalyx
