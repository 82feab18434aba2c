#include "app/start_options.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace tunalyx {

namespace {

// The window system's options: those followed by a value, and those standing alone.
constexpr std::array<std::string_view, 14> kWindowSystemWithValue = {
    "-platform",    "-platformpluginpath", "-platformtheme", "-plugin", "-qwindowgeometry",
    "-qwindowicon", "-qwindowtitle",       "-session",       "-style",  "-stylesheet",
    "-display",     "-geometry",           "-title",         "-name"};
constexpr std::array<std::string_view, 5> kWindowSystemAlone = {"-reverse", "-widgetcount", "-sync",
                                                                "-nograb", "-dograb"};

template <std::size_t N>
bool among(const std::array<std::string_view, N>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

StartOptions parseStartOptions(const std::vector<std::string>& args) {
    StartOptions o;
    EngineOptions engine;
    bool engineAsked = false;
    bool engineDetail = false;
    for (std::size_t i = 0; i < args.size() && o.error.empty(); ++i) {
        const std::string_view a = args[i];
        const std::string_view name = a.substr(0, a.find('='));
        const bool hasValue = name.size() < a.size();
        const std::string value = hasValue ? std::string(a.substr(name.size() + 1)) : std::string();
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (name == "--simulate") {
            o.simulate = value;
        } else if (name == "--fault") {
            if (hasValue)
                o.faults.push_back(value);
            else if (i + 1 < args.size())
                o.faults.push_back(args[++i]);
            else
                o.error = "--fault needs a fault, such as refuse=0x86.";
        } else if (a == "--engine") {
            engineAsked = true;
        } else if (name == "--drive" || name == "--seed" || name == "--requirement" ||
                   name == "--knock-limit" || name == "--knock-spikes" || name == "--cold-start" ||
                   name == "--sensor-delay-scale") {
            engineDetail = true;
            if (!hasValue && i + 1 >= args.size()) {
                o.error = std::string(name) + " needs a value.";
                break;
            }
            const std::string v = hasValue ? value : args[++i];
            const std::string problem = name == "--drive"          ? setDriveOption(v, engine)
                                        : name == "--seed"         ? setSeedOption(v, engine)
                                        : name == "--knock-limit"  ? setKnockLimitOption(v, engine)
                                        : name == "--knock-spikes" ? setKnockSpikesOption(v, engine)
                                        : name == "--cold-start"   ? setColdStartOption(v, engine)
                                        : name == "--sensor-delay-scale"
                                            ? setSensorDelayScaleOption(v, engine)
                                            : setRequirementOption(v, engine);
            if (!problem.empty()) o.error = problem + ".";
        } else if (among(kWindowSystemWithValue, name)) {
            if (!hasValue) ++i;
        } else if (!among(kWindowSystemAlone, a)) {
            o.error = "unknown option " + std::string(a) + ".";
        }
    }
    // A fault meant for the simulated line must not be dropped silently on a real one.
    if (o.error.empty() && !o.faults.empty() && !o.simulate)
        o.error = "--fault works only with --simulate.";
    if (o.error.empty() && engineAsked && !o.simulate)
        o.error = "--engine works only with --simulate.";
    if (o.error.empty() && engineDetail && !engineAsked)
        o.error =
            "--drive, --seed, --requirement, --knock-limit, --knock-spikes, --cold-start and "
            "--sensor-delay-scale go with --engine.";
    if (engineAsked) o.engine = engine;
    return o;
}

const char* startUsage() {
    return "Usage: tunalyx [--simulate[=1.70|3|5|T2-D] [--fault FAULT]...\n"
           "               [--engine [--drive NAME] [--seed N] [--requirement R]\n"
           "                         [--knock-limit K] [--knock-spikes N]\n"
           "                         [--cold-start C] [--sensor-delay-scale S]]]\n"
           "               [--version] [--help]\n"
           "\n"
           "Tuning and data logging for the Power-FC engine computer on SR20DET engines.\n"
           "\n"
           "  --simulate[=FAMILY]  work with a simulated engine computer inside the program\n"
           "                       instead of the serial port (family 5 unless one is named)\n"
           "  --fault FAULT        a fault of the simulated line, repeatable: refuse=0xNN[:R],\n"
           "                       drop=N, corrupt=N, noise=B, stray=BYTE, delay=MS, pull=N,\n"
           "                       misstore=0xNN[:BYTE]\n"
           "  --engine             the simulated unit runs an engine that answers its tune:\n"
           "                       its wide-band A/F on AN1 follows the Inj Map, its knock\n"
           "                       the Ign Map\n"
           "  --drive NAME         how it is driven: idle, city, highway, pulls or mixed\n"
           "                       (the default)\n"
           "  --seed N             repeats a drive and the engine's fuel requirement and knock\n"
           "                       limit\n"
           "  --requirement R      pattern (the default: the default tune is off by a smooth\n"
           "                       pattern), correct, or uniform=P (P % lean everywhere)\n"
           "  --knock-limit K      pattern (the default: the default tune knocks in a few boost\n"
           "                       cells), uniform=DEG (DEG degrees over the default Ign Map),\n"
           "                       or none\n"
           "  --knock-spikes N     one knock sensor spike in N readings (0: none)\n"
           "  --cold-start C       the coolant at the start, -30 to 80 C (20 unless given)\n"
           "  --sensor-delay-scale S\n"
           "                       the wide-band sensor's delay times S, 0.25 to 4 (1 unless\n"
           "                       given)\n"
           "  --version            print the version and exit\n"
           "  --help, -h           print this text and exit\n";
}

}  // namespace tunalyx
