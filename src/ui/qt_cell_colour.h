#pragma once

#include <QColor>
#include <QGuiApplication>
#include <QPalette>
#include <QPushButton>

#include <cstdint>

namespace tunalyx {

// A colour kept as 0x00BBGGRR, as the widgets paint it.
[[nodiscard]] inline QColor cellQColor(std::uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

// The 0x00BBGGRR value of a colour.
[[nodiscard]] inline std::uint32_t colourValue(const QColor& c) {
    return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
           static_cast<std::uint32_t>(c.blue()) << 16;
}

// A stored colour that may also name a system colour (top bit set, the element number below):
// those follow the desktop's palette, so a watch on "button face" looks like the buttons do.
[[nodiscard]] inline QColor storedQColor(std::uint32_t colour) {
    if ((colour & 0x80000000u) == 0) return cellQColor(colour);
    const QPalette palette = QGuiApplication::palette();
    switch (colour & 0xFF) {
        case 4:
            return palette.color(QPalette::Window);  // menu
        case 5:
            return palette.color(QPalette::Base);  // window
        case 7:
            return palette.color(QPalette::WindowText);  // menu text
        case 8:
            return palette.color(QPalette::Text);  // window text
        case 13:
            return palette.color(QPalette::Highlight);  // highlight
        case 14:
            return palette.color(QPalette::HighlightedText);  // highlight text
        case 16:
            return palette.color(QPalette::Dark);  // button shadow
        case 18:
            return palette.color(QPalette::ButtonText);  // button text
        case 20:
            return palette.color(QPalette::Light);  // button highlight
        case 23:
            return palette.color(QPalette::ToolTipText);  // tool tip text
        case 24:
            return palette.color(QPalette::ToolTipBase);  // tool tip back
        default:
            return palette.color(QPalette::Button);  // button face and the rest
    }
}

// A colour button shows the colour it chooses as its face.
inline void showButtonColour(QPushButton* button, std::uint32_t colour) {
    QPalette p = button->palette();
    p.setColor(QPalette::Button, storedQColor(colour));
    button->setPalette(p);
    button->setAutoFillBackground(true);
}

}  // namespace tunalyx
