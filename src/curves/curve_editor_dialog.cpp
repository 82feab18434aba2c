#include "curves/curve_editor_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <tuple>

#include "model/number_format.h"
#include "ui/qt_edit_keys.h"
#include "ui/qt_text.h"

namespace tunalyx {

namespace {
constexpr double kBoxSize = 7;
constexpr double kPickRadius = 5;  // a press this close to a point's centre takes the point
constexpr int kTipGap = 8;
const QColor kLineColour(0, 0, 160);
const QColor kPointColour(0, 0, 160);
const QColor kMarkerColour(220, 0, 0);

}  // namespace

CurvePlot::CurvePlot(CurveEdit& curve, const NumberLocale& locale, QWidget* parent)
    : QWidget(parent), m_curve(curve), m_locale(locale), m_tip(new QLabel(this)) {
    setObjectName(QStringLiteral("PBX1"));
    setMouseTracking(true);
    setMinimumSize(1, 1);
    m_tip->setObjectName(QStringLiteral("txtToolTip"));
    m_tip->setAutoFillBackground(true);
    m_tip->setFrameShape(QFrame::Box);
    QPalette tipColours = m_tip->palette();
    tipColours.setColor(QPalette::Window, QColor(255, 255, 225));
    tipColours.setColor(QPalette::WindowText, Qt::black);
    m_tip->setPalette(tipColours);
    m_tip->hide();
}

QPointF CurvePlot::pointCentre(int i) const {
    const auto at = static_cast<std::size_t>(i);
    return {m_curve.screenX(m_curve.XVal()[at], width()),
            m_curve.screenY(m_curve.YVal()[at], height())};
}

int CurvePlot::pointAt(const QPointF& at) const {
    // The last drawn lies on top, so it is the one taken.
    for (int i = m_curve.count() - 1; i >= 0; --i) {
        const QPointF d = at - pointCentre(i);
        if (std::abs(d.x()) <= kPickRadius && std::abs(d.y()) <= kPickRadius) return i;
    }
    return -1;
}

void CurvePlot::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const int n = m_curve.count();
    if (n == 0) return;

    std::vector<QPointF> points;
    for (int i = 0; i < n; ++i)
        points.push_back(i == m_drag ? m_marker : pointCentre(i));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kLineColour, 1.5));
    // Flat before the first point and after the last.
    p.drawLine(QPointF(0, points.front().y()), points.front());
    for (std::size_t i = 1; i < points.size(); ++i)
        p.drawLine(points[i - 1], points[i]);
    p.drawLine(points.back(), QPointF(width(), points.back().y()));

    p.setPen(Qt::NoPen);
    for (int i = 0; i < n; ++i) {
        const QPointF c = points[static_cast<std::size_t>(i)];
        p.setBrush(i == m_drag ? kMarkerColour : kPointColour);
        p.drawRect(QRectF(c.x() - kBoxSize / 2, c.y() - kBoxSize / 2, kBoxSize, kBoxSize));
    }
}

void CurvePlot::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_curve.viewOnly()) return;
    const int i = pointAt(event->position());
    if (i < 0) return;
    m_drag = i;
    m_pressAt = event->position();
    m_startCentre = pointCentre(i);
    m_marker = m_startCentre;
    m_moved = false;
    update();
}

void CurvePlot::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging()) {
        m_tip->hide();
        return;
    }
    const QPointF delta = event->position() - m_pressAt;
    if (!delta.isNull()) m_moved = true;
    const bool oneAxis =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const DragOffset moved =
        constrainDrag(delta.x(), delta.y(), oneAxis, m_curve.lockX(), m_curve.lockY());
    m_marker = m_startCentre + QPointF(moved.dx, moved.dy);
    m_tip->setText(latin1(m_curve.pointText(m_curve.valueX(m_marker.x(), width()),
                                            m_curve.valueY(m_marker.y(), height()), m_locale)));
    placeTip();
    update();
}

void CurvePlot::placeTip() {
    m_tip->adjustSize();
    // Beside the marker, and inside the plot whatever the marker's place.
    const int x = std::clamp(static_cast<int>(m_marker.x()) + kTipGap, 0,
                             std::max(0, width() - m_tip->width()));
    const int y = std::clamp(static_cast<int>(m_marker.y()) - kTipGap - m_tip->height(), 0,
                             std::max(0, height() - m_tip->height()));
    m_tip->move(x, y);
    m_tip->show();
}

void CurvePlot::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging() || event->button() != Qt::LeftButton) return;
    if (m_moved) {
        m_curve.dropPoint(m_drag, m_curve.valueX(m_marker.x(), width()),
                          m_curve.valueY(m_marker.y(), height()));
        m_curve.ReScaleScreen();
        emit rescaled();
    }
    cancelDrag();
}

void CurvePlot::cancelDrag() {
    m_drag = -1;
    m_moved = false;
    m_tip->hide();
    update();
}

CurveEditorDialog::CurveEditorDialog(Session& session, std::string tag, QWidget* parent)
    : QDialog(parent), m_session(session), m_tag(std::move(tag)) {
    setObjectName(QStringLiteral("frmEditCurve"));
    setWindowTitle(tr("Edit Curve"));
    m_plot = new CurvePlot(m_curve, m_session.codec.locale(), this);
    m_chkLockXVals = new QCheckBox(tr("Lock X Values"), this);
    m_chkLockXVals->setObjectName(QStringLiteral("chkLockXVals"));
    m_chkLockYVals = new QCheckBox(tr("Lock Y Values"), this);
    m_chkLockYVals->setObjectName(QStringLiteral("chkLockYVals"));
    m_cmdOK = new QPushButton(tr("OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdCancel = new QPushButton(tr("Cancel"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    m_lblRange = new QLabel(this);
    m_lblRange->setObjectName(QStringLiteral("lblRange"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_plot, 1);
    layout->addWidget(m_lblRange);
    auto* row = new QHBoxLayout;
    row->addWidget(m_chkLockXVals);
    row->addWidget(m_chkLockYVals);
    row->addStretch(1);
    row->addWidget(m_cmdOK);
    row->addWidget(m_cmdCancel);
    layout->addLayout(row);
    resize(560, 420);

    connect(m_chkLockXVals, &QCheckBox::toggled, this, [this](bool on) { m_curve.setLockX(on); });
    connect(m_chkLockYVals, &QCheckBox::toggled, this, [this](bool on) { m_curve.setLockY(on); });
    connect(m_plot, &CurvePlot::rescaled, this, &CurveEditorDialog::pointDropped);
    connect(m_cmdOK, &QPushButton::clicked, this, &CurveEditorDialog::cmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    DisplayCurve();
}

void CurveEditorDialog::DisplayCurve() {
    m_plot->cancelDrag();
    m_curve.DisplayCurve(m_tag, m_session.image, m_session.compareMode);
    m_shown = m_curve;
    m_undo.clear();
    m_redo.clear();
    for (auto [box, on, fixed] :
         {std::tuple{m_chkLockXVals, m_curve.lockX(), m_curve.lockXFixed()},
          std::tuple{m_chkLockYVals, m_curve.lockY(), m_curve.lockYFixed()}}) {
        box->setChecked(on);
        box->setEnabled(!fixed);
    }
    showRange();
    m_plot->update();
}

void CurveEditorDialog::showRange() {
    // The plot has no axes; the ends of its ranges give it a scale.
    const CurveDescriptor& d = m_curve.descriptor();
    const NumberLocale& locale = m_session.codec.locale();
    const auto text = [&](double v, const CurveElement& e) {
        return latin1(formatValue(v, e.format, locale));
    };
    m_lblRange->setText(tr("X %1 to %2, Y %3 to %4")
                            .arg(text(m_curve.xRange().min, d.x), text(m_curve.xRange().max, d.x),
                                 text(m_curve.yRange().min, d.y), text(m_curve.yRange().max, d.y)));
}

void CurveEditorDialog::pointDropped() {
    m_undo.push_back(m_shown);
    m_redo.clear();
    m_shown = m_curve;
    showRange();
}

void CurveEditorDialog::showPoints(const CurveEdit& state) {
    const bool lockX = m_curve.lockX();
    const bool lockY = m_curve.lockY();
    m_curve = state;
    m_curve.setLockX(lockX);
    m_curve.setLockY(lockY);
    m_shown = m_curve;
    m_curve.ReScaleScreen();
    showRange();
    m_plot->update();
}

void CurveEditorDialog::undoDrop() {
    if (m_undo.empty() || m_plot->dragging()) return;
    m_redo.push_back(m_shown);
    showPoints(m_undo.back());
    m_undo.pop_back();
}

void CurveEditorDialog::redoDrop() {
    if (m_redo.empty() || m_plot->dragging()) return;
    m_undo.push_back(m_shown);
    showPoints(m_redo.back());
    m_redo.pop_back();
}

void CurveEditorDialog::cmdOK_Click() {
    try {
        m_session.history.begin();
        m_curve.writeBack(m_session.codec);
        m_session.history.commit("Edit Curve");
        m_session.view().DisplayAllData();
        accept();
    } catch (const std::exception&) {
        m_session.prompts.tell("Error during frmEditCurve.cmdOK_Click", MessageIcon::Critical);
    }
}

void CurveEditorDialog::keyPressEvent(QKeyEvent* event) {
    if (isUndoKey(*event)) return undoDrop();
    if (isRedoKey(*event)) return redoDrop();
    if (event->key() == Qt::Key_Escape) {
        if (m_plot->dragging())
            m_plot->cancelDrag();
        else
            reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CurveEditorDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The points are placed for the new size from the image: drags not confirmed are gone.
    DisplayCurve();
}

}  // namespace tunalyx
