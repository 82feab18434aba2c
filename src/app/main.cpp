#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTimer>

#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/parent_console.h"
#include "app/program_folders.h"
#include "app/qt_stop_signals.h"
#include "app/start_options.h"
#include "history/tune_history.h"
#include "link/system_serial_port.h"
#include "monitor/live_run.h"
#include "ports/qt_settings_store.h"
#include "program_version.h"
#include "sim/in_process_simulator.h"
#include "transfer/qt_file_writer.h"
#include "ui/qt_user_prompts.h"

using namespace tunalyx;

int main(int argc, char** argv) {
    useParentConsole();
    // Answered before the window system is asked for anything, so they work without a display.
    const StartOptions options = parseStartOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        std::cerr << "tunalyx: " << options.error << "\n\n" << startUsage();
        return 2;
    }
    if (options.help) {
        std::cout << startUsage();
        return 0;
    }
    if (options.version) {
        std::cout << "tunalyx " << kProgramVersion << "\n";
        return 0;
    }
    std::optional<SimUnitKind> unit;
    if (options.simulate) {
        unit =
            options.simulate->empty() ? SimUnitKind::Det1_501 : simUnitFromName(*options.simulate);
        if (!unit) {
            std::cerr << "tunalyx: --simulate takes 1.70, 3, 5 or T2-D\n";
            return 2;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunalyx SR20DET"));
    QApplication::setApplicationVersion(QString::fromLatin1(kProgramVersion));
    // Ties the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("tunalyx"));

    QtSettingsStore store;
    SteadyClock clock;
    QtUserPrompts prompts;
    const std::unique_ptr<SerialPort> serial = makeSystemSerialPort(store);
    std::unique_ptr<InProcessSimulator> simulator;
    if (unit) {
        LineFaults line;
        line.pacing = true;  // as slow as the real line, so transfers feel like the real thing
        simulator = std::make_unique<InProcessSimulator>(*unit, clock, line);
        if (options.engine) simulator->ecu().runTunedEngine(*options.engine);
        // The same faults as the command line's simulator: --fault refuse=0x86 and so on.
        for (const std::string& fault : options.faults) {
            const std::string problem =
                applyFaultOption(fault, simulator->line().faults(), simulator->ecu());
            if (!problem.empty()) {
                std::cerr << "tunalyx: " << problem << "\n";
                return 2;
            }
        }
    }
    SerialPortSelector selector(*serial);
    Session session(selector, clock, prompts, LinkSettings::fromStore(store));
    const ProgramFolders folders = findProgramFolders(
        QCoreApplication::applicationDirPath().toStdString(),
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString());
    session.programFolder = folders.program.string();
    session.filesFolder = folders.files.string();
    // The dialogs open in these until the user picks folders of their own.
    for (const char* sub : {"Maps", "Logs", "Watchs", "Charts"})
        QDir().mkpath(QString::fromStdString((folders.files / sub).string()));
    QtFileWriter files;
    LiveRun live(session, session, clock, files, journalFolderOf(session.filesFolder));
    MainWindow window(session, live, store,
                      {selector, *serial, simulator ? &simulator->port() : nullptr}, files);
    prompts.setOwner(&window);
    window.useTuneHistory(historyFolderOf(session.filesFolder));
    window.Form_Load();
    window.show();
    // A logout or `kill` ends the program as File > Exit does, without questions.
    const QtStopSignals stopSignals([&window] { window.closeUnattended(); });
    // Once the window shows, so that the questions have it as their owner.
    QTimer::singleShot(0, &window, [&window] { window.offerLogRecovery(); });
    return QApplication::exec();
}
