#include <csignal>
#include <iostream>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "cli/cli_common.h"
#include "sim/simulator_line.h"
#include "transfer/data_file.h"
#include "transfer/qt_file_writer.h"

#ifndef _WIN32
#include "sim/pty_server.h"
#endif

// simulate: a simulated unit served on a pseudo-terminal.
namespace tunalyx::cli {

#ifndef _WIN32
namespace {

const CommandShape kSimulateShape{
    .optional = {"--family", "--dump-on-exit", "--drive", "--seed", "--requirement",
                 "--dump-requirement", "--knock-limit", "--knock-spikes", "--dump-knock-limit",
                 "--cold-start", "--sensor-delay-scale"},
    .repeatable = {"--fault"},
    .flags = {"--baud-pacing", "--engine"}};

}  // namespace

int runSimulate(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kSimulateShape); !problem.empty())
        return usage(problem);
    const std::string family = args.option("--family").value_or("5");
    const auto kind = simUnitFromName(family);
    if (!kind) return usage("unknown family '" + family + "' (1.70, 3, 5, T2-D)");

    SimulatedEcu ecu(*kind);
    EngineOptions engine;
    if (const auto problem = engineOptionsFrom(args, engine); !problem.empty())
        return usage(problem);
    const bool engineAsked = args.option("--drive") || args.option("--seed") ||
                             args.option("--requirement") || args.option("--dump-requirement") ||
                             args.option("--knock-limit") || args.option("--knock-spikes") ||
                             args.option("--dump-knock-limit") || args.option("--cold-start") ||
                             args.option("--sensor-delay-scale");
    if (engineAsked && !args.flag("--engine"))
        return usage(
            "--drive, --seed, --requirement, --knock-limit, --knock-spikes, --cold-start, "
            "--sensor-delay-scale, --dump-requirement and --dump-knock-limit go with --engine");
    if (args.flag("--engine")) {
        ecu.runTunedEngine(engine);
        if (const auto problem = writeEngineDumps(args, ecu.unit().layout, engine);
            !problem.empty())
            return failed(problem);
    }
    LineFaults faults;
    faults.pacing = args.flag("--baud-pacing");
    for (const auto& f : args.all("--fault"))
        if (const auto problem = applyFaultOption(f, faults, ecu); !problem.empty())
            return usage(problem);
    SimulatorLine line(ecu, faults);
#ifdef __linux__
    // Paced bytes are due to the microsecond; the kernel's default timer slack would make the
    // simulated unit late on every reply.
    if (faults.pacing) prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    PtyServer server(line, ctx.clock);
    std::string error;
    if (!server.open(error)) {
        std::cerr << "tunalyx-cli: " << error << std::endl;
        return kExitFailed;
    }
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    std::cout << server.devicePath() << std::endl;
    std::cerr << "Simulating " << ecu.unit().programName << " "
              << trimmedRight(ecu.unit().versionText) << " (family "
              << familyLayout(ecu.unit().layout).name << ")"
              << (args.flag("--engine")
                      ? std::string(" with the engine that answers the tune, drive ") +
                            driveName(engine.drive)
                      : std::string())
              << " on " << server.devicePath() << "; stop with Ctrl+C" << std::endl;
    server.serve(g_stop);
    // What the unit holds at the end, for checking what a client wrote to it.
    if (const auto dump = args.option("--dump-on-exit")) {
        PacketImage image;
        image.assign(ecu.blocks());
        QtFileWriter writer;
        if (const std::string problem = writer.writeWhole(*dump, dataFileText(image, ""));
            !problem.empty())
            return failed(problem);
    }
    return kExitOk;
}
#else
int runSimulate(const CliArgs&, CliContext&) {
    std::cerr << "tunalyx-cli: simulate needs pseudo-terminals, which this system does not have"
              << std::endl;
    return kExitFailed;
}
#endif

}  // namespace tunalyx::cli
