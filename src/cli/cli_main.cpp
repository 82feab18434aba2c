#include <QCoreApplication>

#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_history.h"
#include "ports/qt_settings_store.h"
#include "program_version.h"

using namespace tunalyx;
using namespace tunalyx::cli;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<std::string> words(argv + 1, argv + argc);
    std::string error;
    const CliArgs args =
        parseCliArgs(words, {"--port",        "--out",          "--base",
                             "--to",          "--family",       "--fault",
                             "--groups",      "--samples",      "--seconds",
                             "--tune",        "--item",         "--stat",
                             "--holdoff",     "--maxval",       "--source",
                             "--dp",          "--dump-on-exit", "--drive",
                             "--seed",        "--requirement",  "--dump-requirement",
                             "--log",         "--target",       "--max-change",
                             "--min-samples", "--log-tune",     "--dump-knock-limit",
                             "--knock-limit", "--knock-spikes", "--max-retard",
                             "--cold-start",  "--curves",       "--sensor-delay-scale",
                             "--math"},
                     error);
    if (args.flag("--version") || args.command == "version") {
        std::cout << "tunalyx-cli " << kProgramVersion << "\n";
        return kExitOk;
    }
    if (!error.empty() || args.command.empty()) {
        if (!error.empty()) std::cerr << "tunalyx-cli: " << error << "\n";
        std::cerr << usageText();
        return kExitUsage;
    }
    if (args.command == "help" || args.flag("--help")) {
        std::cout << usageText();
        return kExitOk;
    }

    QtSettingsStore settings;
    SteadyClock clock;
    CliPrompts prompts(args.flag("--yes"));
    CliContext ctx{settings, clock, prompts};
    using Command = int (*)(const CliArgs&, CliContext&);
    const std::map<std::string, Command> commands = {
        {"identify", runIdentify}, {"read-all", runReadAll},  {"write-all", runWriteAll},
        {"update", runUpdate},     {"convert", runConvert},   {"show", runShow},
        {"diff", runDiff},         {"log", runLog},           {"export-csv", runExportCsv},
        {"scan", runScan},         {"simulate", runSimulate}, {"mapwatch", runMapWatch},
        {"drive", runDrive},       {"autotune", runAutoTune}, {"recover", runRecover},
        {"history", runHistory},   {"knock", runKnock},
    };
    if (const auto it = commands.find(args.command); it != commands.end())
        return it->second(args, ctx);

    std::cerr << "tunalyx-cli: unknown command '" << args.command << "'\n" << usageText();
    return kExitUsage;
}
