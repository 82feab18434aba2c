#pragma once

#include <cstdint>
#include <string>

namespace tunalyx {

// The keys a map grid reacts to, by what they are: the window maps its own key codes onto
// these (the numeric pad's digits, "+", "-" and "." count as the plain ones).
enum class GridKey { A, C, V, Delete, Digit, Plus, Minus, Point, Comma, Other };

// Shift state as a bit mask: 1 Shift, 2 Ctrl, 4 Alt; "Ctrl alone" is 2.
inline constexpr int kShiftMask = 1;
inline constexpr int kCtrlMask = 2;
inline constexpr int kAltMask = 4;

// Raw value Delete stores: 1.000 on the injection map.
inline constexpr std::int32_t kDeleteValue = 128;

// What a key press on a grid does (Grid_KeyDown).
struct GridAction {
    enum class Kind { None, SelectAll, Copy, Paste, SetRange, StartEdit, Increase, Decrease };
    Kind kind = Kind::None;
    std::int32_t value = 0;  // the value SetRange stores, the step of Increase and Decrease
    std::string text{};      // what StartEdit puts into the editor
};

// Ctrl+A and Ctrl+C work in compare mode too; every key that edits does nothing there.
[[nodiscard]] GridAction Grid_KeyDown(GridKey key, int digit, int shift, bool compareMode);

}  // namespace tunalyx
