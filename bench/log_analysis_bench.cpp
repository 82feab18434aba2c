// An hour of driving at the wire's rate, opened as one timeline and drawn in the strip chart:
// how long the open takes, the program's peak memory, and the slowest pan or zoom frame; then the
// scatter's redraw and the alignment of two pulls, timed in their own files.
//
//   tunalyx_log_analysis_bench [--shot FILE.png]   (QT_QPA_PLATFORM=offscreen)

#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "auxinputs/aux_calibration.h"
#include "charts/strip_chart_widget.h"
#include "log_analysis_parts.h"
#include "monitor/log_timeline.h"
#include "monitor/log_writer.h"
#include "ports/memory_settings_store.h"
#include "quiet_prompts.h"
#include "sim/default_blocks.h"
#include "sim/fast_drive.h"
#include "sim/sim_unit.h"

using namespace tunalyx;

namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

constexpr LayoutFamily kFamily = LayoutFamily::Family5;
// Advanced and Aux at the wire's rate give about 125 samples a second: 575,000 in 18 parts.
constexpr long kDriveSeconds = 4600;
constexpr int kParts = 18;
constexpr int kFrames = 20;

double msSince(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

struct DiskWriter final : FileWriter {
    [[nodiscard]] std::string writeWhole(const std::string& path,
                                         std::string_view contents) override {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        return out ? std::string() : "Cannot write " + path;
    }
};

// The drive runs in a child process, so that its memory is no part of the peak measured here.
void driveAnHour(const std::string& first) {
    const pid_t child = fork();
    if (child == 0) {
        QuietPrompts prompts;
        DiskWriter files;
        FastDrive d;
        d.engine.drive = DriveKind::Mixed;
        d.seconds = kDriveSeconds;
        d.include[kGroupAdvanced] = true;
        d.include[kGroupAux] = true;
        d.aux = auxCalibrationOf(loadAuxSettings(MemorySettingsStore{}));
        FastDriveUnit unit(defaultBlocks(simUnit(simUnitOf(kFamily))), kFamily, d, prompts, files);
        if (!unit.start(first)) _exit(1);
        unit.run().presentUntilOver({});
        _exit(unit.run().end() == LiveRunEnd::Stopped ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        std::printf("the drive failed\n");
        std::exit(1);
    }
}

double peakMegabytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:")) return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path folder = fs::temp_directory_path() / "tunalyx_log_analysis_bench";
    const std::string first = (folder / "hour.txt").string();
    // The drive is kept between runs: only the open is timed.
    if (!fs::exists(continuedLogPath(first, kParts - 1))) {
        fs::remove_all(folder);
        fs::create_directories(folder);
        driveAnHour(first);
    }

    QApplication app(argc, argv);
    QuietPrompts prompts;
    const TraceItems items;
    LogTimeline timeline;
    const std::vector<std::string> parts = sessionPartsOf(first);
    const Steady::time_point openStart = Steady::now();
    if (!timeline.open(parts, items, prompts)) return 1;
    const double openSeconds = msSince(openStart) / 1000.0;
    std::printf("  %zu parts, %d samples, %.0f s\n", timeline.parts().size(),
                timeline.sampleCount(), timeline.timeSeconds(timeline.sampleCount() - 1));

    StripChartWidget widget;
    widget.resize(1400, 600);
    StripChart& chart = widget.chart();
    chart.setPaneCount(2);
    const int auxItem = items.lookup(kGroupAux, 4);
    const int traced[] = {kRpmItem, kLoadItem, items.lookup(kGroupAdvanced, 8), auxItem};
    const double scales[] = {250.0 / 8000, 250.0 / 4000, 250.0 / 300, 250.0 / 20};
    for (int t = 0; t < 4; ++t) {
        chart.setTracePane(t, t / 2);
        chart.setTraceColour(t, 0x0000FFu << (8 * (t % 3)));
        chart.setTraceSource(t, {&timeline, traced[t], scales[t], 0, 0, timeline.gaps()});
    }
    chart.setTraceSource(StripChart::kTimeTrace,
                         {&timeline, TraceSource::kSampleIndex, 1, 0, 0, {}});
    widget.fitAll();

    QImage image(widget.size(), QImage::Format_RGB32);
    double worst = 0;
    const auto frame = [&] {
        const Steady::time_point start = Steady::now();
        widget.render(&image);
        worst = std::max(worst, msSince(start));
    };
    // The first paint sets the widget up (its image, the font's glyphs): no pan or zoom frame.
    widget.render(&image);
    const double middle = (chart.windowLower() + chart.windowUpper()) / 2;
    for (int i = 0; i < kFrames; ++i) {
        chart.zoom(middle, 0.8);
        frame();
    }
    for (int i = 0; i < kFrames; ++i) {
        chart.scrollBy(chart.windowWidth() * 0.3);
        frame();
    }
    if (argc > 2 && std::string(argv[1]) == "--shot") image.save(QString::fromLocal8Bit(argv[2]));

    const double peak = peakMegabytes();
    std::printf(
        "log-analysis open-s=%.2f peak-mb=%.0f frame-ms=%.1f scatter-ms=%.1f "
        "align-samples=%.1f\n",
        openSeconds, peak, worst, bench::scatterRedrawMs(timeline), bench::alignErrorSamples());
}
