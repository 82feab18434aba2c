#include <QApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "log_analysis_parts.h"
#include "mapwatch/scatter_widget.h"

namespace tunalyx::bench {

namespace {

// Breakpoints like a tune's: rpm every 400 from 800, load every 250 from 250.
MapAxes benchAxes() {
    MapAxes axes;
    for (std::size_t i = 0; i < axes.column.size(); ++i) {
        axes.column[i] = 800 + 400.0 * static_cast<double>(i);
        axes.row[i] = 250 + 250.0 * static_cast<double>(i);
    }
    return axes;
}

}  // namespace

double scatterRedrawMs(const SampleSource& source) {
    std::unique_ptr<QApplication> app;
    static int argc = 1;
    static char name[] = "tunalyx_log_analysis_bench";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) app = std::make_unique<QApplication>(argc, argv);

    ScatterWidget widget;
    widget.resize(640, 640);
    ScatterPoints points;
    widget.setPoints(&points);
    QImage frame(widget.size(), QImage::Format_RGB32);
    const MapAxes axes = benchAxes();
    // Places change only with the log or the axes; a redraw is every point coloured again by
    // another item, then painted.
    points.place(source, {}, axes);
    const int colours[] = {kRpmItem, kLoadItem, 2, 3, 4, 5, 6};
    std::vector<double> ms;
    for (const int item : colours) {
        const auto start = std::chrono::steady_clock::now();
        points.colourBy(source, item);
        widget.pointsChanged();
        QPainter painter(&frame);
        widget.render(&painter);
        painter.end();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::nth_element(ms.begin(), ms.begin() + static_cast<std::ptrdiff_t>(ms.size() / 2), ms.end());
    return ms[ms.size() / 2];
}

}  // namespace tunalyx::bench
