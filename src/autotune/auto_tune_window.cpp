#include "autotune/auto_tune_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "autotune/proposal_text.h"
#include "autotune/qt_analysis_grid.h"
#include "autotune/target_afr.h"
#include "monitor/log_file.h"
#include "transfer/data_file.h"
#include "ui/qt_cell_colour.h"
#include "ui/qt_text.h"
#include "ui/qt_window_placement.h"

namespace tunalyx {

namespace {

const WindowPlacement kAutoTunePlacement{105, 0, 10000, 14000, 0};
constexpr int kLiveMs = 5000;
const char* const kTargetFilter = "Target A/F (*.afr);;All Files (*.*)";

}  // namespace

AutoTuneWindow::AutoTuneWindow(Session& session, LiveRun& live, SettingsStore& store,
                               FileWriter& files, QWidget* parent)
    : QMainWindow(parent, Qt::Window),
      m_session(session),
      m_live(live),
      m_liveTune(live.log()),
      m_store(store),
      m_files(files),
      m_logs(session, live, kInjMap, AnalysedLogs::An1NotAfr::Refused) {
    setObjectName(QStringLiteral("frmAutoTune"));
    setWindowTitle(tr("Auto Tune"));
    auto* tabs = new QTabWidget(this);
    tabs->addTab(buildProposalTab(), tr("Proposal"));
    tabs->addTab(buildCurveTab(CurveKind::WarmUp), tr("Warm-up"));
    tabs->addTab(buildCurveTab(CurveKind::Pump), tr("Acceleration"));
    tabs->addTab(buildTargetTab(), tr("Target A/F"));
    setCentralWidget(tabs);
    // The default table follows the map's load axis, which a read or a file may have changed.
    connect(tabs, &QTabWidget::currentChanged, this, [this] { showTarget(); });
    statusBar();

    applyPlacement(*this, loadWindowPlacement(m_store, "AutoTune", kAutoTunePlacement));
    m_locks = locksOf(m_store.text("AutoTuneLocks", ""));
    const auto stored = [this](const char* key, double fallback) {
        return parseFieldNumber(m_store.text(key, "")).value_or(fallback);
    };
    m_txtMaxChange->setValue(stored("AutoTuneMaxChange", 10));
    m_txtMinSamples->setValue(stored("AutoTuneMinSamples", 10));
    const auto keep = [this](const char* key) {
        return [this, key](double v) {
            m_store.setValue(key, shortestDecimal(v));
            reevaluate();
        };
    };
    connect(m_txtMaxChange, &QDoubleSpinBox::valueChanged, this, keep("AutoTuneMaxChange"));
    connect(m_txtMinSamples, &QDoubleSpinBox::valueChanged, this, keep("AutoTuneMinSamples"));

    // A damaged file is named in a message and the defaults stay.
    const std::string kept = targetAfrFile(m_store);
    m_target = openKeptTargetAfr(kept, m_session.prompts);
    if (m_target) m_targetFile = kept;

    m_live.addConsumer(&m_liveTune);
    // Opened while a run is logged, it follows the run from its first sample.
    m_liveTune.joinRun(m_live.running(), m_live.part());
    m_liveTimer.setInterval(kLiveMs);
    connect(&m_liveTimer, &QTimer::timeout, this, &AutoTuneWindow::liveTick);

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
    chooseTargetToOpen = [this] {
        return QFileDialog::getOpenFileName(
                   this, tr("Load Target A/F"),
                   QString::fromStdString(mapPath(m_store, m_session.filesFolder)),
                   QString::fromLatin1(kTargetFilter))
            .toStdString();
    };
    chooseTargetToSave = [this] {
        const std::string name = m_targetFile.empty() ? "target.afr" : fileNameOf(m_targetFile);
        return QFileDialog::getSaveFileName(
                   this, tr("Save Target A/F"),
                   QString::fromStdString(mapPath(m_store, m_session.filesFolder) + name),
                   QString::fromLatin1(kTargetFilter))
            .toStdString();
    };
    m_lblLogs->setText(tr("Analyse reads the log in memory; Open Logs adds log files to it."));
    showProposal();
    showCurve(CurveKind::WarmUp);
    showCurve(CurveKind::Pump);
    showTarget();
}

AutoTuneWindow::~AutoTuneWindow() {
    m_live.removeConsumer(&m_liveTune);
}

QWidget* AutoTuneWindow::buildProposalTab() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* commands = new QHBoxLayout;
    QPushButton* analyseButton = analysisButton(tr("&Analyse"), "cmdAnalyse", page);
    QPushButton* open = analysisButton(tr("&Open Logs..."), "cmdOpenLogs", page);
    QPushButton* clear = analysisButton(tr("&Clear Logs"), "cmdClearLogs", page);
    m_cmdApply = analysisButton(tr("A&pply"), "cmdApply", page);
    m_cmdApplyPredictions = analysisButton(tr("Apply P&redictions"), "cmdApplyPredictions", page);
    QPushButton* lock = analysisButton(tr("&Lock"), "cmdLock", page);
    QPushButton* unlock = analysisButton(tr("&Unlock"), "cmdUnlock", page);
    for (QPushButton* b :
         {analyseButton, open, clear, m_cmdApply, m_cmdApplyPredictions, lock, unlock})
        commands->addWidget(b);
    commands->addStretch(1);
    v->addLayout(commands);

    auto* options = new QHBoxLayout;
    m_txtMaxChange = new QDoubleSpinBox(page);
    m_txtMaxChange->setObjectName(QStringLiteral("txtMaxChange"));
    m_txtMaxChange->setRange(0.5, 50);
    m_txtMaxChange->setDecimals(1);
    m_txtMaxChange->setSuffix(QStringLiteral(" %"));
    m_txtMinSamples = new QDoubleSpinBox(page);
    m_txtMinSamples->setObjectName(QStringLiteral("txtMinSamples"));
    m_txtMinSamples->setRange(1, 1000);
    m_txtMinSamples->setDecimals(0);
    m_chkLive = new QCheckBox(tr("Li&ve"), page);
    m_chkLive->setObjectName(QStringLiteral("chkLive"));
    m_chkApplyUpdate = new QCheckBox(tr("Apply and Up&date"), page);
    m_chkApplyUpdate->setObjectName(QStringLiteral("chkApplyUpdate"));
    m_chkApplyUpdate->setEnabled(false);
    options->addWidget(new QLabel(tr("Max change"), page));
    options->addWidget(m_txtMaxChange);
    options->addSpacing(12);
    options->addWidget(new QLabel(tr("Min samples"), page));
    options->addWidget(m_txtMinSamples);
    options->addSpacing(12);
    options->addWidget(m_chkLive);
    options->addWidget(m_chkApplyUpdate);
    options->addStretch(1);
    v->addLayout(options);

    m_lblLogs = new QLabel(page);
    m_lblLogs->setObjectName(QStringLiteral("lblLogs"));
    v->addWidget(m_lblLogs);
    m_lblTunes = new QLabel(page);
    m_lblTunes->setObjectName(QStringLiteral("lblTunes"));
    m_lblTunes->setWordWrap(true);
    m_lblTunes->hide();
    v->addWidget(m_lblTunes);
    m_grid = analysisGrid(m_session, QStringLiteral("+10.00"), page);
    m_grid->setObjectName(QStringLiteral("grdProposal"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setItemDelegate(new AnalysisCellDelegate(m_grid));
    v->addWidget(m_grid);
    m_lblReadings = new QLabel(page);
    m_lblReadings->setObjectName(QStringLiteral("lblReadings"));
    m_lblReadings->setWordWrap(true);
    v->addWidget(m_lblReadings);
    m_lblDiagnosis = new QLabel(page);
    m_lblDiagnosis->setObjectName(QStringLiteral("lblDiagnosis"));
    m_lblDiagnosis->setWordWrap(true);
    m_lblDiagnosis->setStyleSheet(QStringLiteral("color: #a00000; font-weight: bold;"));
    v->addWidget(m_lblDiagnosis);
    m_lblDelay = new QLabel(page);
    m_lblDelay->setObjectName(QStringLiteral("lblDelay"));
    m_lblDelay->setWordWrap(true);
    v->addWidget(m_lblDelay);
    auto* next = new QHBoxLayout;
    auto* nextCaption = new QLabel(tr("Drive next:"), page);
    nextCaption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    next->addWidget(nextCaption);
    m_lstDriveNext = new QListWidget(page);
    m_lstDriveNext->setObjectName(QStringLiteral("lstDriveNext"));
    m_lstDriveNext->setSelectionMode(QAbstractItemView::NoSelection);
    m_lstDriveNext->setFocusPolicy(Qt::NoFocus);
    // Five lines in view; the list is at most ten long.
    m_lstDriveNext->setFixedHeight(5 * m_lstDriveNext->fontMetrics().height() +
                                   2 * m_lstDriveNext->frameWidth() + 4);
    next->addWidget(m_lstDriveNext, 1);
    v->addLayout(next);
    v->addStretch(1);

    connect(analyseButton, &QPushButton::clicked, this, &AutoTuneWindow::analyse);
    connect(open, &QPushButton::clicked, this, &AutoTuneWindow::openLogs);
    connect(clear, &QPushButton::clicked, this, [this] {
        m_logs.clear();
        reevaluate();
    });
    connect(m_cmdApply, &QPushButton::clicked, this, &AutoTuneWindow::apply);
    connect(m_cmdApplyPredictions, &QPushButton::clicked, this, &AutoTuneWindow::applyPredicted);
    connect(lock, &QPushButton::clicked, this, [this] { setSelectedLocked(true); });
    connect(unlock, &QPushButton::clicked, this, [this] { setSelectedLocked(false); });
    connect(m_chkLive, &QCheckBox::toggled, this, &AutoTuneWindow::setLive);
    return page;
}

QWidget* AutoTuneWindow::buildCurveTab(CurveKind kind) {
    const bool warmUp = kind == CurveKind::WarmUp;
    CurveTab& tab = m_curves[tabOf(kind)];
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* commands = new QHBoxLayout;
    tab.apply = analysisButton(tr("A&pply"), warmUp ? "cmdApplyWarmUp" : "cmdApplyAccel", page);
    commands->addWidget(tab.apply);
    auto* curve = new QLabel(
        warmUp ? tr("Water Temp Correction, Corr 1") : tr("Accelerate Injector, Accel A"), page);
    commands->addSpacing(12);
    commands->addWidget(curve, 1);
    v->addLayout(commands);

    const QStringList headings =
        warmUp ? QStringList{tr("Coolant C"), tr("Held"),        tr("Proposed"),
                             tr("Change %"),  tr("Cold starts"), tr("Why")}
               : QStringList{tr("rpm"),      tr("Held ms"), tr("Proposed ms"),
                             tr("Change %"), tr("Tip-ins"), tr("Why")};
    tab.table = new QTableWidget(0, static_cast<int>(headings.size()), page);
    tab.table->setObjectName(warmUp ? QStringLiteral("grdWarmUp") : QStringLiteral("grdAccel"));
    tab.table->setHorizontalHeaderLabels(headings);
    tab.table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tab.table->setSelectionMode(QAbstractItemView::NoSelection);
    tab.table->setFocusPolicy(Qt::NoFocus);
    tab.table->verticalHeader()->hide();
    tab.table->setWordWrap(false);
    // The reason takes what the numbers leave.
    tab.table->horizontalHeader()->setStretchLastSection(true);
    v->addWidget(tab.table, 1);
    tab.used = new QLabel(page);
    tab.used->setObjectName(warmUp ? QStringLiteral("lblWarmUpUsed")
                                   : QStringLiteral("lblAccelUsed"));
    tab.used->setWordWrap(true);
    v->addWidget(tab.used);
    tab.problem = new QLabel(page);
    tab.problem->setObjectName(warmUp ? QStringLiteral("lblWarmUpProblem")
                                      : QStringLiteral("lblAccelProblem"));
    tab.problem->setWordWrap(true);
    tab.problem->setStyleSheet(QStringLiteral("color: #a00000; font-weight: bold;"));
    v->addWidget(tab.problem);

    connect(tab.apply, &QPushButton::clicked, this, [this, kind] { applyCurve(kind); });
    return page;
}

QWidget* AutoTuneWindow::buildTargetTab() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* commands = new QHBoxLayout;
    QPushButton* load = analysisButton(tr("&Load..."), "cmdTargetLoad", page);
    QPushButton* save = analysisButton(tr("&Save As..."), "cmdTargetSave", page);
    QPushButton* defaults = analysisButton(tr("&Default"), "cmdTargetDefault", page);
    for (QPushButton* b : {load, save, defaults})
        commands->addWidget(b);
    m_lblTarget = new QLabel(page);
    m_lblTarget->setObjectName(QStringLiteral("lblTarget"));
    commands->addSpacing(12);
    commands->addWidget(m_lblTarget, 1);
    v->addLayout(commands);
    m_targetGrid = analysisGrid(m_session, QStringLiteral("+10.00"), page);
    m_targetGrid->setObjectName(QStringLiteral("grdTarget"));
    v->addWidget(m_targetGrid);
    v->addStretch(1);

    connect(load, &QPushButton::clicked, this, &AutoTuneWindow::loadTarget);
    connect(save, &QPushButton::clicked, this, &AutoTuneWindow::saveTarget);
    connect(defaults, &QPushButton::clicked, this, &AutoTuneWindow::defaultTarget);
    connect(m_targetGrid, &QTableWidget::cellChanged, this, &AutoTuneWindow::targetEdited);
    return page;
}

AutoTuneSettings AutoTuneWindow::settings() const {
    AutoTuneSettings s;
    s.maxChangePercent = m_txtMaxChange->value();
    s.minSamples = m_txtMinSamples->value();
    s.writtenAtSeconds = m_liveTune.writtenAt();
    return s;
}

MapField AutoTuneWindow::target() const {
    return m_target ? *m_target
                    : defaultTargetAfr(LoadMapAxes(m_session.codec, m_session.maps.MapRefBlock));
}

std::vector<AutoTuneLog> AutoTuneWindow::logsToRead() {
    const LogsToRead read = m_logs.collect(m_liveTune, history ? history() : nullptr);
    std::vector<AutoTuneLog> logs;
    for (const LogToRead& l : read.logs)
        logs.emplace_back(l.log, l.continuesRun, l.ranOn, l.name);
    const QString notes = latin1(read.notesText());
    m_lblLogs->setText(latin1(read.logsLine()));
    m_lblTunes->setText(notes);
    m_lblTunes->setVisible(!notes.isEmpty());
    return logs;
}

void AutoTuneWindow::analyse() {
    m_tune = tuneMapOf(m_session.maps, kInjMap,
                       LoadMapAxes(m_session.codec, m_session.maps.MapRefBlock));
    m_tuneAsRead = m_session.tune();
    evaluate();
}

void AutoTuneWindow::reevaluate() {
    if (m_tune)
        evaluate();
    else
        showProposal();
}

void AutoTuneWindow::evaluate() {
    const std::vector<AutoTuneLog> logs = logsToRead();
    m_proposal.reset();
    m_predictions = {};
    m_driveNext.clear();
    m_delayLine.clear();
    for (CurveTab& tab : m_curves)
        tab.proposal.reset();
    if (!logs.empty()) {
        AutoTuneAnalysis a = analyser(logs, *m_tuneAsRead, *m_tune, target(), m_locks, settings(),
                                      {.warmUp = true, .pump = true});
        m_proposal = std::move(a.map);
        m_predictions = a.predictions;
        m_driveNext = std::move(a.driveNext);
        if (a.settings.measuredDelay) m_delayLine = a.delay().line();
        m_curves[tabOf(CurveKind::WarmUp)].proposal = std::move(a.warmUp);
        m_curves[tabOf(CurveKind::Pump)].proposal = std::move(a.pump);
    }
    showProposal();
    showCurve(CurveKind::WarmUp);
    showCurve(CurveKind::Pump);
}

void AutoTuneWindow::openLogs() {
    std::vector<std::string> paths = chooseLogs ? chooseLogs() : std::vector<std::string>{};
    if (paths.empty()) return;
    if (const std::string status = m_logs.open(std::move(paths)); !status.empty())
        statusBar()->showMessage(latin1(status));
    analyse();
}

void AutoTuneWindow::showProposal() {
    const NumberLocale& locale = m_session.maps.locale();
    const AutoTuneSettings s = settings();
    const MapDescriptor& codec = m_session.maps.descriptor(kInjMap);
    const RawText valueText = [this](std::int32_t raw) {
        return m_session.maps.fText(kInjMap, raw);
    };
    m_grid->setUpdatesEnabled(false);
    for (int row = 0; row < kMapRows; ++row) {
        for (int col = 0; col < kMapCols; ++col) {
            const auto r = static_cast<std::size_t>(row);
            const auto c = static_cast<std::size_t>(col);
            const CellResult cell = m_proposal ? m_proposal->cells[r][c] : CellResult{};
            const bool locked = m_locks[r][c];
            const CellPrediction& predicted = m_predictions[r][c];
            if (m_proposal && predicted.predicted) {
                showAnalysisCell(
                    *m_grid->item(row, col), latin1(predictedChangeText(predicted, locale)),
                    predictedLook(predicted, locked, s.maxChangePercent),
                    predictedToolTip(predicted, kLeastPredictedConfidence, valueText, locale) +
                        "\n" + cellToolTip(cell, locked, s, codec, valueText, locale));
                continue;
            }
            // Before any analysis the cells are blank, not greyed for want of data.
            const CellLook look = m_proposal ? cellLook(cell, locked, s.maxChangePercent)
                                             : CellLook{kNormalBackground, false, locked, false};
            showAnalysisCell(*m_grid->item(row, col), latin1(cellChangeText(cell, locale)), look,
                             m_proposal ? cellToolTip(cell, locked, s, codec, valueText, locale)
                                        : std::string());
        }
    }
    m_grid->setUpdatesEnabled(true);
    const std::string note = !m_proposal                   ? std::string()
                             : m_proposal->problem.empty() ? m_proposal->diagnosis
                                                           : m_proposal->problem;
    m_lblReadings->setText(m_proposal ? latin1(m_proposal->readings.line()) : QString());
    m_lblDiagnosis->setText(latin1(note));
    m_lblDiagnosis->setVisible(!note.empty());
    m_cmdApply->setEnabled(m_proposal && m_proposal->changedCells() > 0);
    bool anyPredicted = false;
    for (const auto& row : m_predictions)
        for (const CellPrediction& p : row)
            anyPredicted |= p.changes() && p.confidence >= kLeastPredictedConfidence;
    m_cmdApplyPredictions->setEnabled(m_proposal && anyPredicted);
    m_lblDelay->setText(latin1(m_delayLine));
    m_lblDelay->setVisible(!m_delayLine.empty());
    m_lstDriveNext->clear();
    for (const CellToDrive& cell : m_driveNext)
        m_lstDriveNext->addItem(latin1(driveLine(cell)));
}

void AutoTuneWindow::showCurve(CurveKind kind) {
    CurveTab& tab = m_curves[tabOf(kind)];
    const std::optional<CurveProposal>& p = tab.proposal;
    const NumberLocale& locale = m_session.maps.locale();
    tab.table->setRowCount(p ? static_cast<int>(p->points.size()) : 0);
    for (int row = 0; row < tab.table->rowCount(); ++row) {
        const CurvePointResult& point = p->points[static_cast<std::size_t>(row)];
        const std::array<std::string, 6> texts = curvePointRow(point, kind, locale);
        for (int col = 0; col < static_cast<int>(texts.size()); ++col) {
            auto* item = new QTableWidgetItem(latin1(texts[static_cast<std::size_t>(col)]));
            if (col < 5) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (point.changes()) {
                QFont bold = tab.table->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            tab.table->setItem(row, col, item);
        }
    }
    tab.table->resizeColumnsToContents();
    tab.used->setText(p ? latin1(curveUsedLine(*p)) : QString());
    const QString problem = p ? latin1(p->problem) : QString();
    tab.problem->setText(problem);
    tab.problem->setVisible(!problem.isEmpty());
    tab.apply->setEnabled(p && p->changedPoints() > 0);
}

std::vector<CellText> AutoTuneWindow::applyCells(const std::optional<CellRange>& only) {
    if (!m_proposal || m_session.compareMode) return {};
    AutoTuneProposal proposal = *m_proposal;
    // An edit since the analysis, or an Apply before this one, has the last word on its cell.
    for (int row = 0; row < kMapRows; ++row)
        for (int col = 0; col < kMapCols; ++col) {
            CellResult& cell =
                proposal.cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
            if (m_session.maps.GridData(kInjMap, row + 1, col + 1) != cell.oldRaw)
                cell.newRaw = cell.oldRaw;
        }
    EditHistory& edits = m_session.history;
    edits.begin();
    std::vector<CellText> written = applyProposal(m_session.maps, proposal, only);
    for (const CellText& c : written)
        m_session.autoTuned.applied(c.row, c.col, m_session.maps.GridData(kInjMap, c.row, c.col));
    std::string label = std::string("Auto Tune ") + mapTabCaption(kInjMap);
    if (only) label += " " + cellRangeText(cellsWithin(*only, kMapRows, kMapCols));
    edits.commit(label);
    if (!written.empty()) m_session.view().GridDisplay(kInjMap);
    return written;
}

void AutoTuneWindow::apply() {
    if (m_session.compareMode) {
        statusBar()->showMessage(tr("Compare mode shows another tune: end it to apply."));
        return;
    }
    const std::optional<CellRange> only = selectedBlock(*m_grid);
    const std::size_t cells = applyCells(only).size();
    if (cells > 0 && applied) applied();
    statusBar()->showMessage(cells == 0 ? tr("No cell to change.")
                                        : tr("%1 cells of the Inj Map changed.").arg(cells));
}

void AutoTuneWindow::applyPredicted() {
    if (!m_proposal) return;
    if (m_session.compareMode) {
        statusBar()->showMessage(tr("Compare mode shows another tune: end it to apply."));
        return;
    }
    // An edit or an Apply since the analysis has the last word on its cell.
    CellPredictions predictions = m_predictions;
    for (int row = 0; row < kMapRows; ++row)
        for (int col = 0; col < kMapCols; ++col) {
            CellPrediction& p =
                predictions[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
            if (m_session.maps.GridData(kInjMap, row + 1, col + 1) != p.oldRaw) p.newRaw = p.oldRaw;
        }
    const std::optional<CellRange> only = selectedBlock(*m_grid);
    EditHistory& edits = m_session.history;
    edits.begin();
    const std::vector<CellText> written =
        applyPredictions(m_session.maps, predictions, kLeastPredictedConfidence, only);
    std::string label = std::string("Auto Tune Predictions ") + mapTabCaption(kInjMap);
    if (only) label += " " + cellRangeText(cellsWithin(*only, kMapRows, kMapCols));
    edits.commit(label);
    if (!written.empty()) {
        m_session.view().GridDisplay(kInjMap);
        if (applied) applied();
    }
    statusBar()->showMessage(
        written.empty() ? tr("No predicted cell sure enough to change.")
                        : tr("%1 predicted cells of the Inj Map changed.").arg(written.size()));
}

void AutoTuneWindow::applyCurve(CurveKind kind) {
    const std::optional<CurveProposal>& found = m_curves[tabOf(kind)].proposal;
    if (!found) return;
    if (m_session.compareMode) {
        statusBar()->showMessage(tr("Compare mode shows another tune: end it to apply."));
        return;
    }
    // A point changed since the analysis, by hand or an Apply before this one, keeps its value.
    CurveProposal proposal = *found;
    const std::optional<FuelCurves> now =
        m_session.layout.family
            ? fuelCurvesOf(m_session.image, familyLayout(*m_session.layout.family))
            : std::nullopt;
    for (std::size_t i = 0; i < proposal.points.size(); ++i) {
        CurvePointResult& point = proposal.points[i];
        // A curve that cannot be read now takes nothing.
        const auto holds = [&](const auto& y) { return i < y.size() && y[i] == point.oldValue; };
        if (!now || !(kind == CurveKind::WarmUp ? holds(now->warmUp.y) : holds(now->pump.pulse.y)))
            point.newValue = point.oldValue;
    }
    EditHistory& edits = m_session.history;
    edits.begin();
    const int written = applyCurveProposal(m_session.codec, proposal);
    edits.commit("Auto Tune " + proposal.name);
    if (written > 0) {
        m_session.view().DisplayAllData();
        m_session.view().UpdateEnable();
        if (applied) applied();
    }
    statusBar()->showMessage(
        written == 0 ? tr("No point to change.")
                     : tr("%1 points of %2 changed.").arg(written).arg(latin1(proposal.name)));
}

void AutoTuneWindow::setSelectedLocked(bool locked) {
    lockSelected(*m_grid, m_locks, locked);
    m_store.setValue("AutoTuneLocks", locksText(m_locks));
    reevaluate();
}

void AutoTuneWindow::liveTick() {
    // Off while a transfer runs: nothing is applied under a write; the samples wait.
    if (!isEnabled()) return;
    if (!m_liveTune.takeNewSamples()) return;
    analyse();
    if (!m_chkApplyUpdate->isChecked() || !m_proposal || m_proposal->changedCells() == 0) return;
    if (!m_liveTune.mayWrite()) return;
    const MapAxes axes = LoadMapAxes(m_session.codec, m_session.maps.MapRefBlock);
    m_liveTune.holdBackBoostLeaning(*m_proposal, boostRows(target(), axes), m_session.prompts);
    const std::vector<CellText> written = applyCells(std::nullopt);
    if (written.empty()) return;
    if (update) update();
    m_liveTune.written(written);
    statusBar()->showMessage(tr("%1 cells written at %2 s of the log.")
                                 .arg(written.size())
                                 .arg(m_liveTune.newestSeconds(), 0, 'f', 1));
}

void AutoTuneWindow::setLive(bool on) {
    m_chkApplyUpdate->setEnabled(on);
    if (!on) m_chkApplyUpdate->setChecked(false);
    // Live from now: the run so far is analysed at the next tick even when nothing is new.
    m_liveTune.analyseAgain();
    if (on)
        m_liveTimer.start();
    else
        m_liveTimer.stop();
}

void AutoTuneWindow::showTarget() {
    const MapField table = target();
    const NumberLocale& locale = m_session.maps.locale();
    m_showingTarget = true;
    for (int row = 0; row < kMapRows; ++row)
        for (int col = 0; col < kMapCols; ++col)
            m_targetGrid->item(row, col)->setText(latin1(
                formatValue(table[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)],
                            "0.00", locale)));
    m_showingTarget = false;
    QString source = m_targetFile.empty() ? tr("default") : latin1(fileNameOf(m_targetFile));
    if (m_targetEdited) source += tr(", changed and not saved");
    m_lblTarget->setText(tr("Target A/F: %1").arg(source));
    // Writes find the boost rows in the table auto-tune measures against.
    m_session.targetAfr = m_target;
}

void AutoTuneWindow::targetEdited(int row, int col) {
    if (m_showingTarget) return;
    const std::string text = m_targetGrid->item(row, col)->text().toStdString();
    const auto afr = parseUserNumber(text, m_session.maps.locale());
    if (!afr || *afr < kLowestTargetAfr || *afr > kHighestTargetAfr) {
        m_session.prompts.tell(text + " is no target A/F (9 to 20)", MessageIcon::Exclamation);
        showTarget();
        return;
    }
    MapField table = target();
    table[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = *afr;
    m_target = table;
    m_targetEdited = true;
    showTarget();
    reevaluate();
}

void AutoTuneWindow::loadTarget() {
    const std::string path = chooseTargetToOpen ? chooseTargetToOpen() : std::string();
    if (path.empty()) return;
    rememberMapPath(m_store, path);
    const auto table = openTargetAfr(m_session.prompts, path, fileNameOf(path));
    if (!table) return;
    m_target = *table;
    m_targetFile = path;
    m_targetEdited = false;
    rememberTargetAfrFile(m_store, path);
    showTarget();
    reevaluate();
}

void AutoTuneWindow::saveTarget() {
    const std::string path = chooseTargetToSave ? chooseTargetToSave() : std::string();
    if (path.empty()) return;
    rememberMapPath(m_store, path);
    if (const std::string error = m_files.writeWhole(path, targetAfrText(target()));
        !error.empty()) {
        m_session.prompts.tell(error, MessageIcon::Critical);
        return;
    }
    m_target = target();
    m_targetFile = path;
    m_targetEdited = false;
    rememberTargetAfrFile(m_store, path);
    showTarget();
}

void AutoTuneWindow::defaultTarget() {
    m_target.reset();
    m_targetFile.clear();
    m_targetEdited = false;
    rememberTargetAfrFile(m_store, "");
    showTarget();
    reevaluate();
}

void AutoTuneWindow::saveSettings() {
    saveWindowPlacement(m_store, "AutoTune", placementOf(*this));
}

void AutoTuneWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    keepOnScreen(*this);
    // A window manager puts its frame round the window after it is shown.
    QTimer::singleShot(0, this, [this] { keepOnScreen(*this); });
}

void AutoTuneWindow::hideEvent(QHideEvent* event) {
    // Nothing is written to the unit from a window the user cannot see; minimising is seeing.
    if (!event->spontaneous()) m_chkLive->setChecked(false);
    QMainWindow::hideEvent(event);
}

void AutoTuneWindow::closeEvent(QCloseEvent* event) {
    saveSettings();
    QMainWindow::closeEvent(event);
    emit closed();
}

}  // namespace tunalyx
