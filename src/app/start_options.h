#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/engine_options.h"

namespace tunalyx {

// What the window program was asked for on its command line.
struct StartOptions {
    bool help = false;
    bool version = false;
    std::optional<std::string> simulate;  // the family named after "=", empty for the default
    std::vector<std::string> faults;      // of the simulated line, in the order given
    std::optional<EngineOptions>
        engine;         // the simulated unit runs the engine that answers the tune
    std::string error;  // not empty: bad usage, and what was wrong
};

// The arguments after the program's name. The window system's own options (-style fusion,
// -platform xcb, ...) are left to it; anything else unknown is bad usage.
[[nodiscard]] StartOptions parseStartOptions(const std::vector<std::string>& args);

// The text --help prints, and bad usage after its message.
[[nodiscard]] const char* startUsage();

}  // namespace tunalyx
