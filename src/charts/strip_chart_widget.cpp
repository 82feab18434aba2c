#include "charts/strip_chart_widget.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace tunalyx {

namespace {

constexpr int kTickSpacing = 90;       // pixels wanted between time labels, at least
constexpr double kZoomPerNotch = 0.8;  // wheel forward narrows the window by a fifth
constexpr double kScrollPerNotch = 0.1;
constexpr int kHorizontalLines = 4;  // grid rows per pane

QColor qColor(ChartColour colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

// The grid shows on any back colour: lighter on dark and mid tones, darker on near-white.
QColor gridColour(const QColor& back) {
    const int l = back.lightness();
    return QColor::fromHsl(back.hslHue(), back.hslSaturation(), l < 200 ? l + 32 : l - 24);
}

// The cursor line shows on every pane: black on light backs, white on dark ones.
QColor cursorColour(const QColor& back) {
    return back.lightness() > 110 ? QColor(Qt::black) : QColor(Qt::white);
}

// 1, 2 or 5 times a power of ten: the smallest such step of at least `least` seconds.
double niceStep(double least) {
    if (!(least > 0) || !std::isfinite(least)) return 1;
    const double decade = std::pow(10.0, std::floor(std::log10(least)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * decade >= least) return m * decade;
    return 10 * decade;
}

int decimalsFor(double step) {
    return std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
}

QString secondsText(double seconds, int decimals) {
    return QLocale().toString(seconds, 'f', decimals) + QStringLiteral(" s");
}

// Markers in a colour no default trace has, numbered in a tab at the top of the plot.
void paintMarkers(QPainter& p, const StripChartWidget& w, const QRect& plot) {
    const QColor colour(160, 0, 160);
    const QFontMetrics metrics(p.font());
    for (const StripMarker& m : w.chart().markers()) {
        if (m.seconds < w.windowLower() || m.seconds > w.windowUpper()) continue;
        const int x = static_cast<int>(w.pixelAt(m.seconds));
        p.setPen(colour);
        p.drawLine(x, plot.top(), x, plot.bottom());
        const QString number = QString::number(m.number);
        const QRect tab(x, plot.top(), metrics.horizontalAdvance(number) + 4, metrics.height());
        p.fillRect(tab, colour);
        p.setPen(Qt::white);
        p.drawText(tab, Qt::AlignCenter, number);
    }
}

int roundPixel(double v) {
    return static_cast<int>(std::lrint(v));
}

// One-pixel lines written straight into a 32-bit image as a vertical run per pixel column: no
// pen, no blending, which is what lets twenty full traces redraw within a frame.
class ColumnRaster {
public:
    ColumnRaster(QImage& image, const QRect& clip, QRgb colour)
        : m_bits(image.bits()), m_stride(image.bytesPerLine()), m_clip(clip), m_colour(colour) {}

    // Column x from y a to y b, in either order.
    void run(int x, double a, double b) {
        if (x < m_clip.left() || x > m_clip.right()) return;
        const int top = std::max(m_clip.top(), roundPixel(std::min(a, b)));
        const int bottom = std::min(m_clip.bottom(), roundPixel(std::max(a, b)));
        if (top > bottom) return;
        uchar* at = m_bits + static_cast<qsizetype>(top) * m_stride + x * sizeof(QRgb);
        for (int y = top; y <= bottom; ++y, at += m_stride)
            std::memcpy(at, &m_colour, sizeof(QRgb));
    }

    // The line from (x0, y0) to (x1, y1), x0 <= x1, but for the column of (x1, y1): in each
    // column, the run between where the line enters and leaves it. Returns where it enters the
    // last column, for the caller to draw that column's run in one piece.
    double lineInto(double x0, double y0, double x1, double y1) {
        const int last = roundPixel(x1);
        const int first = roundPixel(x0);
        if (first >= last) return y0;
        const double slope = (y1 - y0) / (x1 - x0);
        const int end = std::min(m_clip.right() + 1, last);
        for (int c = std::max(m_clip.left(), first); c < end; ++c) {
            const double a = std::max(c - 0.5, x0);
            run(c, y0 + (a - x0) * slope, y0 + (c + 0.5 - x0) * slope);
        }
        return y0 + (last - 0.5 - x0) * slope;
    }

private:
    uchar* m_bits;
    qsizetype m_stride;
    QRect m_clip;
    QRgb m_colour;
};

}  // namespace

StripChartWidget::StripChartWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Strip1"));
    setFocusPolicy(Qt::StrongFocus);
    // Every pixel is painted each time; Qt need not clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void StripChartWidget::setCursorPosition(double seconds) {
    m_chart.setCursor(seconds);
    update();
}

void StripChartWidget::setWindow(double lower, double upper) {
    m_chart.setWindow(lower, upper);
    update();
}

void StripChartWidget::fitAll() {
    m_chart.fitAll();
    update();
}

int StripChartWidget::axisHeight() const {
    // A row of tick labels, and under it a row for the cursor's time, so that it covers none.
    return 2 * fontMetrics().height() + 10;
}

QRect StripChartWidget::plotRect() const {
    return rect().adjusted(0, 0, 0, -axisHeight());
}

QRect StripChartWidget::paneRect(int p) const {
    const QRect plot = plotRect();
    const int n = m_chart.paneCount();
    const int top = plot.top() + plot.height() * p / n;
    const int bottom = plot.top() + plot.height() * (p + 1) / n;
    return {plot.left(), top, plot.width(), bottom - top};
}

double StripChartWidget::timeAt(double px) const {
    const QRect plot = plotRect();
    if (plot.width() <= 0) return m_chart.windowLower();
    return m_chart.windowLower() + (px - plot.left()) * m_chart.windowWidth() / plot.width();
}

double StripChartWidget::pixelAt(double seconds) const {
    const QRect plot = plotRect();
    return plot.left() + (seconds - m_chart.windowLower()) * plot.width() / m_chart.windowWidth();
}

void StripChartWidget::setHint(const QString& hint) {
    if (hint == m_hint) return;
    m_hint = hint;
    update();
}

void StripChartWidget::paintEvent(QPaintEvent* /*event*/) {
    const QRect plot = plotRect();
    const double tickStep =
        niceStep(m_chart.windowWidth() * kTickSpacing / std::max(1, plot.width()));
    QPainter p(this);
    if (plot.width() > 0 && plot.height() > 0) {
        paintPlot(tickStep);
        p.drawImage(plot.topLeft(), m_plot);
        for (int pane = 0; pane < m_chart.paneCount(); ++pane)
            paintCaptions(p, pane);
        p.setClipping(false);
        if (!m_hint.isEmpty()) {
            p.setPen(cursorColour(qColor(m_chart.pane(0).backColour)));
            p.drawText(plot, Qt::AlignCenter | Qt::TextWordWrap, m_hint);
        }
    }

    p.setPen(palette().color(QPalette::Dark));
    for (int pane = 1; pane < m_chart.paneCount(); ++pane) {
        const int y = paneRect(pane).top();
        p.drawLine(plot.left(), y, plot.right(), y);
    }
    if (plot.height() > 0) paintMarkers(p, *this, plot);
    const double cursor = m_chart.cursor();
    if (cursor >= m_chart.windowLower() && cursor <= m_chart.windowUpper() && plot.height() > 0) {
        const int x = static_cast<int>(pixelAt(cursor));
        for (int pane = 0; pane < m_chart.paneCount(); ++pane) {
            const QRect r = paneRect(pane);
            p.setPen(cursorColour(qColor(m_chart.pane(pane).backColour)));
            p.drawLine(x, r.top(), x, r.bottom());
        }
    }
    paintAxis(p, tickStep);
}

void StripChartWidget::paintPlot(double tickStep) {
    const QRect plot = plotRect();
    const qreal dpr = devicePixelRatioF();
    const QSize size(qRound(plot.width() * dpr), qRound(plot.height() * dpr));
    if (m_plot.size() != size) m_plot = QImage(size, QImage::Format_RGB32);
    m_plot.setDevicePixelRatio(dpr);
    {
        QPainter p(&m_plot);
        p.translate(-plot.topLeft());
        for (int pane = 0; pane < m_chart.paneCount(); ++pane) {
            const QRect r = paneRect(pane);
            const StripPane& settings = m_chart.pane(pane);
            const QColor back = qColor(settings.backColour);
            p.setClipRect(r);
            p.fillRect(r, back);
            if (!settings.grid) continue;
            p.setPen(QPen(gridColour(back), 0));
            for (int k = 1; k < kHorizontalLines; ++k) {
                const int y = r.top() + r.height() * k / kHorizontalLines;
                p.drawLine(r.left(), y, r.right(), y);
            }
            const double lower = m_chart.windowLower();
            for (double k = std::ceil(lower / tickStep); k * tickStep <= m_chart.windowUpper();
                 ++k) {
                const int x = static_cast<int>(pixelAt(k * tickStep));
                p.drawLine(x, r.top(), x, r.bottom());
            }
        }
    }
    for (int pane = 0; pane < m_chart.paneCount(); ++pane) {
        // The pane in the image's own pixels.
        const QRect r = paneRect(pane);
        const int top = qRound((r.top() - plot.top()) * dpr);
        const int bottom = qRound((r.bottom() + 1 - plot.top()) * dpr) - 1;
        if (bottom < top) continue;
        const QRect area(0, top, size.width(), bottom - top + 1);
        if (m_overlay) {
            m_overlay->setWindow(m_chart.windowLower(), m_chart.windowUpper());
            for (int t = 0; t < StripChart::kStoredTraces; ++t)
                if (m_overlay->shownPane(t) == pane && m_overlay->pointCount(t) > 0)
                    paintTrace(*m_overlay, t, area);
        }
        for (int t = 0; t < StripChart::kUserTraces; ++t)
            if (m_chart.shownPane(t) == pane && m_chart.hasData(t)) paintTrace(m_chart, t, area);
    }
}

void StripChartWidget::paintTrace(const StripChart& chart, int t, const QRect& area) {
    chart.decimate(t, m_plot.width(), m_columns);
    if (m_columns.empty()) return;

    const StripPane& pane = m_chart.pane(chart.shownPane(t));
    const double range = pane.yMax != pane.yMin ? pane.yMax - pane.yMin : 1.0;
    const double scale = (area.height() - 1) / range;
    const double bottom = area.bottom();
    // Off-scale and unusable values sit just outside the pane, where the clip hides them but the
    // line still runs towards them.
    const double low = bottom + 1;
    const double high = area.top() - 1.0;
    const auto py = [&](double v) {
        const double y = bottom - (v - pane.yMin) * scale;
        return std::isnan(y) ? low : std::clamp(y, high, low);
    };

    ColumnRaster raster(m_plot, area, qColor(chart.traceColour(t)).rgb());
    double lastX = 0;
    double lastY = 0;
    bool joined = false;
    for (const StripColumn& c : m_columns) {
        // Nothing to draw (a math item that cannot be worked out there): a gap, not a line
        // down out of the pane.
        if (std::isnan(c.min) || std::isnan(c.max)) {
            joined = false;
            continue;
        }
        double runTop = py(c.max);
        double runBottom = py(c.min);
        if (joined && !c.breakBefore) {
            const double enter = raster.lineInto(lastX, lastY, c.x, py(c.first));
            runTop = std::min(runTop, enter);
            runBottom = std::max(runBottom, enter);
        }
        raster.run(roundPixel(c.x), runTop, runBottom);
        lastX = c.x;
        lastY = py(c.last);
        joined = !std::isnan(c.last);
    }
}

void StripChartWidget::paintCaptions(QPainter& p, int pane) {
    const QRect r = paneRect(pane);
    p.setClipRect(r);
    const QFontMetrics fm = fontMetrics();
    for (int t = 0; t < StripChart::kUserTraces; ++t) {
        const StripCaption& c = m_chart.caption(t);
        if (c.text.empty() || m_chart.shownPane(t) != pane) continue;
        const QString text = QString::fromStdString(c.text);
        const QSize size = fm.size(Qt::TextSingleLine, text);
        // Centred on its position, but kept whole inside the pane.
        const double x = r.left() + c.along * r.width() - size.width() / 2.0;
        const double y = r.bottom() - c.across * r.height() - size.height() / 2.0;
        const QRectF box(
            std::max<double>(r.left(), std::min<double>(x, r.right() + 1 - size.width())),
            std::max<double>(r.top(), std::min<double>(y, r.bottom() + 1 - size.height())),
            size.width(), size.height());
        p.setPen(qColor(c.colour));
        p.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, text);
    }
}

void StripChartWidget::paintAxis(QPainter& p, double tickStep) {
    const QRect axis(0, plotRect().bottom() + 1, width(), axisHeight());
    p.fillRect(axis, palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawLine(axis.left(), axis.top(), axis.right(), axis.top());

    const QFontMetrics fm = fontMetrics();
    const int decimals = decimalsFor(tickStep);
    const double lower = m_chart.windowLower();
    for (double k = std::ceil(lower / tickStep); k * tickStep <= m_chart.windowUpper(); ++k) {
        const double seconds = k * tickStep;
        const int x = static_cast<int>(pixelAt(seconds));
        p.drawLine(x, axis.top(), x, axis.top() + 3);
        const QString text = secondsText(seconds, decimals);
        const int w = fm.horizontalAdvance(text);
        const int left = std::clamp(x - w / 2, 0, std::max(0, width() - w));
        p.drawText(left, axis.top() + 4 + fm.ascent(), text);
    }

    const double cursor = m_chart.cursor();
    if (cursor < lower || cursor > m_chart.windowUpper()) return;
    const QString text = secondsText(cursor, decimalsFor(tickStep) + 2);
    const int w = fm.horizontalAdvance(text) + 6;
    const int x =
        std::clamp(static_cast<int>(pixelAt(cursor)) - w / 2, 0, std::max(0, width() - w));
    const QRect box(x, axis.top() + fm.height() + 5, w, fm.height() + 4);
    p.fillRect(box, palette().color(QPalette::ToolTipBase));
    p.setPen(palette().color(QPalette::ToolTipText));
    p.drawText(box, Qt::AlignCenter, text);
}

void StripChartWidget::moveCursorTo(double px) {
    const double seconds = std::clamp(timeAt(px), m_chart.windowLower(), m_chart.windowUpper());
    if (seconds == m_chart.cursor()) return;
    m_chart.setCursor(seconds);
    update();
    emit cursorMoved(seconds);
}

void StripChartWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    moveCursorTo(event->position().x());
}

void StripChartWidget::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return QWidget::mouseMoveEvent(event);
    moveCursorTo(event->position().x());
}

void StripChartWidget::wheelEvent(QWheelEvent* event) {
    const QPoint d = event->angleDelta();
    const bool horizontal = std::abs(d.x()) > std::abs(d.y());
    const int delta = horizontal ? d.x() : d.y();
    if (delta == 0) return event->ignore();
    const double notches = delta / 120.0;
    // Shift turns the wheel into scrolling, as in most views that scroll sideways.
    if (horizontal || (event->modifiers() & Qt::ShiftModifier))
        m_chart.scrollBy(-notches * kScrollPerNotch * m_chart.windowWidth());
    else
        m_chart.zoom(timeAt(event->position().x()), std::pow(kZoomPerNotch, notches));
    update();
    event->accept();
}

void StripChartWidget::keyPressEvent(QKeyEvent* event) {
    emit keyDown(event->key(), event->modifiers());
    event->accept();
}

}  // namespace tunalyx
