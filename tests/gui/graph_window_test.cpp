#include <QComboBox>
#include <QImage>
#include <QtTest>

#include "graph/graph_window.h"
#include "graph/map_graph.h"
#include "ports/memory_settings_store.h"
#include "session/session.h"
#include "support/recording_prompts.h"
#include "support/scripted_serial_port.h"

using namespace tunalyx;

namespace {

struct GraphSession {
    GraphSession() {
        session.maps.GridInit();
        for (int row = 1; row <= kMapRows; ++row)
            for (int col = 1; col <= kMapCols; ++col) {
                session.maps.GridSetData(kInjMap, row, col, row * 9 + col);
                session.maps.GridSetData(kIgnMap, row, col, 200 - row * 5 - col);
            }
    }
    MemorySettingsStore store;
    ManualClock clock;
    test::ScriptedSerialPort serial{clock};
    test::RecordingPrompts prompts;
    Session session{serial, clock, prompts};
};

GraphValues shown(const GraphWindow& w) {
    return w.plot() ? w.plot()->values() : GraphValues{};
}

}  // namespace

class GraphWindowTest : public QObject {
    Q_OBJECT
private slots:
    void aChosenMapShowsItsGridTextsUntilChosenAgain();
    void theSurfaceIsDrawnAndADragTurnsIt();
};

void GraphWindowTest::aChosenMapShowsItsGridTextsUntilChosenAgain() {
    GraphSession s;
    const PacketImage image = s.session.image;
    GraphWindow w(s.session, s.store);
    w.show();
    QCOMPARE(w.windowTitle(), QStringLiteral("3D View"));
    auto* combo = w.findChild<QComboBox*>(QStringLiteral("Combo1"));
    QCOMPARE(combo->currentText(), QStringLiteral("INJ"));
    QVERIFY(shown(w) == graphValues(s.session, kInjMap));

    // An edit waits for the next choice; IGN then replaces every value.
    s.session.maps.GridSetData(kInjMap, 4, 9, 0);
    QVERIFY(shown(w) != graphValues(s.session, kInjMap));
    QTest::keyClick(combo, Qt::Key_Down);
    QVERIFY(shown(w) == graphValues(s.session, kIgnMap));
    QTest::keyClick(combo, Qt::Key_Up);
    QVERIFY(shown(w) == graphValues(s.session, kInjMap));
    s.session.maps.GridSetData(kInjMap, 4, 9, 4 * 9 + 9);
    QVERIFY(s.session.image == image);  // a viewer
}

void GraphWindowTest::theSurfaceIsDrawnAndADragTurnsIt() {
    GraphSession s;
    GraphWindow w(s.session, s.store);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    SurfacePlotWidget* plot = w.plot();
    QVERIFY(plot && plot->isVisible());
    const auto greenPixels = [](const QImage& image) {
        int green = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                green += c.green() > c.red() + 20 && c.green() > c.blue() + 40;
            }
        return green;
    };
    const QImage before = plot->grab().toImage();
    QVERIFY(greenPixels(before) > before.width() * before.height() / 10);

    // Across turns, down tilts; the drawing follows.
    const SurfaceCamera start = plot->camera();
    const QPoint from = plot->rect().center();
    QTest::mousePress(plot, Qt::LeftButton, {}, from);
    QTest::mouseMove(plot, from + QPoint(60, 20));
    QTest::mouseRelease(plot, Qt::LeftButton, {}, from + QPoint(60, 20));
    QVERIFY(plot->camera().turnDegrees != start.turnDegrees);
    QVERIFY(plot->camera().tiltDegrees > start.tiltDegrees);
    QVERIFY(plot->grab().toImage() != before);
}

int runGraphWindowTests(int argc, char** argv) {
    GraphWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "graph_window_test.moc"
