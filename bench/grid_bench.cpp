// Redisplaying a whole map grid, and Ctrl+A then "+" over its 400 cells, each painted: both must
// stay well under 5 ms so that tracing and typing never lag.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTabWidget>
#include <cstdio>

#include "quiet_prompts.h"

#include "app/main_window.h"
#include "maps/map_grid_widget.h"
#include "maps/qt_map_tracer.h"
#include "monitor/live_run.h"
#include "ports/memory_settings_store.h"
#include "sim/default_blocks.h"
#include "sim/engine_model.h"
#include "sim/loopback_serial_port.h"
#include "transfer/qt_file_writer.h"

using namespace tunalyx;

namespace {

template <typename F>
void report(const char* what, int runs, F&& body) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < runs; ++i)
        body();
    std::printf("%-44s %4d runs  %7.3f ms/run\n", what, runs,
                static_cast<double>(t.nsecsElapsed()) / 1e6 / runs);
}

void press(QWidget& w, int key, Qt::KeyboardModifiers mods) {
    QKeyEvent down(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(&w, &down);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ManualClock clock;
    QuietPrompts prompts;
    SimulatedEcu ecu(SimUnitKind::T2D_511A);
    SimulatorLine line(ecu);
    LoopbackSerialPort port(line, clock);
    Session session(port, clock, prompts);
    session.maps.GridInit();
    session.image.assign(defaultBlocks(simUnit(SimUnitKind::T2D_511A)));

    for (int grid : {kInjMap, kBaseMap}) {
        MapGridWidget w(session, grid);
        w.resize(1100, 600);
        w.show();
        QApplication::processEvents();
        const char* name = grid == kInjMap ? "Inj Map" : "Base Map";
        std::printf("%s\n", name);
        report("  redisplay of 400 cells, painted", 200, [&] {
            w.GridDisplay();
            w.repaint();
        });
        report("  Ctrl+A then + on 400 cells, painted", 200, [&] {
            press(w, Qt::Key_A, Qt::ControlModifier);
            press(w, Qt::Key_Plus, Qt::KeypadModifier);
            w.repaint();
        });
    }
    // The tracer at the monitor's pace: one position per sample, ghost trail on, painted.
    MemorySettingsStore store;
    SerialPortSelector selector(port);
    QtFileWriter files;
    LiveRun live(session, session, clock, files, std::string());
    MainWindow window(session, live, store, {selector, port, nullptr}, files);
    window.resize(1100, 700);
    window.show();
    window.tabs()->setCurrentIndex(kInjMap);
    window.menus().mnuMapTrace->trigger();
    window.menus().mnuMapTraceGhost->trigger();
    QApplication::processEvents();
    std::printf("Tracer\n");
    EngineModel engine;
    double t = 0;
    report("  ShowMapPos on a moving engine, painted", 500, [&] {
        engine.advanceTo(t += 0.01);
        const Bytes pos = engine.mapBlock(session.image[0x8A]);
        window.tracer().ShowMapPos(pos[0], pos[1]);
        window.grid(kInjMap)->repaint();
    });
    return 0;
}
