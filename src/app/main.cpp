#include <QApplication>
#include <QDir>
#include <QStandardPaths>

#include <cstring>
#include <iostream>
#include <memory>

#include "app/main_window.h"
#include "app/program_folders.h"
#include "app/qt_user_prompts.h"
#include "link/qt_serial_port.h"
#include "ports/qt_settings_store.h"
#include "program_version.h"
#include "sim/in_process_simulator.h"
#include "transfer/qt_file_writer.h"

using namespace tunalyx;

namespace {

// "--simulate" or "--simulate=1.70|3|5|T2-D": which simulated unit stands in for the port.
std::optional<SimUnitKind> simulatedUnit(const QStringList& args, bool& bad) {
    for (const QString& a : args) {
        if (a == QLatin1String("--simulate")) return SimUnitKind::Det1_501;
        if (a.startsWith(QLatin1String("--simulate="))) {
            const auto kind = simUnitFromName(a.mid(11).toStdString());
            if (!kind) bad = true;
            return kind;
        }
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before the window system is asked for anything, so it works without a display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "tunalyx " << kProgramVersion << "\n";
            return 0;
        }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunalyx SR20DET"));
    QApplication::setApplicationVersion(QString::fromLatin1(kProgramVersion));
    // Ties the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("tunalyx"));
    bool bad = false;
    const auto unit = simulatedUnit(QApplication::arguments(), bad);
    if (bad) {
        std::cerr << "tunalyx: --simulate takes 1.70, 3, 5 or T2-D\n";
        return 2;
    }

    QtSettingsStore store;
    SteadyClock clock;
    QtUserPrompts prompts;
    QtSerialPort serial(store);
    std::unique_ptr<InProcessSimulator> simulator;
    if (unit) {
        LineFaults line;
        line.pacing = true;  // as slow as the real line, so transfers feel like the real thing
        simulator = std::make_unique<InProcessSimulator>(*unit, clock, line);
        // The same faults as the command line's simulator: --fault refuse=0x86 and so on.
        const QStringList args = QApplication::arguments();
        for (int i = 1; i < args.size(); ++i) {
            QString fault;
            if (args[i] == QLatin1String("--fault") && i + 1 < args.size())
                fault = args[++i];
            else if (args[i].startsWith(QLatin1String("--fault=")))
                fault = args[i].mid(8);
            else
                continue;
            const std::string problem =
                applyFaultOption(fault.toStdString(), simulator->line().faults(), simulator->ecu());
            if (!problem.empty()) {
                std::cerr << "tunalyx: " << problem << "\n";
                return 2;
            }
        }
    }
    SerialPortSelector selector(serial);
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
    MainWindow window(session, store, {selector, serial, simulator ? &simulator->port() : nullptr},
                      files);
    prompts.setOwner(&window);
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
