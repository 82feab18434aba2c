#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "maps/map_axes.h"

namespace tunalyx {

// A 20 x 20 table as plain text other tools can write: a line per map row (top row first, as
// the grid shows it), 20 values per line separated by TABs or commas. Blank lines and lines that
// start with "#" are comments.

// `comment` lines go first, each behind "# ". Values are written in the shortest form that
// reads back exactly, or with `decimals` fixed places.
[[nodiscard]] std::string fieldTableText(const MapField& field, std::string_view comment,
                                         std::optional<int> decimals = std::nullopt);

struct FieldTableRead {
    std::optional<MapField> field;
    std::string error;  // what is wrong and where ("line 4, value 7: ..."), when there is no field
};
// `valueProblem` may refuse a value read as a number (given with its text): what is wrong with
// it, empty when it is taken.
using FieldValueCheck = std::function<std::string(double value, std::string_view text)>;
[[nodiscard]] FieldTableRead readFieldTable(std::string_view text,
                                            const FieldValueCheck& valueProblem = {});

}  // namespace tunalyx
