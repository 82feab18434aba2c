#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>

#include "charts/chart_window.h"
#include "gui_harness.h"
#include "history/history_window.h"
#include "monitor/monitor_window.h"

using namespace tunalyx;

namespace {

// The simulated window, keeping its history in a folder of its own.
struct HistoryWindowSim : test::SimWindow {
    HistoryWindowSim() : test::SimWindow(SimUnitKind::Det1_501) {
        window->useTuneHistory(folder());
    }
    std::string folder() const { return dir.path().toStdString() + "/History"; }
    TuneHistory history() { return TuneHistory(folder(), files); }
    // Selects the rows of these tunes, as a click and a Ctrl+click would.
    void select(std::initializer_list<int> ids) {
        QTableWidget* list = window->historyWindow().list();
        list->clearSelection();
        for (int row = 0; row < list->rowCount(); ++row)
            for (int id : ids)
                if (list->item(row, 0)->text().toInt() == id)
                    list->selectionModel()->select(
                        list->model()->index(row, 0),
                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // A log of `samples` samples saved with the monitor's Save, as a run on the unit's tune
    // leaves it (not the log last opened); its path.
    std::string saveLog(const char* name, int samples) {
        window->monitor().live().logReplaced({}, {});
        LogStore& log = window->log();
        log.IncludeGroup = {false, false, false, false, true};
        for (int s = 0; s < samples; ++s) {
            log.setLogTime(s, 100 * s);
            log.setLogData(0, s, 1000 + 100 * s);
        }
        log.LogLast = samples - 1;
        const std::string path = dir.filePath(QString::fromLatin1(name)).toStdString();
        window->monitor().chooseSavePath = [path](const std::string&) { return path; };
        window->monitor().cmdSave_Click();
        return path;
    }
    QString chartTitleOf(const std::string& log) {
        ChartWindow& chart = window->chart();
        chart.chooseLogToOpen = [log] { return log; };
        chart.mnuOpen_Click();
        return chart.windowTitle();
    }
    void setIgnCell(int row, int col, std::int32_t raw) {
        session.history.begin();
        session.maps.GridSetData(kIgnMap, row, col, raw);
        session.history.commit("Set");
        window->DisplayAllData();
    }

    QTemporaryDir dir;
};

std::vector<std::string> actionsOf(const HistoryIndex& index) {
    std::vector<std::string> actions;
    for (const TuneSnapshot& s : index.snapshots)
        actions.push_back(s.action);
    return actions;
}

}  // namespace

class HistoryWindowTest : public QObject {
    Q_OBJECT
private slots:
    void whatSucceededIsKeptAndLogsLinkToTheTuneTheUnitHeld();
    void restoreIsOneEditThatUndoTakesBackAndUpdateSends();
    void damagedLinesAndMissingFilesAreNamedTheRestWorks();
    void aStoppedWriteAndAnUnattendedExitAreKept();
};

// Read All, Write Map, a failed Write All, Open and Save As: a snapshot for each that succeeded,
// and a log saved after the write links to it, one saved after the failed write to no tune.
void HistoryWindowTest::whatSucceededIsKeptAndLogsLinkToTheTuneTheUnitHeld() {
    HistoryWindowSim w;
    w.readAll();
    w.setIgnCell(2, 3, 40);
    w.button("cmdWriteMap1")->click();
    QVERIFY(w.prompts.messages().empty());
    const std::string afterWrite = w.saveLog("LOG.txt", 10);

    w.sim.ecu().refuseWrites(0x8B);
    w.setIgnCell(2, 4, 41);
    w.button("cmdWriteAll")->click();
    QVERIFY(!w.prompts.messages().empty());
    const std::string afterFailure = w.saveLog("LOG2.txt", 12);

    const std::string saved = w.dir.path().toStdString() + "/saved.dat";
    w.window->files().chooseSavePath = [&](const std::string&) { return saved; };
    w.window->menus().mnuSaveAs->trigger();
    w.window->files().chooseOpenPath = [&] { return saved; };
    w.window->menus().mnuOpen->trigger();

    const HistoryIndex index = w.history().load();
    QCOMPARE(actionsOf(index), (std::vector<std::string>{"Read All", "Write Map", "Save", "Open"}));
    QCOMPARE(index.snapshots[2].hash, index.snapshots[3].hash);
    QCOMPARE(index.snapshots[2].file, std::string("saved.dat"));
    QCOMPARE(index.logs.size(), std::size_t{2});
    QCOMPARE(index.logs[0].tune, 2);
    QCOMPARE(index.logs[1].tune, 0);

    // The window lists them newest first, the write with its log.
    HistoryWindow& h = w.window->historyWindow();
    h.reload();
    QCOMPARE(h.list()->rowCount(), 4);
    QCOMPARE(h.list()->item(3, 2)->text(), QStringLiteral("Read All"));
    QCOMPARE(h.list()->item(2, 5)->text(), QStringLiteral("1"));
    w.select({2});
    QVERIFY(h.details()->toPlainText().contains(QStringLiteral("LOG.txt")));

    // An opened log says which tune it ran on.
    QVERIFY(w.chartTitleOf(afterWrite)
                .endsWith(QStringLiteral("LOG.txt - ran on tune 2 (Write Map, %1)")
                              .arg(QString::fromStdString(index.snapshots[1].time))));
    QVERIFY(
        w.chartTitleOf(afterFailure).endsWith(QStringLiteral("LOG2.txt - ran on an unknown tune")));

    // While it shows, the list follows the history: a write, then a log that ran on it.
    h.show();
    w.sim.ecu().acceptWrites(0x8B);
    w.button("cmdWriteMap1")->click();
    QCOMPARE(h.list()->rowCount(), 5);
    QCOMPARE(h.list()->item(0, 2)->text(), QStringLiteral("Write Map"));
    QCOMPARE(h.list()->item(0, 5)->text(), QStringLiteral("0"));
    w.saveLog("LOG3.txt", 5);
    QCOMPARE(h.list()->item(0, 5)->text(), QStringLiteral("1"));
}

// Two clicks bring back the tune read first: one Undo puts back the bytes and flags exactly, and
// after Redo, Update sends only what differs, so the unit holds that tune again.
void HistoryWindowTest::restoreIsOneEditThatUndoTakesBackAndUpdateSends() {
    HistoryWindowSim w;
    w.session.notes = "Kept for the track day\r\n";
    w.readAll();
    const PacketImage first = w.session.image;
    w.setIgnCell(5, 6, 60);
    w.session.history.begin();
    w.session.image[0x8B][2] ^= 1;  // idle: a rev limit raised would be held back
    w.session.dirty.set(0x8B);
    w.session.history.commit("Setting");
    w.window->updateButton()->click();
    QCOMPARE(actionsOf(w.history().load()), (std::vector<std::string>{"Read All", "Update"}));
    w.setIgnCell(7, 7, 70);  // an edit not yet sent
    const PacketImage beforeRestore = w.session.image;
    const PacketDirty dirtyBefore = w.session.dirty;

    HistoryWindow& h = w.window->historyWindow();
    h.reload();
    w.select({1});
    QTest::mouseClick(h.restoreButton(), Qt::LeftButton);
    QVERIFY(w.prompts.messages().empty());
    QCOMPARE(w.session.image, first);
    QVERIFY(w.session.maps.CellChanged(kIgnMap, 5, 6));
    QVERIFY(w.session.maps.CellChanged(kIgnMap, 7, 7));
    QCOMPARE(w.session.maps.changedCellCount(kIgnMap), 2);
    QVERIFY(w.session.dirty.isSet(0x8B));
    QCOMPARE(w.session.history.undoText(), std::string("Undo Restore Tune 1"));

    w.window->mnuUndo_Click();
    QCOMPARE(w.session.image, beforeRestore);
    for (int b = 0; b < PacketImage::kSlotCount; ++b)
        QCOMPARE(w.session.dirty.isSet(static_cast<std::uint8_t>(b)),
                 dirtyBefore.isSet(static_cast<std::uint8_t>(b)));
    QCOMPARE(w.session.maps.changedCellCount(kIgnMap), 1);

    w.window->mnuRedo_Click();
    w.sim.ecu().clearRequestLog();
    w.window->updateButton()->click();
    QVERIFY(w.sim.ecu().requests().size() < 10);  // Write All sends over 40
    for (int b = 0; b < PacketImage::kSlotCount; ++b) {
        const auto block = static_cast<std::uint8_t>(b);
        if (!w.sim.ecu().blocks()[block].empty())
            QCOMPARE(w.sim.ecu().blocks()[block], first[block]);
    }
    // What the unit holds now is tune 1 again, notes and all: kept once, under its hash.
    const HistoryIndex index = w.history().load();
    QCOMPARE(index.snapshots.back().hash, index.snapshots.front().hash);
}

// A damaged line and a missing tune file are named; the other tunes list, compare and restore.
void HistoryWindowTest::damagedLinesAndMissingFilesAreNamedTheRestWorks() {
    HistoryWindowSim w;
    w.readAll();
    const PacketImage first = w.session.image;
    const double older = w.session.maps.displayValue(kIgnMap, 1, 1);
    w.setIgnCell(1, 1, 10);
    const double newer = w.session.maps.displayValue(kIgnMap, 1, 1);
    QVERIFY(newer != older);
    w.button("cmdWriteMap1")->click();
    w.setIgnCell(1, 2, 20);
    w.button("cmdWriteMap1")->click();
    TuneHistory history = w.history();
    std::ofstream(history.indexPath(), std::ios::app) << "tune\t9\tnot a time\n";
    QVERIFY(std::filesystem::remove(history.snapshotPath(history.load().snapshots[2].hash)));

    HistoryWindow& h = w.window->historyWindow();
    h.reload();
    QVERIFY(!h.problems()->isHidden());
    QVERIFY(h.problems()->text().contains(QStringLiteral("line 4 is damaged")));
    QCOMPARE(h.list()->rowCount(), 3);
    w.select({3});
    QVERIFY(!h.restoreButton()->isEnabled());
    QVERIFY(h.details()->toPlainText().contains(QStringLiteral("is missing")));
    w.select({1, 3});
    QVERIFY(h.details()->toPlainText().contains(QStringLiteral("is missing")));

    // The newer against the older, cells named as the grids head them.
    w.select({1, 2});
    const QString changed =
        QStringLiteral("cell\tIgn Map\tP01\tN01\t%1\n").arg(qRound(newer - older));
    QVERIFY2(h.details()->toPlainText().contains(changed), qPrintable(h.details()->toPlainText()));
    QVERIFY(!h.details()->toPlainText().contains(QStringLiteral("Ign Map\tP01\tN02")));
    h.reload();  // a refresh keeps both
    QVERIFY(h.details()->toPlainText().contains(changed));
    w.select({1});
    QVERIFY(h.restoreSelected());
    QCOMPARE(w.session.image, first);
    QVERIFY(w.prompts.messages().empty());
}

// A Write All stopped after the Inj Map went out shows at once, and what it sent is safe; a
// logout then keeps the edits not sent without sending them, and keeps nothing when none waits.
void HistoryWindowTest::aStoppedWriteAndAnUnattendedExitAreKept() {
    HistoryWindowSim w;
    w.readAll();
    HistoryWindow& h = w.window->historyWindow();
    h.show();
    const auto setInjCell = [&](int col, std::int32_t raw) {
        w.session.history.begin();
        w.session.maps.GridSetData(kInjMap, 2, col, raw);
        w.session.history.commit("Set");
        w.window->DisplayAllData();
    };
    setInjCell(3, 40);
    w.setIgnCell(2, 3, 40);
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        for (std::uint8_t b : w.session.maps.mapBlocks(kInjMap))
            if (w.sim.ecu().blocks()[b] != w.session.image[b]) return;
        w.window->transfers().operations().requestStop();
    });
    stopper.start(0);
    w.button("cmdWriteAll")->click();
    stopper.stop();
    QCOMPARE(h.list()->item(0, 2)->text(), QStringLiteral("Write All (stopped)"));
    // The cell sent waits no more when another of its block is edited.
    setInjCell(4, 41);
    QCOMPARE(w.window->waitingChanges(), (WaitingChanges{2, 0}));

    const auto unit = w.sim.ecu().blocks();
    w.window->closeUnattended();
    QTRY_VERIFY(!w.window->isVisible());
    QVERIFY(w.sim.ecu().blocks() == unit);
    const HistoryIndex index = w.history().load();
    QCOMPARE(actionsOf(index),
             (std::vector<std::string>{"Read All", "Write All (stopped)", "Exit (not sent)"}));

    HistoryWindowSim nothing;
    nothing.readAll();
    nothing.window->closeUnattended();
    QTRY_VERIFY(!nothing.window->isVisible());
    QCOMPARE(actionsOf(nothing.history().load()), std::vector<std::string>{"Read All"});
}

int runHistoryWindowTests(int argc, char** argv) {
    HistoryWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "history_window_test.moc"
