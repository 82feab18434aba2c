#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sim/drive_cycle.h"

namespace tunalyx {

// How the engine's hidden fuel requirement stands against the family's default Inj Map.
enum class RequirementKind {
    Pattern,  // wrong by a smooth pattern of up to about +/-15 %, drawn from the seed; the warm-up
              // factor and the accelerator pump wrong too
    Correct,  // the default tune burns 14.7 everywhere, cold and on a tip-in too
    Uniform,  // the default map is the same percentage lean everywhere (a wrong injector size: the
              // warm-up factor and the pump are right)
};

// Where the engine's hidden knock limit stands against the family's default Ign Map.
enum class KnockLimitKind {
    Pattern,  // a few degrees over it, dipping a few degrees under it in some boost cells
    Uniform,  // the same number of degrees over it everywhere (negative: under)
    None,     // the engine never knocks
};

// The engine that answers the tune, as the command line and the window's start options choose it.
struct EngineOptions {
    DriveKind drive = DriveKind::Mixed;
    std::uint64_t seed = 1;
    RequirementKind requirement = RequirementKind::Pattern;
    double uniformLeanPercent = 0;  // with Uniform: + lean, - rich
    KnockLimitKind knockLimit = KnockLimitKind::Pattern;
    double uniformKnockDegrees = 0;  // with Uniform: the limit this far over the default map
    // One knock sensor reading in this many is an electrical spike, on average; 0 for none.
    long knockSpikeEvery = 2000;
    double coldStartC = 20;       // the coolant at the start
    double sensorDelayScale = 1;  // the sensor's delay against the engine's own delay shape
};

// "--drive", "--seed" and "--requirement" values. Each returns what is wrong, empty when taken.
[[nodiscard]] std::string setDriveOption(std::string_view text, EngineOptions& options);
[[nodiscard]] std::string setSeedOption(std::string_view text, EngineOptions& options);
[[nodiscard]] std::string setRequirementOption(std::string_view text, EngineOptions& options);
// "--knock-limit" and "--knock-spikes" values, the same way.
[[nodiscard]] std::string setKnockLimitOption(std::string_view text, EngineOptions& options);
[[nodiscard]] std::string setKnockSpikesOption(std::string_view text, EngineOptions& options);
// "--cold-start" and "--sensor-delay-scale" values, the same way.
[[nodiscard]] std::string setColdStartOption(std::string_view text, EngineOptions& options);
[[nodiscard]] std::string setSensorDelayScaleOption(std::string_view text, EngineOptions& options);

}  // namespace tunalyx
