#include "watches/watch_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>

#include <algorithm>
#include <cmath>

#include "ui/qt_cell_colour.h"
#include "ui/qt_text.h"
#include "ui/qt_window_placement.h"
#include "ui/window_placement.h"
#include "watches/watch_display.h"

namespace tunalyx {

namespace {

// The free area of a screen in twips.
WatchPlace areaOf(const QScreen& screen) {
    const QRect r = screen.availableGeometry();
    const double dpi = screen.logicalDotsPerInchX();
    return {static_cast<double>(pixelsToTwips(r.x(), dpi)),
            static_cast<double>(pixelsToTwips(r.y(), dpi)),
            static_cast<double>(pixelsToTwips(r.width(), dpi)),
            static_cast<double>(pixelsToTwips(r.height(), dpi))};
}

// The free area of the screen a place starts on, else of the main screen.
WatchPlace screenAreaAt(double left, double top) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        const WatchPlace a = areaOf(*screen);
        if (left >= a.left && left < a.left + a.width && top >= a.top && top < a.top + a.height)
            return a;
    }
    const QScreen* main = QGuiApplication::primaryScreen();
    return main ? areaOf(*main) : WatchPlace{0, 0, 1e6, 1e6};
}

void setColour(QWidget& w, QPalette::ColorRole role, std::uint32_t colour) {
    QPalette p = w.palette();
    p.setColor(role, storedQColor(colour));
    w.setPalette(p);
}

}  // namespace

QFont watchFont(const WatchSettings& settings) {
    QFont font;
    font.setFamilies({latin1(settings.FontName)});
    font.setStyleHint(QFont::SansSerif);
    font.setBold(settings.FontBold);
    font.setItalic(settings.FontItalic);
    font.setPointSizeF(heldFontSize(settings.FontSize));
    return font;
}

WatchWindow::WatchWindow(int index, const NumberLocale& locale, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint),
      m_index(index),
      m_locale(locale),
      m_lblValue(new QLabel(this)) {
    setObjectName(QStringLiteral("frmWatch%1").arg(index));
    setWindowTitle(tr("Watch"));
    setAutoFillBackground(true);
    m_lblValue->setObjectName(QStringLiteral("lblValue"));
    m_lblValue->setAlignment(Qt::AlignCenter);
    apply(defaultWatch(index));
}

WatchSettings WatchWindow::settings() const {
    WatchSettings s = m_fields;
    const WindowPlacement p = placementOf(*this);
    s.Left = static_cast<double>(p.left);
    s.Top = static_cast<double>(p.top);
    s.Height = static_cast<double>(p.height);
    s.Width = static_cast<double>(p.width);
    s.Caption = windowTitle().toLatin1().toStdString();
    s.Visible = isVisible();
    return s;
}

void WatchWindow::apply(const WatchSettings& s) {
    m_fields = s;
    // A damaged file or store could ask for windows far off the desktop, or larger than it.
    m_fields.FontSize = heldFontSize(s.FontSize);
    const WatchPlace place =
        heldOnScreen({s.Left, s.Top, s.Width, s.Height}, screenAreaAt(s.Left, s.Top));
    applyPlacement(*this, {std::llround(place.left), std::llround(place.top),
                           std::llround(place.height), std::llround(place.width), 0});
    setWindowTitle(latin1(s.Caption));
    setColour(*this, QPalette::Window, s.BackColour);
    m_lblValue->setFont(watchFont(m_fields));
    setVisible(s.Visible);
    fitText();
    layoutLabel();
}

void WatchWindow::InitArrays() {
    m_bandColour = m_fields.Colour;
    m_bandMax = m_fields.MaxValue;
    lblValue_Change();
}

void WatchWindow::DisplayWatchValue(double value, Precision precision) {
    const QString text = std::isfinite(value)
                             ? latin1(watchText(value, m_fields.DecimalPlaces, m_locale, precision))
                             : QString();
    if (text == m_lblValue->text()) return;  // the same text keeps its colour
    m_lblValue->setText(text);
    fitText();
    lblValue_Change();
}

void WatchWindow::Init(double value, Precision precision) {
    InitArrays();
    DisplayWatchValue(value, precision);
    lblValue_Change();
    layoutLabel();
}

void WatchWindow::lblValue_Change() {
    const int band =
        watchBand(m_lblValue->text().toStdString(), m_fields.Colours, m_bandMax, m_locale);
    setColour(*m_lblValue, QPalette::WindowText, m_bandColour[static_cast<std::size_t>(band)]);
}

void WatchWindow::fitText() {
    // Room for the value shown and for any four-digit value with its sign and decimals, so that
    // a watch at its first size shows its whole text; never more than the screen.
    const QFontMetrics metrics(m_lblValue->font());
    const QString widest = latin1(watchText(-8888, m_fields.DecimalPlaces, m_locale));
    const int textWidth =
        std::max(metrics.horizontalAdvance(widest), metrics.horizontalAdvance(m_lblValue->text()));
    QSize need(textWidth + 2 * kTextMargin, metrics.height() + 2 * kTextMargin);
    if (const QScreen* s = screen())
        need = need.boundedTo(s->availableGeometry().size() - (frameGeometry().size() - size()));
    setMinimumSize(need);
    keepOnScreen(*this);
}

void WatchWindow::layoutLabel() {
    // As wide as the window and centred in its height; the font keeps its size.
    const int h = m_lblValue->fontMetrics().height() + 2;
    m_lblValue->setGeometry(0, (height() - h) / 2, width(), h);
}

void WatchWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutLabel();
}

void WatchWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit setupRequested(m_index);
    QWidget::mouseDoubleClickEvent(event);
}

}  // namespace tunalyx
