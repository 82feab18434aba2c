#include <QImage>
#include <QSignalSpy>
#include <QWheelEvent>
#include <QtTest>

#include <cmath>

#include "charts/strip_chart_widget.h"

using namespace tunalyx;

namespace {

// A chart on screen showing 0..10 s.
struct ShownChart {
    ShownChart() {
        w.resize(420, 240);
        w.show();
        if (!QTest::qWaitForWindowExposed(&w)) qWarning("chart not exposed");
        w.setWindow(0, 10);
    }
    QPoint at(double seconds, int y = 40) const {
        return {static_cast<int>(w.pixelAt(seconds)), y};
    }
    void wheel(QPointF pos, int delta, Qt::KeyboardModifiers mods = {}) {
        QWheelEvent e(pos, w.mapToGlobal(pos), {}, {0, delta}, Qt::NoButton, mods,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(&w, &e);
    }
    StripChartWidget w;
};

bool hasColour(const QImage& image, const QRect& area, QColor colour) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) == colour) return true;
    return false;
}

}  // namespace

class StripChartTest : public QObject {
    Q_OBJECT
private slots:
    void draggingMovesTheCursorAndReportsEachMove();
    void keysGoToTheWindowAndLeaveTheCursor();
    void wheelZoomsAroundTheMouseAndShiftScrolls();
    void panesStackWithTheirTracesAndTheTimeTraceIsNeverDrawn();
};

void StripChartTest::draggingMovesTheCursorAndReportsEachMove() {
    ShownChart c;
    QCOMPARE(c.w.objectName(), QStringLiteral("Strip1"));
    QSignalSpy moved(&c.w, &StripChartWidget::cursorMoved);
    c.w.setCursorPosition(1);  // set from code: no event
    QCOMPARE(moved.count(), 0);

    QTest::mousePress(&c.w, Qt::LeftButton, {}, c.at(2));
    QTest::mouseMove(&c.w, c.at(5));
    QTest::mouseMove(&c.w, c.at(5));  // no move, no event
    QTest::mouseMove(&c.w, QPoint(c.w.width() + 50, 40));
    QTest::mouseRelease(&c.w, Qt::LeftButton, {}, QPoint(c.w.width() + 50, 40));
    QTest::mousePress(&c.w, Qt::RightButton, {}, c.at(7));  // other buttons leave it
    QTest::mouseMove(&c.w, c.at(8));
    QTest::mouseRelease(&c.w, Qt::RightButton, {}, c.at(8));

    const double pixel = 10.0 / c.w.plotRect().width();
    QCOMPARE(moved.count(), 3);
    QVERIFY(std::abs(moved[0][0].toDouble() - 2) <= pixel);
    QVERIFY(std::abs(moved[1][0].toDouble() - 5) <= pixel);
    QCOMPARE(moved[2][0].toDouble(), 10.0);  // dragged off the chart: held at the window's end
    QCOMPARE(c.w.cursorPosition(), 10.0);

    // The cursor's time shows under the tick labels, covering none of them.
    const QRect ticks(0, c.w.plotRect().bottom() + 1, c.w.width(), c.w.fontMetrics().height() + 5);
    const QImage withCursor = c.w.grab(ticks).toImage();
    c.w.setCursorPosition(-1);
    QCOMPARE(c.w.grab(ticks).toImage(), withCursor);
}

void StripChartTest::keysGoToTheWindowAndLeaveTheCursor() {
    ShownChart c;
    c.w.setCursorPosition(4);
    c.w.setFocus();
    QSignalSpy keys(&c.w, &StripChartWidget::keyDown);
    QTest::keyClick(&c.w, Qt::Key_Left, Qt::ControlModifier);
    QCOMPARE(keys.last()[0].toInt(), int(Qt::Key_Left));
    QCOMPARE(keys.last()[1].value<Qt::KeyboardModifiers>(), Qt::ControlModifier);
    QCOMPARE(c.w.cursorPosition(), 4.0);
    QVERIFY(c.w.hasFocus());  // the arrows did not move focus away
}

void StripChartTest::wheelZoomsAroundTheMouseAndShiftScrolls() {
    ShownChart c;
    c.w.chart().plot(0, 0, 0);
    c.w.chart().plot(0, 100, 0);
    c.w.setWindow(20, 60);
    const QPoint mouse = c.at(30);
    const double anchor = c.w.timeAt(mouse.x());
    c.wheel(mouse, 120);
    QVERIFY(std::abs(c.w.windowUpper() - c.w.windowLower() - 32) < 1e-9);
    QVERIFY(std::abs(c.w.timeAt(mouse.x()) - anchor) < 1e-9);  // same time under the mouse

    const double lower = c.w.windowLower();
    c.wheel(mouse, -120, Qt::ShiftModifier);  // towards later times, width kept
    QVERIFY(std::abs(c.w.windowLower() - (lower + 3.2)) < 1e-9);
    QVERIFY(std::abs(c.w.windowUpper() - c.w.windowLower() - 32) < 1e-9);
}

void StripChartTest::panesStackWithTheirTracesAndTheTimeTraceIsNeverDrawn() {
    ShownChart c;
    StripChart& chart = c.w.chart();
    chart.setPaneCount(2);
    chart.pane(0) = {0x00FFFF, 0, 250, true};  // yellow
    chart.pane(1) = {0xFFFF00, 0, 250, true};  // cyan
    chart.setTracePane(0, 3);                  // beyond the panes shown: drawn in the last
    chart.setTraceColour(0, 0x00FF00);
    chart.setTraceColour(StripChart::kTimeTrace, 0xFF00FF);
    // A trace with values that could not be worked out in the middle: a gap there.
    chart.setTraceColour(1, 0xFF0000);
    for (int s = 0; s <= 100; ++s) {
        chart.plot(0, s * 0.1, 125);
        chart.plot(1, s * 0.1, s >= 40 && s <= 60 ? std::nan("") : 200.0);
        chart.plot(StripChart::kTimeTrace, s * 0.1, s);
    }
    c.w.redraw();
    const QImage image = c.w.grab().toImage();

    const QRect plot = c.w.plotRect();
    const QRect top(plot.left(), plot.top(), plot.width(), plot.height() / 2 - 1);
    const QRect bottom(plot.left(), plot.top() + plot.height() / 2 + 1, plot.width(),
                       plot.height() - plot.height() / 2 - 1);
    QCOMPARE(image.pixelColor(top.center()), QColor(Qt::yellow));
    QCOMPARE(image.pixelColor(bottom.left() + 5, bottom.bottom() - 5), QColor(Qt::cyan));
    QVERIFY(hasColour(image, bottom, Qt::green));
    QVERIFY(!hasColour(image, top, Qt::green));
    QVERIFY(!hasColour(image, plot, Qt::magenta));
    QVERIFY(hasColour(image, top, Qt::blue));
    const QRect belowBlue(top.left(), top.top() + top.height() / 3, top.width(),
                          top.height() - top.height() / 3);
    QVERIFY(!hasColour(image, belowBlue, Qt::blue));
}

int runStripChartTests(int argc, char** argv) {
    StripChartTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "strip_chart_test.moc"
