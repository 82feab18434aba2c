#include "cli/cli_commands.h"

#include <csignal>
#include <iostream>
#include <memory>

#include "link/packet_link.h"
#include "link/port_names.h"
#include "link/qt_serial_port.h"
#include "versions/unit_identity.h"

#ifndef _WIN32
#include "sim/pty_server.h"
#endif

namespace tunalyx::cli {

const char* usageText() {
    return "usage: tunalyx-cli <command> [options]\n"
           "  identify --port DEV        program name, version text, version key and layout "
           "family\n"
           "  simulate [--family 1.70|3|5|T2-D] [--baud-pacing] [--fault F]...\n"
           "                             serves a simulated engine computer on a new "
           "pseudo-terminal;\n"
           "                             prints its path, runs until killed. Faults: "
           "refuse=BLOCK[:R],\n"
           "                             drop=N, corrupt=N (N-th request), noise=BYTES, delay=MS\n"
           "DEV is a device path (/dev/ttyUSB0, /dev/pts/7) or COMn.\n"
           "Exit status: 0 success, 1 the operation failed, 2 bad usage.\n";
}

namespace {

int usage(const std::string& problem) {
    std::cerr << "tunalyx-cli: " << problem << "\n" << usageText();
    return kExitUsage;
}

// The port named by --port, opened and with the wake-up answered and out of the way.
class CliLink {
public:
    CliLink(CliContext& ctx, const std::string& device)
        : m_port(ctx.settings),
          m_link(m_port, ctx.clock, ctx.prompts, LinkSettings::fromStore(ctx.settings)) {
        m_port.setDevicePath(device);
        m_device = device;
    }

    bool open(CliPrompts& prompts) {
        if (!m_port.open()) {
            if (const int n = comPortNumber(m_device); n > 0)
                prompts.tell("Error opening Com" + std::to_string(n), MessageIcon::Critical);
            else
                prompts.tell("Error opening " + m_device + " (" + m_port.errorText() + ")",
                             MessageIcon::Critical);
            return false;
        }
        // The wake-up's reply takes a few milliseconds; left in the line it would be read as
        // the answer to the first real request.
        m_link.SendPacket(Bytes{0xF3});
        m_link.DiscardLateReply();
        return true;
    }

    PacketLink& link() { return m_link; }

private:
    QtSerialPort m_port;
    PacketLink m_link;
    std::string m_device;
};

std::string trimmedRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    return s;
}

}  // namespace

int runIdentify(const CliArgs& args, CliContext& ctx) {
    const auto port = args.option("--port");
    if (!port) return usage("identify needs --port DEV");
    CliLink cli(ctx, *port);
    if (!cli.open(ctx.prompts)) return kExitFailed;

    const auto id = readUnitIdentity(cli.link());
    if (!id) return kExitFailed;
    std::cout << "Program name: " << trimmedRight(id->programName) << "\n"
              << "Version text: " << trimmedRight(id->versionText) << "\n";
    if (!id->isSr20()) {
        ctx.prompts.tell("This is not an SR20DET PFC", MessageIcon::Critical);
        return kExitFailed;
    }
    std::cout << "Version key: " << id->key() << "\n";
    const auto family = id->family();
    std::cout << "Layout family: " << (family ? familyLayout(*family).name : "unsupported")
              << std::endl;
    if (!family) {
        ctx.prompts.tell(id->programName + " version " + id->versionText + " is not yet supported.",
                         MessageIcon::Critical);
        return kExitFailed;
    }
    return kExitOk;
}

#ifndef _WIN32
namespace {
std::atomic<bool> g_stop{false};
extern "C" void onStopSignal(int) {
    g_stop.store(true);
}
}  // namespace

int runSimulate(const CliArgs& args, CliContext& ctx) {
    const std::string familyName = args.option("--family").value_or("5");
    const auto kind = simUnitFromName(familyName);
    if (!kind) return usage("unknown family '" + familyName + "' (1.70, 3, 5, T2-D)");

    SimulatedEcu ecu(*kind);
    LineFaults faults;
    faults.pacing = args.flag("--baud-pacing");
    for (const auto& f : args.all("--fault"))
        if (const auto problem = applyFaultOption(f, faults, ecu); !problem.empty())
            return usage(problem);
    SimulatorLine line(ecu, faults);
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
              << familyLayout(ecu.unit().layout).name << ") on " << server.devicePath()
              << "; stop with Ctrl+C" << std::endl;
    server.serve(g_stop);
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
