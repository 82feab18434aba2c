#include "mapwatch/scatter_widget.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tunalyx {

namespace {

constexpr int kCells = kMapWatchSize;
constexpr int kGap = 4;
constexpr int kLegendBar = 12;
const QColor kScatterGridLine(210, 210, 210);
const QRgb kNoColour = qRgb(150, 150, 150);

// Blue, cyan, green, yellow, red: the stops of the colour scale.
QColor scaleColour(double t) {
    static const std::array<QColor, 5> kStops{QColor(0, 0, 220), QColor(0, 190, 220),
                                              QColor(0, 180, 0), QColor(230, 200, 0),
                                              QColor(220, 0, 0)};
    const double at = std::clamp(t, 0.0, 1.0) * (kStops.size() - 1);
    const auto i = std::min(static_cast<std::size_t>(at), kStops.size() - 2);
    const double f = at - static_cast<double>(i);
    const auto mix = [f](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * f)); };
    return {mix(kStops[i].red(), kStops[i + 1].red()),
            mix(kStops[i].green(), kStops[i + 1].green()),
            mix(kStops[i].blue(), kStops[i + 1].blue())};
}

// Four figures, a large value (a load of 12910) whole rather than in exponent form.
QString edgeText(double v) {
    return std::abs(v) >= 1000 ? QString::number(std::lround(v)) : QString::number(v, 'g', 4);
}

}  // namespace

ScatterWidget::ScatterWidget(QWidget* parent) : QWidget(parent) {
    for (std::size_t i = 0; i < m_scale.size(); ++i)
        m_scale[i] = scaleColour(static_cast<double>(i) / (m_scale.size() - 1)).rgb();
    setMinimumSize(300, 300);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ScatterWidget::setPoints(const ScatterPoints* points) {
    m_points = points;
    pointsChanged();
}

void ScatterWidget::pointsChanged() {
    m_stale = true;
    update();
}

void ScatterWidget::setLabels(const QStringList& columns, const QStringList& rows) {
    m_columns = columns;
    m_rows = rows;
    m_background = {};
    pointsChanged();
}

void ScatterWidget::setColourCaption(const QString& caption) {
    m_caption = caption;
    update();
}

void ScatterWidget::selectCell(int row, int col) {
    m_row = row;
    m_col = col;
    update();
}

QRect ScatterWidget::plotRect() const {
    const QFontMetrics fm = fontMetrics();
    int labelWidth = 0;
    for (const QString& r : m_rows)
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(r));
    const int left = labelWidth + 2 * kGap;
    // Under the grid: the column headings, then the legend.
    const int bottom = 2 * fm.height() + kLegendBar + 3 * kGap;
    return {left, kGap, std::max(kCells, width() - left - kGap),
            std::max(kCells, height() - kGap - bottom)};
}

QRect ScatterWidget::cellRect(int row, int col) const {
    const QRect plot = plotRect();
    const auto edge = [](int start, int length, int k) { return start + length * k / kCells; };
    const int x0 = edge(plot.left(), plot.width(), col);
    const int y0 = edge(plot.top(), plot.height(), row);
    return {x0, y0, edge(plot.left(), plot.width(), col + 1) - x0,
            edge(plot.top(), plot.height(), row + 1) - y0};
}

void ScatterWidget::resizeEvent(QResizeEvent* event) {
    m_background = {};
    m_stale = true;
    QWidget::resizeEvent(event);
}

void ScatterWidget::renderPoints() {
    const QRect plot = plotRect();
    if (m_background.size() != plot.size()) {
        m_background = QImage(plot.size(), QImage::Format_RGB32);
        m_background.fill(Qt::white);
        QPainter p(&m_background);
        p.setPen(kScatterGridLine);
        const QPoint origin = plot.topLeft();
        for (int k = 0; k <= kCells; ++k) {
            const int x = cellRect(0, std::min(k, kCells - 1)).x() - origin.x();
            const int y = cellRect(std::min(k, kCells - 1), 0).y() - origin.y();
            const int xe = k == kCells ? plot.width() - 1 : x;
            const int ye = k == kCells ? plot.height() - 1 : y;
            p.drawLine(xe, 0, xe, plot.height() - 1);
            p.drawLine(0, ye, plot.width() - 1, ye);
        }
    }
    m_image = m_background;
    m_stale = false;
    if (!m_points || m_points->size() == 0) return;
    auto* bits = reinterpret_cast<QRgb*>(m_image.bits());  // detaches from the background
    const qsizetype stride = m_image.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    const int w = m_image.width();
    const int h = m_image.height();
    // Position k is the middle of cell k: the cell nearest a sample is the one it counts in.
    const float sx = static_cast<float>(w) / kCells;
    const float sy = static_cast<float>(h) / kCells;
    const bool ranged = m_points->low <= m_points->high;
    const float span = m_points->high - m_points->low;
    const float toIndex = span > 0 ? 255.0F / span : 0.0F;
    const std::size_t n = m_points->size();
    const float* xs = m_points->x.data();
    const float* ys = m_points->y.data();
    const float* cs = m_points->colour.data();
    for (std::size_t i = 0; i < n; ++i) {
        // Two pixels square, kept inside the image.
        const int px = std::clamp(static_cast<int>((xs[i] + 0.5F) * sx) - 1, 0, w - 2);
        const int py = std::clamp(static_cast<int>((ys[i] + 0.5F) * sy) - 1, 0, h - 2);
        const float c = cs[i];
        QRgb rgb = kNoColour;
        if (ranged && !std::isnan(c))
            rgb = m_scale[static_cast<std::size_t>(
                std::clamp(span > 0 ? (c - m_points->low) * toIndex : 127.0F, 0.0F, 255.0F))];
        QRgb* at = bits + py * stride + px;
        at[0] = at[1] = rgb;
        at[stride] = at[stride + 1] = rgb;
    }
}

void ScatterWidget::paintEvent(QPaintEvent*) {
    if (m_stale || m_background.size() != plotRect().size()) renderPoints();
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    const QRect plot = plotRect();
    p.drawImage(plot.topLeft(), m_image);
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm = fontMetrics();
    // Headings: every row's; the columns' as many as fit side by side.
    for (int r = 0; r < kCells && r < m_rows.size(); ++r) {
        const QRect cell = cellRect(r, 0);
        p.drawText(QRect(0, cell.y(), plot.left() - kGap, cell.height()),
                   Qt::AlignRight | Qt::AlignVCenter, m_rows[r]);
    }
    int widest = 1;
    for (const QString& c : m_columns)
        widest = std::max(widest, fm.horizontalAdvance(c) + kGap);
    const int every = std::max(1, (widest * kCells + plot.width() - 1) / plot.width());
    for (int c = 0; c < kCells && c < m_columns.size(); c += every) {
        const QRect cell = cellRect(0, c);
        p.drawText(QRect(cell.center().x() - widest, plot.bottom() + kGap, 2 * widest, fm.height()),
                   Qt::AlignHCenter | Qt::AlignTop, m_columns[c]);
    }
    if (m_row >= 0 && m_col >= 0) {
        p.setPen(QPen(Qt::black, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(cellRect(m_row, m_col).adjusted(1, 1, -1, -1));
    }

    // The legend: least value, the scale, greatest value, and what is coloured.
    const int y = plot.bottom() + 2 * kGap + fm.height();
    const bool ranged = m_points && m_points->low <= m_points->high;
    const QString low = ranged ? edgeText(m_points->low) : QStringLiteral("-");
    const QString high = ranged ? edgeText(m_points->high) : QStringLiteral("-");
    p.setPen(palette().color(QPalette::WindowText));
    int x = plot.left();
    const QRect textBox(x, y, fm.horizontalAdvance(low) + kGap, fm.height());
    p.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter, low);
    x = textBox.right() + kGap;
    const int barWidth = std::max(40, plot.width() / 3);
    QLinearGradient gradient(x, 0, x + barWidth, 0);
    for (int k = 0; k <= 4; ++k)
        gradient.setColorAt(k / 4.0, scaleColour(k / 4.0));
    const QRect bar(x, y + (fm.height() - kLegendBar) / 2, barWidth, kLegendBar);
    p.fillRect(bar, gradient);
    x = bar.right() + 2 * kGap;
    p.drawText(QRect(x, y, fm.horizontalAdvance(high) + kGap, fm.height()),
               Qt::AlignLeft | Qt::AlignVCenter, high);
    x += fm.horizontalAdvance(high) + 3 * kGap;
    p.drawText(QRect(x, y, std::max(0, width() - x), fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
               m_caption);
}

void ScatterWidget::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !plotRect().contains(at)) return;
    for (int r = 0; r < kCells; ++r)
        for (int c = 0; c < kCells; ++c)
            if (cellRect(r, c).contains(at)) {
                selectCell(r, c);
                emit cellClicked(r, c);
                return;
            }
}

HistogramWidget::HistogramWidget(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(120);
}

void HistogramWidget::setHistogram(Histogram histogram, const QString& caption) {
    m_histogram = std::move(histogram);
    m_caption = caption;
    update();
}

void HistogramWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QFontMetrics fm = fontMetrics();
    const QColor text = palette().color(QPalette::Text);
    p.setPen(text);
    const QRect captionBox(kGap, kGap, width() - 2 * kGap, fm.height());
    p.drawText(captionBox, Qt::AlignLeft | Qt::AlignVCenter, m_caption);
    const std::vector<int>& counts = m_histogram.counts;
    if (counts.empty()) return;
    const int maxCount = std::max(1, *std::max_element(counts.begin(), counts.end()));
    // Edges as fine as the bins are wide, so neighbours never read the same.
    const std::vector<double>& edges = m_histogram.edges;
    const double binWidth = (edges.back() - edges.front()) / static_cast<double>(counts.size());
    const int decimals =
        binWidth > 0 ? std::clamp(static_cast<int>(std::ceil(-std::log10(binWidth))), 0, 6) : 0;
    const auto edgeLabel = [&](double e) {
        return binWidth > 0 ? QString::number(e, 'f', decimals) : edgeText(e);
    };
    int widest = 1;
    for (const double e : edges)
        widest = std::max(widest, fm.horizontalAdvance(edgeLabel(e)) + kGap);
    // The bars stand between the caption with the counts over them and the edges under them.
    const QRect area(std::max(kGap, widest / 2), captionBox.bottom() + fm.height() + 2 * kGap, 0,
                     0);
    const int right = width() - std::max(kGap, widest / 2);
    const int bottom = height() - fm.height() - 2 * kGap;
    const int plotWidth = std::max(1, right - area.left());
    const int plotHeight = std::max(1, bottom - area.top());
    const int n = static_cast<int>(counts.size());
    const auto xOf = [&](int k) { return area.left() + plotWidth * k / n; };
    for (int k = 0; k < n; ++k) {
        const int c = counts[static_cast<std::size_t>(k)];
        const int barHeight = plotHeight * c / maxCount;
        const QRect bar(xOf(k) + 1, bottom - barHeight, std::max(1, xOf(k + 1) - xOf(k) - 2),
                        barHeight);
        p.fillRect(bar, QColor(70, 130, 200));
        if (c > 0)
            p.drawText(
                QRect(bar.x() - kGap, bar.y() - fm.height(), bar.width() + 2 * kGap, fm.height()),
                Qt::AlignHCenter | Qt::AlignBottom, QString::number(c));
    }
    p.drawLine(area.left(), bottom, right, bottom);
    const int every = std::max(1, (widest * (n + 1) + plotWidth - 1) / plotWidth);
    for (int k = 0; k <= n; k += every) {
        const int x = xOf(k);
        p.drawLine(x, bottom, x, bottom + kGap / 2);
        p.drawText(QRect(x - widest / 2, bottom + kGap / 2, widest, fm.height()),
                   Qt::AlignHCenter | Qt::AlignTop, edgeLabel(edges[static_cast<std::size_t>(k)]));
    }
}

}  // namespace tunalyx
