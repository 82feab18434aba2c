#include "graph/surface_plot_widget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace tunalyx {

namespace {

// The labelled columns and rows (0-based) of the speed and load axes: N01, N05 ... N20.
constexpr std::array<int, 5> kAxisTicks{0, 4, 9, 14, 19};
constexpr int kValueSegments = 3;
constexpr float kDegreesPerPixel = 0.5F;
constexpr double kZoomPerNotch = 1.1;

const QColor kBackground(255, 255, 255);
const QColor kGridLine(200, 200, 200);
const QColor kCellLine(22, 36, 12);
const QColor kLabelBorder(150, 150, 150);
const QColor kLabelText(32, 32, 32);

constexpr float kHX = SurfaceProjection::kHalfX;
constexpr float kHY = SurfaceProjection::kHalfY;
constexpr float kHZ = SurfaceProjection::kHalfZ;

QPointF pt(ScreenPoint p) {
    return {p.x, p.y};
}

QRectF labelBox(const QFontMetricsF& fm, QPointF centre, const QString& text) {
    const QSizeF size(fm.horizontalAdvance(text) + 8, fm.height() + 2);
    return {centre - QPointF(size.width() / 2, size.height() / 2), size};
}

// A label in a white box with a rounded border.
void drawLabel(QPainter& p, const QRectF& box, const QString& text) {
    p.setPen(QPen(kLabelBorder, 1));
    p.drawRoundedRect(box, 3, 3);
    p.setPen(kLabelText);
    p.drawText(box, Qt::AlignCenter, text);
}

// How far a label's centre must sit from an edge, along `dir`, to clear it.
double clearance(const QFontMetricsF& fm, QPointF dir, const QString& text) {
    return std::abs(dir.x()) * (fm.horizontalAdvance(text) + 8) / 2 +
           std::abs(dir.y()) * (fm.height() + 2) / 2 + 3;
}

QPointF unit(QPointF v) {
    const double length = std::hypot(v.x(), v.y());
    return length < 1e-3 ? QPointF(0, 1) : v / length;
}

}  // namespace

SurfacePlotWidget::SurfacePlotWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::OpenHandCursor);
    m_projection.setValues(m_values);
}

void SurfacePlotWidget::setValues(const GraphValues& values) {
    m_values = values;
    m_projection.setValues(values);
    update();
}

void SurfacePlotWidget::setCamera(const SurfaceCamera& camera) {
    m_projection.setCamera(camera);
    update();
}

void SurfacePlotWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    p.setRenderHint(QPainter::Antialiasing);

    // Large bold labels: the window is low, and small text on a 3D view does not read.
    QFont labelFont = font();
    labelFont.setBold(true);
    labelFont.setPixelSize(std::clamp(height() / 17, 10, 22));
    p.setFont(labelFont);
    const QFontMetricsF fm(labelFont);

    const float lo = m_projection.valueMin();
    const float hi = m_projection.valueMax();
    const int decimals = valueLabelDecimals(lo, hi, kValueSegments);
    std::array<QString, kValueSegments + 1> valueTexts;
    double valueWidth = 0;
    for (int k = 0; k <= kValueSegments; ++k) {
        const float v = lo + (hi - lo) * static_cast<float>(k) / kValueSegments;
        valueTexts[static_cast<std::size_t>(k)] = QString::number(double(v), 'f', decimals);
        valueWidth = std::max(valueWidth, fm.horizontalAdvance(valueTexts[std::size_t(k)]));
    }
    const double side = valueWidth + 16;
    const double line = fm.height() + 4;
    m_projection.setView({float(side), float(line * 0.6), float(width() - 2 * side),
                          float(height() - line * 0.6 - line * 2.2)});

    const auto at = [&](float x, float y, float z) { return pt(m_projection.project(x, y, z)); };
    const auto farther = [&](float a, float b, auto depthOf) {
        return depthOf(a) < depthOf(b) ? a : b;
    };
    // The back walls are the ones turned away from the eye; the axes run along the front edges.
    const float backX = farther(kHX, -kHX, [&](float x) { return m_projection.depth(x, 0, 0); });
    const float backZ = farther(kHZ, -kHZ, [&](float z) { return m_projection.depth(0, 0, z); });
    const float frontX = -backX;
    const float frontZ = -backZ;

    // Floor and back walls.
    p.setPen(QPen(kGridLine, 1));
    for (const int t : kAxisTicks) {
        const float x = SurfaceProjection::columnX(float(t));
        const float z = SurfaceProjection::rowZ(float(t));
        p.drawLine(at(x, -kHY, -kHZ), at(x, -kHY, kHZ));
        p.drawLine(at(-kHX, -kHY, z), at(kHX, -kHY, z));
        p.drawLine(at(x, -kHY, backZ), at(x, kHY, backZ));
        p.drawLine(at(backX, -kHY, z), at(backX, kHY, z));
    }
    for (int k = 0; k <= kValueSegments; ++k) {
        const float y = -kHY + 2 * kHY * float(k) / kValueSegments;
        p.drawLine(at(-kHX, y, backZ), at(kHX, y, backZ));
        p.drawLine(at(backX, y, -kHZ), at(backX, y, kHZ));
    }
    p.drawLine(at(backX, -kHY, backZ), at(backX, kHY, backZ));

    // The surface, far cells first.
    p.setPen(QPen(kCellLine, 0.8));
    for (const SurfaceQuad& q : m_projection.quads()) {
        const std::array<QPointF, 4> corners{pt(q.corners[0]), pt(q.corners[1]), pt(q.corners[2]),
                                             pt(q.corners[3])};
        p.setBrush(QColor(q.fill.r, q.fill.g, q.fill.b));
        p.drawPolygon(corners.data(), int(corners.size()));
    }

    p.setBrush(kBackground);
    // The value axis at both sides of the box, where the walls end.
    std::array<QPointF, 4> floorCorners{at(-kHX, -kHY, -kHZ), at(kHX, -kHY, -kHZ),
                                        at(kHX, -kHY, kHZ), at(-kHX, -kHY, kHZ)};
    const std::array<std::pair<float, float>, 4> cornerXZ{
        {{-kHX, -kHZ}, {kHX, -kHZ}, {kHX, kHZ}, {-kHX, kHZ}}};
    const auto byX = [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); };
    const auto left = std::min_element(floorCorners.begin(), floorCorners.end(), byX);
    const auto right = std::max_element(floorCorners.begin(), floorCorners.end(), byX);
    std::array<QRectF, 2 * (kValueSegments + 1)> valueBoxes;
    std::size_t valueCount = 0;
    for (const auto& [corner, direction] : {std::pair{left, -1.0}, std::pair{right, 1.0}}) {
        const auto [cx, cz] = cornerXZ[std::size_t(corner - floorCorners.begin())];
        for (int k = 0; k <= kValueSegments; ++k) {
            const QString& text = valueTexts[std::size_t(k)];
            const QPointF edge = at(cx, -kHY + 2 * kHY * float(k) / kValueSegments, cz);
            const QRectF box =
                labelBox(fm, edge + QPointF(direction * clearance(fm, {1, 0}, text), 0), text);
            // Seen from high above the axis is short: labels that would cover another go.
            if (k > 0 && box.intersects(valueBoxes[valueCount - 1])) continue;
            drawLabel(p, box, text);
            valueBoxes[valueCount++] = box;
        }
    }

    // Axis labels: the ticks just outside the front edges, the axis's name beyond them. A tick
    // at a corner of the box moves down below the value labels there.
    const auto clear = [&](QRectF box) {
        for (int step = 0; step < 40; ++step) {
            const bool hit = std::any_of(valueBoxes.begin(), valueBoxes.begin() + long(valueCount),
                                         [&](const QRectF& v) { return v.intersects(box); });
            if (!hit) break;
            box.translate(0, 2);
        }
        return box;
    };
    const auto drawAxis = [&](const QString& title, auto edgePoint, QPointF outward) {
        double farthest = 0;
        QRectF last;
        for (const int t : kAxisTicks) {
            const QString text = QString::number(t + 1);
            const QPointF edge = edgePoint(float(t));
            const double gap = clearance(fm, outward, text);
            farthest = std::max(farthest, 2 * gap);
            const QRectF box = clear(labelBox(fm, edge + outward * gap, text));
            if (box.intersects(last)) continue;  // an axis seen end on
            drawLabel(p, box, text);
            last = box;
        }
        const QPointF middle = edgePoint(9.5F);
        const double away = farthest + clearance(fm, outward, title);
        drawLabel(p, clear(labelBox(fm, middle + outward * away, title)), title);
    };
    const auto speedEdge = [&](float col) {
        return at(SurfaceProjection::columnX(col), -kHY, frontZ);
    };
    const auto loadEdge = [&](float row) { return at(frontX, -kHY, SurfaceProjection::rowZ(row)); };
    drawAxis(tr("Speed N"), speedEdge, unit(at(0, -kHY, frontZ * 1.2F) - at(0, -kHY, frontZ)));
    drawAxis(tr("Load P"), loadEdge, unit(at(frontX * 1.2F, -kHY, 0) - at(frontX, -kHY, 0)));
}

void SurfacePlotWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    m_dragging = true;
    m_dragFrom = event->position().toPoint();
    setCursor(Qt::ClosedHandCursor);
}

void SurfacePlotWidget::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) return QWidget::mouseMoveEvent(event);
    const QPoint to = event->position().toPoint();
    const QPoint moved = to - m_dragFrom;
    m_dragFrom = to;
    // The surface follows the hand: across turns it, down tips its top towards the eye.
    SurfaceCamera camera = m_projection.camera();
    camera.turnDegrees -= float(moved.x()) * kDegreesPerPixel;
    camera.tiltDegrees += float(moved.y()) * kDegreesPerPixel;
    setCamera(camera);
}

void SurfacePlotWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    m_dragging = false;
    setCursor(Qt::OpenHandCursor);
}

void SurfacePlotWidget::wheelEvent(QWheelEvent* event) {
    SurfaceCamera camera = m_projection.camera();
    camera.zoom *= float(std::pow(kZoomPerNotch, event->angleDelta().y() / 120.0));
    setCamera(camera);
    event->accept();
}

}  // namespace tunalyx
