// The monitor window polling the simulated unit at the real 57600 baud while it shows: samples a
// second against the wire limit, the window's own time per sample and the frames it paints.
#include <sys/prctl.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "paced_unit.h"

#include "charts/chart_window.h"
#include "monitor/monitor_window.h"
#include "ports/memory_settings_store.h"
#include "transfer/qt_file_writer.h"

using namespace tunalyx;

namespace {

constexpr int kSeconds = 10;

// Counts the frames the window is painted in.
class FrameCounter final : public QObject {
public:
    int frames = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::UpdateRequest) ++frames;
        return QObject::eventFilter(watched, event);
    }
};

void measure(const char* name, const char* include, int cycleBytes, bool withChart = false) {
    PacedUnit unit;
    Session& session = unit.session;
    auto log = std::make_unique<LogStore>();
    const AuxCalibration aux;
    MemorySettingsStore store;
    store.setValue("MonitorInclude", include);
    QtFileWriter files;
    MonitorWindow window(session, *log, aux, store, files);
    window.show();
    FrameCounter frames;
    window.installEventFilter(&frames);
    // With the chart following 20 items as well, in four panes.
    std::unique_ptr<ChartWindow> chart;
    FrameCounter chartFrames;
    if (withChart) {
        chart = std::make_unique<ChartWindow>(session, *log, window, store, files);
        for (int t = 0; t < ChartConfig::kUserTraces; ++t) {
            chart->config().TraceItem[static_cast<std::size_t>(t)] = t + 1;
            chart->config().TraceChart[static_cast<std::size_t>(t)] = t % 4;
        }
        chart->config().Charts = 4;
        chart->initCharts();
        chart->resize(1200, 800);
        chart->show();
        chart->installEventFilter(&chartFrames);
    }
    QApplication::processEvents();

    QElapsedTimer wall;
    wall.start();
    window.cmdLogStart_Click();
    QEventLoop loop;
    QTimer::singleShot(kSeconds * 1000, &loop, [&] {
        window.cmdLogStop_Click();
        loop.quit();
    });
    loop.exec();
    const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const int samples = window.loop().SampleCount();
    const double rate = samples / seconds;
    const double limit = 57600.0 / 10.0 / cycleBytes;

    // The window's own share: what it does with an ordinary sample, and with the one a second
    // that refreshes every field (painting comes on top, in the frames counted above).
    const auto cost = [&](bool refresh) {
        QElapsedTimer own;
        own.start();
        constexpr int kCalls = 2000;
        for (int s = 0; s < kCalls; ++s)
            window.sampleLogged(s, window.loop().lastSample(), refresh);
        return static_cast<double>(own.nsecsElapsed()) / 1e3 / kCalls;
    };
    const double plainMicros = cost(false);
    const double refreshMicros = cost(true);

    std::printf(
        "%-16s %6d samples %5.1f/s  wire limit %5.1f/s  ratio %.3f  window %.1f us a "
        "sample, %.0f us a refresh  %.1f frames/s\n",
        name, samples, rate, limit, rate / limit, plainMicros, refreshMicros,
        frames.frames / seconds);
    if (withChart)
        std::printf("%-16s the chart of 20 traces painted %.1f frames/s\n", "",
                    chartFrames.frames / seconds);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    QApplication app(argc, argv);
    measure("Advanced only", "0,0,0,0,1", 36);
    measure("All five groups", "1,1,1,1,1", 104);
    measure("Advanced + chart", "0,0,0,0,1", 36, true);
    return 0;
}
