#include "autotune/auto_tune_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <tuple>

#include "autotune/proposal_text.h"
#include "autotune/target_afr.h"
#include "history/tune_history.h"
#include "monitor/log_file.h"
#include "monitor/log_reader.h"
#include "transfer/data_file.h"
#include "ui/qt_cell_colour.h"
#include "ui/qt_window_placement.h"

namespace tunalyx {

namespace {

const WindowPlacement kDefaultPlacement{105, 0, 10000, 14000, 0};
constexpr int kLiveMs = 5000;
constexpr int kHatchRole = Qt::UserRole;
const char* const kLogFilter = "All Files (*.*);;Txt Files (*.txt)";
const char* const kTargetFilter = "Target A/F (*.afr);;All Files (*.*)";

QString latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// Locked cells are hatched over whatever colour the proposal gives them.
class HatchDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(p, option, index);
        if (!index.data(kHatchRole).toBool()) return;
        p->fillRect(option.rect, QBrush(QColor(40, 40, 40, 150), Qt::BDiagPattern));
    }
};

QTableWidget* mapLikeGrid(const Session& session, QWidget* parent) {
    auto* grid = new QTableWidget(kMapRows, kMapCols, parent);
    const std::vector<std::string> columns = session.maps.columnLabels(false);
    const std::vector<std::string> rows = session.maps.rowLabels(false);
    for (int i = 0; i < kMapCols; ++i)
        grid->setHorizontalHeaderItem(i, new QTableWidgetItem(latin1(columns.at(std::size_t(i)))));
    for (int i = 0; i < kMapRows; ++i)
        grid->setVerticalHeaderItem(i, new QTableWidgetItem(latin1(rows.at(std::size_t(i)))));
    for (int row = 0; row < kMapRows; ++row)
        for (int col = 0; col < kMapCols; ++col) {
            auto* cell = new QTableWidgetItem;
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->setItem(row, col, cell);
        }
    const QFontMetrics fm(grid->font());
    QFont bold = grid->font();
    bold.setBold(true);  // the headings of the selection
    const int columnWidth = fm.horizontalAdvance(QStringLiteral("+10.00")) + 4;
    const int rowHeight = fm.height() + 4;
    QHeaderView* top = grid->horizontalHeader();
    QHeaderView* side = grid->verticalHeader();
    top->setSectionResizeMode(QHeaderView::Fixed);
    side->setSectionResizeMode(QHeaderView::Fixed);
    top->setDefaultSectionSize(columnWidth);
    side->setDefaultSectionSize(rowHeight);
    top->setFixedHeight(rowHeight + 2);
    side->setFixedWidth(QFontMetrics(bold).horizontalAdvance(QStringLiteral("P20")) + 10);
    // The whole map in view, as the Inj Map shows it, never a part of it behind scroll bars.
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int frame = 2 * grid->frameWidth();
    grid->setFixedSize(side->width() + kMapCols * columnWidth + frame,
                       top->height() + kMapRows * rowHeight + frame);
    grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    grid->setWordWrap(false);
    return grid;
}

// A message that stands alone: a capital first, a full stop last.
std::string sentence(std::string clause) {
    if (!clause.empty()) clause.front() = static_cast<char>(std::toupper(clause.front()));
    return clause + ".";
}

QPushButton* button(const QString& caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

}  // namespace

AutoTuneWindow::AutoTuneWindow(Session& session, LiveRun& live, SettingsStore& store,
                               FileWriter& files, QWidget* parent)
    : QMainWindow(parent, Qt::Window),
      m_session(session),
      m_live(live),
      m_log(live.log()),
      m_liveTune(live.log()),
      m_store(store),
      m_files(files) {
    setObjectName(QStringLiteral("frmAutoTune"));
    setWindowTitle(tr("Auto Tune"));
    auto* tabs = new QTabWidget(this);
    tabs->addTab(buildProposalTab(), tr("Proposal"));
    tabs->addTab(buildTargetTab(), tr("Target A/F"));
    setCentralWidget(tabs);
    // The default table follows the map's load axis, which a read or a file may have changed.
    connect(tabs, &QTabWidget::currentChanged, this, [this] { showTarget(); });
    statusBar();

    applyPlacement(*this, loadWindowPlacement(m_store, "AutoTune", kDefaultPlacement));
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

    const std::string targetFile = m_store.text("AutoTuneTargetFile", "");
    std::error_code absent;
    if (!targetFile.empty() && std::filesystem::exists(targetFile, absent)) {
        // A damaged file is named in a message and the defaults stay.
        if (auto table = openTargetAfr(m_session.prompts, targetFile, fileNameOf(targetFile))) {
            m_target = *table;
            m_targetFile = targetFile;
        }
    }

    m_live.addConsumer(&m_liveTune);
    m_liveTimer.setInterval(kLiveMs);
    connect(&m_liveTimer, &QTimer::timeout, this, &AutoTuneWindow::liveTick);

    chooseLogs = [this] {
        const QStringList paths = QFileDialog::getOpenFileNames(
            this, tr("Open Logs"), QString::fromStdString(logPath(m_store, m_session.filesFolder)),
            QString::fromLatin1(kLogFilter));
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
    showTarget();
}

AutoTuneWindow::~AutoTuneWindow() {
    m_live.removeConsumer(&m_liveTune);
}

QWidget* AutoTuneWindow::buildProposalTab() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* commands = new QHBoxLayout;
    QPushButton* analyseButton = button(tr("&Analyse"), "cmdAnalyse", page);
    QPushButton* open = button(tr("&Open Logs..."), "cmdOpenLogs", page);
    QPushButton* clear = button(tr("&Clear Logs"), "cmdClearLogs", page);
    m_cmdApply = button(tr("A&pply"), "cmdApply", page);
    QPushButton* lock = button(tr("&Lock"), "cmdLock", page);
    QPushButton* unlock = button(tr("&Unlock"), "cmdUnlock", page);
    for (QPushButton* b : {analyseButton, open, clear, m_cmdApply, lock, unlock})
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
    m_grid = mapLikeGrid(m_session, page);
    m_grid->setObjectName(QStringLiteral("grdProposal"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setItemDelegate(new HatchDelegate(m_grid));
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
    v->addStretch(1);

    connect(analyseButton, &QPushButton::clicked, this, &AutoTuneWindow::analyse);
    connect(open, &QPushButton::clicked, this, &AutoTuneWindow::openLogs);
    connect(clear, &QPushButton::clicked, this, [this] {
        m_opened.clear();
        m_openedNames.clear();
        m_openedPaths.clear();
        m_openedContinue.clear();
        m_openedHashes.clear();
        m_assumed.clear();
        reevaluate();
    });
    connect(m_cmdApply, &QPushButton::clicked, this, &AutoTuneWindow::apply);
    connect(lock, &QPushButton::clicked, this, [this] { setSelectedLocked(true); });
    connect(unlock, &QPushButton::clicked, this, [this] { setSelectedLocked(false); });
    connect(m_chkLive, &QCheckBox::toggled, this, &AutoTuneWindow::setLive);
    return page;
}

QWidget* AutoTuneWindow::buildTargetTab() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* commands = new QHBoxLayout;
    QPushButton* load = button(tr("&Load..."), "cmdTargetLoad", page);
    QPushButton* save = button(tr("&Save As..."), "cmdTargetSave", page);
    QPushButton* defaults = button(tr("&Default"), "cmdTargetDefault", page);
    for (QPushButton* b : {load, save, defaults})
        commands->addWidget(b);
    m_lblTarget = new QLabel(page);
    m_lblTarget->setObjectName(QStringLiteral("lblTarget"));
    commands->addSpacing(12);
    commands->addWidget(m_lblTarget, 1);
    v->addLayout(commands);
    m_targetGrid = mapLikeGrid(m_session, page);
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

std::vector<RanOnMap> AutoTuneWindow::ranOnOf(RanOnTunes& tunes, const LogTunes& known,
                                              const std::string& key, const std::string& logName,
                                              QStringList& notes) {
    RanOnTunes::Resolved r = tunes.resolve(known);
    if (r.known) return std::move(r.ranOn);
    notes << latin1(unknownTuneText(logName, fileNameOf(m_session.captionFile)));
    // A log goes on being taken as run on the tune it was first taken as: analysed again after
    // an Apply, it is still the log of the tune before.
    if (key.empty()) return std::move(r.ranOn);
    const TuneMap& assumed = m_assumed.try_emplace(key, tunes.hostMap()).first->second;
    if (r.ranOn.empty()) return {{0, assumed}};
    for (std::size_t k = 0; k < known.size(); ++k)
        if (!tunes.find(known[k].tuneHash)) r.ranOn[k].tune = assumed;
    return std::move(r.ranOn);
}

std::vector<AutoTuneLog> AutoTuneWindow::logsToRead() {
    std::vector<AutoTuneLog> logs;
    QStringList names;
    QStringList notes;
    RanOnTunes& tunes =
        refreshedTunes(m_tunes, m_session.tune(), history ? history() : nullptr, m_session.prompts);
    const std::string memoryName =
        m_live.logName().empty() ? std::string("the log in memory") : fileNameOf(m_live.logName());
    const std::string memoryKey = "memory " + std::to_string(m_liveTune.logGeneration());
    // The log in memory as a file: the same log opened from the disk is read once.
    std::string memoryHash;
    bool memoryRead = false;
    if (m_liveTune.running()) {
        if (const std::optional<AutoTuneLog> run = m_liveTune.runSoFar()) {
            // Written to while it runs: what it wrote is known by when (writtenAt).
            logs.emplace_back(run->log, run->continuesRun,
                              ranOnOf(tunes, m_live.tunes(), {}, memoryName, notes), memoryName);
            names << tr("the run being logged (%1 samples)").arg(run->log->sampleCount());
            memoryRead = true;
        }
    } else if (m_log.LogLast > 0) {
        const std::string an1 = m_session.trace.TraceName[kAn1Item];
        if (const std::string refused =
                m_log.IncludeGroup[kGroupAux] ? an1Refusal(an1, memoryName) : std::string();
            !refused.empty()) {
            notes << latin1(sentence(refused));
        } else {
            logs.emplace_back(&m_log, false,
                              ranOnOf(tunes, m_live.tunes(), memoryKey, memoryName, notes),
                              memoryName);
            names << tr("the log in memory (%1 samples)").arg(m_log.sampleCount());
            memoryRead = true;
            if (!m_opened.empty()) memoryHash = memoryLogHash();
        }
    }
    for (std::size_t k = 0; k < m_opened.size(); ++k) {
        if (memoryRead && m_openedHashes[k] == memoryHash) {
            notes << tr("%1 is the log in memory: it is read once.").arg(latin1(m_openedNames[k]));
            continue;
        }
        logs.emplace_back(m_opened[k].get(), m_openedContinue[k],
                          ranOnOf(tunes, tunes.tunesOfLog(m_openedHashes[k]), m_openedHashes[k],
                                  m_openedNames[k], notes),
                          m_openedNames[k]);
        names << latin1(m_openedNames[k]);
    }
    m_lblLogs->setText(names.isEmpty() ? tr("No log to analyse: log a run or open log files.")
                                       : tr("Logs: %1").arg(names.join(QStringLiteral(", "))));
    m_lblTunes->setText(notes.join(QLatin1Char('\n')));
    m_lblTunes->setVisible(!notes.isEmpty());
    return logs;
}

const std::string& AutoTuneWindow::memoryLogHash() {
    const int generation = m_liveTune.logGeneration();
    const int samples = m_log.sampleCount();
    if (generation != m_memoryHash.generation || samples != m_memoryHash.samples)
        m_memoryHash = {generation, samples, contentHash(logFileText(m_log, m_session.trace))};
    return m_memoryHash.hash;
}

void AutoTuneWindow::analyse() {
    m_tune = tuneMapOf(m_session.maps, kInjMap,
                       LoadMapAxes(m_session.codec, m_session.maps.MapRefBlock));
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
    if (logs.empty())
        m_proposal.reset();
    else
        m_proposal = proposeCorrections(logs, *m_tune, target(), m_locks, settings());
    showProposal();
}

void AutoTuneWindow::openLogs() {
    std::vector<std::string> paths = chooseLogs ? chooseLogs() : std::vector<std::string>{};
    if (paths.empty()) return;
    // The parts of a long run in their order (a dialog sorts LOG-001.txt before LOG.txt).
    std::stable_sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        const LogFilePart pa = logFilePartOf(a);
        const LogFilePart pb = logFilePartOf(b);
        return std::tie(pa.first, pa.part) < std::tie(pb.first, pb.part);
    });
    for (const std::string& path : paths) {
        const std::string name = fileNameOf(path);
        const auto contents = readLogContents(m_session.prompts, path, name);
        if (!contents) continue;
        const std::string hash = contentHash(*contents);
        if (std::find(m_openedHashes.begin(), m_openedHashes.end(), hash) != m_openedHashes.end()) {
            statusBar()->showMessage(tr("%1 is open already: it is read once.").arg(latin1(name)));
            continue;
        }
        if (const std::string an1 = an1HeadingOf(*contents); !an1.empty()) {
            if (const std::string refused = an1Refusal(an1, name); !refused.empty()) {
                m_session.prompts.tell(sentence(refused), MessageIcon::Exclamation);
                continue;
            }
        }
        auto log = std::make_unique<LogStore>();
        if (!openLogContents(*log, m_session.trace, m_session.prompts, *contents, name)) continue;
        // A part goes on with the run before it when its name says so and its times carry on.
        const bool continues =
            !m_openedPaths.empty() && continuesLog(m_openedPaths.back(), path) &&
            log->LogTime(0) >= m_opened.back()->LogTime(m_opened.back()->LogLast);
        m_opened.push_back(std::move(log));
        m_openedNames.push_back(name);
        m_openedContinue.push_back(continues);
        m_openedPaths.push_back(path);
        m_openedHashes.push_back(hash);
    }
    analyse();
}

void AutoTuneWindow::showProposal() {
    const NumberLocale& locale = m_session.maps.locale();
    const AutoTuneSettings s = settings();
    const MapDescriptor& codec = m_session.maps.descriptor(kInjMap);
    const RawText valueText = [this](std::int32_t raw) {
        return m_session.maps.fText(kInjMap, raw);
    };
    const QColor dimmed(120, 120, 120);
    m_grid->setUpdatesEnabled(false);
    for (int row = 0; row < kMapRows; ++row) {
        for (int col = 0; col < kMapCols; ++col) {
            const auto r = static_cast<std::size_t>(row);
            const auto c = static_cast<std::size_t>(col);
            QTableWidgetItem* item = m_grid->item(row, col);
            const CellResult cell = m_proposal ? m_proposal->cells[r][c] : CellResult{};
            const bool locked = m_locks[r][c];
            // Before any analysis the cells are blank, not greyed for want of data.
            const CellLook look = m_proposal ? cellLook(cell, locked, s.maxChangePercent)
                                             : CellLook{kNormalBackground, false, locked, false};
            item->setText(latin1(cellChangeText(cell, locale)));
            item->setData(kHatchRole, look.hatched);
            item->setBackground(look.background == kNormalBackground
                                    ? QBrush()
                                    : QBrush(cellQColor(look.background)));
            item->setForeground(look.dimmed ? QBrush(dimmed) : QBrush());
            QFont font = m_grid->font();
            font.setBold(look.flagged);
            item->setFont(font);
            const std::string name = cellRangeText({row + 1, col + 1, row + 1, col + 1});
            item->setToolTip(
                m_proposal
                    ? latin1(name + "\n" + cellToolTip(cell, locked, s, codec, valueText, locale))
                    : QString());
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
    std::optional<CellRange> only;
    const QList<QTableWidgetSelectionRange> ranges = m_grid->selectedRanges();
    if (!ranges.isEmpty()) {
        // The grid selects one block at a time; the block around every range is what is meant.
        CellRange r{ranges[0].topRow() + 1, ranges[0].leftColumn() + 1, ranges[0].bottomRow() + 1,
                    ranges[0].rightColumn() + 1};
        for (const QTableWidgetSelectionRange& more : ranges)
            r = {std::min(r.top(), more.topRow() + 1), std::min(r.left(), more.leftColumn() + 1),
                 std::max(r.bottom(), more.bottomRow() + 1),
                 std::max(r.right(), more.rightColumn() + 1)};
        only = r;
    }
    const std::size_t cells = applyCells(only).size();
    if (cells > 0 && applied) applied();
    statusBar()->showMessage(cells == 0 ? tr("No cell to change.")
                                        : tr("%1 cells of the Inj Map changed.").arg(cells));
}

void AutoTuneWindow::setSelectedLocked(bool locked) {
    for (const QModelIndex& at : m_grid->selectionModel()->selectedIndexes())
        m_locks[static_cast<std::size_t>(at.row())][static_cast<std::size_t>(at.column())] = locked;
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
    m_store.setValue("AutoTuneTargetFile", path);
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
    m_store.setValue("AutoTuneTargetFile", path);
    showTarget();
}

void AutoTuneWindow::defaultTarget() {
    m_target.reset();
    m_targetFile.clear();
    m_targetEdited = false;
    m_store.setValue("AutoTuneTargetFile", "");
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
