#pragma once

#include <QItemSelectionModel>
#include <QTableView>
#include <utility>

#include "maps/grid_keys.h"
#include "maps/map_grids.h"

namespace tunalyx {

// What the grids share of Qt: their keys by what they are, and the selection as the grid control
// has it.

// The numeric pad's keys come as the plain ones with the keypad flag, which shiftState() leaves
// out.
[[nodiscard]] inline std::pair<GridKey, int> gridKeyOf(int key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return {GridKey::Digit, key - Qt::Key_0};
    switch (key) {
        case Qt::Key_A:
            return {GridKey::A, 0};
        case Qt::Key_C:
            return {GridKey::C, 0};
        case Qt::Key_V:
            return {GridKey::V, 0};
        case Qt::Key_Delete:
            return {GridKey::Delete, 0};
        case Qt::Key_Plus:
        case Qt::Key_Equal:  // the unshifted "=/+" key of the main keyboard
            return {GridKey::Plus, 0};
        case Qt::Key_Minus:
            return {GridKey::Minus, 0};
        case Qt::Key_Period:
            return {GridKey::Point, 0};
        case Qt::Key_Comma:
            return {GridKey::Comma, 0};
        default:
            return {GridKey::Other, 0};
    }
}

[[nodiscard]] inline int shiftState(Qt::KeyboardModifiers mods) {
    return (mods.testFlag(Qt::ShiftModifier) ? kShiftMask : 0) |
           (mods.testFlag(Qt::ControlModifier) ? kCtrlMask : 0) |
           (mods.testFlag(Qt::AltModifier) ? kAltMask : 0);
}

// (row, col) is the cell the selection started from, (rowSel, colSel) the corner that moves with
// the mouse or the arrow keys: the view's current cell.
[[nodiscard]] inline CellRange selectionRangeOf(const QTableView& view) {
    const QModelIndex current = view.currentIndex();
    const int rowSel = current.isValid() ? current.row() + 1 : 1;
    const int colSel = current.isValid() ? current.column() + 1 : 1;
    const QItemSelection sel = view.selectionModel()->selection();
    if (sel.isEmpty()) return {rowSel, colSel, rowSel, colSel};
    const QItemSelectionRange& r = sel.first();
    const int row = (rowSel - 1 == r.top()) ? r.bottom() + 1 : r.top() + 1;
    const int col = (colSel - 1 == r.left()) ? r.right() + 1 : r.left() + 1;
    return {row, col, rowSel, colSel};
}

inline void selectRange(QTableView& view, const CellRange& range) {
    const QAbstractItemModel* model = view.model();
    view.selectionModel()->setCurrentIndex(model->index(range.rowSel - 1, range.colSel - 1),
                                           QItemSelectionModel::NoUpdate);
    const QItemSelection sel(model->index(range.top() - 1, range.left() - 1),
                             model->index(range.bottom() - 1, range.right() - 1));
    view.selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
}

}  // namespace tunalyx
