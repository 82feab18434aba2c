#pragma once

#include <QDialog>
#include <QPointF>
#include <string>
#include <vector>

#include "curves/curve_edit.h"
#include "session/session.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace tunalyx {

// PBX1: the curve drawn as point boxes joined by lines, flat before the first and after the last
// point; a point is dragged with the left button.
class CurvePlot final : public QWidget {
    Q_OBJECT
public:
    CurvePlot(CurveEdit& curve, const NumberLocale& locale, QWidget* parent = nullptr);

    // The centre of point i on the plot.
    [[nodiscard]] QPointF pointCentre(int i) const;
    [[nodiscard]] bool dragging() const { return m_drag >= 0; }
    // Escape during a drag: the point stays where it was.
    void cancelDrag();
    [[nodiscard]] QLabel* tip() const { return m_tip; }

signals:
    // A dropped point changed the ranges.
    void rescaled();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    [[nodiscard]] int pointAt(const QPointF& at) const;
    void placeTip();

    CurveEdit& m_curve;
    const NumberLocale& m_locale;
    QLabel* m_tip;
    int m_drag = -1;    // the point being dragged
    QPointF m_pressAt;  // the mouse when the drag started
    QPointF m_startCentre;
    QPointF m_marker;  // TempDataPoint's centre
    bool m_moved = false;
};

// frmEditCurve: one curve of a curve button, edited by dragging its points; OK writes the
// changed points back into the image, Cancel (or Escape) forgets them.
class CurveEditorDialog final : public QDialog {
    Q_OBJECT
public:
    CurveEditorDialog(Session& session, std::string tag, QWidget* parent = nullptr);

    [[nodiscard]] CurveEdit& curve() { return m_curve; }
    [[nodiscard]] CurvePlot* plot() const { return m_plot; }
    [[nodiscard]] QCheckBox* lockXBox() const { return m_chkLockXVals; }
    [[nodiscard]] QCheckBox* lockYBox() const { return m_chkLockYVals; }
    void cmdOK_Click();
    // Ctrl+Z and Ctrl+Y (or Ctrl+Shift+Z) take back and redo the drops made since the points
    // were read; OK writes what the editor shows then.
    void undoDrop();
    void redoDrop();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Reads the points from the image again (unconfirmed drags are lost) and shows the locks.
    void DisplayCurve();
    void showRange();
    void pointDropped();
    // Puts the points of `state` back, the locks as the boxes show them now.
    void showPoints(const CurveEdit& state);

    Session& m_session;
    std::string m_tag;
    CurveEdit m_curve;
    CurveEdit m_shown;  // the points as they were after the last drop or read
    std::vector<CurveEdit> m_undo;
    std::vector<CurveEdit> m_redo;
    CurvePlot* m_plot;
    QCheckBox* m_chkLockXVals;
    QCheckBox* m_chkLockYVals;
    QPushButton* m_cmdOK;
    QPushButton* m_cmdCancel;
    QLabel* m_lblRange;
};

}  // namespace tunalyx
