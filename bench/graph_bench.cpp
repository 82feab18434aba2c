// The 3D view's redraw: a 20 x 20 map at the graph window's default size, painted into an image
// frame after frame while it turns, as a drag repaints it.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <cmath>
#include <cstdio>

#include "graph/surface_plot_widget.h"

using namespace tunalyx;

namespace {

constexpr int kFrames = 500;
// The window's default placement, 10395 x 3495 twips, at 96 dots an inch.
constexpr int kWidth = 693;
constexpr int kHeight = 233;

// An injection map's shape: rising with load and speed, with some texture.
GraphValues mapValues() {
    GraphValues v{};
    for (int i = 0; i < kMapRows; ++i)
        for (int j = 0; j < kMapCols; ++j)
            v[std::size_t(i)][std::size_t(j)] =
                0.9F + 0.02F * float(i) + 0.0004F * float(i * j) + 0.01F * std::sin(float(j));
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SurfacePlotWidget plot;
    plot.resize(kWidth, kHeight);
    plot.setValues(mapValues());
    QImage image(plot.size(), QImage::Format_ARGB32_Premultiplied);
    plot.render(&image);  // fonts and caches warmed once

    SurfaceCamera camera = plot.camera();
    QElapsedTimer t;
    t.start();
    for (int frame = 0; frame < kFrames; ++frame) {
        camera.turnDegrees += 1;
        plot.setCamera(camera);
        plot.render(&image);
    }
    const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6 / kFrames;
    std::printf("3D view, 20 x 20 map, %d x %d, %d frames turning a degree each\n", kWidth, kHeight,
                kFrames);
    std::printf("graph-redraw ms=%.3f\n", ms);
    return 0;
}
