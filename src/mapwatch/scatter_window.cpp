#include "mapwatch/scatter_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/qt_window_toggle.h"
#include "maps/map_grids.h"
#include "mapwatch/scatter_widget.h"
#include "monitor/live_decode.h"
#include "ui/qt_text.h"
#include "ui/qt_window_placement.h"

namespace tunalyx {

namespace {

const WindowPlacement kScatterPlacement{300, 300, 12000, 17400, 0};
// Both maps stand on the breakpoints of the one map reference block; the choice says which map
// of each tune the log ran on gives them.
constexpr std::array<int, 2> kMaps{kInjMap, kIgnMap};

QString heading(char axis, int n) {
    return QStringLiteral("%1%2").arg(QLatin1Char(axis)).arg(n, 2, 10, QLatin1Char('0'));
}

}  // namespace

ScatterWindow::ScatterWindow(Session& session, LiveRun& live, SettingsStore& store, QWidget* parent)
    : QMainWindow(parent, Qt::Window),
      m_session(session),
      m_live(live),
      m_store(store),
      m_logSource(live.log()),
      m_base(&m_logSource),
      m_comColour(new QComboBox),
      m_comItem(new QComboBox),
      m_comFunction(new QComboBox),
      m_comMap(new QComboBox),
      m_scatter(new ScatterWidget),
      m_grid(new QTableWidget(kMapWatchSize, kMapWatchSize)),
      m_histogram(new HistogramWidget) {
    setObjectName(QStringLiteral("frmScatter"));
    setWindowTitle(tr("Scatter"));
    m_comColour->setObjectName(QStringLiteral("comColour"));
    m_comItem->setObjectName(QStringLiteral("comItem"));
    m_comFunction->setObjectName(QStringLiteral("comFunction"));
    m_comMap->setObjectName(QStringLiteral("comMap"));
    m_grid->setObjectName(QStringLiteral("Grid"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setWordWrap(false);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    for (const char* f : {"Min", "Max", "Avg", "Num"})
        m_comFunction->addItem(QString::fromLatin1(f));
    for (const int map : kMaps)
        m_comMap->addItem(QString::fromLatin1(mapTabCaption(map)));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Colour"), central));
    top->addWidget(m_comColour, 1);
    top->addWidget(new QLabel(tr("Item"), central));
    top->addWidget(m_comItem, 1);
    top->addWidget(m_comFunction);
    top->addWidget(new QLabel(tr("Axes"), central));
    top->addWidget(m_comMap);
    layout->addLayout(top);
    auto* split = new QSplitter(Qt::Vertical, central);
    auto* sideBySide = new QSplitter(Qt::Horizontal, split);
    sideBySide->addWidget(m_scatter);
    sideBySide->addWidget(m_grid);
    sideBySide->setStretchFactor(0, 1);
    sideBySide->setStretchFactor(1, 1);
    split->addWidget(sideBySide);
    split->addWidget(m_histogram);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);
    setCentralWidget(central);

    applyPlacement(*this, loadWindowPlacement(m_store, "Scatter", kScatterPlacement));
    fillItemChoices();
    chooseItem(m_comColour, static_cast<int>(m_store.integer("ScatterColourItem", kLoadItem)));
    chooseItem(m_comItem, static_cast<int>(m_store.integer("ScatterItem", 0)));
    m_comFunction->setCurrentIndex(
        static_cast<int>(std::clamp<long long>(m_store.integer("ScatterFunction", 2), 0, 3)));
    m_comMap->setCurrentIndex(
        static_cast<int>(std::clamp<long long>(m_store.integer("ScatterMap", 0), 0, 1)));

    connect(m_comColour, &QComboBox::activated, this, [this] {
        recolour();
        m_scatter->pointsChanged();
    });
    connect(m_comItem, &QComboBox::activated, this, [this] {
        recount();
        writeGrid();
        showHistogram();
    });
    connect(m_comFunction, &QComboBox::activated, this, [this] { writeGrid(); });
    connect(m_comMap, &QComboBox::activated, this, [this] { refresh(); });
    connect(m_scatter, &ScatterWidget::cellClicked, this,
            [this](int row, int col) { selectCell(row, col); });
    // Clicked or reached by the arrow keys.
    connect(m_grid, &QTableWidget::currentCellChanged, this, [this](int row, int col) {
        if (row >= 0 && col >= 0) selectCell(row, col);
    });

    m_scatter->setPoints(&m_points);
    refresh();
    m_live.addConsumer(this);
}

ScatterWindow::~ScatterWindow() {
    m_live.removeConsumer(this);
}

void ScatterWindow::setSource(const SampleSource* source, std::vector<MapAxesFrom> ranOn) {
    m_base = source ? source : &m_logSource;
    m_givenRanOn = std::move(ranOn);
    refresh();
}

QString ScatterWindow::itemLabel(int item) const {
    if (item < kFirstMathItem) return latin1(m_session.trace.label(item));
    const auto& math = m_session.mathItems;
    const int k = item - kFirstMathItem;
    return math && k < math->count() ? QString::fromStdString(math->name(k)) : QString();
}

int ScatterWindow::chosenItem(const QComboBox* box) const {
    return std::max(0, box->currentData().toInt());
}

void ScatterWindow::chooseItem(QComboBox* box, int item) {
    const int at = box->findData(item);
    box->setCurrentIndex(at >= 0 ? at : 0);
}

void ScatterWindow::fillItemChoices() {
    // The 64 live items by their labels, then the math items: an item's number is its data.
    // Filled again each time: math items are replaced whole, names and all.
    const int math = m_session.mathItems ? m_session.mathItems->count() : 0;
    for (QComboBox* box : {m_comColour, m_comItem}) {
        const int chosen = box->count() > 0 ? chosenItem(box) : 0;
        box->clear();
        for (int item = 0; item < kFirstMathItem + math; ++item)
            box->addItem(itemLabel(item), item);
        chooseItem(box, chosen);
    }
}

void ScatterWindow::followTunes() {
    m_axes = LoadMapAxes(m_session.codec, m_session.maps.MapRefBlock);
    m_ranOn.clear();
    if (m_base != &m_logSource) {
        m_ranOn = m_givenRanOn;
        return;
    }
    const LogTunes& known = m_live.tunes();
    if (known.empty() || (m_live.log().LogLast == 0 && !m_live.running())) return;
    const int map = kMaps[static_cast<std::size_t>(std::max(0, m_comMap->currentIndex()))];
    RanOnTunes& tunes =
        refreshedTunes(m_tunes[static_cast<std::size_t>(map == kIgnMap)], m_session.tune(),
                       history ? history() : nullptr, m_session.prompts, map);
    for (const RanOnMap& part : tunes.resolve(known).ranOn)
        m_ranOn.push_back({part.firstSample, part.tune.axes});
}

void ScatterWindow::refresh() {
    fillItemChoices();
    m_source.emplace(*m_base, m_session.mathItems);
    followTunes();
    // The headings are the breakpoints the points stand on.
    const std::vector<std::string> columns = m_session.maps.columnLabels(true);
    const std::vector<std::string> rows = m_session.maps.rowLabels(true);
    QStringList columnTexts;
    QStringList rowTexts;
    for (int i = 0; i < kMapWatchSize; ++i) {
        const auto at = static_cast<std::size_t>(i);
        columnTexts << (at < columns.size() ? latin1(columns[at]) : heading('N', i + 1));
        rowTexts << (at < rows.size() ? latin1(rows[at]) : heading('P', i + 1));
    }
    m_grid->setHorizontalHeaderLabels(columnTexts);
    m_grid->setVerticalHeaderLabels(rowTexts);
    m_scatter->setLabels(columnTexts, rowTexts);
    m_points.place(*m_source, m_ranOn, m_axes);
    recolour();
    m_scatter->pointsChanged();
    recount();
    writeGrid();
    showHistogram();
}

void ScatterWindow::recolour() {
    const int item = chosenItem(m_comColour);
    m_points.colourBy(*m_source, item);
    m_scatter->setColourCaption(itemLabel(item));
}

void ScatterWindow::recount() {
    m_stats.options.item = chosenItem(m_comItem);
    m_stats.compute(*m_source, m_ranOn, m_axes);
}

void ScatterWindow::writeGrid() {
    m_stats.options.function = m_comFunction->currentIndex();
    const Precision precision = itemPrecision(m_session.trace, m_stats.options.item);
    for (int row = 0; row < kMapWatchSize; ++row)
        for (int col = 0; col < kMapWatchSize; ++col) {
            const QString text =
                latin1(m_stats.cellText(row, col, m_session.codec.locale(), precision));
            QTableWidgetItem* cell = m_grid->item(row, col);
            if (!cell) {
                cell = new QTableWidgetItem;
                cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                m_grid->setItem(row, col, cell);
            }
            cell->setText(text);
        }
}

void ScatterWindow::selectCell(int row, int col) {
    m_scatter->selectCell(row, col);
    const QSignalBlocker quiet(m_grid);
    m_grid->setCurrentCell(row, col);
    showHistogram();
}

void ScatterWindow::showHistogram() {
    const int row = m_scatter->selectedRow();
    const int col = m_scatter->selectedCol();
    if (row < 0 || col < 0) {
        m_histogram->setHistogram({}, tr("Click a cell to see its values."));
        return;
    }
    Histogram h = histogramOf(m_stats.valuesIn(*m_source, row, col));
    const QString cell = latin1(cellRangeText({row + 1, col + 1, row + 1, col + 1}));
    const int n = h.total();
    const QString caption = tr("%1 in %2: %3")
                                .arg(itemLabel(m_stats.options.item), cell,
                                     n == 1 ? tr("1 value") : tr("%1 values").arg(n));
    m_histogram->setHistogram(std::move(h), caption);
}

void ScatterWindow::saveSettings() {
    saveWindowPlacement(m_store, "Scatter", placementOf(*this));
    m_store.setInteger("ScatterColourItem", chosenItem(m_comColour));
    m_store.setInteger("ScatterItem", chosenItem(m_comItem));
    m_store.setInteger("ScatterFunction", m_comFunction->currentIndex());
    m_store.setInteger("ScatterMap", m_comMap->currentIndex());
}

void ScatterWindow::closeEvent(QCloseEvent* event) {
    saveSettings();
    QMainWindow::closeEvent(event);
    emit closed();
}

void bindScatterWindow(QAction* item, QWidget& owner, Session& session, LiveRun& live,
                       SettingsStore& store, std::function<const TuneHistory*()> history,
                       std::function<const SampleSource*()> shownSession) {
    new WindowToggle(
        item,
        [&owner, &session, &live, &store, item, history = std::move(history),
         shownSession = std::move(shownSession)] {
            auto* w = new ScatterWindow(session, live, store, &owner);
            w->history = history;
            if (const SampleSource* shown = shownSession ? shownSession() : nullptr)
                w->setSource(shown);
            QObject::connect(w, &ScatterWindow::closed, item, [item] { item->setChecked(false); });
            return w;
        },
        &owner);
}

}  // namespace tunalyx
