#include "airflow/air_flow_grid_widget.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>

#include "maps/qt_grid_selection.h"
#include "ui/qt_edit_keys.h"
#include "ui/qt_text.h"
#include "ui/window_placement.h"

namespace tunalyx {

namespace {

// The edit box covers its cell and reaches a little past it on both sides.
constexpr int kEditorLeftTwips = -50;
constexpr int kEditorTopTwips = -1;
constexpr int kEditorHeightTwips = -10;
constexpr int kEditorWidthTwips = 100;
constexpr int kCellPadding = 8;  // pixels around the widest text of a column
constexpr int kShownColumns = 12;

}  // namespace

int AirFlowGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kAirFlowRows;
}

int AirFlowGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kAirFlowCols;
}

QVariant AirFlowGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole)
        return latin1UpToNul(m_grid.cellText(index.row() + 1, index.column() + 1));
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant AirFlowGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return QString::fromLatin1(airFlowRowCaption(section + 1));
    return latin1UpToNul(airFlowColumnCaption(section + 1));
}

void AirFlowGridModel::redisplay() {
    emit dataChanged(index(0, 0), index(kAirFlowRows - 1, kAirFlowCols - 1), {Qt::DisplayRole});
}

AirFlowGridWidget::AirFlowGridWidget(Session& session, QWidget* parent)
    : QTableView(parent),
      m_session(session),
      m_grid(session.codec),
      m_model(m_grid),
      m_txtGrid(new QLineEdit(viewport())) {
    setObjectName(QStringLiteral("uctAirFlowGrid"));
    setModel(&m_model);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);

    // A column fits a voltage with its three decimals or a full-scale airflow count.
    const QFontMetrics fm = fontMetrics();
    const int column = std::max(fm.horizontalAdvance(QStringLiteral("0.000")),
                                fm.horizontalAdvance(QStringLiteral("65535"))) +
                       kCellPadding;
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setDefaultSectionSize(column);
    horizontalHeader()->setMinimumSectionSize(column);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fm.height() + 6);
    verticalHeader()->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("Airflow 2")) +
                                      kCellPadding);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // Wider than all 32 points would only leave blank space inside the grid.
    setMaximumWidth(contentWidth());
    fitHeight();

    m_txtGrid->setObjectName(QStringLiteral("txtGrid"));
    m_txtGrid->setAlignment(Qt::AlignRight);
    m_txtGrid->hide();
    m_txtGrid->installEventFilter(this);
    setCurrentIndex(m_model.index(0, 0));
}

void AirFlowGridWidget::Refresh() {
    m_model.redisplay();
}

CellRange AirFlowGridWidget::selectionRange() const {
    return selectionRangeOf(*this);
}

void AirFlowGridWidget::setSelectionRange(const CellRange& range) {
    selectRange(*this, range);
}

void AirFlowGridWidget::copySelection() {
    QClipboard* clip = QGuiApplication::clipboard();
    clip->clear();
    clip->setText(latin1UpToNul(m_grid.clipText(selectionRange())));
}

void AirFlowGridWidget::pasteClipboard() {
    if (m_session.compareMode) return;
    const QString text = QGuiApplication::clipboard()->text();
    recordEdit("Paste Air Flow",
               [&] { m_grid.paste(selectionRange(), text.toLatin1().toStdString()); });
}

void AirFlowGridWidget::interpolateRows() {
    if (m_session.compareMode) return;
    recordEdit("Interpolate Air Flow", [&] { m_grid.interpolateRows(selectionRange()); });
}

void AirFlowGridWidget::smoothRows() {
    if (m_session.compareMode) return;
    recordEdit("Smooth Air Flow", [&] { m_grid.smoothRows(selectionRange()); });
}

void AirFlowGridWidget::scale(double percent, double offset) {
    if (m_session.compareMode) return;
    recordEdit("Scale Air Flow", [&] { m_grid.scale(selectionRange(), percent, offset); });
}

void AirFlowGridWidget::recordEdit(const char* label, const std::function<void()>& edit) {
    m_session.history.begin();
    edit();
    m_session.history.commit(label);
    written();
}

void AirFlowGridWidget::written() {
    Refresh();
    emit cellsWritten();
}

void AirFlowGridWidget::keyPressEvent(QKeyEvent* event) {
    const auto [key, digit] = gridKeyOf(event->key());
    const GridAction action =
        AirFlow_KeyDown(key, digit, shiftState(event->modifiers()), m_session.compareMode);
    using K = GridAction::Kind;
    switch (action.kind) {
        case K::SelectAll:
            setSelectionRange(airFlowAllCells());
            break;
        case K::Copy:
            copySelection();
            break;
        case K::Paste:
            pasteClipboard();
            break;
        case K::SetRange:
            recordEdit("Edit Air Flow",
                       [&] { m_grid.setRange(selectionRange(), std::to_string(action.value)); });
            break;
        case K::StartEdit:
            startEdit(QString::fromLatin1(action.text.c_str()));
            break;
        case K::Increase:
        case K::Decrease: {
            const bool up = action.kind == K::Increase;
            recordEdit(up ? "Increase Air Flow" : "Decrease Air Flow",
                       [&] { m_grid.step(selectionRange(), up ? action.value : -action.value); });
            break;
        }
        case K::None:
            // Arrow keys and the like move the selection as in any table.
            if (key == GridKey::Other) QTableView::keyPressEvent(event);
            break;
    }
}

void AirFlowGridWidget::startEdit(const QString& text) {
    m_editRange = selectionRange();
    m_cancelled = false;
    const QModelIndex cell = m_model.index(m_editRange.row - 1, m_editRange.col - 1);
    scrollTo(cell);
    const QRect r = visualRect(cell);
    const double dpi = logicalDpiX();
    m_txtGrid->setGeometry(r.left() + twipsToPixels(kEditorLeftTwips, dpi),
                           r.top() + twipsToPixels(kEditorTopTwips, dpi),
                           r.width() + twipsToPixels(kEditorWidthTwips, dpi),
                           r.height() + twipsToPixels(kEditorHeightTwips, dpi));
    m_txtGrid->show();
    m_txtGrid->raise();
    m_txtGrid->setFocus();
    m_txtGrid->setText(text);
    m_txtGrid->setCursorPosition(static_cast<int>(text.size()));
}

void AirFlowGridWidget::commitEditor() {
    if (!m_cancelled) {
        m_cancelled = true;  // one commit per edit, however often the focus moves
        recordEdit("Edit Air Flow", [&] {
            m_grid.setRange(m_editRange, m_txtGrid->text().toLatin1().toStdString());
        });
    }
    m_txtGrid->hide();
}

bool AirFlowGridWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_txtGrid) return QTableView::eventFilter(watched, event);
    if (leaveUndoRedoToMenu(event)) return true;
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            setFocus();  // the box's loss of focus commits
            m_txtGrid->hide();
            return true;
        }
        if (key == Qt::Key_Escape) {
            m_cancelled = true;
            m_txtGrid->hide();
            setFocus();
            return true;
        }
    } else if (event->type() == QEvent::FocusOut) {
        // Switching to another program or opening the box's own menu is no end of the edit.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) commitEditor();
    }
    return QTableView::eventFilter(watched, event);
}

int AirFlowGridWidget::contentWidth() const {
    return 2 * frameWidth() + verticalHeader()->sizeHint().width() +
           kAirFlowCols * horizontalHeader()->defaultSectionSize();
}

QSize AirFlowGridWidget::sizeHint() const {
    // A settings frame shows a dozen points; the rest are a scroll away.
    const int shown = 2 * frameWidth() + verticalHeader()->sizeHint().width() +
                      kShownColumns * horizontalHeader()->defaultSectionSize();
    return {std::min(contentWidth(), shown), height()};
}

void AirFlowGridWidget::fitHeight() {
    // Three rows and the header, plus the scroll bar only while the columns do not all fit.
    int h = 2 * frameWidth() + horizontalHeader()->sizeHint().height() +
            kAirFlowRows * verticalHeader()->defaultSectionSize();
    if (width() < contentWidth()) h += horizontalScrollBar()->sizeHint().height();
    if (h != height()) setFixedHeight(h);
}

void AirFlowGridWidget::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    fitHeight();
}

}  // namespace tunalyx
