#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "gui_harness.h"
#include "maps/qt_map_tracer.h"
#include "mapwatch/map_watch_window.h"
#include "monitor/log_file.h"

using namespace tunalyx;

class MapWatchWindowTest : public QObject {
    Q_OBJECT
private slots:
    void aRunFillsTheCellsItPassesAndTheTracerFollows();
    void anItemNotLoggedIsSaidAndTheAfrShowsItsOwnDecimals();
};

namespace {
int countedSamples(const QTableWidget& grid) {
    int total = 0;
    for (int row = 0; row < grid.rowCount(); ++row)
        for (int col = 0; col < grid.columnCount(); ++col)
            if (const QTableWidgetItem* cell = grid.item(row, col)) total += cell->text().toInt();
    return total;
}
}  // namespace

void MapWatchWindowTest::aRunFillsTheCellsItPassesAndTheTracerFollows() {
    test::SimWindow w(SimUnitKind::Det1_501);
    w.readAll();
    w.window->menus().mnuMapTrace->trigger();  // the main window's tracer on
    QAction* item = w.window->menus().mnuMapWatch;
    item->trigger();
    MapWatchWindow& watch = w.window->mapWatch();
    item->trigger();  // hidden, and shown again: the same window
    QVERIFY(!watch.isVisible() && !item->isChecked());
    item->trigger();
    QVERIFY(watch.isVisible() && &w.window->mapWatch() == &watch);
    watch.findChild<QComboBox*>(QStringLiteral("comFunction"))->setCurrentIndex(3);
    watch.watch().options.function = MapWatchOptions::Num;
    watch.setTraceOn(true);
    watch.setGhostOn(true);

    MonitorWindow& monitor = w.window->monitor();
    monitor.cmdLogStart_Click();
    QTRY_VERIFY_WITH_TIMEOUT(monitor.live().samplesPresented() >= 30, 5000);
    monitor.cmdLogStop_Click();
    const int samples = monitor.live().samplesPresented();

    // Every sample of the run is counted in the cell it was in, live and again from the log.
    QCOMPARE(countedSamples(*watch.grid()), samples);
    watch.RecalculateMap();
    QCOMPARE(countedSamples(*watch.grid()), samples);
    QVERIFY(watch.marker()->isVisible());
    // The last sample's cell is red, and the main tracer stands where the map watch put it.
    const MapWatch::Cell last = watch.watch().cellOf(samples - 1);
    QCOMPARE(watch.grid()->item(last.row, last.col)->background().color(), QColor(255, 0, 0));
    const MapPosition at =
        mapPositionOf(w.window->log(), samples - 1, MapWatchOptions::Advanced, watch.watch().axes);
    QCOMPARE(w.session.tracer.lastX(), at.x);
    QCOMPARE(w.session.tracer.lastY(), at.y);

    // The saved log gives the same grid again, as the command line's mapwatch prints it.
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("drive.txt")).toStdString();
    monitor.chooseSavePath = [&](const std::string&) { return path; };
    QVERIFY(monitor.cmdSave_Click());
    QVERIFY(w.window->chart().windowTitle().endsWith(QStringLiteral(" - drive.txt")));
    auto reopened = std::make_unique<LogStore>();
    QVERIFY(openLogFile(*reopened, w.session.trace, w.prompts, path, "drive.txt"));
    MapWatch replay(*reopened);
    replay.options = watch.watch().options;
    replay.RecalculateMap(watch.watch().axes);
    for (int row = 0; row < kMapWatchSize; ++row)
        for (int col = 0; col < kMapWatchSize; ++col) {
            const QTableWidgetItem* cell = watch.grid()->item(row, col);
            QCOMPARE(replay.cellText(row, col), cell ? cell->text().toStdString() : std::string());
        }

    // Four- and five-digit values show whole at every column width, Small included.
    for (int s = 0; s < samples; ++s)
        w.window->log().setLogData(2, s, 1658 + 300 * s);
    watch.watch().options = {2, MapWatchOptions::Max};
    watch.RecalculateMap();
    for (int width = 0; width < 3; ++width) {
        watch.findChild<QAction*>(QStringLiteral("mnuColWidth%1").arg(width))->trigger();
        for (int cell = 0; cell < kMapWatchSize * kMapWatchSize; ++cell)
            QVERIFY(watch.grid()
                        ->sizeHintForIndex(watch.grid()->model()->index(cell % 20, cell / 20))
                        .width() <= watch.grid()->columnWidth(cell / 20));
    }

    watch.close();
    QCOMPARE(w.store.integer("MapWatchFunction", -1), 1LL);
    QVERIFY(w.store.boolean("MapWatchTrace", false) && !item->isChecked());
}

void MapWatchWindowTest::anItemNotLoggedIsSaidAndTheAfrShowsItsOwnDecimals() {
    test::SimWindow w(SimUnitKind::Det1_501);
    w.readAll();
    w.window->menus().mnuMapWatch->trigger();
    MapWatchWindow& watch = w.window->mapWatch();
    LogStore& log = w.window->log();
    for (int s = 0; s < 50; ++s) {
        log.setLogTime(s, 10 * s);
        log.setLogData(kRpmItem, s, 3000);
        log.setLogData(kLoadItem, s, 3000);
        log.setLogData(kAn1Item, s, 14.7);
    }
    log.LogLast = 49;
    log.IncludeGroup[kGroupAdvanced] = true;
    watch.watch().options.item = kAn1Item;
    watch.RecalculateMap();
    const auto* item = watch.findChild<QLabel*>(QStringLiteral("lblItem"));
    QVERIFY(!item->isHidden());
    QCOMPARE(item->text(),
             QString::fromStdString(w.session.trace.label(kAn1Item) +
                                    " is not in the log: tick Aux A/D in the Monitor to log it."));
    const MapWatch::Cell at = watch.watch().cellOf(0);
    const QTableWidgetItem* cell = watch.grid()->item(at.row, at.col);
    QVERIFY(!cell || cell->text().isEmpty());
    // Which tune the log ran on is not known: it is placed on the tune in the window.
    QVERIFY(watch.findChild<QLabel*>(QStringLiteral("lblTunes"))
                ->text()
                .startsWith(QStringLiteral("the tune the log in memory ran on is not known")));

    log.IncludeGroup[kGroupAux] = true;
    watch.RecalculateMap();
    QVERIFY(item->isHidden());
    QCOMPARE(watch.grid()->item(at.row, at.col)->text(), QStringLiteral("14.700"));
}

int runMapWatchWindowTests(int argc, char** argv) {
    MapWatchWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "map_watch_window_test.moc"
