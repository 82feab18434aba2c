#include "maps/grid_keys.h"

namespace tunalyx {

namespace {
constexpr std::int32_t kSmallStep = 1;
constexpr std::int32_t kLargeStep = 10;
}  // namespace

GridAction Grid_KeyDown(GridKey key, int digit, int shift, bool compareMode) {
    using K = GridAction::Kind;
    const bool ctrlAlone = shift == kCtrlMask;
    if (key == GridKey::A && ctrlAlone) return {K::SelectAll};
    if (key == GridKey::C && ctrlAlone) return {K::Copy};
    if (compareMode) return {};
    switch (key) {
        case GridKey::Delete:
            return {K::SetRange, kDeleteValue};
        case GridKey::Digit:
            return {K::StartEdit, 0, std::to_string(digit)};
        case GridKey::V:
            return ctrlAlone ? GridAction{K::Paste} : GridAction{};
        case GridKey::Plus:
        case GridKey::Minus: {
            // Plain keys step by 1, with Ctrl alone by 10; other shift states do nothing.
            const std::int32_t step = shift == 0 ? kSmallStep : ctrlAlone ? kLargeStep : 0;
            if (step == 0) return {};
            return {key == GridKey::Plus ? K::Increase : K::Decrease, step};
        }
        case GridKey::Point:
            return {K::StartEdit, 0, "."};
        case GridKey::Comma:
            return {K::StartEdit, 0, ","};
        default:
            return {};
    }
}

}  // namespace tunalyx
