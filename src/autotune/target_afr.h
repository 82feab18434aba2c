#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "maps/map_axes.h"
#include "ports/user_prompts.h"

namespace tunalyx {

// The A/F a tuner wants in each Inj Map cell, kept as a small text file beside the tunes.
inline constexpr double kLowestTargetAfr = 9;
inline constexpr double kHighestTargetAfr = 20;

// 14.7 in vacuum and cruise, richer with load from where boost begins to 11.8 at the top row.
[[nodiscard]] MapField defaultTargetAfr(const MapAxes& axes);

// The file's text, and the table read back: every value a number from 9 to 20, else the line and
// value that are not.
[[nodiscard]] std::string targetAfrText(const MapField& table);
struct TargetAfrRead {
    std::optional<MapField> table;
    std::string error;
};
[[nodiscard]] TargetAfrRead readTargetAfr(std::string_view text);
// The table of a file, or nothing after a message that names the file and what is wrong.
[[nodiscard]] std::optional<MapField> openTargetAfr(UserPrompts& prompts, const std::string& path,
                                                    const std::string& shownName);

}  // namespace tunalyx
