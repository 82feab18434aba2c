#include "maps/grid_keys.h"

#include <gtest/gtest.h>

namespace tunalyx {
namespace {

using K = GridAction::Kind;

TEST(GridKeys, WhatEachKeyDoes) {
    struct Case {
        GridKey key;
        int digit;
        int shift;
        K kind;
        std::int32_t value;
        const char* text;
    };
    const Case cases[] = {
        {GridKey::A, 0, kCtrlMask, K::SelectAll, 0, ""},
        {GridKey::A, 0, 0, K::None, 0, ""},
        {GridKey::C, 0, kCtrlMask, K::Copy, 0, ""},
        {GridKey::V, 0, kCtrlMask, K::Paste, 0, ""},
        {GridKey::V, 0, kCtrlMask | kShiftMask, K::None, 0, ""},
        {GridKey::Delete, 0, kShiftMask, K::SetRange, 128, ""},  // 1.000 on the injection map
        {GridKey::Digit, 7, 0, K::StartEdit, 0, "7"},
        {GridKey::Digit, 0, kCtrlMask, K::StartEdit, 0, "0"},
        {GridKey::Plus, 0, 0, K::Increase, 1, ""},
        {GridKey::Plus, 0, kCtrlMask, K::Increase, 10, ""},
        {GridKey::Plus, 0, kShiftMask, K::None, 0, ""},
        {GridKey::Minus, 0, kCtrlMask, K::Decrease, 10, ""},
        {GridKey::Minus, 0, kAltMask, K::None, 0, ""},
        {GridKey::Point, 0, 0, K::StartEdit, 0, "."},
        {GridKey::Comma, 0, 0, K::StartEdit, 0, ","},
        {GridKey::Other, 0, 0, K::None, 0, ""},
    };
    for (const Case& c : cases) {
        const GridAction a = Grid_KeyDown(c.key, c.digit, c.shift, false);
        EXPECT_EQ(a.kind, c.kind) << static_cast<int>(c.key) << " shift " << c.shift;
        EXPECT_EQ(a.value, c.value) << static_cast<int>(c.key);
        EXPECT_EQ(a.text, c.text) << static_cast<int>(c.key);
    }
}

TEST(GridKeys, CompareModeKeepsOnlySelectAllAndCopy) {
    EXPECT_EQ(Grid_KeyDown(GridKey::A, 0, kCtrlMask, true).kind, K::SelectAll);
    EXPECT_EQ(Grid_KeyDown(GridKey::C, 0, kCtrlMask, true).kind, K::Copy);
    for (GridKey key : {GridKey::V, GridKey::Delete, GridKey::Digit, GridKey::Plus, GridKey::Minus,
                        GridKey::Point, GridKey::Comma})
        for (int shift : {0, kCtrlMask})
            EXPECT_EQ(Grid_KeyDown(key, 1, shift, true).kind, K::None);
}

}  // namespace
}  // namespace tunalyx
