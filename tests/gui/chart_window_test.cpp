#include <QAction>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolTip>

#include "charts/chart_window.h"
#include "charts/math_items_dialog.h"
#include "charts/setup_chart_dialog.h"
#include "gui_harness.h"
#include "mapwatch/map_watch_window.h"
#include "monitor/log_file.h"
#include "monitor/log_markers.h"
#include "monitor/marker_note_widget.h"
#include "monitor/monitor_window.h"

using namespace tunalyx;

namespace {

// The chart of a window after a Read All, with Rpm on trace 0 and a saved log of 40 samples
// 100 ms apart on disk.
struct ChartFixture : test::SimWindow {
    ChartFixture() : SimWindow(SimUnitKind::Det1_501) {
        readAll();
        chart = &window->chart();
        chart->config().TraceItem[0] = 1;  // Rpm
        chart->config().TraceMaxVal[0] = 10000;
        chart->config().TraceCaption[0] = "- Rpm";
        LogStore& log = window->log();
        log.IncludeGroup = {false, false, false, false, true};
        for (int s = 0; s < 40; ++s) {
            log.setLogTime(s, 100 * s);
            log.setLogData(0, s, 1000 + 100 * s);
        }
        log.LogLast = 39;
        logPath = dir.filePath(QStringLiteral("run.txt")).toStdString();
        std::ofstream(logPath, std::ios::binary) << logFileText(log, session.trace);
        log.LogLast = 0;
        chart->chooseLogToOpen = [this] { return logPath; };
        prompts.clear();
    }
    void cursorTo(int sample) {
        chart->strip().setCursorPosition(window->log().LogTime(sample) / 1000.0);
    }

    ChartWindow* chart = nullptr;
    QTemporaryDir dir;
    std::string logPath;
};

}  // namespace

class ChartWindowTest : public QObject {
    Q_OBJECT
private slots:
    void anOpenedLogIsDrawnAndSteppedThrough();
    void playbackFollowsTheLogAndEndsOnTheLastSample();
    void theLiveFeedPlotsEverySample();
    void withoutTracesTheChartSaysHowToAddThemAndEachNewTraceHasItsColour();
    void aMathItemIsRefusedUntilItParsesThenDrawn();
    void aSessionIsOneTimelineTheCursorStepsAcrossItsParts();
    void aMarkerSetWithF8WhileLoggingIsSavedBesideTheLogAndShownWhenItIsReopened();
};

void ChartWindowTest::anOpenedLogIsDrawnAndSteppedThrough() {
    ChartFixture f;
    QVERIFY(f.chart->mnuOpen_Click());
    QVERIFY(f.chart->windowTitle().endsWith(QStringLiteral("SR20DET - run.txt")));
    const StripChart& strip = f.chart->strip().chart();
    QCOMPARE(strip.pointCount(0), 40);
    QCOMPARE(strip.pointCount(StripChart::kTimeTrace), 40);
    // 0..10000 rpm on the default pane of 0..250.
    QCOMPARE(strip.ys(0)[10], 2000 * 0.025);

    QSignalSpy shown(f.chart, &ChartWindow::sampleShown);
    f.cursorTo(5);
    QCOMPARE(f.chart->LookupIndex(), 5);
    f.chart->Strip1_KeyDown(Qt::Key_Left, Qt::ControlModifier);
    QCOMPARE(f.chart->LookupIndex(), 0);
    f.chart->Strip1_KeyDown(Qt::Key_Right, Qt::NoModifier);
    QCOMPARE(f.chart->LookupIndex(), 1);
    QCOMPARE(strip.caption(0).text, std::string("- Rpm  1100"));  // the value at the cursor
    QCOMPARE(shown.count(), 2);
    QCOMPARE(shown.last().at(0).toInt(), 1);
}

void ChartWindowTest::playbackFollowsTheLogAndEndsOnTheLastSample() {
    ChartFixture f;
    QVERIFY(f.chart->mnuOpen_Click());
    QSignalSpy shown(f.chart, &ChartWindow::sampleShown);
    f.cursorTo(39);
    f.chart->mnuLogPlay_Click();
    QVERIFY(!f.chart->playing());
    QCOMPARE(shown.count(), 0);

    // The window's clock stands still here, so every sample is due at once, in order.
    f.cursorTo(30);
    f.chart->mnuLogPlay_Click();
    QVERIFY(f.chart->playing());
    QTRY_VERIFY(!f.chart->playing());
    QCOMPARE(shown.count(), 9);
    QCOMPARE(shown.last().at(0).toInt(), 39);
    QCOMPARE(f.chart->LookupIndex(), 39);
}

void ChartWindowTest::theLiveFeedPlotsEverySample() {
    ChartFixture f;
    MonitorWindow& monitor = f.window->monitor();
    monitor.cmdLogStart_Click();
    QTRY_VERIFY(monitor.live().samplesPresented() >= 10);
    monitor.cmdLogStop_Click();
    const StripChart& strip = f.chart->strip().chart();
    QCOMPARE(strip.pointCount(0), monitor.live().samplesPresented());
    QCOMPARE(strip.pointCount(StripChart::kTimeTrace), monitor.live().samplesPresented());
    QVERIFY(strip.ys(0)[0] > 0);
}

void ChartWindowTest::withoutTracesTheChartSaysHowToAddThemAndEachNewTraceHasItsColour() {
    ChartFixture f;
    f.chart->config().TraceItem[0] = 0;
    QVERIFY(f.chart->mnuOpen_Click());
    QCOMPARE(f.chart->strip().hint(),
             QStringLiteral("No traces: choose items with Setup > Chart."));

    SetupChartDialog setup(*f.chart, f.session.trace);
    auto* trace = setup.findChild<QComboBox*>(QStringLiteral("comTraceItem"));
    auto* traceNumber = setup.findChild<QComboBox*>(QStringLiteral("comTrace"));
    // Every entry can be told from the others (the aux inputs left as "raw" included).
    QStringList entries;
    for (int i = 0; i < trace->count(); ++i)
        if (!trace->itemText(i).contains(QStringLiteral("***"))) entries << trace->itemText(i);
    QCOMPARE(entries.removeDuplicates(), 0);
    QVERIFY(entries.contains(QStringLiteral("Aux AN2 raw")));
    for (int t : {0, 1, 2}) {
        traceNumber->setCurrentIndex(t);
        emit traceNumber->activated(t);
        trace->setCurrentIndex(t + 1);
        emit trace->activated(t + 1);
    }
    QCOMPARE(f.chart->strip().hint(), QString());
    const StripChart& strip = f.chart->strip().chart();
    QCOMPARE(strip.pointCount(1), 40);
    const auto& colours = f.chart->config().TraceColour;
    QVERIFY(colours[0] != colours[1] && colours[1] != colours[2] && colours[0] != colours[2]);
}

void ChartWindowTest::aMathItemIsRefusedUntilItParsesThenDrawn() {
    ChartFixture f;
    QVERIFY(f.chart->mnuOpen_Click());
    bool edited = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<MathItemsDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->addItem();
        auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("cmdOK"));
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("txtName"));
        auto* expression = dialog->findChild<QLineEdit*>(QStringLiteral("txtExpression"));
        name->setText(QStringLiteral("Step"));
        QTest::keyClicks(expression, QStringLiteral("Rpm - Rpm[-1"));
        QCOMPARE(dialog->problem(0), QStringLiteral("Missing ] at 13"));
        QVERIFY(!ok->isEnabled());
        dialog->accept();
        QVERIFY(dialog->isVisible());
        QTest::keyClicks(expression, QStringLiteral("]"));
        QCOMPARE(dialog->problem(0), QString());
        QVERIFY(ok->isEnabled());
        edited = true;
        ok->click();
    });
    f.chart->findChild<QAction*>(QStringLiteral("mnuMathItems"))->trigger();
    QVERIFY(edited);
    QVERIFY(f.session.mathItems);
    // The setup dialog offers it after the 64 live items, where its TraceItem puts it.
    SetupChartDialog setup(*f.chart, f.session.trace);
    auto* list = setup.findChild<QComboBox*>(QStringLiteral("comTraceItem"));
    QCOMPARE(list->count(), kFirstMathTraceItem + 1);
    QCOMPARE(list->itemText(kFirstMathTraceItem), QStringLiteral("Math Step"));

    ChartConfig& c = f.chart->config();
    c.TraceItem[1] = kFirstMathTraceItem;
    c.TraceCaption[1] = "- Step";
    f.chart->applyTracesToStrip();
    f.chart->initTrace(1);
    const StripChart& strip = f.chart->strip().chart();
    QCOMPARE(strip.pointCount(1), 40);
    QCOMPARE(strip.ys(1)[0], 0.0);  // before the start, the first sample stands in
    QCOMPARE(strip.ys(1)[7], 100.0);
    f.cursorTo(2);
    f.chart->Strip1_KeyDown(Qt::Key_Right, Qt::NoModifier);
    QCOMPARE(strip.caption(1).text, std::string("- Step  100"));
}

void ChartWindowTest::aSessionIsOneTimelineTheCursorStepsAcrossItsParts() {
    ChartFixture f;
    // The part after run.txt carries on in time with Rpm 5000 up.
    LogStore& log = f.window->log();
    for (int s = 0; s < 40; ++s) {
        log.setLogTime(s, 4000 + 100 * s);
        log.setLogData(0, s, 5000 + 100 * s);
    }
    log.LogLast = 39;
    const std::string second = f.dir.filePath(QStringLiteral("run-001.txt")).toStdString();
    std::ofstream(second, std::ios::binary) << logFileText(log, f.session.trace);
    std::ofstream(f.dir.filePath(QStringLiteral("run-001.markers")).toStdString(), std::ios::binary)
        << "[Tunalyx Log Markers]\r\n1\t4.500\tboost\r\n";
    log.LogLast = 0;

    QSignalSpy changed(f.chart, &ChartWindow::shownSourceChanged);
    f.chart->chooseLogsToOpen = [&] { return std::vector<std::string>{second}; };
    QVERIFY(f.chart->mnuOpenSession_Click());
    QVERIFY(f.chart->windowTitle().endsWith(QStringLiteral(" - run.txt + 1 part")));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(f.chart->shownSource().sampleCount(), 80);
    const StripChart& strip = f.chart->strip().chart();
    QVERIFY(strip.hasSource(0));
    QCOMPARE(strip.markers().size(), std::size_t{1});
    QCOMPARE(strip.markers()[0].seconds, 4.5);

    QSignalSpy shown(f.chart, &ChartWindow::sampleShown);
    f.chart->strip().setCursorPosition(3.9);
    QCOMPARE(f.chart->LookupIndex(), 39);
    f.chart->Strip1_KeyDown(Qt::Key_Right, Qt::NoModifier);
    QCOMPARE(f.chart->LookupIndex(), 40);
    QCOMPARE(f.chart->strip().cursorPosition(), 4.0);
    QCOMPARE(strip.caption(0).text, std::string("- Rpm  5000"));
    QCOMPARE(shown.last().at(0).toInt(), 40);
    f.chart->Strip1_KeyDown(Qt::Key_Left, Qt::ControlModifier);
    QCOMPARE(f.chart->LookupIndex(), 30);
    QCOMPARE(strip.caption(0).text, std::string("- Rpm  4000"));
    f.chart->strip().grab();  // paints over the timeline
    // The map watch opened now counts over the whole session, and goes back with the chart.
    const MapWatch& watch = f.window->mapWatch().watch();
    QCOMPARE(watch.source().sampleCount(), 80);

    // File > Open of one log goes back to the log in memory.
    QVERIFY(f.chart->mnuOpen_Click());
    QCOMPARE(watch.source().sampleCount(), 40);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(f.chart->timeline(), nullptr);
    QCOMPARE(f.chart->shownSource().sampleCount(), 40);
    QVERIFY(!strip.hasSource(0));
    QCOMPARE(strip.pointCount(0), 40);
    // So does a live start.
    QVERIFY(f.chart->mnuOpenSession_Click());
    f.chart->runStarted();
    QCOMPARE(f.chart->timeline(), nullptr);
    QCOMPARE(watch.source().sampleCount(), f.window->log().sampleCount());
}

void ChartWindowTest::aMarkerSetWithF8WhileLoggingIsSavedBesideTheLogAndShownWhenItIsReopened() {
    ChartFixture f;
    // The simulated unit answers at once: the log fills in seconds, so the windows are ready
    // before the run.
    MonitorWindow& monitor = f.window->monitor();
    monitor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&monitor));
    f.chart->show();
    f.chart->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(f.chart));
    auto* setMarker = f.chart->findChild<QAction*>(QStringLiteral("mnuLogMarker"));
    QVERIFY(setMarker && !setMarker->isEnabled());  // only while a run goes on
    monitor.cmdLogStart_Click();
    // The samples after it a second later, so that each marker has a time of its own. Frames
    // are presented here: the unit answers at once and its log would fill while timers wait.
    LiveRun& live = monitor.live();
    const auto aSecondOn = [&] {
        while (live.samplesPresented() == 0)
            live.present();
        const std::int32_t then = f.window->log().LogTime(live.samplesPresented() - 1);
        f.clock.advanceMs(1000);
        while (f.window->log().LogTime(live.samplesPresented() - 1) < then + 1000)
            live.present();
    };
    aSecondOn();
    QTest::keyClick(f.chart, Qt::Key_F8);
    const StripChart& strip = f.chart->strip().chart();
    QCOMPARE(strip.markers().size(), std::size_t{1});
    const double at = strip.markers()[0].seconds;
    auto* field = f.chart->findChild<MarkerNoteWidget*>();
    QVERIFY(field->isVisible());
    QCOMPARE(field->message(), QStringLiteral("Marker 1 set at %1 s").arg(at, 0, 'f', 1));
    QTest::keyClicks(&field->note(), QStringLiteral("tip-in"));
    QTest::keyClick(&field->note(), Qt::Key_Return);
    QVERIFY(!field->isVisible());
    QCOMPARE(strip.markers()[0].note, std::string("tip-in"));
    // The monitor's F8 is its own, not a clash with the other windows' keys.
    aSecondOn();
    monitor.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&monitor));
    QTest::keyClick(&monitor, Qt::Key_F8);
    QCOMPARE(strip.markers().size(), std::size_t{2});
    QVERIFY(monitor.findChild<MarkerNoteWidget*>()->isVisible());
    monitor.cmdLogStop_Click();
    QVERIFY(live.end() == LiveRunEnd::Stopped);

    const std::string saved = f.dir.filePath(QStringLiteral("marked.txt")).toStdString();
    monitor.chooseSavePath = [&](const std::string&) { return saved; };
    QVERIFY(monitor.cmdSave_Click());
    const LogMarkersRead beside = readLogMarkers(saved);
    QCOMPARE(beside.markers.size(), std::size_t{2});
    QCOMPARE(beside.markers[0].note, std::string("tip-in"));

    // Reopened: drawn again, and named in the status bar once the cursor steps onto it.
    f.chart->strip().chart().markers().clear();
    f.chart->chooseLogToOpen = [&] { return saved; };
    QVERIFY(f.chart->mnuOpen_Click());
    QCOMPARE(strip.markers().size(), std::size_t{2});
    const LogStore& log = f.window->log();
    int sample = 0;
    while (log.LogTime(sample) / 1000.0 < at)
        ++sample;
    f.cursorTo(sample - 1);
    QVERIFY(f.chart->statusBar()->currentMessage().isEmpty());
    f.chart->Strip1_KeyDown(Qt::Key_Right, Qt::NoModifier);
    QCOMPARE(f.chart->statusBar()->currentMessage(), QStringLiteral("Marker 1: tip-in"));
    // The note is the tip of its line.
    StripChartWidget& widget = f.chart->strip();
    const QPoint onLine(static_cast<int>(widget.pixelAt(at)), widget.plotRect().center().y());
    QHelpEvent tip(QEvent::ToolTip, onLine, widget.mapToGlobal(onLine));
    QApplication::sendEvent(&widget, &tip);
    QCOMPARE(QToolTip::text(), QStringLiteral("Marker 1: tip-in"));
}

int runChartWindowTests(int argc, char** argv) {
    ChartWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "chart_window_test.moc"
