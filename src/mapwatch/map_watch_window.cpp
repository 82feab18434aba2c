#include "mapwatch/map_watch_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include "autotune/ran_on_tunes.h"
#include "maps/qt_map_tracer.h"
#include "model/descriptors.h"
#include "model/number_format.h"
#include "monitor/live_decode.h"
#include "monitor/log_groups.h"
#include "ports/whole_file.h"
#include "ui/qt_text.h"
#include "ui/qt_window_placement.h"

namespace tunalyx {

namespace {

const WindowPlacement kMapWatchPlacement{105, 0, 6165, 9975, 0};
constexpr int kColumnTwips[] = {460, 600, 900};  // Small, Medium, Large
const QColor kGhostRed(255, 0, 0);

QString heading(char axis, int n) {
    return QStringLiteral("%1%2").arg(QLatin1Char(axis)).arg(n, 2, 10, QLatin1Char('0'));
}

}  // namespace

MapWatchWindow::MapWatchWindow(Session& session, LiveRun& live, SettingsStore& store,
                               std::function<void(double, double)> showMapPos, QWidget* parent)
    : QMainWindow(parent, Qt::Window),
      m_session(session),
      m_live(live),
      m_store(store),
      m_showMapPos(std::move(showMapPos)),
      m_watch(live.log()),
      m_logSource(live.log()),
      m_samples(m_logSource, session.mathItems),
      m_comItem(new QComboBox),
      m_comFunction(new QComboBox),
      m_txtDelay(new QLineEdit),
      m_txtMax(new QLineEdit),
      m_grid(new QTableWidget(kMapWatchSize, kMapWatchSize)),
      m_lblTunes(new QLabel),
      m_lblItem(new QLabel) {
    setObjectName(QStringLiteral("frmMapWatch"));
    setWindowTitle(tr("Map Watch"));
    m_comItem->setObjectName(QStringLiteral("comItem"));
    m_comFunction->setObjectName(QStringLiteral("comFunction"));
    m_txtDelay->setObjectName(QStringLiteral("txtDelay"));
    m_txtMax->setObjectName(QStringLiteral("txtMax"));
    m_grid->setObjectName(QStringLiteral("Grid"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A value is clipped at a narrow column's edge rather than folded over two lines.
    m_grid->setWordWrap(false);
    m_grid->setTextElideMode(Qt::ElideNone);
    m_grid->setStyleSheet(QStringLiteral("QTableView::item { padding: 0px 1px; }"));
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->installEventFilter(this);
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    m_marker = new MapPosMarker(m_grid);
    m_marker->hide();

    const std::vector<std::string> choices = m_session.trace.itemChoices();
    for (std::size_t i = 1; i < choices.size(); ++i)
        m_comItem->addItem(latin1(choices[i]));
    m_watch.setSource(m_samples);
    listMathItems();
    for (const char* f : {"Min", "Max", "Avg", "Num"})
        m_comFunction->addItem(QString::fromLatin1(f));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* top = new QHBoxLayout;
    top->addWidget(m_comItem, 1);
    top->addWidget(m_comFunction);
    top->addWidget(new QLabel(tr("Hold off (mSec)"), central));
    top->addWidget(m_txtDelay);
    top->addWidget(new QLabel(tr("Max Val"), central));
    top->addWidget(m_txtMax);
    layout->addLayout(top);
    layout->addWidget(m_grid, 1);
    m_lblTunes->setObjectName(QStringLiteral("lblTunes"));
    m_lblItem->setObjectName(QStringLiteral("lblItem"));
    for (QLabel* note : {m_lblItem, m_lblTunes}) {
        note->setWordWrap(true);
        note->hide();
        layout->addWidget(note);
    }
    setCentralWidget(central);
    buildMenus();

    // Form_Load
    applyPlacement(*this, loadWindowPlacement(m_store, "MapWatch", kMapWatchPlacement));
    MapWatchOptions& o = m_watch.options;
    o.item = static_cast<int>(std::clamp<long long>(m_store.integer("MapWatchItem", 0), 0, 63));
    o.function =
        static_cast<int>(std::clamp<long long>(m_store.integer("MapWatchFunction", 2), 0, 3));
    o.decimalPlaces = static_cast<int>(std::clamp<long long>(
        m_store.integer("MapWatchDPs", MapWatchOptions::kItemsOwn), MapWatchOptions::kItemsOwn, 4));
    o.holdOffMs = static_cast<std::int32_t>(m_store.integer("MapWatchHoldOff", 0));
    o.source =
        static_cast<int>(std::clamp<long long>(m_store.integer("MapWatchTraceSource", 0), 0, 1));
    o.maxVal = parseFieldNumber(m_store.text("MapWatchMaxVal", "9999")).value_or(9999);
    m_comItem->setCurrentIndex(o.item);
    m_comFunction->setCurrentIndex(o.function);
    m_txtDelay->setText(QString::number(o.holdOffMs));
    m_txtMax->setText(latin1(formatValue(o.maxVal, "", m_session.codec.locale())));
    m_places[o.decimalPlaces + 1]->setChecked(true);
    m_sources[o.source]->setChecked(true);
    m_mnuRefLabels->setChecked(m_store.boolean("MapWatchMapRefLabels", false));
    setColumnWidth(
        static_cast<int>(std::clamp<long long>(m_store.integer("MapWatchColWidth", 0), 0, 2)));
    setTraceOn(m_store.boolean("MapWatchTrace", false));
    setGhostOn(m_store.boolean("MapWatchGhost", false));
    GridLabels();

    connect(m_comItem, &QComboBox::activated, this, [this](int i) {
        m_watch.options.item = i;
        RecalculateMap();
    });
    connect(m_comFunction, &QComboBox::activated, this, [this](int i) {
        m_watch.options.function = i;
        RefreshMap();
    });
    connect(m_txtDelay, &QLineEdit::returnPressed, this, [this] { m_grid->setFocus(); });
    connect(m_txtDelay, &QLineEdit::editingFinished, this, [this] {
        const auto ms = parseUserNumber(m_txtDelay->text().toStdString(), m_session.codec.locale());
        m_watch.options.holdOffMs = static_cast<std::int32_t>(ms.value_or(0));
        RecalculateMap();
    });
    connect(m_txtMax, &QLineEdit::textChanged, this, [this](const QString& text) {
        // Text that is no number is 0, as the unit's tools have always read it.
        m_watch.options.maxVal =
            parseUserNumber(text.toStdString(), m_session.codec.locale()).value_or(0);
        RecalculateMap();
    });
    connect(m_grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_popup->popup(m_grid->viewport()->mapToGlobal(at)); });
    RecalculateMap();
    m_live.addConsumer(this);
}

MapWatchWindow::~MapWatchWindow() {
    m_live.removeConsumer(this);
}

void MapWatchWindow::buildMenus() {
    const auto item = [](QMenu* menu, const QString& caption, const char* name) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    const auto call = [](const std::function<void()>& f) {
        return [&f] {
            if (f) f();
        };
    };
    QMenu* file = menuBar()->addMenu(tr("&File"));
    connect(item(file, tr("&Open"), "mnuOpen"), &QAction::triggered, this, call(openLog));
    connect(item(file, tr("Save &As"), "mnuSaveAs"), &QAction::triggered, this, call(saveLog));
    file->addSeparator();
    connect(item(file, tr("E&xit"), "mnuExit"), &QAction::triggered, this, &QWidget::close);
    QMenu* log = menuBar()->addMenu(tr("&Log"));
    connect(item(log, tr("Start"), "mnuLogStart"), &QAction::triggered, this, call(startLog));
    connect(item(log, tr("End"), "mnuLogEnd"), &QAction::triggered, this, call(endLog));

    QMenu* view = menuBar()->addMenu(tr("&View"));
    m_mnuTrace = item(view, tr("&Map Trace"), "mnuMapTrace");
    m_mnuTrace->setCheckable(true);
    connect(m_mnuTrace, &QAction::triggered, this, [this](bool on) { setTraceOn(on); });
    m_mnuGhost = item(view, tr("&Ghost"), "mnuGhost");
    m_mnuGhost->setCheckable(true);
    connect(m_mnuGhost, &QAction::triggered, this, [this](bool on) { setGhostOn(on); });
    QMenu* widths = view->addMenu(tr("Col &Width"));
    auto* widthGroup = new QActionGroup(this);
    for (const char* w : {"Small", "Medium", "Large"}) {
        QAction* a = widths->addAction(tr(w));
        a->setCheckable(true);
        widthGroup->addAction(a);
        const int index = static_cast<int>(m_widths.size());
        a->setObjectName(QStringLiteral("mnuColWidth%1").arg(index));
        connect(a, &QAction::triggered, this, [this, index] { setColumnWidth(index); });
        m_widths.append(a);
    }
    QMenu* places = view->addMenu(tr("&Dec. Places"));
    auto* placeGroup = new QActionGroup(this);
    // The item's own decimals first, as the Monitor shows it.
    for (int i = MapWatchOptions::kItemsOwn; i <= 4; ++i) {
        QAction* a = places->addAction(i == MapWatchOptions::kItemsOwn ? tr("&Item's Own")
                                                                       : QString::number(i));
        a->setCheckable(true);
        placeGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] {
            m_watch.options.decimalPlaces = i;
            RefreshMap();
        });
        m_places.append(a);
    }

    QMenu* window = menuBar()->addMenu(tr("&Window"));
    connect(item(window, tr("&Monitor"), "mnuMonitor"), &QAction::triggered, this,
            call(showMonitor));
    connect(item(window, tr("&Chart"), "mnuChart"), &QAction::triggered, this, call(showChart));
    item(window, tr("&Scatter"), "mnuScatter");  // the main window connects it
    QMenu* options = menuBar()->addMenu(tr("&Options"));
    QMenu* source = options->addMenu(tr("&Map Source"));
    auto* sourceGroup = new QActionGroup(this);
    for (const auto& caption : {tr("&Advanced"), tr("&Logged")}) {
        QAction* a = source->addAction(caption);
        a->setCheckable(true);
        sourceGroup->addAction(a);
        const int index = static_cast<int>(m_sources.size());
        connect(a, &QAction::triggered, this, [this, index] {
            m_watch.options.source = index;
            RecalculateMap();
        });
        m_sources.append(a);
    }

    m_popup = new QMenu(this);
    connect(item(m_popup, tr("&Copy"), "mnuCopy"), &QAction::triggered, this,
            &MapWatchWindow::copySelection);
    m_mnuRefLabels = item(m_popup, tr("MapRef &Labels"), "mnuMapRefLabels");
    m_mnuRefLabels->setCheckable(true);
    connect(m_mnuRefLabels, &QAction::triggered, this, &MapWatchWindow::GridLabels);
    connect(item(m_popup, tr("Ghost Clear"), "mnuGhostClear"), &QAction::triggered, this,
            &MapWatchWindow::clearGhost);
}

void MapWatchWindow::GridLabels() {
    const bool fromReference = m_mnuRefLabels->isChecked();
    const std::vector<std::string> columns = m_session.maps.columnLabels(fromReference);
    const std::vector<std::string> rows = m_session.maps.rowLabels(fromReference);
    for (int i = 0; i < kMapWatchSize; ++i) {
        const auto at = static_cast<std::size_t>(i);
        m_grid->setHorizontalHeaderItem(
            i,
            new QTableWidgetItem(at < columns.size() ? latin1(columns[at]) : heading('N', i + 1)));
        m_grid->setVerticalHeaderItem(
            i, new QTableWidgetItem(at < rows.size() ? latin1(rows[at]) : heading('P', i + 1)));
    }
    fitColumns();
}

void MapWatchWindow::writeCell(int row, int col) {
    const QString text = latin1(m_watch.cellText(
        row, col, m_session.codec.locale(), itemPrecision(m_session.trace, m_watch.options.item)));
    QTableWidgetItem* cell = m_grid->item(row, col);
    if (!cell) {
        if (text.isEmpty()) return;
        cell = new QTableWidgetItem;
        cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_grid->setItem(row, col, cell);
    }
    if (cell->text() == text) return;
    cell->setText(text);
    // A value wider than its column widens every column, so no digit is ever cut off.
    if (m_grid->sizeHintForIndex(m_grid->model()->index(row, col)).width() >
        m_grid->columnWidth(col))
        fitColumns();
}

void MapWatchWindow::followSession(const SampleSource& shown, const LogTimeline* timeline) {
    m_following = timeline != nullptr;
    m_samples.setBase(timeline ? shown : m_logSource);
    m_followedTunes = timeline ? timeline->tunes() : LogTunes{};
    RecalculateMap();
}

void MapWatchWindow::listMathItems() {
    const int count = m_session.mathItems ? m_session.mathItems->count() : 0;
    const int listed = m_comItem->count() - kFirstMathItem;
    if (listed == count) return;
    QSignalBlocker quiet(m_comItem);
    while (m_comItem->count() > kFirstMathItem)
        m_comItem->removeItem(m_comItem->count() - 1);
    for (int k = 0; k < count; ++k)
        m_comItem->addItem(latin1(m_session.mathItems->name(k)));
    if (m_watch.options.item >= m_comItem->count()) m_watch.options.item = 0;
    m_comItem->setCurrentIndex(m_watch.options.item);
}

void MapWatchWindow::followTunes() {
    const LogTunes& known = m_following ? m_followedTunes : m_live.tunes();
    m_tunesFollowed = m_live.tunes().size();
    m_watch.ranOnAxes.clear();
    const bool anyLog = m_samples.sampleCount() > 1 || m_live.running();
    if (!anyLog) {
        m_lblTunes->hide();
        return;
    }
    RanOnTunes& tunes =
        refreshedTunes(m_tunes, m_session.tune(), history ? history() : nullptr, m_session.prompts);
    const RanOnTunes::Resolved resolved = tunes.resolve(known);
    for (const RanOnMap& part : resolved.ranOn)
        m_watch.ranOnAxes.push_back({part.firstSample, part.tune.axes});
    const std::string logName = m_following                ? std::string("the session")
                                : m_live.logName().empty() ? std::string("the log in memory")
                                                           : fileNameOf(m_live.logName());
    std::string line = resolved.known ? "The log " + tunes.describe(known, "the tune in the window")
                                      : unknownTuneText(logName, fileNameOf(m_session.captionFile));
    if (!resolved.known && !known.empty())
        line += " (" + tunes.describe(known, "the tune in the window") + ")";
    m_lblTunes->setText(latin1(line));
    m_lblTunes->show();
}

void MapWatchWindow::showNotes() {
    const int item = m_watch.options.item;
    const bool notLogged =
        (m_samples.sampleCount() > 1 || m_live.running()) && !m_watch.itemLogged();
    if (notLogged && item >= kFirstMathItem) {
        m_lblItem->setText(latin1(m_session.mathItems->name(item - kFirstMathItem) +
                                  " cannot be worked out: an item it reads is not in the log."));
    } else if (notLogged) {
        const int group = m_session.trace.TraceGroup[static_cast<std::size_t>(item)];
        m_lblItem->setText(latin1(m_session.trace.label(item) + " is not in the log: tick " +
                                  groupCaption(group) + " in the Monitor to log it."));
    }
    m_lblItem->setVisible(notLogged);
}

void MapWatchWindow::RefreshMap() {
    showNotes();
    m_grid->setUpdatesEnabled(false);
    for (int col = 0; col < kMapWatchSize; ++col)
        for (int row = 0; row < kMapWatchSize; ++row)
            writeCell(row, col);
    fitColumns();
    m_grid->setUpdatesEnabled(true);
}

void MapWatchWindow::RecalculateMap() {
    listMathItems();
    followTunes();
    m_watch.RecalculateMap(LoadMapAxes(m_session.codec, m_session.maps.MapRefBlock));
    RefreshMap();
}

void MapWatchWindow::ResetMap() {
    followTunes();
    m_watch.ResetMap(LoadMapAxes(m_session.codec, m_session.maps.MapRefBlock));
    RefreshMap();
    clearGhost();
}

void MapWatchWindow::runStarted() {
    ResetMap();
}

void MapWatchWindow::samplePublished(const PublishedSample& sample) {
    // A write during the run starts a part on another tune.
    if (m_live.tunes().size() != m_tunesFollowed) followTunes();
    const MapWatch::Cell cell = m_watch.cellOf(sample.index);
    if (m_watch.AddMapLog(sample.index)) writeCell(cell.row, cell.col);
    ShowPos(sample.index);
}

void MapWatchWindow::ShowPos(int s) {
    if (s < 0 || s >= (m_following ? m_samples.sampleCount() : LogStore::kSamples)) return;
    if (m_traceOn) {
        const MapPosition p = m_watch.positionOf(s, m_watch.options.source);
        if (m_ghostOn) {
            const MapWatch::Cell at = m_watch.cellOf(s);
            QTableWidgetItem* cell = m_grid->item(at.row, at.col);
            if (!cell) {
                cell = new QTableWidgetItem;
                m_grid->setItem(at.row, at.col, cell);
            }
            cell->setBackground(kGhostRed);
        }
        placeMarker(p.x, p.y);
    }
    // The main window's tracer follows with its own choice of source (Advanced or MapRef).
    const MapTracer::Options& main = m_session.tracer.options();
    if (main.trace && m_showMapPos) {
        const int source = main.source == 1 ? MapWatchOptions::Logged : MapWatchOptions::Advanced;
        const MapPosition p = m_watch.positionOf(s, source);
        m_showMapPos(p.x, p.y);
    }
}

void MapWatchWindow::placeMarker(double x, double y) {
    m_lastX = x;
    m_lastY = y;
    const int left = m_grid->frameWidth() + m_grid->verticalHeader()->width() +
                     static_cast<int>(m_grid->columnWidth(0) * x);
    const int top = m_grid->frameWidth() + static_cast<int>(m_grid->horizontalHeader()->height() +
                                                            m_grid->rowHeight(0) * y);
    m_marker->resize(m_grid->columnWidth(0) + MapTracerView::kMarginPixels,
                     m_grid->rowHeight(0) + MapTracerView::kMarginPixels);
    m_marker->move(left, top);
    m_marker->raise();
}

void MapWatchWindow::setTraceOn(bool on) {
    m_traceOn = on;
    m_mnuTrace->setChecked(on);
    m_marker->setVisible(on);
    if (!on)
        clearGhost();
    else
        placeMarker(m_lastX, m_lastY);
}

void MapWatchWindow::setGhostOn(bool on) {
    m_ghostOn = on;
    m_mnuGhost->setChecked(on);
}

void MapWatchWindow::clearGhost() {
    for (int row = 0; row < kMapWatchSize; ++row)
        for (int col = 0; col < kMapWatchSize; ++col)
            if (QTableWidgetItem* cell = m_grid->item(row, col)) cell->setBackground(QBrush());
}

void MapWatchWindow::setColumnWidth(int index) {
    m_columnWidth = index;
    m_widths[index]->setChecked(true);
    fitColumns();
}

void MapWatchWindow::fitColumns() {
    // The width chosen is the least a column gets: every column takes the widest text or
    // heading of any, so the marker stays one cell wide wherever it stands.
    int width = twipsToPixels(kColumnTwips[m_columnWidth], screenDpi(*this));
    const QAbstractItemView& view = *m_grid;
    for (int col = 0; col < kMapWatchSize; ++col)
        width = std::max(
            {width, view.sizeHintForColumn(col), m_grid->horizontalHeader()->sectionSizeHint(col)});
    for (int col = 0; col < kMapWatchSize; ++col)
        m_grid->setColumnWidth(col, width);
    placeMarker(m_lastX, m_lastY);
}

void MapWatchWindow::copySelection() {
    const QList<QTableWidgetSelectionRange> ranges = m_grid->selectedRanges();
    if (ranges.isEmpty()) return;
    const QTableWidgetSelectionRange& r = ranges.first();
    QString text;
    for (int row = r.topRow(); row <= r.bottomRow(); ++row) {
        if (row != r.topRow()) text += QLatin1Char('\r');
        for (int col = r.leftColumn(); col <= r.rightColumn(); ++col) {
            if (col != r.leftColumn()) text += QLatin1Char('\t');
            if (const QTableWidgetItem* cell = m_grid->item(row, col)) text += cell->text();
        }
    }
    QClipboard* clip = QGuiApplication::clipboard();
    clip->clear();
    clip->setText(text);
}

bool MapWatchWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers().testFlag(Qt::ControlModifier)) {
            if (key->key() == Qt::Key_A) {
                m_grid->selectAll();
                return true;
            }
            if (key->key() == Qt::Key_C) {
                copySelection();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MapWatchWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    placeMarker(m_lastX, m_lastY);
}

void MapWatchWindow::saveSettings() {
    saveWindowPlacement(m_store, "MapWatch", placementOf(*this));
    const MapWatchOptions& o = m_watch.options;
    m_store.setInteger("MapWatchItem", o.item);
    m_store.setInteger("MapWatchFunction", o.function);
    m_store.setInteger("MapWatchDPs", o.decimalPlaces);
    m_store.setBoolean("MapWatchTrace", m_traceOn);
    m_store.setBoolean("MapWatchGhost", m_ghostOn);
    m_store.setInteger("MapWatchHoldOff", o.holdOffMs);
    m_store.setInteger("MapWatchTraceSource", o.source);
    m_store.setInteger("MapWatchColWidth", m_columnWidth);
    m_store.setValue("MapWatchMaxVal", formatValue(o.maxVal, "", NumberLocale{}));
    m_store.setBoolean("MapWatchMapRefLabels", m_mnuRefLabels->isChecked());
}

void MapWatchWindow::closeEvent(QCloseEvent* event) {
    saveSettings();
    QMainWindow::closeEvent(event);
    emit closed();
}

}  // namespace tunalyx
