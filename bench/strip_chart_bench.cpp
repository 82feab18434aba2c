// The strip chart at full load: 20 traces of 32768 samples in four panes, redrawn whole, and the
// live feed, one sample on every trace, with the repaints Qt folds it into.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "charts/strip_chart_widget.h"

using namespace tunalyx;

namespace {

constexpr double kSampleSeconds = 1.0 / 160;  // the fastest the link delivers
constexpr double kFrameSeconds = 0.040;
constexpr double kLiveWindow = 30;

template <typename F>
double perRun(int runs, F&& body) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < runs; ++i)
        body();
    return static_cast<double>(t.nsecsElapsed()) / 1e3 / runs;
}

// Engine-like values: a slow sweep with noise, different on every trace.
double value(int t, int s) {
    const double sweep = 125 + 100 * std::sin(s * 0.002 * (t + 1));
    return sweep + ((s * 7919 + t * 104729) % 23) - 11;
}

void setUp(StripChart& chart) {
    chart.setPaneCount(4);
    for (int p = 0; p < 4; ++p)
        chart.pane(p) = {0xC0C0C0, 0, 250, true};
    for (int t = 0; t < StripChart::kUserTraces; ++t) {
        chart.setTracePane(t, t % 4);
        chart.setTraceColour(t, 0x0000FFU << (8 * (t % 3)));
        chart.caption(t).text = "- Trace " + std::to_string(t);
        chart.caption(t).along = (t / 4 + 1) / 6.0;
    }
}

// One sample on every trace, as the live feed plots it.
void plotSample(StripChart& chart, int s) {
    const double x = s * kSampleSeconds;
    for (int t = 0; t < StripChart::kUserTraces; ++t)
        chart.plot(t, x, value(t, s));
    chart.plot(StripChart::kTimeTrace, x, s);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    StripChartWidget w;
    w.resize(1200, 800);
    setUp(w.chart());
    w.show();
    QApplication::processEvents();

    // Live: the samples alone, then the frames they are shown in.
    StripChart& chart = w.chart();
    const double appendMicros = perRun(1,
                                       [&] {
                                           for (int s = 0; s < StripChart::kCapacity; ++s)
                                               plotSample(chart, s);
                                       }) /
                                StripChart::kCapacity;
    const double end = (StripChart::kCapacity - 1) * kSampleSeconds;
    w.setWindow(end - kLiveWindow, end);
    w.setCursorPosition(end - 5);
    const double liveFrameMicros = perRun(200, [&] { w.repaint(); });
    const double samplesPerFrame = kFrameSeconds / kSampleSeconds;
    std::printf("Live feed, 21 traces a sample, 32768 samples\n");
    std::printf("  append one sample                  %8.3f us\n", appendMicros);
    std::printf("  repaint of a %2.0f s window          %8.1f us a frame\n", kLiveWindow,
                liveFrameMicros);
    std::printf("  at 160 samples/s, a frame per 40 ms %7.1f us a sample (%.1f samples a frame)\n",
                appendMicros + liveFrameMicros / samplesPerFrame, samplesPerFrame);
    std::printf("  UI time per second of logging      %8.2f ms\n",
                (appendMicros / kSampleSeconds + liveFrameMicros / kFrameSeconds) / 1e3);

    // The whole log in view: every point of every trace goes through the decimation.
    w.fitAll();
    QImage image(w.size(), QImage::Format_ARGB32_Premultiplied);
    std::printf("Full redraw, 20 traces x 32768 samples, 1200 x 800, 4 panes\n");
    std::printf("  render into an image               %8.3f ms\n",
                perRun(100, [&] { w.render(&image); }) / 1e3);
    std::printf("  repaint on screen                  %8.3f ms\n",
                perRun(100, [&] { w.repaint(); }) / 1e3);
    std::vector<StripColumn> columns;
    std::printf("  of which decimation of 20 traces   %8.3f ms\n",
                perRun(100, [&] {
                    for (int t = 0; t < StripChart::kUserTraces; ++t)
                        chart.decimate(t, 1200, columns);
                }) / 1e3);
    w.setWindow(100, 110);
    std::printf("  a 10 s window                      %8.3f ms\n",
                perRun(100, [&] { w.repaint(); }) / 1e3);
    return 0;
}
