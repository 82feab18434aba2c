#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "app/settings_page_widget.h"
#include "gui_harness.h"
#include "maps/qt_map_tracer.h"

using namespace tunalyx;
using tunalyx::test::GuiHarness;

namespace {

std::int32_t raw(GuiHarness& h, int grid, int row, int col) {
    return h.session.maps.GridData(grid, row, col);
}

MapGridWidget* showGrid(GuiHarness& h, int grid) {
    h.window->Form_Load();
    h.window->show();
    h.window->activateWindow();
    if (!QTest::qWaitForWindowActive(h.window.get())) qWarning("window not active");
    h.window->tabs()->setCurrentIndex(grid);
    MapGridWidget* g = h.window->grid(grid);
    g->setFocus();
    return g;
}

}  // namespace

class MapGridTest : public QObject {
    Q_OBJECT
private slots:
    void typedValueFillsTheRangeCapturedAtTheStart();
    void selectAllAndStepAcrossTheMap();
    void copyAndPasteThroughTheClipboard();
    void tracerPaintsItsTrailAndFollowsTheMenu();
    void editorOpensOverTheCellTheSelectionStartedFrom();
    void axisLabelsFollowTheMapReference();
    void decimalCommaLocaleTypesAndShowsCommas();
};

void MapGridTest::typedValueFillsTheRangeCapturedAtTheStart() {
    GuiHarness h;
    MapGridWidget* g = showGrid(h, kInjMap);
    QTest::keyClick(g, Qt::Key_3);  // Escape takes nothing over
    QTest::keyClick(g->editor(), Qt::Key_Escape);
    QVERIFY(!g->editor()->isVisible() && !h.session.dirty.any());
    g->setSelectionRange({1, 1, 2, 2});
    QTest::keyClick(g, Qt::Key_1);
    QVERIFY(g->editor()->isVisible());
    QCOMPARE(g->editor()->text(), QStringLiteral("1"));
    QTest::keyClicks(g->editor(), QStringLiteral(".25"));
    g->setSelectionRange({5, 5, 5, 5});  // the tracer moved the selection meanwhile
    QTest::keyClick(g->editor(), Qt::Key_Return);
    QVERIFY(!g->editor()->isVisible());
    for (int r = 1; r <= 2; ++r)
        for (int c = 1; c <= 2; ++c) {
            QCOMPARE(raw(h, kInjMap, r, c), 192);
            QVERIFY(h.session.maps.CellChanged(kInjMap, r, c));
        }
    QCOMPARE(raw(h, kInjMap, 5, 5), 0);
    QVERIFY(h.session.dirty.isSet(0x86));
    QVERIFY(h.window->updateButton()->isEnabled());
    QCOMPARE(g->cells().cellText(1, 1), QStringLiteral("1.250"));
    g->setSelectionRange({3, 4, 4, 6});
    QTest::keyClick(g, Qt::Key_Delete);  // 1.000 in every selected cell
    QCOMPARE(raw(h, kInjMap, 4, 6), 128);
    QCOMPARE(h.session.maps.changedCellCount(kInjMap), 4 + 6);
}

void MapGridTest::selectAllAndStepAcrossTheMap() {
    GuiHarness h;
    MapGridWidget* g = showGrid(h, kIgnMap);
    QTest::keyClick(g, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(g, Qt::Key_Plus, Qt::KeypadModifier);
    QTest::keyClick(g, Qt::Key_Equal, Qt::ControlModifier);
    QTest::keyClick(g, Qt::Key_Minus);
    QTest::keyClick(g, Qt::Key_Plus, Qt::ShiftModifier);  // other shift states do nothing
    QCOMPARE(raw(h, kIgnMap, 1, 1), 10);
    QCOMPARE(raw(h, kIgnMap, kMapRows, kMapCols), 10);
    QCOMPARE(h.session.maps.changedCellCount(kIgnMap), 400);
}

void MapGridTest::copyAndPasteThroughTheClipboard() {
    GuiHarness h;
    MapGridWidget* g = showGrid(h, kIgnMap);
    QGuiApplication::clipboard()->setText(QStringLiteral("12\t13\r14\t15"));
    g->setSelectionRange({2, 2, 2, 2});
    QTest::keyClick(g, Qt::Key_V, Qt::ControlModifier);  // one selected cell takes one value
    QCOMPARE(raw(h, kIgnMap, 2, 2), 12);
    QCOMPARE(raw(h, kIgnMap, 2, 3), 0);
    g->setSelectionRange({2, 2, 3, 3});
    QTest::keyClick(g, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(raw(h, kIgnMap, 3, 3), 15);
    QTest::keyClick(g, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("12\t13\r14\t15"));
}

void MapGridTest::tracerPaintsItsTrailAndFollowsTheMenu() {
    GuiHarness h;
    showGrid(h, kInjMap);
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    const MainMenus& m = h.window->menus();
    m.mnuMapTrace->trigger();
    m.mnuMapTraceGhost->trigger();
    QVERIFY(m.mnuMapTrace->isChecked() && m.mnuMapTraceGhost->isChecked());
    MapTracerView& tracer = h.window->tracer();
    QVERIFY(tracer.marker().isVisible());
    tracer.ShowMapPos(0.5, 0.5);
    // The marker's corner stays on the middle of the first cell when the window changes size.
    MapGridWidget* g = h.window->grid(kInjMap);
    h.window->resize(h.window->width() + 300, h.window->height() + 200);
    QTRY_VERIFY(g->width() > 600);
    const QPoint middle = g->viewport()->mapTo(g, g->visualRect(g->model()->index(0, 0)).center());
    QVERIFY(tracer.marker().isVisible() && (tracer.marker().pos() - middle).manhattanLength() <= 2);
    const QAbstractItemModel* inj = g->model();
    QCOMPARE(inj->index(1, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 0, 0));
    QVERIFY(!inj->index(2, 2).data(Qt::BackgroundRole).isValid());
    h.window->tabs()->setCurrentIndex(kIgnMap);
    QCOMPARE(tracer.marker().parentWidget(), h.window->grid(kIgnMap));
    m.mnuMapTraceGhost->trigger();  // unchecking clears every grid
    QVERIFY(!inj->index(1, 1).data(Qt::BackgroundRole).isValid());
    QVERIFY(!m.mnuMapTraceGhost->isChecked());
    m.mnuMapTrace->trigger();
    QVERIFY(!tracer.marker().isVisible());
}

// The grid control's current cell is where a selection started; the view's current cell is the
// corner that moved. The editor opens over the former.
void MapGridTest::editorOpensOverTheCellTheSelectionStartedFrom() {
    GuiHarness h;
    MapGridWidget* g = showGrid(h, kIgnMap);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {},
                      g->visualRect(g->model()->index(1, 1)).center());
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(g, Qt::Key_Down, Qt::ShiftModifier);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(g, Qt::Key_Right, Qt::ShiftModifier);
    const CellRange sel = g->selectionRange();
    QCOMPARE(std::pair(sel.row, sel.col), std::pair(2, 2));
    QCOMPARE(std::pair(sel.rowSel, sel.colSel), std::pair(5, 6));
    QTest::keyClick(g, Qt::Key_9);
    QVERIFY(g->editor()->geometry().contains(g->visualRect(g->model()->index(1, 1)).center()));
    QTest::keyClick(g->editor(), Qt::Key_Return);
    QCOMPARE(raw(h, kIgnMap, 2, 2), 9);
    QCOMPARE(raw(h, kIgnMap, 5, 6), 9);
    QCOMPARE(h.session.maps.changedCellCount(kIgnMap), 20);
}

void MapGridTest::axisLabelsFollowTheMapReference() {
    GuiHarness h;
    Bytes ref(80, 0);
    ref[38] = 200;  // the last row's word
    ref[40] = 0x01;
    ref[41] = 0x02;  // the first column's: 513
    h.session.image[0x8A] = ref;
    MapGridWidget* g = showGrid(h, kInjMap);
    QCOMPARE(g->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("N01"));
    h.window->menus().mnuMapRefLabels->trigger();
    QCOMPARE(g->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("513"));
    QCOMPARE(g->model()->headerData(19, Qt::Vertical).toString(), QStringLiteral("200"));
    // A breakpoint taken over on the settings page shows in the headers at once.
    h.window->tabs()->setCurrentIndex(MainWindow::kFirstSettingsTab + 2);
    SettingsPageWidget* page = h.window->settingsPage(3);
    QLineEdit* n01 = nullptr;
    for (const SettingControl& c : h.session.settings.controls())
        if (c.kind == ControlKind::Text && c.tag.rfind("&H8A,41,", 0) == 0)
            n01 = qobject_cast<QLineEdit*>(page->widgetFor(ControlKind::Text, c.index));
    QVERIFY(n01);
    n01->setFocus();
    n01->setText(QStringLiteral("600"));
    h.window->tabs()->setFocus();
    QCOMPARE(h.session.maps.columnLabels(true).front(), std::string("600"));
    QCOMPARE(g->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("600"));
}

void MapGridTest::decimalCommaLocaleTypesAndShowsCommas() {
    QLocale::setDefault(QLocale(QLocale::German));
    GuiHarness h;
    MapGridWidget* g = showGrid(h, kInjMap);
    QTest::keyClick(g, Qt::Key_1);
    QTest::keyClicks(g->editor(), QStringLiteral(",25"));
    QTest::keyClick(g->editor(), Qt::Key_Return);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(raw(h, kInjMap, 1, 1), 192);
    QCOMPARE(g->cells().cellText(1, 1), QStringLiteral("1,250"));
}

int runMapGridTests(int argc, char** argv) {
    MapGridTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "map_grid_test.moc"
