#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

#include "airflow/air_flow_grid_widget.h"
#include "support/recording_prompts.h"
#include "support/scripted_serial_port.h"

using namespace tunalyx;

namespace {

// The grid alone in a window, beside a box that can take the focus away from its editor.
struct AirFlowHarness {
    AirFlowHarness() {
        for (std::uint8_t block : {0xA0, 0xA1, 0xA2})
            session.image[block].assign(64, 0);
        for (int col = 1; col <= kAirFlowCols; ++col) {
            session.image[0xA0][static_cast<std::size_t>(2 * col - 2)] = 0xF4;  // 500: 2.500 V
            session.image[0xA0][static_cast<std::size_t>(2 * col - 1)] = 0x01;
            session.image[0xA1][static_cast<std::size_t>(2 * col - 2)] = 10;
        }
        session.codec.onChange = [this] { ++updateEnables; };
        auto* layout = new QVBoxLayout(&window);
        grid = new AirFlowGridWidget(session, &window);
        other = new QLineEdit(&window);
        layout->addWidget(grid);
        layout->addWidget(other);
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window)) qWarning("window not active");
        grid->setFocus();
    }
    QString text(int row, int col) const {
        return grid->model()->index(row - 1, col - 1).data().toString();
    }

    ManualClock clock;
    test::ScriptedSerialPort serial{clock};
    test::RecordingPrompts prompts;
    Session session{serial, clock, prompts};
    int updateEnables = 0;
    QWidget window;
    AirFlowGridWidget* grid;
    QLineEdit* other;
};

}  // namespace

class AirFlowGridTest : public QObject {
    Q_OBJECT
private slots:
    void typedValueFillsTheRangeCapturedAtTheStart();
    void selectAllAndStepEveryCurve();
    void clipboardRoundTrip();
    void threeRowsAndTheirHeadersShowWithoutScrolling();
    void tableToolsWorkAlongEachCurve();
};

void AirFlowGridTest::typedValueFillsTheRangeCapturedAtTheStart() {
    AirFlowHarness h;
    QTest::keyClick(h.grid, Qt::Key_Period);  // Escape takes nothing over, whatever comes next
    QTest::keyClick(h.grid->editor(), Qt::Key_Escape);
    h.other->setFocus();
    QVERIFY(!h.grid->editor()->isVisible() && !h.session.dirty.any());
    h.grid->setFocus();
    h.grid->setSelectionRange({2, 1, 3, 2});
    QTest::keyClick(h.grid, Qt::Key_7);
    QVERIFY(h.grid->editor()->isVisible());
    QCOMPARE(h.grid->editor()->text(), QStringLiteral("7"));
    QCOMPARE(h.grid->editor()->cursorPosition(), 1);
    QTest::keyClicks(h.grid->editor(), QStringLiteral("5"));
    h.grid->setSelectionRange({1, 5, 1, 5});  // moved meanwhile: the captured range is written
    QTest::keyClick(h.grid->editor(), Qt::Key_Return);
    QVERIFY(!h.grid->editor()->isVisible());
    for (int row = 2; row <= 3; ++row)
        for (int col = 1; col <= 2; ++col)
            QCOMPARE(h.text(row, col), QStringLiteral("75"));
    QCOMPARE(h.text(2, 3), QStringLiteral("10"));
    QCOMPARE(h.text(1, 5), QStringLiteral("2.500"));
    QVERIFY(h.session.dirty.isSet(0xA1) && h.session.dirty.isSet(0xA2));
    QVERIFY(h.updateEnables > 0);
    h.grid->setSelectionRange({1, 1, 1, 1});
    QTest::keyClick(h.grid, Qt::Key_3, Qt::KeypadModifier);
    h.other->setFocus();  // leaving the box takes its value over
    QCOMPARE(h.text(1, 1), QStringLiteral("3.000"));
}

void AirFlowGridTest::selectAllAndStepEveryCurve() {
    AirFlowHarness h;
    QTest::keyClick(h.grid, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(h.grid, Qt::Key_Plus, Qt::KeypadModifier);
    QTest::keyClick(h.grid, Qt::Key_Equal, Qt::ControlModifier);
    QTest::keyClick(h.grid, Qt::Key_Minus);
    QCOMPARE(h.text(1, kAirFlowCols), QStringLiteral("2.550"));
    QCOMPARE(h.text(2, 1), QStringLiteral("20"));
    // Each step is one undo step, like every other edit of the grid.
    QCOMPARE(h.session.history.undoText(), std::string("Undo Decrease Air Flow"));
    QVERIFY(h.session.history.undo() && h.session.history.undo() && h.session.history.undo());
    h.grid->Refresh();
    QCOMPARE(h.text(1, 1), QStringLiteral("2.500"));
    QCOMPARE(h.text(2, kAirFlowCols), QStringLiteral("10"));
}

void AirFlowGridTest::tableToolsWorkAlongEachCurve() {
    AirFlowHarness h;
    AirFlowGrid cells(h.session.codec);
    cells.writeCell(2, 1, "0");
    cells.writeCell(2, 9, "80");
    h.grid->setSelectionRange({2, 1, 2, 9});
    h.grid->interpolateRows();
    QCOMPARE(h.text(2, 5), QStringLiteral("40"));
    QCOMPARE(h.text(3, 5), QStringLiteral("0"));  // the other curve is not selected

    cells.writeCell(2, 20, "40");  // a spike among 10s
    h.grid->setSelectionRange({2, 20, 2, 20});
    h.grid->smoothRows();
    QCOMPARE(h.text(2, 20), QStringLiteral("25"));  // (2 x 40 + 10 + 10) / 4
    h.grid->setSelectionRange({2, 30, 2, 30});
    h.grid->scale(110, 0);
    QCOMPARE(h.text(2, 30), QStringLiteral("11"));
    QCOMPARE(h.session.history.undoText(), std::string("Undo Scale Air Flow"));
}

void AirFlowGridTest::clipboardRoundTrip() {
    AirFlowHarness h;
    h.grid->setSelectionRange({1, 1, 2, 1});
    QTest::keyClick(h.grid, Qt::Key_Delete);
    h.grid->setSelectionRange({1, 1, 2, 2});
    QTest::keyClick(h.grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("0.000\t2.500\r0\t10"));
    h.grid->setSelectionRange({2, 31, 1, 30});
    QTest::keyClick(h.grid, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(h.text(1, 30), QStringLiteral("0.000"));
    QCOMPARE(h.text(2, 31), QStringLiteral("10"));
    QTest::keyClick(h.grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("0.000\t2.500\r0\t10"));
}

void AirFlowGridTest::threeRowsAndTheirHeadersShowWithoutScrolling() {
    AirFlowHarness h;
    const QAbstractItemModel* m = h.grid->model();
    QCOMPARE(m->headerData(2, Qt::Vertical).toString(), QStringLiteral("Airflow 2"));
    // Three rows and the header fit without a vertical scroll bar.
    const QRect last = h.grid->visualRect(m->index(kAirFlowRows - 1, 0));
    QVERIFY(last.bottom() < h.grid->viewport()->height());
}

int runAirFlowGridTests(int argc, char** argv) {
    AirFlowGridTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "air_flow_grid_test.moc"
