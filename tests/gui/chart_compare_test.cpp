#include <QAction>
#include <QLabel>
#include <QtTest>

#include <fstream>
#include <iterator>

#include "charts/chart_window.h"
#include "charts/chart_window_compare.h"
#include "gui_harness.h"
#include "monitor/log_file.h"

using namespace tunalyx;

namespace {

// The chart with Rpm on trace 0 over a shown log and an overlay of the same pull, 50 ms a
// sample, the pull starting 0.65 s later in the shown log.
struct CompareFixture : test::SimWindow {
    enum class Chart { OpenNow, OpenLater };
    explicit CompareFixture(Chart chartOpens = Chart::OpenNow) : SimWindow(SimUnitKind::Det1_501) {
        readAll();
        shownPath = writePull("shown.txt", 20);
        overlayPath = writePull("over.txt", 7);
        if (chartOpens == Chart::OpenNow) openChart();
        prompts.clear();
    }
    void openChart() {
        chart = &window->chart();
        chart->config().TraceItem[0] = 1;  // Rpm
        chart->config().TraceMaxVal[0] = 10000;
        chart->chooseLogToOpen = [this] { return shownPath; };
        chart->compare().chooseOverlayToOpen = [this] { return overlayPath; };
        chart->compare().askPullRpm = [](double proposed) { return proposed; };
        chart->compare().chooseDifferenceItem = [] { return std::optional<int>(kRpmItem); };
        chart->show();
    }
    // The log in memory: 60 samples at idle, then a pull from sample `pullFrom` on.
    void fillPull(int pullFrom) {
        LogStore& log = window->log();
        log.IncludeGroup = {false, false, false, false, true};
        for (int s = 0; s < 60; ++s) {
            const bool pulling = s >= pullFrom;
            log.setLogTime(s, 50 * s);
            log.setLogData(kRpmItem, s, pulling ? 2000 + 140 * (s - pullFrom) : 2000);
            log.setLogData(kThrottleVoltsItem, s, pulling ? 4.0 : 0.5);
        }
        log.LogLast = 59;
    }
    std::string writePull(const char* name, int pullFrom) {
        fillPull(pullFrom);
        const std::string path = dir.filePath(QString::fromLatin1(name)).toStdString();
        std::ofstream(path, std::ios::binary) << logFileText(window->log(), session.trace);
        window->log().LogLast = 0;
        return path;
    }
    // A tune history in which over.txt ran on the tune that shown.txt's tune replaced.
    void keepHistory() {
        const QString history = dir.filePath(QStringLiteral("History"));
        QDir().mkpath(history);
        const auto hashOf = [](const std::string& path) {
            std::ifstream in(path, std::ios::binary);
            return contentHash(std::string(std::istreambuf_iterator<char>(in), {}));
        };
        const std::string tune = "\t2026-12-01 10:00:00\tRead All\tSR20DET1\t5.01\tt.dat\t";
        std::ofstream((history + QStringLiteral("/index.txt")).toStdString(), std::ios::binary)
            << "tune\t1" << tune << std::string(16, 'a') << "\t\n"
            << "log\t2026-12-01 10:10:00\tover.txt\t" << hashOf(overlayPath) << "\t1\n"
            << "tune\t2" << tune << std::string(16, 'b') << "\t\n"
            << "log\t2026-12-01 10:20:00\tshown.txt\t" << hashOf(shownPath) << "\t2\n";
        window->useTuneHistory(history.toStdString());
    }
    void trigger(const char* action) {
        chart->findChild<QAction*>(QLatin1String(action))->trigger();
    }
    // The difference trace's height at the shown log's sample 30, on the ramp.
    // Pixels of the chart drawn in the ghost of trace 0's colour.
    int ghostPixels() {
        const ChartColour c = chart->compare().overlayChart()
                                  ? chart->compare().overlayChart()->traceColour(0)
                                  : ghost;
        ghost = c;
        const QImage image = chart->strip().grab().toImage();
        const QRgb rgb = qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += (image.pixel(x, y) & 0xFFFFFF) == (rgb & 0xFFFFFF);
        return n;
    }
    double differenceAtRamp() const {
        return chart->compare().overlayChart()->valueAt(ChartCompare::kDifferenceTrace, 1.5);
    }

    ChartWindow* chart = nullptr;
    QTemporaryDir dir;
    std::string shownPath;
    std::string overlayPath;
    ChartColour ghost = 0;
};

}  // namespace

class ChartCompareTest : public QObject {
    Q_OBJECT
private slots:
    void anOverlayIsAlignedOnItsPullNudgedByKeyAndDifferenced();
    void thePreviousTuneIsOfTheLogInMemoryOrOfTheSessionPartAtTheCursor();
};

void ChartCompareTest::anOverlayIsAlignedOnItsPullNudgedByKeyAndDifferenced() {
    CompareFixture f;
    ChartCompare& compare = f.chart->compare();
    QVERIFY(f.chart->mnuOpen_Click());
    f.trigger("mnuOverlayPrevious");  // no history kept here
    QCOMPARE(f.prompts.texts().back(), std::string(kNoEarlierTuneLog));
    f.keepHistory();
    f.trigger("mnuOverlayPrevious");
    QVERIFY(compare.hasOverlay());
    QVERIFY(compare.statusText().startsWith(
        QStringLiteral("over.txt overlaid, ran on tune 1 (Read All, 2026-12-01 10:00:00)")));

    f.trigger("mnuOverlayOpen");
    QVERIFY(compare.hasOverlay());
    const StripChart& ghosts = *compare.overlayChart();
    QCOMPARE(ghosts.pointCount(0), 60);
    QVERIFY(ghosts.traceColour(0) != f.chart->strip().chart().traceColour(0));

    f.trigger("mnuOverlayAlign");
    QCOMPARE(f.store.integer("AlignPullRpm", 0), 3000);
    QVERIFY(qAbs(compare.shiftSeconds() - 0.65) < 1e-9);
    QVERIFY(qAbs(ghosts.xs(0)[0] - 0.65) < 1e-9);  // the ghost moved with it
    QVERIFY(f.ghostPixels() > 50);
    QVERIFY(compare.statusText().contains(QStringLiteral("over.txt")));
    QVERIFY(compare.statusText().contains(QStringLiteral("overlay +0.650 s")));

    f.trigger("mnuOverlayDifference");
    // Lined up, the same pull differs by nothing: zero sits across the middle of the pane.
    QVERIFY(qAbs(f.differenceAtRamp() - 125) < 1e-6);
    // The overlay a sample later is 140 rpm behind, at the Rpm trace's 0.025 a rpm.
    f.chart->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.chart));
    QTest::keyClick(f.chart->windowHandle(), Qt::Key_Right, Qt::AltModifier);
    QVERIFY(qAbs(compare.shiftSeconds() - 0.70) < 1e-9);
    QVERIFY(qAbs(f.differenceAtRamp() - (125 + 140 * 0.025)) < 1e-6);
    QTest::keyClick(f.chart->windowHandle(), Qt::Key_Left, Qt::AltModifier | Qt::ShiftModifier);
    QVERIFY(qAbs(compare.shiftSeconds() - 0.60) < 1e-9);

    f.trigger("mnuOverlayClose");
    QVERIFY(!compare.hasOverlay());
    QCOMPARE(f.ghostPixels(), 0);
    QVERIFY(!f.chart->findChild<QAction*>(QStringLiteral("mnuOverlayAlign"))->isEnabled());
}

void ChartCompareTest::thePreviousTuneIsOfTheLogInMemoryOrOfTheSessionPartAtTheCursor() {
    CompareFixture f(CompareFixture::Chart::OpenLater);
    // The drive just logged, saved from the monitor; the chart opens on it afterwards.
    f.fillPull(20);
    QCOMPARE(f.window->monitor().live().save(f.shownPath), std::string());
    f.keepHistory();
    f.openChart();
    ChartCompare& compare = f.chart->compare();
    f.trigger("mnuOverlayPrevious");
    QVERIFY(compare.hasOverlay());
    QVERIFY(compare.statusText().startsWith(QStringLiteral("over.txt overlaid")));
    f.trigger("mnuOverlayClose");

    // Both logs as one session, shown.txt moved to follow over.txt at 3.95 s.
    f.chart->chooseLogsToOpen = [&f] {
        return std::vector<std::string>{f.overlayPath, f.shownPath};
    };
    QVERIFY(f.chart->mnuOpenSession_Click());
    f.trigger("mnuOverlayPrevious");  // the cursor in over.txt, which ran on the first tune
    QVERIFY(!compare.hasOverlay());
    QCOMPARE(f.prompts.texts().back(), std::string(kNoEarlierTuneLog));
    f.chart->strip().setCursorPosition(5.0);
    f.trigger("mnuOverlayPrevious");
    QVERIFY(compare.hasOverlay());
}

int runChartCompareTests(int argc, char** argv) {
    ChartCompareTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "chart_compare_test.moc"
