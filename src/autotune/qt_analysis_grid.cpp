#include "autotune/qt_analysis_grid.h"

#include <QHeaderView>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

#include "session/session.h"
#include "ui/qt_cell_colour.h"
#include "ui/qt_text.h"

namespace tunalyx {

QTableWidget* analysisGrid(const Session& session, const QString& widest, QWidget* parent) {
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
    const int columnWidth = fm.horizontalAdvance(widest) + 4;
    const int rowHeight = fm.height() + 4;
    QHeaderView* top = grid->horizontalHeader();
    QHeaderView* side = grid->verticalHeader();
    top->setSectionResizeMode(QHeaderView::Fixed);
    side->setSectionResizeMode(QHeaderView::Fixed);
    top->setDefaultSectionSize(columnWidth);
    side->setDefaultSectionSize(rowHeight);
    top->setFixedHeight(rowHeight + 2);
    side->setFixedWidth(QFontMetrics(bold).horizontalAdvance(QStringLiteral("P20")) + 10);
    // The whole map in view, as the map's own tab shows it, never a part of it behind scroll bars.
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int frame = 2 * grid->frameWidth();
    grid->setFixedSize(side->width() + kMapCols * columnWidth + frame,
                       top->height() + kMapRows * rowHeight + frame);
    grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    grid->setWordWrap(false);
    return grid;
}

void AnalysisCellDelegate::paint(QPainter* p, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyledItemDelegate::paint(p, option, index);
    if (const QVariant frame = index.data(kFrameRole); frame.isValid()) {
        p->save();
        p->setPen(QPen(frame.value<QColor>(), 2));
        p->drawRect(option.rect.adjusted(1, 1, -1, -1));
        p->restore();
    }
    if (index.data(kPredictedRole).toBool())
        p->fillRect(option.rect, QBrush(QColor(40, 40, 40, 90), Qt::FDiagPattern));
    if (!index.data(kHatchRole).toBool()) return;
    p->fillRect(option.rect, QBrush(QColor(40, 40, 40, 150), Qt::BDiagPattern));
}

std::optional<CellRange> selectedBlock(const QTableWidget& grid) {
    const QList<QTableWidgetSelectionRange> ranges = grid.selectedRanges();
    if (ranges.isEmpty()) return std::nullopt;
    // The grid selects one block at a time; the block around every range is what is meant.
    CellRange r{ranges[0].topRow() + 1, ranges[0].leftColumn() + 1, ranges[0].bottomRow() + 1,
                ranges[0].rightColumn() + 1};
    for (const QTableWidgetSelectionRange& more : ranges)
        r = {std::min(r.top(), more.topRow() + 1), std::min(r.left(), more.leftColumn() + 1),
             std::max(r.bottom(), more.bottomRow() + 1),
             std::max(r.right(), more.rightColumn() + 1)};
    return r;
}

void lockSelected(const QTableWidget& grid, CellLocks& locks, bool locked) {
    for (const QModelIndex& at : grid.selectionModel()->selectedIndexes())
        locks[static_cast<std::size_t>(at.row())][static_cast<std::size_t>(at.column())] = locked;
}

void showAnalysisCell(QTableWidgetItem& item, const QString& text, const CellLook& look,
                      const std::string& toolTip) {
    static const QColor dimmed(120, 120, 120);
    item.setText(text);
    item.setData(kHatchRole, look.hatched);
    item.setData(kPredictedRole, look.predicted);
    item.setBackground(look.background == kNormalBackground ? QBrush()
                                                            : QBrush(cellQColor(look.background)));
    item.setForeground(look.dimmed ? QBrush(dimmed) : QBrush());
    QFont font = item.tableWidget() ? item.tableWidget()->font() : QFont();
    font.setBold(look.flagged);
    item.setFont(font);
    const std::string name =
        cellRangeText({item.row() + 1, item.column() + 1, item.row() + 1, item.column() + 1});
    item.setToolTip(toolTip.empty() ? QString() : latin1(name + "\n" + toolTip));
}

QPushButton* analysisButton(const QString& caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

}  // namespace tunalyx
