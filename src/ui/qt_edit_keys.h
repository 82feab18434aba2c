#pragma once

#include <QKeyEvent>
#include <QKeySequence>

namespace tunalyx {

// The keys of Edit > Undo and Redo.
[[nodiscard]] inline bool isUndoKey(const QKeyEvent& e) {
    return e.matches(QKeySequence::Undo);
}
[[nodiscard]] inline bool isRedoKey(const QKeyEvent& e) {
    const QKeyCombination k = e.keyCombination();
    return e.matches(QKeySequence::Redo) || k == (Qt::CTRL | Qt::Key_Y) ||
           k == (Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
}

// A box one types into claims Undo and Redo for its own text, and the window's Edit menu never
// sees them. Called on the box's shortcut override: true when the keys were left to the menu,
// which takes the typed value over as an edit of its own before it steps back.
inline bool leaveUndoRedoToMenu(QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!isUndoKey(*key) && !isRedoKey(*key)) return false;
    event->ignore();
    return true;
}

}  // namespace tunalyx
