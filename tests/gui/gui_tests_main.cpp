#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

int runMainWindowTests(int argc, char** argv);
int runSettingsPageTests(int argc, char** argv);
int runMapGridTests(int argc, char** argv);
int runTransferWindowTests(int argc, char** argv);
int runCompareWindowTests(int argc, char** argv);
int runCurveEditorTests(int argc, char** argv);
int runAirFlowGridTests(int argc, char** argv);
int runMonitorWindowTests(int argc, char** argv);
int runChartWindowTests(int argc, char** argv);
int runChartCompareTests(int argc, char** argv);
int runStripChartTests(int argc, char** argv);
int runMapWatchWindowTests(int argc, char** argv);
int runScatterWindowTests(int argc, char** argv);
int runGraphWindowTests(int argc, char** argv);
int runAuxSetupTests(int argc, char** argv);
int runWatchWindowsTests(int argc, char** argv);
int runEditHistoryTests(int argc, char** argv);
int runAutoTuneWindowTests(int argc, char** argv);
int runKnockWindowTests(int argc, char** argv);
int runHistoryWindowTests(int argc, char** argv);

// `tunalyx_gui_tests [Area] [QtTest options]`: one area of the window tests, or all of them.
int main(int argc, char** argv) {
    // Window tests never need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Number texts in the tests are written with "."; the user's own locale must not change them.
    QLocale::setDefault(QLocale::c());
    using Run = int (*)(int, char**);
    const std::map<std::string, Run> areas = {{"MainWindow", runMainWindowTests},
                                              {"SettingsPage", runSettingsPageTests},
                                              {"MapGrid", runMapGridTests},
                                              {"TransferWindow", runTransferWindowTests},
                                              {"CompareWindow", runCompareWindowTests},
                                              {"CurveEditor", runCurveEditorTests},
                                              {"AirFlowGrid", runAirFlowGridTests},
                                              {"MonitorWindow", runMonitorWindowTests},
                                              {"ChartWindow", runChartWindowTests},
                                              {"ChartCompare", runChartCompareTests},
                                              {"StripChart", runStripChartTests},
                                              {"MapWatchWindow", runMapWatchWindowTests},
                                              {"ScatterWindow", runScatterWindowTests},
                                              {"GraphWindow", runGraphWindowTests},
                                              {"AuxSetup", runAuxSetupTests},
                                              {"WatchWindows", runWatchWindowsTests},
                                              {"EditHistory", runEditHistoryTests},
                                              {"AutoTuneWindow", runAutoTuneWindowTests},
                                              {"KnockWindow", runKnockWindowTests},
                                              {"HistoryWindow", runHistoryWindowTests}};
    std::vector<char*> args(argv, argv + argc);
    std::vector<Run> chosen;
    if (argc > 1 && argv[1][0] != '-') {
        const auto area = areas.find(argv[1]);
        if (area == areas.end()) return 2;
        chosen.push_back(area->second);
        args.erase(args.begin() + 1);
    } else {
        for (const auto& [name, run] : areas)
            chosen.push_back(run);
    }
    int failed = 0;
#ifdef Q_OS_WIN
    // What QtTest writes itself never reaches a pipe there (a run under ctest): unless told where
    // to write, each area writes a file, which is copied to the output afterwards.
    if (std::none_of(args.begin(), args.end(),
                     [](const char* a) { return !std::strcmp(a, "-o"); })) {
        const QString file = QDir::temp().filePath(
            QStringLiteral("tunalyx-gui-tests-%1.txt").arg(QCoreApplication::applicationPid()));
        QByteArray where = QDir::toNativeSeparators(file).toLocal8Bit() + ",txt";
        char option[] = "-o";
        args.insert(args.begin() + 1, {option, where.data()});
        for (Run run : chosen) {
            failed += run(static_cast<int>(args.size()), args.data());
            QFile written(file);
            if (written.open(QIODevice::ReadOnly)) {
                const QByteArray text = written.readAll();
                std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
                std::fflush(stdout);
            }
            written.remove();
        }
        return failed == 0 ? 0 : 1;
    }
#endif
    for (Run run : chosen)
        failed += run(static_cast<int>(args.size()), args.data());
    return failed == 0 ? 0 : 1;
}
