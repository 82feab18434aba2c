// Logging from the window against the simulated unit at the real 57600 baud, with the windows a
// tuner keeps open while driving: samples a second against the wire limit and against the
// command line's polling in the same run, the program's CPU, the longest gap between two
// samples and the longest time the window did not answer.
#include <sys/prctl.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "paced_unit.h"

#include "app/main_window.h"
#include "charts/chart_window.h"
#include "link/serial_port_selector.h"
#include "maps/map_grids.h"
#include "monitor/live_run.h"
#include "monitor/monitor_window.h"
#include "ports/memory_settings_store.h"
#include "transfer/qt_file_writer.h"
#include "watches/watch_settings.h"

using namespace tunalyx;

namespace {

constexpr int kSeconds = 5;

struct Groups {
    const char* name;
    const char* stored;  // "MonitorInclude"
    std::array<bool, kTraceGroupCount> include;
};

struct Combination {
    const char* name;
    bool views = false;   // chart of 20 traces, map watch, ten watches, 3D graph
    bool tracer = false;  // the Inj Map tab with the tracer, its ghost and heat colours
    bool user = false;    // menus opened, text typed, tabs switched every 100 ms
};

struct Figures {
    double ratio = 0;
    double cpuPercent = 0;
    double worstGapMs = 0;
    double worstStallMs = 0;
    int samples = 0;
};

double wireLimit(const Groups& groups) {
    return liveWireLimit(groups.include);
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Samples a second while the run polled, from the log's own time stamps: what the start's
// identification and the end cost is no part of the line's rate.
double loggedRatio(const LogStore& log, int samples, const Groups& groups) {
    if (samples < 2) return 0;
    const double seconds = (log.LogTime(samples - 1) - log.LogTime(0)) / 1000.0;
    return (samples - 1) / seconds / wireLimit(groups);
}

double worstGapMs(const LogStore& log, int samples) {
    std::int32_t worst = 0;
    for (int s = 1; s < samples; ++s)
        worst = std::max(worst, log.LogTime(s) - log.LogTime(s - 1));
    return worst;
}

// The command line's way: the run presented on a plain thread with nothing else to do.
double commandLineRatio(const Groups& groups) {
    PacedUnit unit;
    QtFileWriter files;
    LiveRun run(unit.session, unit.session, unit.clock, files, std::string());
    StdPollingThread thread;
    LiveRunPlan plan;
    plan.include = groups.include;
    plan.journal = false;
    plan.mostSeconds = kSeconds;
    if (!run.start(plan, thread)) return 0;
    run.presentUntilOver({});
    return loggedRatio(run.log(), run.log().sampleCount(), groups);
}

// The main window on the paced unit, with a settings store of its own.
struct PacedWindow {
    explicit PacedWindow(const Groups& groups) {
        unit.session.programFolder = TUNALYX_DATA_DIR;
        store.setValue("MonitorInclude", groups.stored);
        window = std::make_unique<MainWindow>(
            unit.session, live, store, MainWindowPorts{selector, unit.sim.port(), nullptr}, files);
    }

    PacedUnit unit;
    MemorySettingsStore store;
    SerialPortSelector selector{unit.sim.port()};
    QtFileWriter files;
    LiveRun live{unit.session, unit.session, unit.clock, files, std::string()};
    std::unique_ptr<MainWindow> window;
};

void openViews(PacedWindow& w, const Combination& c) {
    MainWindow& window = *w.window;
    window.menus().mnuMonitor->trigger();
    if (!c.views) return;
    ChartWindow& chart = window.chart();
    for (int t = 0; t < ChartConfig::kUserTraces; ++t) {
        chart.config().TraceItem[static_cast<std::size_t>(t)] = t + 1;
        chart.config().TraceChart[static_cast<std::size_t>(t)] = t % 4;
    }
    chart.config().Charts = 4;
    chart.initCharts();
    chart.resize(1200, 800);
    window.menus().mnuChart->trigger();
    window.menus().mnuMapWatch->trigger();
    window.menus().mnuGraph->trigger();
    if (c.tracer) {
        window.tabs()->setCurrentIndex(kInjMap);
        for (QAction* a : {window.menus().mnuMapTrace, window.menus().mnuMapTraceGhost,
                           window.menus().mnuHeatColours})
            if (a && !a->isChecked()) a->trigger();
    }
}

// Every 100 ms the user does something: opens a menu, types a digit into the Inj Map, switches to
// a settings page and back.
void actLikeAUser(MainWindow& window, int step) {
    switch (step % 4) {
        case 0:
            if (QMenu* menu = window.menuBar()->actions().value(step / 4 % 3)->menu()) {
                menu->popup(window.mapToGlobal(QPoint(40, 40)));
                QTimer::singleShot(60, menu, &QMenu::close);
            }
            break;
        case 1: {
            QWidget* grid = window.grid(kInjMap);
            const auto digit = static_cast<Qt::Key>(Qt::Key_1 + step % 9);
            QCoreApplication::postEvent(grid, new QKeyEvent(QEvent::KeyPress, digit, Qt::NoModifier,
                                                            QString(QChar('1' + step % 9))));
            QCoreApplication::postEvent(grid,
                                        new QKeyEvent(QEvent::KeyRelease, digit, Qt::NoModifier));
            break;
        }
        case 2:
            window.tabs()->setCurrentIndex(window.tabs()->count() - 2);
            break;
        default:
            window.tabs()->setCurrentIndex(kInjMap);
            break;
    }
}

Figures measure(const Groups& groups, const Combination& c) {
    PacedWindow w(groups);
    if (c.views) {
        // Ten visible watches, each on an item of its own.
        WatchSet watches = loadWatches(w.store);
        for (int i = 0; i < kWatchCount; ++i) {
            auto& watch = watches[static_cast<std::size_t>(i)];
            watch.Visible = true;
            watch.ItemIndex = i;
        }
        saveWatches(w.store, watches);
    }
    MainWindow& window = *w.window;
    window.Form_Load();
    window.show();
    openViews(w, c);
    QApplication::processEvents();

    // The window's answer time: a timer that should fire every 5 ms, and how late it comes.
    QElapsedTimer sinceTick;
    double worstStall = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        worstStall = std::max(worstStall, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6 - 5);
        sinceTick.start();
    });
    QTimer user;
    int step = 0;
    QObject::connect(&user, &QTimer::timeout, [&] { actLikeAUser(window, step++); });

    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    window.menus().mnuLogStart->trigger();
    sinceTick.start();
    probe.start(5);
    if (c.user) user.start(100);
    QEventLoop loop;
    QTimer::singleShot(kSeconds * 1000, &loop, [&] {
        probe.stop();
        user.stop();
        window.menus().mnuLogEnd->trigger();
        loop.quit();
    });
    loop.exec();
    const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;

    Figures f;
    f.samples = window.monitor().live().samplesPresented();
    f.ratio = loggedRatio(window.log(), f.samples, groups);
    f.cpuPercent = 100 * (cpuSeconds() - cpu0) / seconds;
    f.worstGapMs = worstGapMs(window.log(), f.samples);
    f.worstStallMs = worstStall;
    window.log().LogUnsaved = false;  // nobody is asked on the way out
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    // The in-process line sleeps until each byte is due; the kernel's default timer slack would
    // otherwise be measured as the program's own cost.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    QApplication app(argc, argv);
    const Groups groupSets[] = {
        {"Advanced", "0,0,0,0,1", {false, false, false, false, true}},
        {"all five", "1,1,1,1,1", {true, true, true, true, true}},
    };
    const Combination combinations[] = {
        {"monitor only"},
        {"chart 20 + map watch + 10 watches + 3D", true},
        {"the same + Inj Map tracer, ghost, heat", true, true},
        {"the same + a user every 100 ms", true, true, true},
    };

    std::printf("%-40s %-9s %8s %6s %6s %5s %8s %9s\n", "windows", "groups", "samples", "ratio",
                "cli", "CPU%", "gap ms", "stall ms");
    double minRatio = 2, cliAtMin = 0, worstGap = 0, worstStall = 0;
    for (const Groups& groups : groupSets) {
        const double cli = commandLineRatio(groups);
        for (const Combination& c : combinations) {
            const Figures f = measure(groups, c);
            std::printf("%-40s %-9s %8d %6.3f %6.3f %5.0f %8.1f %9.1f\n", c.name, groups.name,
                        f.samples, f.ratio, cli, f.cpuPercent, f.worstGapMs, f.worstStallMs);
            std::fflush(stdout);
            if (f.ratio < minRatio) {
                minRatio = f.ratio;
                cliAtMin = cli;
            }
            worstGap = std::max(worstGap, f.worstGapMs);
            worstStall = std::max(worstStall, f.worstStallMs);
        }
    }
    std::printf("window-ratio min=%.3f cli=%.3f worst-gap-ms=%.0f worst-stall-ms=%.0f\n", minRatio,
                cliAtMin, worstGap, worstStall);
    return 0;
}
