#include <QComboBox>
#include <QLabel>
#include <QtDataVisualization/Q3DSurface>
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

// The surface's data under a window system; offscreen, the notice must stand in for it.
GraphValues shown(const GraphWindow& w) {
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        const auto* notice = w.findChild<QLabel*>(QStringLiteral("lblNoOpenGL"));
        const bool told =
            notice && notice->text() == "The 3D view needs OpenGL, which is not available here.";
        return !w.surface() && told ? w.values() : GraphValues{};
    }
    if (!w.surface()) return {};
    const QSurfaceDataProxy* proxy = w.surface()->seriesList().value(0)->dataProxy();
    if (proxy->rowCount() != kMapRows || proxy->columnCount() != kMapCols) return {};
    GraphValues v{};
    for (int i = 0; i < kMapRows; ++i)
        for (int j = 0; j < kMapCols; ++j) {
            const QVector3D p = proxy->itemAt(i, j)->position();
            const bool placed = p.x() == float(j + 1) && p.z() == float(i + 1);
            v[std::size_t(i)][std::size_t(j)] = placed ? p.y() : -1;
        }
    return v;
}

}  // namespace

class GraphWindowTest : public QObject {
    Q_OBJECT
private slots:
    void aChosenMapShowsItsGridTextsUntilChosenAgain();
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

int runGraphWindowTests(int argc, char** argv) {
    GraphWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "graph_window_test.moc"
