#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include "app/qt_stop_signals.h"
#include "charts/chart_window.h"
#include "gui_harness.h"
#include "monitor/log_file.h"
#include "monitor/monitor_window.h"
#include "versions/layout_family.h"

using namespace tunalyx;

namespace {

QString text(QWidget& w, const char* name) {
    return w.findChild<QLineEdit*>(QLatin1String(name))->text();
}

// Runs the event loop until the monitor has logged `samples` (or five seconds have passed).
void waitForSamples(MonitorWindow& monitor, int samples) {
    QTRY_VERIFY_WITH_TIMEOUT(monitor.live().samplesPresented() >= samples, 5000);
}

}  // namespace

class MonitorWindowTest : public QObject {
    Q_OBJECT
private slots:
    void theLogMenuRunsTheMonitorAndItsFieldsFollow();
    void groupsAndPlacementAreKeptAndAnUnsavedLogHoldsTheProgram();
    void aPulledCableOrQuittingEndsTheRunWithEverySampleWhole();
    void continuousIsKeptInTheSettings();
    void aContinuousRunSavesEachFullLogAndTheChartNamesTheNext();
    void aFullLogEndsTheRunAndSaysSo();
    void aStopSignalSavesTheRunWithoutAQuestion();
};

void MonitorWindowTest::theLogMenuRunsTheMonitorAndItsFieldsFollow() {
    test::SimWindow w(SimUnitKind::Det1_501);
    w.readAll();
    w.window->menus().mnuLogStart->trigger();
    MonitorWindow& monitor = w.window->monitor();
    QVERIFY(monitor.runInProgress());
    QVERIFY(!monitor.findChild<QPushButton*>(QStringLiteral("cmdLogStart"))->isEnabled());
    waitForSamples(monitor, 20);

    // Advanced alone by default: Rpm shows, Basic stays 0, the lines count every sample.
    QVERIFY(text(monitor, "txtTuning0").toDouble() > 0);
    QCOMPARE(text(monitor, "txtMonitor3"), QStringLiteral("0"));
    QVERIFY(text(monitor, "txtMonCount").toInt() >= 20);
    // A transfer between two cycles gets the port, and the run goes on after it.
    QTest::mouseClick(w.button("cmdReadMap0"), Qt::LeftButton);
    QVERIFY(w.prompts.messages().empty());
    const int before = monitor.live().samplesPresented();
    waitForSamples(monitor, before + 5);

    w.window->menus().mnuLogEnd->trigger();
    QVERIFY(!monitor.runInProgress());
    QVERIFY(!w.session.PortBusy);
    QVERIFY(monitor.findChild<QPushButton*>(QStringLiteral("cmdLogStart"))->isEnabled());
    QCOMPARE(w.window->log().LogLast, monitor.live().samplesPresented() - 1);
    QCOMPARE(text(monitor, "txtMonCount").toInt(), monitor.live().samplesPresented());

    // Until it is saved, the run is in its journal; Save As writes the log and drops it.
    const QString journal = QString::fromStdString(monitor.journal().path());
    QVERIFY(QFile::exists(journal));
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("run.txt")).toStdString();
    monitor.chooseSavePath = [&](const std::string&) { return path; };
    w.window->menus().mnuLogSaveAs->trigger();
    QVERIFY(!w.window->log().LogUnsaved);
    QVERIFY(QFile::exists(QString::fromStdString(path)));
    QVERIFY(!QFile::exists(journal));
}

void MonitorWindowTest::continuousIsKeptInTheSettings() {
    MemorySettingsStore store;
    {
        test::SimWindow w(SimUnitKind::Det1_501);
        QAction* continuous = w.window->menus().mnuLogContinuous;
        QVERIFY(!continuous->isChecked());
        continuous->trigger();
        QVERIFY(w.window->monitor().continuous());
        QCOMPARE(w.store.value("LogContinuous"), std::optional<std::string>("True"));
        store.setValue("LogContinuous", "True");
    }
    test::GuiHarness again(&store);
    again.window->Form_Load();
    QVERIFY(again.window->menus().mnuLogContinuous->isChecked());
    QVERIFY(again.window->monitor().continuous());
}

void MonitorWindowTest::groupsAndPlacementAreKeptAndAnUnsavedLogHoldsTheProgram() {
    test::SimWindow w(SimUnitKind::T2D_511A);
    w.window->menus().mnuMonitor->trigger();
    MonitorWindow& monitor = w.window->monitor();
    QVERIFY(monitor.isVisible());
    const auto caption = [&](const char* name) {
        const auto* label = monitor.findChild<QLabel*>(QLatin1String(name));
        return label ? label->text() : monitor.findChild<QCheckBox*>(QLatin1String(name))->text();
    };
    QCOMPARE(caption("lblTuning1"), QStringLiteral("Load"));
    // The open monitor takes the pressure sensor's names, and at Start (the identification once
    // the data are read) the unit's item-name table.
    w.readAll();
    QCOMPARE(caption("lblTuning1"), QStringLiteral("PIM"));
    QCOMPARE(caption("lblMonitor2"), QStringLiteral("PimVolt"));
    monitor.findChild<QCheckBox*>(QStringLiteral("chkInclude0"))->setChecked(true);
    QTest::mouseClick(monitor.findChild<QPushButton*>(QStringLiteral("cmdLogStart")),
                      Qt::LeftButton);
    QCOMPARE(caption("chkSensor12"), QStringLiteral("A/C"));
    waitForSamples(monitor, 3);

    // Closing the monitor mid-run ends the run and keeps its groups and place.
    monitor.close();
    QVERIFY(!monitor.runInProgress());
    QVERIFY(!w.session.PortBusy);
    QVERIFY(!w.window->menus().mnuMonitor->isChecked());
    QCOMPARE(w.store.text("MonitorInclude", ""), std::string("1,0,0,0,1"));
    QVERIFY(w.store.integer("MonitorWidth", 0) > 0);

    // The log is not saved: Cancel keeps the program open, No lets it close.
    w.prompts.answerNext(MessageAnswer::Cancel);
    QVERIFY(!w.window->close());
    w.prompts.answerNext(MessageAnswer::No);
    QVERIFY(w.window->close());
}

void MonitorWindowTest::aPulledCableOrQuittingEndsTheRunWithEverySampleWhole() {
    test::SimWindow w(SimUnitKind::Det1_501);
    w.readAll();
    MonitorWindow& monitor = w.window->monitor();
    // The start's identification (three requests) and 40 samples, then the cable is pulled.
    w.sim.line().faults().cablePulledAfter = w.sim.line().requestCount() + 3 + 40;
    w.window->menus().mnuLogStart->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!monitor.runInProgress(), 5000);
    QCOMPARE(monitor.live().samplesPresented(), 40);
    QCOMPARE(w.window->log().LogLast, 39);
    QCOMPARE(text(monitor, "txtMonCount"), QStringLiteral("40"));
    // Why it ended, and what became of the samples.
    QTRY_COMPARE(w.prompts.texts(),
                 (std::vector<std::string>{
                     kInterfaceNotResponding,
                     "The unit stopped answering: 40 samples are kept in memory, not saved."}));
    for (int s = 0; s < 40; ++s)
        QVERIFY2(w.window->log().LogData(0, s) > 0, "a sample without its Rpm");

    // Plugged in again; the chart closed and quitting while the run goes on.
    w.sim.line().faults().cablePulledAfter = 0;
    w.prompts.clear();
    w.window->menus().mnuChart->trigger();
    w.window->menus().mnuLogStart->trigger();
    waitForSamples(monitor, 10);
    w.window->chart().close();
    const int before = monitor.live().samplesPresented();
    waitForSamples(monitor, before + 10);
    w.prompts.answerNext(MessageAnswer::No);  // the log unsaved: quit all the same
    QVERIFY(w.window->close());
    QVERIFY(!monitor.runInProgress());
    QCOMPARE(w.window->log().LogLast, monitor.live().samplesPresented() - 1);
    // The line is this thread's again.
    Bytes data;
    QVERIFY(w.session.link.ReadPacketData(kAdvancedLiveCmd, 30, data));
}

void MonitorWindowTest::aContinuousRunSavesEachFullLogAndTheChartNamesTheNext() {
    // The simulated unit answers at once: a full log is polled in a moment.
    test::SimWindow w(SimUnitKind::Det1_501);
    w.readAll();
    w.window->menus().mnuLogContinuous->trigger();
    w.window->menus().mnuChart->trigger();
    w.window->menus().mnuLogStart->trigger();
    MonitorWindow& monitor = w.window->monitor();
    QTRY_VERIFY_WITH_TIMEOUT(monitor.live().part() == 1, 20000);
    // The full log went to the Logs folder under the run's name; the chart names the next one.
    const QDir logs(w.filesFolder.filePath(QStringLiteral("Logs")));
    const QStringList saved = logs.entryList({QStringLiteral("Log_*.txt")}, QDir::Files);
    QCOMPARE(saved.size(), 1);
    QVERIFY(!saved[0].contains(QLatin1Char('-')));
    QString next = saved[0];
    next.insert(next.size() - 4, QStringLiteral("-001"));
    QVERIFY2(w.window->chart().windowTitle().endsWith(next), qPrintable(next));
    w.window->menus().mnuLogEnd->trigger();
    // Each full log was saved (the unit answers so fast that more may have filled); the last
    // waits for the user's Save, its journal still on disk.
    QCOMPARE(logs.entryList({QStringLiteral("Log_*.txt")}, QDir::Files).size(),
             monitor.live().part());
    QVERIFY(w.window->log().LogUnsaved);
    QVERIFY(QFile::exists(QString::fromStdString(monitor.journal().path())));
    w.prompts.answerNext(MessageAnswer::No);
}

void MonitorWindowTest::aFullLogEndsTheRunAndSaysSo() {
    test::SimWindow w(SimUnitKind::Det1_501);
    w.readAll();
    w.window->menus().mnuLogStart->trigger();
    MonitorWindow& monitor = w.window->monitor();
    QTRY_VERIFY_WITH_TIMEOUT(!monitor.runInProgress(), 20000);
    QTRY_COMPARE(w.prompts.texts(),
                 std::vector<std::string>{"The log is full (32767 samples): the run ended. Save "
                                          "it, or tick Continuous to go on into the next file."});
    w.prompts.answerNext(MessageAnswer::No);
}

// SIGTERM and SIGHUP close the window unattended: the run ends and its log is saved where it
// was going, with no question, beside a log saved earlier in the same minute; where it cannot be
// written, its journal stays for recovery.
void MonitorWindowTest::aStopSignalSavesTheRunWithoutAQuestion() {
    for (const bool writable : {true, false}) {
        test::SimWindow w(SimUnitKind::Det1_501);
        const QtStopSignals stopSignals([&w] { w.window->closeUnattended(); });
        const QDir logs(w.filesFolder.filePath(QStringLiteral("Logs")));
        if (!writable) w.store.setValue("LogPath", "/nonexistent/Logs/");
        w.readAll();
        // The run's name is of its minute: logs of this minute and the next are there already.
        QStringList earlier;
        QVERIFY(logs.mkpath(QStringLiteral(".")));
        const auto saveEarlier = [&] {
            const QString name = QString::fromStdString(defaultLogName());
            if (earlier.contains(name)) return;
            QFile file(logs.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("earlier");
            earlier << name;
        };
        saveEarlier();
        w.window->menus().mnuLogStart->trigger();
        saveEarlier();
        MonitorWindow& monitor = w.window->monitor();
        waitForSamples(monitor, 10);
        const QString journal = QString::fromStdString(monitor.journal().path());
#ifdef Q_OS_UNIX
        ::raise(writable ? SIGTERM : SIGHUP);
#else
        w.window->closeUnattended();
#endif
        QTRY_VERIFY(!w.window->isVisible());
        QVERIFY(!monitor.runInProgress());
        QVERIFY(w.prompts.messages().empty());
        QStringList saved = logs.entryList({QStringLiteral("Log_*.txt")}, QDir::Files);
        for (const QString& name : earlier) {
            QFile file(logs.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("earlier"));
            saved.removeAll(name);
        }
        QCOMPARE(saved.size(), writable ? 1 : 0);
        QCOMPARE(QFile::exists(journal), !writable);
    }
}

int runMonitorWindowTests(int argc, char** argv) {
    MonitorWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "monitor_window_test.moc"
