// Log playback in the chart window: a 32767-sample log of every item on 20 traces, played for
// its last ten seconds. Playback must keep pace with the time stamps it shows.
#include <sys/prctl.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <memory>

#include "quiet_prompts.h"

#include "charts/chart_window.h"
#include "monitor/live_run.h"
#include "monitor/monitor_window.h"
#include "ports/memory_settings_store.h"
#include "sim/in_process_simulator.h"
#include "transfer/qt_file_writer.h"

using namespace tunalyx;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    QApplication app(argc, argv);
    SteadyClock clock;
    QuietPrompts prompts;
    InProcessSimulator sim(SimUnitKind::Det1_501, clock);
    Session session(sim.port(), clock, prompts);
    QtFileWriter files;
    LiveRun live(session, session, clock, files, std::string());
    LogStore* log = &live.log();
    // A full log at the rate of all groups, 18 ms a sample, every item moving.
    constexpr int kSamples = LogStore::kMaxRunSamples;
    for (int s = 0; s < kSamples; ++s) {
        log->setLogTime(s, static_cast<std::int32_t>(std::lround(s * 18.05)));
        for (int item = 0; item < kTraceItemCount; ++item)
            log->setLogData(item, s, 125 + 100 * std::sin(s * 0.01 + item));
    }
    log->LogLast = kSamples - 1;
    const AuxCalibration aux;
    MemorySettingsStore store;
    MonitorWindow monitor(session, live, aux, store);
    ChartWindow chart(session, live, monitor, store, files);
    for (int t = 0; t < ChartConfig::kUserTraces; ++t) {
        chart.config().TraceItem[static_cast<std::size_t>(t)] = t + 1;
        chart.config().TraceChart[static_cast<std::size_t>(t)] = t % 4;
    }
    chart.config().Charts = 4;
    chart.resize(1200, 800);
    chart.show();
    QElapsedTimer setup;
    setup.start();
    chart.initCharts();
    std::printf("initCharts of 20 traces x %d samples      %7.1f ms\n", kSamples,
                static_cast<double>(setup.nsecsElapsed()) / 1e6);

    int shown = 0;
    QObject::connect(&chart, &ChartWindow::sampleShown, [&shown](int) { ++shown; });
    const int from = kSamples - 1 - 554;  // the last ten seconds
    chart.strip().setWindow(log->LogTime(from) / 1000.0 - 5, log->LogTime(from) / 1000.0 + 5);
    chart.strip().setCursorPosition(log->LogTime(from) / 1000.0);
    QApplication::processEvents();
    QElapsedTimer wall;
    wall.start();
    chart.mnuLogPlay_Click();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!chart.playing()) loop.quit();
    });
    poll.start(5);
    loop.exec();
    const double played = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const double recorded = (log->LogTime(kSamples - 1) - log->LogTime(from)) / 1000.0;
    std::printf("playback of the last %.2f s: %.2f s wall (ratio %.3f), %d samples shown\n",
                recorded, played, played / recorded, shown);
    return 0;
}
