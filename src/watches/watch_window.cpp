#include "watches/watch_window.h"

#include <QLabel>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

#include "app/qt_window_placement.h"
#include "maps/qt_cell_colour.h"
#include "watches/watch_display.h"

namespace tunalyx {

namespace {

QString latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// A placement from a file or the store, held to what a desktop can have.
long long twips(double v) {
    return std::llround(std::clamp(std::isfinite(v) ? v : 0.0, -1e7, 1e7));
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
    font.setPointSizeF(settings.FontSize > 0 ? settings.FontSize : 20);
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
    applyPlacement(*this, {twips(s.Left), twips(s.Top), std::max(0LL, twips(s.Height)),
                           std::max(0LL, twips(s.Width)), 0});
    setWindowTitle(latin1(s.Caption));
    setColour(*this, QPalette::Window, s.BackColour);
    m_lblValue->setFont(watchFont(s));
    layoutLabel();
    setVisible(s.Visible);
}

void WatchWindow::InitArrays() {
    m_bandColour = m_fields.Colour;
    m_bandMax = m_fields.MaxValue;
    lblValue_Change();
}

void WatchWindow::DisplayWatchValue(double value) {
    const QString text = std::isfinite(value)
                             ? latin1(watchText(value, m_fields.DecimalPlaces, m_locale))
                             : QString();
    if (text == m_lblValue->text()) return;  // the same text keeps its colour
    m_lblValue->setText(text);
    lblValue_Change();
}

void WatchWindow::Init(double value) {
    InitArrays();
    DisplayWatchValue(value);
    lblValue_Change();
    layoutLabel();
}

void WatchWindow::lblValue_Change() {
    const int band =
        watchBand(m_lblValue->text().toStdString(), m_fields.Colours, m_bandMax, m_locale);
    setColour(*m_lblValue, QPalette::WindowText, m_bandColour[static_cast<std::size_t>(band)]);
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
