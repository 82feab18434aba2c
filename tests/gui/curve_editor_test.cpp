#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "curves/curve_editor_dialog.h"
#include "gui_harness.h"

using namespace tunalyx;

namespace {

constexpr int kCrankingCurve = 6;  // six words of 0.004 ms at 0x8E positions 11, 9, ..., 1
const char* const kCranking = "6;Const,,,,,,0,-30,-10,10,30,50,80;&H8E,11,-2,2,0.004,0,0.0";

// Drags point i of the editor's plot by (dx, dy) pixels.
void drag(CurvePlot* plot, int i, QPoint by, Qt::KeyboardModifiers mods = {}) {
    const QPoint from = plot->pointCentre(i).toPoint();
    QTest::mousePress(plot, Qt::LeftButton, mods, from);
    QTest::mouseMove(plot, from + by / 2);
    QTest::mouseMove(plot, from + by);
    QTest::mouseRelease(plot, Qt::LeftButton, mods, from + by);
}

}  // namespace

class CurveEditorTest : public QObject {
    Q_OBJECT
private slots:
    void aDraggedPointGoesToTheUnitThroughUpdate();
    void escapeResizeAndTheLocks();
};

// The whole road: button, drag, OK, Update, and the unit holds exactly the one changed word.
void CurveEditorTest::aDraggedPointGoesToTheUnitThroughUpdate() {
    test::SimWindow w(SimUnitKind::Det1_501);
    w.readAll();
    const PacketImage before = w.session.image;
    bool shown = false;
    w.window->showCurveEditor = [&](QDialog& dialog) {
        auto& editor = static_cast<CurveEditorDialog&>(dialog);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        drag(editor.plot(), 3, {0, -60});
        editor.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        shown = true;
    };
    w.window->findChild<QPushButton*>(QStringLiteral("cmdEditCurve%1").arg(kCrankingCurve))
        ->click();
    QVERIFY(shown);

    // Point 3 is the word at positions 5 and 6; nothing else moved.
    for (int b = 0; b < 256; ++b) {
        const auto block = static_cast<std::uint8_t>(b);
        QCOMPARE(w.session.dirty.isSet(block), block == 0x8E);
    }
    const Bytes& now = w.session.image[0x8E];
    for (std::size_t at = 0; at < now.size(); ++at)
        QCOMPARE(now[at] != before[0x8E][at], at == 4 || at == 5);
    QVERIFY(w.window->updateButton()->isEnabled());

    QTest::mouseClick(w.window->updateButton(), Qt::LeftButton);
    QCOMPARE(w.sim.ecu().blocks()[0x8E], now);
    QVERIFY(!w.session.dirty.any());

    // The curve edit is one step; undone after the Update, the old curve is to be sent back.
    QCOMPARE(w.session.history.undoText(), std::string("Undo Edit Curve"));
    w.window->mnuUndo_Click();
    QCOMPARE(w.session.image[0x8E], before[0x8E]);
    QVERIFY(w.session.dirty.isSet(0x8E) && w.window->updateButton()->isEnabled());
}

void CurveEditorTest::escapeResizeAndTheLocks() {
    test::SimWindow w(SimUnitKind::Det1_501);
    w.readAll();
    CurveEditorDialog editor(w.session, kCranking, w.window.get());
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    // A constant X axis: its lock box is checked for good; Y is free.
    QVERIFY(editor.lockXBox()->isChecked() && !editor.lockXBox()->isEnabled());
    QVERIFY(!editor.lockYBox()->isChecked() && editor.lockYBox()->isEnabled());
    const std::vector<double> read = editor.curve().YVal();

    // Escape during a drag puts the point back and keeps the editor open.
    CurvePlot* plot = editor.plot();
    const QPoint from = plot->pointCentre(2).toPoint();
    QTest::mousePress(plot, Qt::LeftButton, {}, from);
    QTest::mouseMove(plot, from + QPoint(0, -40));
    QVERIFY(plot->tip()->isVisible() && plot->rect().contains(plot->tip()->geometry()));
    QTest::keyClick(&editor, Qt::Key_Escape);
    QTest::mouseRelease(plot, Qt::LeftButton, {}, from + QPoint(0, -40));
    QVERIFY(editor.isVisible());
    QCOMPARE(editor.curve().YVal(), read);

    // With Y locked nothing moves; unlocked, a drop moves it, and a resize forgets it again.
    editor.lockYBox()->click();
    drag(plot, 2, {0, -40});
    QCOMPARE(editor.curve().YVal(), read);
    editor.lockYBox()->click();
    drag(plot, 2, {0, -40});
    QVERIFY(editor.curve().YVal()[2] > read[2]);
    const std::vector<double> dropped = editor.curve().YVal();
    QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier);  // the drop taken back, and redone
    QCOMPARE(editor.curve().YVal(), read);
    QTest::keyClick(&editor, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(editor.curve().YVal(), dropped);
    editor.resize(editor.width() + 40, editor.height());
    QCOMPARE(editor.curve().YVal(), read);

    w.session.compareMode = true;  // the curve is then only shown: read again, it cannot move
    editor.resize(editor.width() - 40, editor.height());
    drag(plot, 2, {0, -40});
    QCOMPARE(editor.curve().YVal(), read);
    QVERIFY(editor.lockYBox()->isChecked() && !editor.lockYBox()->isEnabled());
    QTest::keyClick(&editor, Qt::Key_Escape);
    QVERIFY(!editor.isVisible());
    QVERIFY(!w.session.dirty.any());
}

int runCurveEditorTests(int argc, char** argv) {
    CurveEditorTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "curve_editor_test.moc"
