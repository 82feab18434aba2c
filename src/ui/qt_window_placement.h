#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "ui/window_placement.h"

namespace tunalyx {

// Window placements in twips at the window's screen resolution.
[[nodiscard]] inline double screenDpi(const QWidget& w) {
    const QScreen* s = w.screen() ? w.screen() : QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchX() : 96.0;
}

inline void applyPlacement(QWidget& w, const WindowPlacement& p) {
    const double dpi = screenDpi(w);
    w.move(twipsToPixels(p.left, dpi), twipsToPixels(p.top, dpi));
    w.resize(twipsToPixels(p.width, dpi), twipsToPixels(p.height, dpi));
    if (p.windowState == 2)
        w.setWindowState(Qt::WindowMaximized);
    else if (p.windowState == 1)
        w.setWindowState(Qt::WindowMinimized);
}

[[nodiscard]] inline WindowPlacement placementOf(const QWidget& w) {
    const double dpi = screenDpi(w);
    const int state = w.isMaximized() ? 2 : w.isMinimized() ? 1 : 0;
    return {pixelsToTwips(w.x(), dpi), pixelsToTwips(w.y(), dpi), pixelsToTwips(w.height(), dpi),
            pixelsToTwips(w.width(), dpi), state};
}

// Moves a shown window, title bar and borders included, into the free area of its screen; a
// maximised or minimised one is where the window system put it. Only a shown window knows the
// size of its frame.
inline void keepOnScreen(QWidget& w) {
    const QScreen* s = w.screen();
    if (!w.isVisible() || !s || w.isMaximized() || w.isMinimized()) return;
    const QRect area = s->availableGeometry();
    const QRect frame = w.frameGeometry();
    const QPoint inside(
        std::clamp(frame.x(), area.x(), std::max(area.x(), area.right() + 1 - frame.width())),
        std::clamp(frame.y(), area.y(), std::max(area.y(), area.bottom() + 1 - frame.height())));
    if (inside != frame.topLeft()) w.move(inside);
}

}  // namespace tunalyx
