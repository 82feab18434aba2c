#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "maps/map_tracer.h"
#include "ports/user_prompts.h"
#include "session/tune_document.h"

namespace tunalyx {

// The colours of a difference, as 0x00BBGGRR.
inline constexpr CellColour kCompareRed = 0x0000FF;
inline constexpr CellColour kCompareYellow = 0x00FFFF;

// A setting control whose value in the compared file is not the window's. The texts are the
// ones a tuner reads: a text box's value, "on"/"off" for a check box, "selected"/"not selected"
// for an option button, a label's text up to its first zero byte.
struct SettingDifference {
    const SettingControl* control;
    std::string windowText;
    std::string fileText;
};

// One cell of a compared map: the window's value minus the file's as "0" (x1000 for the
// injection map), and the colour of its sign; no colour when there is no difference.
struct CellDifference {
    std::string text;
    CellColour colour = kNormalBackground;
    [[nodiscard]] bool differs() const { return colour != kNormalBackground; }
};

struct MapDifference {
    int grid;
    std::array<std::array<CellDifference, kMapCols>, kMapRows> cells;
    [[nodiscard]] const CellDifference& at(int row, int col) const {
        return cells[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col - 1)];
    }
    [[nodiscard]] bool differs() const;
};

// What compare mode shows of a file against the window's data.
struct Comparison {
    std::vector<SettingDifference> settings;  // shown controls in page, frame and control order
    bool notesDiffer = false;
    std::string fileNotes;
    std::vector<MapDifference> maps;  // every map whose tab is visible, in tab order
    [[nodiscard]] bool differs() const;
};

// The colour of a difference of the window's value over the file's: on the ignition map more
// advance in the window is red, on the fuel maps less fuel is; the other sign is yellow.
[[nodiscard]] CellColour differenceColour(int grid, double difference);

// What the window shows against a file's data in its layout, each read through the window's own
// controls and grids.
[[nodiscard]] Comparison compareTunes(const TuneDocument& window, Tune file);

// Reads a data file and compares it with the window's data, which it leaves alone. Nothing when
// the file cannot be compared; the reason has been shown then.
[[nodiscard]] std::optional<Comparison> compareWithFile(const TuneDocument& window,
                                                        UserPrompts& prompts,
                                                        const std::string& path,
                                                        const std::string& shownName);

}  // namespace tunalyx
