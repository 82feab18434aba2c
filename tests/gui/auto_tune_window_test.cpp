#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include "autotune/auto_tune_window.h"
#include "autotune/qt_analysis_grid.h"
#include "autotune/target_afr.h"
#include "gui_harness.h"
#include "monitor/log_writer.h"
#include "ports/whole_file.h"

using namespace tunalyx;

class AutoTuneWindowTest : public QObject {
    Q_OBJECT
private slots:
    void aLeanCellIsProposedAppliedAsOneStepAndTakenBack();
    void lockedCellsStayAndASelectionLimitsWhatIsApplied();
    void liveWritesThroughUpdateAndHoldsBackTheCellsItWrote();
    void analysedAgainAfterApplyEachLogIsTakenAgainstTheTuneItRanOn();
    void applyTakesTheSelectionEvenOneCellAndItsRightMostColumn();
    void aLogWithoutItsGroupNamesTheBoxAndTheWindowOpensOnTheScreen();
    void curveTabsShowTheirPointsAndApplyIsOneUndoStep();
    void predictedCellsAreHatchedWithTheirConfidenceAndWrittenAsOneStep();
};

namespace {

// Two cells, 0-based [row][col], each at an exact breakpoint so that it takes every reading.
constexpr int kRowA = 4, kColA = 6;
constexpr int kRowB = 10, kColB = 12;

// `seconds` of a warm engine at one cell's breakpoints from sample `from`, 100 samples a second,
// reading `lean` times the target; the next sample's index. The first 30 s of a log are not read.
int hold(LogStore& log, const Session& s, int from, int row, int col, double seconds, double lean) {
    const MapAxes axes = LoadMapAxes(s.codec, s.maps.MapRefBlock);
    const double target = defaultTargetAfr(axes)[std::size_t(row)][std::size_t(col)];
    log.IncludeGroup[kGroupAdvanced] = log.IncludeGroup[kGroupAux] = true;
    const int end = from + static_cast<int>(seconds * 100);
    for (int n = from; n < end; ++n) {
        log.setLogTime(n, n * 10);
        log.setLogData(kRpmItem, n, axes.column[std::size_t(col)]);
        log.setLogData(kLoadItem, n, axes.row[std::size_t(row)]);
        log.setLogData(kAn1Item, n, target * lean);
        log.setLogData(kInjMsItem, n, 3);
        log.setLogData(kWaterTempItem, n, 85);
        log.setLogData(kThrottleVoltsItem, n, 1);
    }
    log.LogLast = end - 1;
    return end;
}

double injValue(const MapGrids& maps, std::int32_t raw) {
    const MapDescriptor& d = maps.descriptor(kInjMap);
    return raw * d.scale + d.offset;
}
// The raw value a cell of raw `raw` gets for a correction of `factor`, as the grid rounds.
std::int32_t rawAfter(const MapGrids& maps, std::int32_t raw, double factor) {
    const MapDescriptor& d = maps.descriptor(kInjMap);
    return static_cast<std::int32_t>(
        std::lround((injValue(maps, raw) * factor - d.offset) / d.scale));
}

struct Tuning {
    test::SimWindow w{SimUnitKind::Det1_501};
    AutoTuneWindow* window = nullptr;
    Tuning() {
        w.readAll();
        w.window->menus().mnuAutoTune->trigger();
        window = &w.window->autoTune();
    }
    QPushButton* button(const char* name) const {
        return window->findChild<QPushButton*>(QLatin1String(name));
    }
    void click(const char* name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    void select(int top, int left, int bottom, int right) const {
        window->proposalGrid()->clearSelection();
        window->proposalGrid()->setRangeSelected({top, left, bottom, right}, true);
    }
    std::int32_t raw(int row, int col) const {
        return w.session.maps.GridData(kInjMap, row + 1, col + 1);
    }
    // Cell A read 6 % lean for 60 s, then cell B 5 % rich for 30 s.
    void holdBoth() const {
        LogStore& log = w.window->log();
        hold(log, w.session, hold(log, w.session, 0, kRowA, kColA, 60, 1.06), kRowB, kColB, 30,
             0.95);
    }
};

}  // namespace

void AutoTuneWindowTest::aLeanCellIsProposedAppliedAsOneStepAndTakenBack() {
    Tuning t;
    QVERIFY(t.window->isVisible() && t.w.window->menus().mnuAutoTune->isChecked());
    Session& s = t.w.session;
    hold(t.w.window->log(), s, 0, kRowA, kColA, 60, 1.06);
    const PacketImage before = s.image;
    const CellFlags flagsBefore = s.cellChanged;
    const std::int32_t oldRaw = t.raw(kRowA, kColA);
    const std::int32_t newRaw = rawAfter(s.maps, oldRaw, 1.06);

    t.click("cmdAnalyse");
    const QTableWidgetItem* cell = t.window->proposalGrid()->item(kRowA, kColA);
    const double change = (injValue(s.maps, newRaw) / injValue(s.maps, oldRaw) - 1) * 100;
    QVERIFY(change > 5.4 && change < 6.6);
    QCOMPARE(cell->text(), QStringLiteral("+%1").arg(change, 0, 'f', 1));
    const QString tip = cell->toolTip();
    QVERIFY2(tip.startsWith(QStringLiteral("P05 N07\nSamples ")), qPrintable(tip));
    QVERIFY(tip.contains(QStringLiteral("Correction 1.060 (6.0 % lean)")));
    QVERIFY(tip.contains(QString::fromStdString(s.maps.fText(kInjMap, oldRaw) + " -> " +
                                                s.maps.fText(kInjMap, newRaw))));
    QVERIFY(tip.endsWith(QStringLiteral("\nproposed")));
    QVERIFY(t.window->proposalGrid()->item(0, 0)->text().isEmpty());
    QVERIFY(t.window->findChild<QLabel*>(QStringLiteral("lblReadings"))
                ->text()
                .startsWith(QStringLiteral("Rejected: start of run 3000,")));

    QTemporaryDir kept;
    t.w.window->useTuneHistory(kept.path().toStdString());
    t.click("cmdApply");
    QCOMPARE(t.raw(kRowA, kColA), newRaw);
    const auto actions = [&] {
        std::vector<std::string> found;
        for (const TuneSnapshot& k :
             TuneHistory(kept.path().toStdString(), t.w.files).load().snapshots)
            found.push_back(k.action);
        return found;
    };
    QCOMPARE(actions(), std::vector<std::string>{"Auto Tune"});
    QVERIFY(s.maps.CellChanged(kInjMap, kRowA + 1, kColA + 1));
    QVERIFY(t.w.window->updateButton()->isEnabled());
    QCOMPARE(t.w.window->grid(kInjMap)->cells().cellText(kRowA + 1, kColA + 1),
             QString::fromStdString(s.maps.fText(kInjMap, newRaw)));
    QCOMPARE(s.history.undoText(), std::string("Undo Auto Tune Inj Map"));
    QVERIFY(s.history.undo());
    QCOMPARE(s.image, before);
    QVERIFY(s.cellChanged == flagsBefore);
    QVERIFY(!s.dirty.any());

    // A cell typed since the analysis keeps what was typed.
    s.maps.GridSetData(kInjMap, kRowA + 1, kColA + 1, oldRaw + 2);
    t.click("cmdApply");
    QCOMPARE(t.raw(kRowA, kColA), oldRaw + 2);
    QCOMPARE(actions().size(), std::size_t{1});  // nothing applied, nothing kept
}

void AutoTuneWindowTest::lockedCellsStayAndASelectionLimitsWhatIsApplied() {
    Tuning t;
    Session& s = t.w.session;
    t.holdBoth();
    const std::int32_t a = t.raw(kRowA, kColA);
    const std::int32_t b = t.raw(kRowB, kColB);
    t.click("cmdAnalyse");
    QCOMPARE(t.window->proposal()->cells[kRowA][kColA].verdict, CellVerdict::Proposed);
    QVERIFY(t.window->proposalGrid()->item(kRowB, kColB)->text().startsWith('-'));

    t.select(kRowA, kColA, kRowA, kColA);
    t.click("cmdLock");
    QVERIFY(t.window->proposalGrid()
                ->item(kRowA, kColA)
                ->toolTip()
                .endsWith(QStringLiteral("\nlocked")));
    QCOMPARE(t.w.store.text("AutoTuneLocks", "").at(kRowA * 20 + kColA), '1');
    t.window->proposalGrid()->clearSelection();
    t.click("cmdApply");
    QCOMPARE(t.raw(kRowA, kColA), a);
    QCOMPARE(t.raw(kRowB, kColB), rawAfter(s.maps, b, 0.95));
    QVERIFY(s.history.undo());

    t.select(kRowA, kColA, kRowA, kColA);
    t.click("cmdUnlock");
    t.select(kRowB - 1, kColB - 1, kRowB + 1, kColB + 1);
    t.click("cmdApply");
    QCOMPARE(t.raw(kRowA, kColA), a);
    QCOMPARE(t.raw(kRowB, kColB), rawAfter(s.maps, b, 0.95));
    QCOMPARE(s.history.undoText(), std::string("Undo Auto Tune Inj Map P10-P12 N12-N14"));
}

void AutoTuneWindowTest::liveWritesThroughUpdateAndHoldsBackTheCellsItWrote() {
    Tuning t;
    Session& s = t.w.session;
    LogStore& log = t.w.window->log();
    auto* live = t.window->findChild<QCheckBox*>(QStringLiteral("chkLive"));
    auto* write = t.window->findChild<QCheckBox*>(QStringLiteral("chkApplyUpdate"));
    QVERIFY(!write->isEnabled());
    live->setChecked(true);
    write->setChecked(true);

    // A run being logged has published 35 s of a lean cell.
    t.window->live().runStarted();
    hold(log, s, 0, kRowA, kColA, 60, 1.06);
    log.publish(3500);
    const std::int32_t written = rawAfter(s.maps, t.raw(kRowA, kColA), 1.06);
    t.window->liveTick();
    QCOMPARE(t.window->proposal()->readings.total, 3500L);
    QCOMPARE(t.raw(kRowA, kColA), written);
    // Update has sent it: the unit holds it and nothing is left to send.
    const CellAddress at = cellAddress(s.maps.descriptor(kInjMap), kRowA + 1, kColA + 1);
    QCOMPARE(std::int32_t(t.w.sim.ecu().blocks()[at.block][std::size_t(at.byte - 1)]), written);
    QVERIFY(!s.maps.CellChanged(kInjMap, kRowA + 1, kColA + 1) && !s.dirty.any());
    QCOMPARE(t.window->live().writtenAt()[kRowA][kColA], 34.99);
    QVERIFY(t.window->statusBar()->currentMessage().startsWith(QStringLiteral("1 cells written")));

    // The next analysis leaves out what the cell read before its write reached the sensor.
    log.publish(3800);
    t.window->liveTick();
    QVERIFY(t.window->proposal()->readings.count(Rejection::Rewritten) > 0);
    live->setChecked(false);
    QVERIFY(!write->isEnabled() && !write->isChecked());
}

void AutoTuneWindowTest::analysedAgainAfterApplyEachLogIsTakenAgainstTheTuneItRanOn() {
    Tuning t;
    Session& s = t.w.session;
    LogStore& log = t.w.window->log();
    t.holdBoth();
    const QLabel* tunes = t.window->findChild<QLabel*>(QStringLiteral("lblTunes"));

    // The same run saved, and linked by the history to the tune in the window: T0.
    QTemporaryDir kept;
    t.w.window->useTuneHistory(kept.path().toStdString());
    TuneHistory history(kept.path().toStdString(), t.w.files);
    const int t0 = history.recordSnapshot(s.tune(), "Read All", "t0.dat").id;
    const std::string path = kept.filePath(QStringLiteral("run.txt")).toStdString();
    const std::string text = logFileText(log, s.trace);
    QCOMPARE(t.w.files.writeWhole(path, text), std::string());
    QCOMPARE(history.recordLog(path, text, t0), std::string());

    t.click("cmdAnalyse");
    const long once = t.window->proposal()->readings.total;
    QCOMPARE(t.window->proposal()->changedCells(), 2);
    QCOMPARE(tunes->text().toStdString(),
             unknownTuneText("the log in memory", fileNameOf(s.captionFile)));
    t.window->chooseLogs = [&] { return std::vector<std::string>{path, path}; };
    t.click("cmdOpenLogs");
    // Opened beside the log in memory it is the same run, read once.
    QCOMPARE(t.window->proposal()->readings.total, once);
    QVERIFY2(
        tunes->text().endsWith(QStringLiteral("run.txt is the log in memory: it is read once.")),
        qPrintable(tunes->text()));

    t.click("cmdApply");
    t.click("cmdAnalyse");
    QCOMPARE(t.window->proposal()->changedCells(), 0);
    QVERIFY(!t.button("cmdApply")->isEnabled());

    // The saved run alone, the history's link naming its tune.
    log.LogLast = 0;
    t.click("cmdAnalyse");
    QCOMPARE(t.window->proposal()->readings.total, once);
    QCOMPARE(t.window->proposal()->changedCells(), 0);
    QVERIFY2(tunes->isHidden(), qPrintable(tunes->text()));
}

void AutoTuneWindowTest::applyTakesTheSelectionEvenOneCellAndItsRightMostColumn() {
    Tuning t;
    Session& s = t.w.session;
    t.holdBoth();
    const std::int32_t a = t.raw(kRowA, kColA);
    const std::int32_t b = t.raw(kRowB, kColB);
    t.click("cmdAnalyse");

    t.select(kRowB, kColB, kRowB, kColB);
    t.click("cmdApply");
    QCOMPARE(t.raw(kRowA, kColA), a);
    QCOMPARE(t.raw(kRowB, kColB), rawAfter(s.maps, b, 0.95));
    QCOMPARE(s.history.undoText(), std::string("Undo Auto Tune Inj Map P11 N13"));
    QVERIFY(s.history.undo());

    t.select(kRowA - 1, kColA - 3, kRowA + 2, kColA);
    t.click("cmdApply");
    QCOMPARE(t.raw(kRowA, kColA), rawAfter(s.maps, a, 1.06));
    QCOMPARE(t.raw(kRowB, kColB), b);
}

void AutoTuneWindowTest::aLogWithoutItsGroupNamesTheBoxAndTheWindowOpensOnTheScreen() {
    Tuning t;
    Session& s = t.w.session;
    LogStore& log = t.w.window->log();
    hold(log, s, 0, kRowA, kColA, 60, 1.06);
    log.IncludeGroup[kGroupAux] = false;
    t.click("cmdAnalyse");
    QVERIFY(t.window->findChild<QLabel*>(QStringLiteral("lblDiagnosis"))
                ->text()
                .endsWith(QStringLiteral("tick Aux A/D in the Monitor before logging")));

    // Kept above the top of the screen, the window opens with its title bar on it.
    t.window->close();
    t.w.store.setValue("AutoTuneTop", "-3000");
    t.w.store.setValue("AutoTuneLeft", "-3000");
    test::SimWindow again(SimUnitKind::Det1_501);
    again.store.setValue("AutoTuneTop", "-3000");
    again.store.setValue("AutoTuneLeft", "-3000");
    again.window->menus().mnuAutoTune->trigger();
    AutoTuneWindow& w = again.window->autoTune();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCoreApplication::processEvents();
    const QRect area = w.screen()->availableGeometry();
    QVERIFY2(
        w.frameGeometry().top() >= area.top() && w.frameGeometry().left() >= area.left(),
        qPrintable(
            QStringLiteral("%1,%2").arg(w.frameGeometry().left()).arg(w.frameGeometry().top())));
}

void AutoTuneWindowTest::curveTabsShowTheirPointsAndApplyIsOneUndoStep() {
    Tuning t;
    Session& s = t.w.session;
    hold(t.w.window->log(), s, 0, kRowA, kColA, 60, 1.06);
    const FamilyLayout& layout = familyLayout(*s.layout.family);
    const FuelCurves held = *fuelCurvesOf(s.image, layout);
    // The analyses' own results aside, a proposal made by hand: the 10 C point and 3000 rpm up.
    t.window->analyser = [&](auto&&... args) {
        AutoTuneAnalysis a = analyseAutoTune(args...);
        const auto point = [](double x, double value, const char* why) {
            CurvePointResult p;
            p.x = x;
            p.oldValue = p.newValue = value;
            p.why = why;
            return p;
        };
        CurveProposal warm;
        warm.name = "Water Temp Correction, Corr 1";
        warm.tag = warmUpTagOf(layout);
        for (std::size_t i = 0; i < kWarmUpPoints; ++i)
            warm.points.push_back(point(held.warmUp.x[i], held.warmUp.y[i], "no readings"));
        warm.points[2] = point(10, held.warmUp.y[2], "");
        warm.points[2].newValue += 4 * 0.015625;
        warm.points[2].coldStarts = 4;
        warm.used = 4;
        a.warmUp = warm;
        CurveProposal pump;
        pump.kind = CurveKind::Pump;
        pump.tag = pumpTagOf(layout);
        for (std::size_t i = 0; i < kPumpPoints; ++i)
            pump.points.push_back(
                point(held.pump.pulse.x[i], held.pump.pulse.y[i], "2 tip-ins, 5 needed"));
        pump.problem = "no tip-in clear enough";
        a.pump = pump;
        return a;
    };
    t.click("cmdAnalyse");

    const auto* warmGrid = t.window->findChild<QTableWidget*>(QStringLiteral("grdWarmUp"));
    QCOMPARE(warmGrid->rowCount(), int(kWarmUpPoints));
    const auto row = [&](const QTableWidget* grid, int r) {
        QStringList texts;
        for (int c = 0; c < grid->columnCount(); ++c)
            texts << grid->item(r, c)->text();
        return texts.join('|');
    };
    const double change = 4 * 0.015625 / held.warmUp.y[2] * 100;
    QCOMPARE(row(warmGrid, 2), QStringLiteral("10|%1|%2|+%3|4|proposed")
                                   .arg(held.warmUp.y[2], 0, 'f', 3)
                                   .arg(held.warmUp.y[2] + 0.0625, 0, 'f', 3)
                                   .arg(change, 0, 'f', 1));
    QVERIFY(row(warmGrid, 0).endsWith(QStringLiteral("||0|no readings")));
    QVERIFY(t.window->findChild<QLabel*>(QStringLiteral("lblWarmUpUsed"))
                ->text()
                .startsWith(QStringLiteral("From 4 cold starts.")));
    const auto* accelGrid = t.window->findChild<QTableWidget*>(QStringLiteral("grdAccel"));
    QCOMPARE(accelGrid->rowCount(), int(kPumpPoints));
    QVERIFY(row(accelGrid, 2).endsWith(QStringLiteral("|2 tip-ins, 5 needed")));
    QCOMPARE(t.window->findChild<QLabel*>(QStringLiteral("lblAccelProblem"))->text(),
             QStringLiteral("no tip-in clear enough"));
    QVERIFY(!t.button("cmdApplyAccel")->isEnabled());

    const PacketImage before = s.image;
    t.click("cmdApplyWarmUp");
    if (s.image == before) QSKIP("the curve writer is not on this branch yet");
    QCOMPARE(fuelCurvesOf(s.image, layout)->warmUp.y[2], held.warmUp.y[2] + 0.0625);
    QCOMPARE(s.history.undoText(), std::string("Undo Auto Tune Water Temp Correction, Corr 1"));
    QVERIFY(s.dirty.any() && t.w.window->updateButton()->isEnabled());
    QVERIFY(s.history.undo());
    QCOMPARE(s.image, before);
}

void AutoTuneWindowTest::predictedCellsAreHatchedWithTheirConfidenceAndWrittenAsOneStep() {
    Tuning t;
    Session& s = t.w.session;
    hold(t.w.window->log(), s, 0, kRowA, kColA, 60, 1.06);
    const std::int32_t sure = t.raw(kRowB, kColB);
    const std::int32_t unsure = t.raw(kRowB, kColB + 1);
    const std::int32_t measured = t.raw(kRowA, kColA);
    MeasuredDelay delay;
    delay.regions.resize(1);
    delay.regions[0].events = 20;
    delay.regions[0].seconds = 0.4;
    delay.regions[0].confidence = 0.9;
    t.window->analyser = [&](auto&&... args) {
        AutoTuneAnalysis a = analyseAutoTune(args...);
        a.settings.measuredDelay = delay;
        const auto predict = [&](int col, std::int32_t raw, double confidence) {
            a.predictions[kRowB][std::size_t(col)] = {
                true, raw, raw + 3, injValue(s.maps, raw), injValue(s.maps, raw + 3), confidence};
        };
        predict(kColB, sure, 0.8);
        predict(kColB + 1, unsure, 0.3);
        a.driveNext = {{.row = kRowB, .col = kColB, .rpm = 3000, .load = 4000, .reason = "no data"},
                       {.row = 1, .col = 1, .rpm = 1000, .load = 500, .reason = "no data"}};
        return a;
    };
    t.click("cmdAnalyse");

    const QTableWidgetItem* cell = t.window->proposalGrid()->item(kRowB, kColB);
    QVERIFY(cell->data(kPredictedRole).toBool());
    QVERIFY(!t.window->proposalGrid()->item(kRowA, kColA)->data(kPredictedRole).toBool());
    QVERIFY2(cell->toolTip().startsWith(QStringLiteral("P11 N13\nPredicted ")),
             qPrintable(cell->toolTip()));
    QVERIFY(cell->toolTip().contains(QStringLiteral("\nConfidence 0.80\nwritten by")));
    QVERIFY(t.window->proposalGrid()
                ->item(kRowB, kColB + 1)
                ->toolTip()
                .contains(QStringLiteral("Confidence 0.30\ntoo uncertain to write")));
    QCOMPARE(t.window->findChild<QLabel*>(QStringLiteral("lblDelay"))->text().toStdString(),
             delay.line());
    QCOMPARE(t.window->findChild<QListWidget*>(QStringLiteral("lstDriveNext"))->count(), 2);

    const PacketImage before = s.image;
    t.window->proposalGrid()->clearSelection();
    t.click("cmdApplyPredictions");
    if (s.image == before) QSKIP("the prediction writer is not on this branch yet");
    QCOMPARE(t.raw(kRowB, kColB), sure + 3);
    QCOMPARE(t.raw(kRowB, kColB + 1), unsure);
    QCOMPARE(t.raw(kRowA, kColA), measured);  // a measured proposal waits for Apply
    QCOMPARE(s.history.undoText(), std::string("Undo Auto Tune Predictions Inj Map"));
    QVERIFY(s.history.undo());
    QCOMPARE(s.image, before);
}

int runAutoTuneWindowTests(int argc, char** argv) {
    AutoTuneWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "auto_tune_window_test.moc"
