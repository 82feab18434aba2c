#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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

}  // namespace tunalyx
