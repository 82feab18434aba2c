#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

#include "airflow/air_flow_grid_widget.h"

#include "gui_harness.h"

using namespace tunalyx;

class EditHistoryWindowTest : public QObject {
    Q_OBJECT
private slots:
    void toolsUndoRedoAndUpdateLeaveTheUnitWithExactlyTheWantedCells();
    void undoAndRedoWorkFromEveryPlaceAnEditIsMade();
    void heatColoursStayUnderTheTracersColoursAndAreKept();
};

// Select, interpolate, smooth, scale by 5 %, undo twice, redo once, Update: the unit then holds
// the smoothed region and nothing else has changed.
void EditHistoryWindowTest::toolsUndoRedoAndUpdateLeaveTheUnitWithExactlyTheWantedCells() {
    test::SimWindow w(SimUnitKind::Det1_501);
    w.readAll();
    const PacketImage before = w.session.image;
    w.window->tabs()->setCurrentIndex(kIgnMap);
    MapGridWidget* grid = w.window->grid(kIgnMap);
    const CellRange region{3, 4, 9, 12};
    grid->setSelectionRange(region);
    const MainMenus& m = w.window->menus();
    m.mnuInterpolate->trigger();
    // A spike for the smoothing to take out: Ctrl and "+" add 10 three times.
    grid->setSelectionRange({6, 8, 6, 8});
    grid->setFocus();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(grid, Qt::Key_Plus, Qt::ControlModifier);
    grid->setSelectionRange(region);
    m.mnuSmooth->trigger();
    const PacketImage smoothed = w.session.image;
    w.window->askScale = [] { return std::optional<std::pair<double, double>>({105, 0}); };
    m.mnuScale->trigger();
    QVERIFY(w.session.image != smoothed);
    QCOMPARE(w.session.history.undoText(), std::string("Undo Scale Ign Map P03-P09 N04-N12"));

    m.mnuUndo->trigger();
    m.mnuUndo->trigger();
    QCOMPARE(w.session.history.redoText(), std::string("Redo Smooth Ign Map P03-P09 N04-N12"));
    m.mnuRedo->trigger();
    QCOMPARE(w.session.image, smoothed);
    QCOMPARE(grid->cells().cellText(5, 6),
             QString::fromStdString(w.session.maps.cellText(kIgnMap, 5, 6)));

    QTest::mouseClick(w.button("cmdUpdate"), Qt::LeftButton);
    QVERIFY(w.prompts.messages().empty());
    for (int b = 0; b < PacketImage::kSlotCount; ++b) {
        const auto block = static_cast<std::uint8_t>(b);
        if (w.sim.ecu().blocks()[block].empty()) continue;  // blocks this unit does not have
        QCOMPARE(w.sim.ecu().blocks()[block], w.session.image[block]);
    }
    // Outside the region every cell is as the unit had it.
    int changed = 0;
    for (int row = 1; row <= kMapRows; ++row)
        for (int col = 1; col <= kMapCols; ++col) {
            const CellAddress a = cellAddress(w.session.maps.descriptor(kIgnMap), row, col);
            const bool same = before[a.block][static_cast<std::size_t>(a.byte - 1)] ==
                              w.session.image[a.block][static_cast<std::size_t>(a.byte - 1)];
            const bool inside = row >= 3 && row <= 9 && col >= 4 && col <= 12;
            if (!same) ++changed;
            QVERIFY(same || inside);
        }
    QVERIFY(changed > 0);
}

// Ctrl+Z and Ctrl+Y reach the history from every place an edit is made, across tabs; a value
// being typed is taken over first, so it is the step taken back.
void EditHistoryWindowTest::undoAndRedoWorkFromEveryPlaceAnEditIsMade() {
    test::SimWindow w(SimUnitKind::Det1_501);
    w.readAll();
    const PacketImage unit = w.session.image;
    const auto press = [](QWidget* at, Qt::Key key) {
        QTest::keyClick(at, key, Qt::ControlModifier);
    };
    MapGridWidget* inj = w.window->grid(kInjMap);
    inj->setSelectionRange({1, 1, 2, 2});
    inj->setFocus();
    QTest::keyClick(inj, Qt::Key_Plus);
    const PacketImage stepped = w.session.image;
    w.window->tabs()->setCurrentIndex(MainWindow::kFirstSettingsTab);
    QLineEdit* idle = w.textBox(197);
    idle->setFocus();
    idle->selectAll();
    QTest::keyClicks(idle, QStringLiteral("900"));
    press(idle, Qt::Key_Z);
    QCOMPARE(w.session.image, stepped);
    QCOMPARE(idle->text(), QStringLiteral("850"));
    press(w.window.get(), Qt::Key_Y);
    QCOMPARE(idle->text(), QStringLiteral("900"));
    press(w.window.get(), Qt::Key_Z);
    press(w.window.get(), Qt::Key_Z);  // the Inj Map step, from the settings page
    QCOMPARE(w.session.image, unit);
    QVERIFY(!w.window->updateButton()->isEnabled());
    QCOMPARE(inj->cells().cellText(1, 1),
             QString::fromStdString(w.session.maps.cellText(kInjMap, 1, 1)));
    press(w.window.get(), Qt::Key_Y);
    QCOMPARE(w.session.image, stepped);

    // The editors of the grids: what was typed is the step taken back.
    auto* airFlow = w.window->settingsPage(3)->findChild<AirFlowGridWidget*>();
    for (QAbstractItemView* grid : std::initializer_list<QAbstractItemView*>{inj, airFlow}) {
        w.window->tabs()->setCurrentIndex(grid == inj ? kInjMap
                                                      : MainWindow::kFirstSettingsTab + 2);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_5);
        auto* editor = grid->findChild<QLineEdit*>(QStringLiteral("txtGrid"));
        press(editor, Qt::Key_Z);
        QVERIFY(!editor->isVisible());
        QCOMPARE(w.session.image, stepped);
        // A step taken from the grid leaves it the focus, and with it the table tools.
        grid->setFocus();
        press(grid, Qt::Key_Y);
        QCOMPARE(QApplication::focusWidget(), grid);
        press(grid, Qt::Key_Z);
    }
    // The notes take back their own typing first, then the window's steps.
    QPlainTextEdit* notes = static_cast<QPlainTextEdit*>(w.window->settingsPage(5)->notesEdit());
    w.window->tabs()->setCurrentIndex(MainWindow::kFirstSettingsTab + 4);
    notes->setFocus();
    QTest::keyClicks(notes, QStringLiteral("boost leak"));
    press(notes, Qt::Key_Z);
    QCOMPARE(notes->toPlainText(), QString());
    QCOMPARE(w.session.image, stepped);
    press(notes, Qt::Key_Z);
    QCOMPARE(w.session.image, unit);

    w.readAll();
    QVERIFY(!w.session.history.canUndo() && !w.session.history.canRedo());
}

void EditHistoryWindowTest::heatColoursStayUnderTheTracersColoursAndAreKept() {
    test::SimWindow w(SimUnitKind::Det1_501);
    w.readAll();
    MapGridModel& cells = w.window->grid(kIgnMap)->cells();
    const auto background = [&](int row, int col) {
        return cells.data(cells.index(row - 1, col - 1), Qt::BackgroundRole);
    };
    QVERIFY(!background(1, 1).isValid());  // off unless chosen
    w.window->menus().mnuHeatColours->trigger();
    QVERIFY(background(1, 1).isValid());
    w.session.cellColours.set(kIgnMap, 1, 1, kGhostColour);
    QCOMPARE(background(1, 1).value<QColor>(), QColor(Qt::red));
    w.window->close();
    QCOMPARE(w.store.text("MapHeatColours", ""), std::string("True"));
}

int runEditHistoryTests(int argc, char** argv) {
    EditHistoryWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "edit_history_test.moc"
