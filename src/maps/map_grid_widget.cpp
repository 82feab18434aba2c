#include "maps/map_grid_widget.h"

#include "maps/qt_grid_selection.h"
#include "ui/qt_cell_colour.h"
#include "ui/qt_edit_keys.h"
#include "ui/qt_text.h"

#include <utility>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

#include <cmath>

namespace tunalyx {

namespace {
constexpr double kHeaderColumnRatio = 1.2;
constexpr double kColumnsPerWidth = 21.2;
constexpr double kSmallestFontSize = 5.5;  // 20 data columns and the 1.2-wide header column
constexpr int kCellTextMargin = 4;         // the delegate's text insets and a pixel to spare
// The editor is a little wider than its cell and covers it (-50, -1, -10, +100 twips).
constexpr int kEditorLeft = -3;
constexpr int kEditorWidthExtra = 7;
constexpr int kEditorHeightLess = 1;

// Paints a cell as a plain rectangle and its text: the style's full item drawing costs more than
// a whole redisplay may take.
class CellDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        const QVariant background = index.data(Qt::BackgroundRole);
        if (selected)
            p->fillRect(option.rect, option.palette.highlight());
        else if (background.isValid())
            p->fillRect(option.rect, background.value<QColor>());
        p->setFont(option.font);
        p->setPen(selected ? option.palette.highlightedText().color()
                           : option.palette.text().color());
        p->drawText(option.rect.adjusted(1, 0, -2, 0), Qt::AlignRight | Qt::AlignVCenter,
                    index.data(Qt::DisplayRole).toString());
        // A cell the unit did not keep: a frame, so it shows over any background.
        if (index.data(Qt::ToolTipRole).isValid()) {
            p->setPen(QPen(Qt::red, 2));
            p->drawRect(option.rect.adjusted(1, 1, -1, -1));
        }
    }
};
}  // namespace

MapGridModel::MapGridModel(Session& session, int grid, QObject* parent)
    : QAbstractTableModel(parent), m_session(session), m_grid(grid) {
    setLabels(session.maps.columnLabels(false), session.maps.rowLabels(false));
    redisplay();
}

int MapGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kMapRows;
}
int MapGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kMapCols;
}

QVariant MapGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int r = index.row(), c = index.column();
    switch (role) {
        case Qt::DisplayRole:
            return cellText(r + 1, c + 1);
        case Qt::BackgroundRole: {
            const CellColour colour = m_session.cellColours.at(m_grid, r + 1, c + 1);
            // The tracer's and compare's colours stay on top of the heat.
            if (colour != kNormalBackground) return cellQColor(colour);
            if (!m_heat) return {};
            return cellQColor(heatColour(m_session.maps.GridData(m_grid, r + 1, c + 1), m_span));
        }
        case Qt::TextAlignmentRole:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        case Qt::ToolTipRole:
            if (notKept(r + 1, c + 1))
                return m_notKept[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
            return {};
        default:
            return {};
    }
}

QString MapGridModel::cellText(int row, int col) const {
    if (m_hasOverride) {
        const QString& t =
            m_override[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col - 1)];
        if (!t.isNull()) return t;
    }
    return latin1UpToNul(m_session.maps.cellText(m_grid, row, col));
}

QVariant MapGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::TextAlignmentRole)
        return int(orientation == Qt::Vertical ? (Qt::AlignRight | Qt::AlignVCenter)
                                               : (Qt::AlignLeft | Qt::AlignVCenter));
    if (role != Qt::DisplayRole) return {};
    const QStringList& labels = orientation == Qt::Horizontal ? m_columnLabels : m_rowLabels;
    return section >= 0 && section < labels.size() ? labels[section] : QString();
}

void MapGridModel::setNotKept(const std::vector<UnkeptValue>& values) {
    for (auto& row : m_notKept)
        row.fill(QString());
    for (const UnkeptValue& v : values)
        if (v.grid == m_grid && v.row >= 1 && v.row <= kMapRows && v.col >= 1 && v.col <= kMapCols)
            m_notKept[static_cast<std::size_t>(v.row - 1)][static_cast<std::size_t>(v.col - 1)] =
                tr("Not kept by the unit: sent %1, read back %2")
                    .arg(latin1UpToNul(v.sent), latin1UpToNul(v.kept));
    emit dataChanged(index(0, 0), index(kMapRows - 1, kMapCols - 1), {Qt::ToolTipRole});
}

bool MapGridModel::notKept(int row, int col) const {
    // Once written and kept, or read again, the cell is no longer marked and neither is this.
    return !m_notKept[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col - 1)]
                .isNull() &&
           m_session.maps.CellChanged(m_grid, row, col);
}

void MapGridModel::setHeat(bool on) {
    m_heat = on;
    redisplay();
}

void MapGridModel::redisplay() {
    if (m_hasOverride) {
        for (auto& row : m_override)
            row.fill(QString());
        m_hasOverride = false;
    }
    if (m_heat) m_span = mapSpan(m_session.maps, m_grid);
    emit dataChanged(index(0, 0), index(kMapRows - 1, kMapCols - 1),
                     {Qt::DisplayRole, Qt::BackgroundRole});
}

void MapGridModel::setLabels(const std::vector<std::string>& columns,
                             const std::vector<std::string>& rows) {
    m_columnLabels.clear();
    m_rowLabels.clear();
    for (const auto& s : columns)
        m_columnLabels << latin1UpToNul(s);
    for (const auto& s : rows)
        m_rowLabels << latin1UpToNul(s);
    emit headerDataChanged(Qt::Horizontal, 0, kMapCols - 1);
    emit headerDataChanged(Qt::Vertical, 0, kMapRows - 1);
}

void MapGridModel::coloursChanged(const CellRange& range) {
    emit dataChanged(index(range.top() - 1, range.left() - 1),
                     index(range.bottom() - 1, range.right() - 1), {Qt::BackgroundRole});
}

void MapGridModel::setOverrideTexts(const CellTexts& texts) {
    m_override = texts;
    m_hasOverride = true;
    emit dataChanged(index(0, 0), index(kMapRows - 1, kMapCols - 1), {Qt::DisplayRole});
}

MapGridWidget::MapGridWidget(Session& session, int grid, QWidget* parent)
    : QTableView(parent),
      m_session(session),
      m_grid(grid),
      m_model(session, grid),
      m_txtGrid(new QLineEdit(viewport())) {
    setObjectName(QStringLiteral("Grid%1").arg(grid));
    setModel(&m_model);
    setItemDelegate(new CellDelegate(this));
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    // Twenty columns must fit the window's width: no elision, no cell padding, and a font that
    // sizeColumns() shrinks until the widest value fits, so no digit is ever cut off.
    m_baseFontSize = font().pointSizeF();
    setTextElideMode(Qt::ElideNone);
    setStyleSheet(QStringLiteral("QTableView::item { padding: 0px 1px; }"));
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    verticalHeader()->setMinimumSectionSize(rowNeeds(fontMetrics()));
    horizontalHeader()->setMinimumSectionSize(1);  // the font shrinks instead
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_txtGrid->setObjectName(QStringLiteral("txtGrid"));
    m_txtGrid->setAlignment(Qt::AlignRight);
    m_txtGrid->hide();
    m_txtGrid->installEventFilter(this);
    setCurrentIndex(m_model.index(0, 0));
}

CellRange MapGridWidget::selectionRange() const {
    return selectionRangeOf(*this);
}

void MapGridWidget::setSelectionRange(const CellRange& range) {
    selectRange(*this, range);
}

void MapGridWidget::GridLabels(bool fromMapReference) {
    m_model.setLabels(m_session.maps.columnLabels(fromMapReference),
                      m_session.maps.rowLabels(fromMapReference));
    sizeColumns();
    updateGeometry();  // longer headings need a wider window
}

void MapGridWidget::sizeColumns() {
    // The header column is 1.2 data columns wide and the 21 columns fill the grid's width.
    const double column = (width() - 2 * frameWidth()) / kColumnsPerWidth;
    fitFont(static_cast<int>(column), height() - 2 * frameWidth());
    verticalHeader()->setFixedWidth(static_cast<int>(std::lround(column * kHeaderColumnRatio)));
    const int cell = static_cast<int>(column);
    int spare = width() - 2 * frameWidth() - verticalHeader()->width() - cell * kMapCols;
    for (int c = 0; c < kMapCols; ++c)
        setColumnWidth(c, cell + (spare-- > 0 ? 1 : 0));
}

int MapGridWidget::columnNeeds(const QFontMetrics& fm) const {
    const MapGrids& maps = m_session.maps;
    const MapDescriptor& d = maps.descriptor(m_grid);
    int needs = 0;
    for (double raw : {d.min, d.max})
        needs = std::max(needs, fm.horizontalAdvance(latin1UpToNul(
                                    maps.fText(m_grid, static_cast<std::int32_t>(raw)))) +
                                    kCellTextMargin);
    // Headings are drawn inside the header's margins; the row headings' column is wider.
    const int heading = headingMargins();
    for (int i = 0; i < kMapCols; ++i) {
        const auto text = [&](Qt::Orientation o) {
            return fm.horizontalAdvance(m_model.headerData(i, o, Qt::DisplayRole).toString()) +
                   heading;
        };
        needs = std::max({needs, text(Qt::Horizontal),
                          static_cast<int>(std::ceil(text(Qt::Vertical) / kHeaderColumnRatio))});
    }
    return needs;
}

int MapGridWidget::headingMargins() const {
    return 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this) + 2;
}

int MapGridWidget::rowNeeds(const QFontMetrics& fm) const {
    // Its heading's margins too, or the heading is cut at the top and bottom.
    return fm.height() + headingMargins();
}

void MapGridWidget::fitFont(int columnWidth, int height) {
    // The largest size, down to the smallest, at which every value and heading fits its column
    // and the heading row and all rows fit the height.
    QFont f = font();
    double size = m_baseFontSize;
    for (; size > kSmallestFontSize; size -= 0.5) {
        f.setPointSizeF(size);
        const QFontMetrics fm(f);
        if (columnNeeds(fm) <= columnWidth && (kMapRows + 1) * rowNeeds(fm) <= height) break;
    }
    f.setPointSizeF(std::max(size, kSmallestFontSize));
    if (f.pointSizeF() == font().pointSizeF()) return;
    setFont(f);
    for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
        header->setFont(f);
        header->viewport()->setFont(f);
    }
    verticalHeader()->setMinimumSectionSize(rowNeeds(QFontMetrics(f)));
}

QSize MapGridWidget::minimumSizeHint() const {
    // All of the map at the smallest font: the window goes no smaller, so nothing is ever cut.
    QFont f = font();
    f.setPointSizeF(kSmallestFontSize);
    const QFontMetrics fm(f);
    return {2 * frameWidth() + static_cast<int>(std::ceil(columnNeeds(fm) * kColumnsPerWidth)),
            2 * frameWidth() + (kMapRows + 1) * rowNeeds(fm)};
}

void MapGridWidget::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    sizeColumns();
}

void MapGridWidget::showTexts(const std::vector<CellText>&) {
    // The cells show the image, which the operation has just written.
    m_model.redisplay();
}

template <typename Edit>
void MapGridWidget::recordEdit(const char* action, const CellRange& range, Edit&& edit) {
    EditHistory& history = m_session.history;
    history.begin();
    showTexts(edit());
    const std::string label = std::string(action) + " " + mapTabCaption(m_grid) + " " +
                              cellRangeText(cellsWithin(range, kMapRows, kMapCols));
    history.commit(label);
}

void MapGridWidget::interpolate(InterpolateMode mode) {
    if (m_session.compareMode) return;
    const CellRange r = selectionRange();
    const char* action = mode == InterpolateMode::Rows      ? "Interpolate Rows"
                         : mode == InterpolateMode::Columns ? "Interpolate Columns"
                                                            : "Interpolate";
    recordEdit(action, r, [&] { return interpolateCells(m_session.maps, m_grid, r, mode); });
}

void MapGridWidget::smooth() {
    if (m_session.compareMode) return;
    const CellRange r = selectionRange();
    recordEdit("Smooth", r, [&] { return smoothCells(m_session.maps, m_grid, r); });
}

void MapGridWidget::scale(double percent, double offset) {
    if (m_session.compareMode) return;
    const CellRange r = selectionRange();
    recordEdit("Scale", r, [&] { return scaleCells(m_session.maps, m_grid, r, percent, offset); });
}

void MapGridWidget::keyPressEvent(QKeyEvent* event) {
    const auto [key, digit] = gridKeyOf(event->key());
    const GridAction action =
        Grid_KeyDown(key, digit, shiftState(event->modifiers()), m_session.compareMode);
    MapGrids& maps = m_session.maps;
    using K = GridAction::Kind;
    switch (action.kind) {
        case K::SelectAll:
            setSelectionRange(CellRange::all());
            break;
        case K::Copy:
            copySelection();
            break;
        case K::Paste:
            pasteClipboard();
            break;
        case K::SetRange:
            m_editRange = selectionRange();
            recordEdit("Set", m_editRange,
                       [&] { return maps.GridSetRange(m_grid, m_editRange, action.value); });
            break;
        case K::StartEdit:
            GridStartEdit(QString::fromLatin1(action.text.c_str()));
            break;
        case K::Increase:
            recordEdit("Increase", selectionRange(),
                       [&] { return maps.GridIncrease(m_grid, selectionRange(), action.value); });
            break;
        case K::Decrease:
            recordEdit("Decrease", selectionRange(),
                       [&] { return maps.GridDecrease(m_grid, selectionRange(), action.value); });
            break;
        case K::None:
            // Arrow keys and the like move the selection as in any table.
            if (key == GridKey::Other) QTableView::keyPressEvent(event);
            break;
    }
}

void MapGridWidget::copySelection() {
    QClipboard* clip = QGuiApplication::clipboard();
    clip->clear();
    clip->setText(latin1UpToNul(m_session.maps.clipText(m_grid, selectionRange())));
}

void MapGridWidget::pasteClipboard() {
    if (m_session.compareMode) return;
    const QString text = QGuiApplication::clipboard()->text();
    recordEdit("Paste", selectionRange(), [&] {
        return m_session.maps.paste(m_grid, selectionRange(), text.toLatin1().toStdString());
    });
}

void MapGridWidget::GridPlaceEditor() {
    // Over the grid control's current cell: the one the selection started from.
    const CellRange selection = selectionRange();
    const QRect cell = visualRect(m_model.index(selection.row - 1, selection.col - 1));
    m_txtGrid->setGeometry(cell.left() + kEditorLeft, cell.top(), cell.width() + kEditorWidthExtra,
                           cell.height() - kEditorHeightLess);
    m_txtGrid->clear();
    m_txtGrid->show();
    m_txtGrid->raise();
    m_editRange = selection;
    m_editGrid = m_grid;
}

void MapGridWidget::GridStartEdit(const QString& text) {
    GridPlaceEditor();
    m_txtGrid->setFocus();
    m_txtGrid->setText(text);
    m_txtGrid->setCursorPosition(1);
}

void MapGridWidget::commitEditor() {
    if (m_editGrid != -1) {
        const std::int32_t v =
            m_session.maps.GridParse(m_grid, m_txtGrid->text().toLatin1().toStdString());
        // One typed value fills the range selected when the edit began, wherever the tracer
        // has moved the selection since.
        recordEdit("Set", m_editRange,
                   [&] { return m_session.maps.GridSetRange(m_grid, m_editRange, v); });
        m_editGrid = -1;
    }
    m_txtGrid->hide();
}

bool MapGridWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_txtGrid) {
        if (leaveUndoRedoToMenu(event)) return true;
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                setFocus();  // the editor's loss of focus commits
                m_txtGrid->hide();
                return true;
            }
            if (key == Qt::Key_Escape) {
                m_editGrid = -1;
                m_txtGrid->hide();
                setFocus();
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            commitEditor();
        }
    }
    return QTableView::eventFilter(watched, event);
}

void MapGridWidget::mousePressEvent(QMouseEvent* event) {
    m_mouseButton = event->button();
    if (event->button() == Qt::RightButton) return;  // the selection stays for the context menu
    QTableView::mousePressEvent(event);
}

void MapGridWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        setFocus();
        emit contextMenuRequested(m_grid, event->globalPosition().toPoint());
        return;
    }
    QTableView::mouseReleaseEvent(event);
}

void MapGridWidget::mouseDoubleClickEvent(QMouseEvent*) {
    if (m_mouseButton != Qt::LeftButton || m_session.compareMode) return;
    GridPlaceEditor();
    m_txtGrid->setFocus();
    m_txtGrid->setText(m_model.cellText(m_editRange.row, m_editRange.col));
}

}  // namespace tunalyx
