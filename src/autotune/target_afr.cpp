#include "autotune/target_afr.h"

#include <algorithm>
#include <cmath>

#include "maps/field_table.h"
#include "ports/whole_file.h"

namespace tunalyx {

namespace {
constexpr double kCruiseAfr = 14.7;
constexpr double kFullBoostAfr = 11.8;
constexpr double kBoostStartsLoad = 5800;  // about atmospheric pressure in the manifold
constexpr std::uintmax_t kLargestTargetFile = 64 * 1024;
}  // namespace

MapField defaultTargetAfr(const MapAxes& axes) {
    MapField table{};
    const double top = std::max(axes.row.back(), kBoostStartsLoad + 1);
    for (std::size_t row = 0; row < kMapAxisSize; ++row) {
        const double share =
            std::clamp((axes.row[row] - kBoostStartsLoad) / (top - kBoostStartsLoad), 0.0, 1.0);
        // Whole hundredths, as a tuner would type them.
        const double afr =
            std::round((kCruiseAfr + (kFullBoostAfr - kCruiseAfr) * share) * 100) / 100;
        table[row].fill(afr);
    }
    return table;
}

std::string targetAfrText(const MapField& table) {
    return fieldTableText(table,
                          "Target A/F: a line per Inj Map row (load breakpoint), top row first as "
                          "the grid shows it;\na value per column (rpm breakpoint), TAB or comma "
                          "separated.");
}

TargetAfrRead readTargetAfr(std::string_view text) {
    FieldTableRead read = readFieldTable(text, [](double afr, std::string_view shown) {
        if (afr >= kLowestTargetAfr && afr <= kHighestTargetAfr) return std::string();
        return std::string(shown) + " is no target A/F (9 to 20)";
    });
    return {read.field, read.error};
}

std::optional<MapField> openTargetAfr(UserPrompts& prompts, const std::string& path,
                                      const std::string& shownName) {
    const auto text = readWholeFile(
        prompts, path, kLargestTargetFile,
        {"Error opening " + shownName, shownName + " is too large to be a target A/F table",
         "Error reading " + shownName});
    if (!text) return std::nullopt;
    const TargetAfrRead read = readTargetAfr(*text);
    if (!read.table)
        prompts.tell(shownName + " is no target A/F table: " + read.error, MessageIcon::Critical);
    return read.table;
}

}  // namespace tunalyx
