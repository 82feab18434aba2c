#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "curves/curve_descriptor.h"
#include "model/descriptors.h"
#include "model/settings_table.h"

namespace tunalyx {
namespace {

using BytePos = std::pair<int, int>;  // block, 1-based position
using K = ControlKind;

std::string describe(const SettingControl& c) {
    return "kind " + std::to_string(static_cast<int>(c.kind)) + " index " +
           std::to_string(c.index) + " \"" + c.caption + "\" tag \"" + c.tag + "\"";
}

// The bytes a control shows and edits on the page (none for frames, captions, notes, the air flow
// grid and curve buttons, which edit through their own descriptors); nullopt when its Tag does not
// parse as its kind's.
std::optional<std::vector<BytePos>> bytesOf(const SettingControl& c) {
    const auto run = [](int block, int pos, int length) {
        std::vector<BytePos> out;
        for (int i = 0; i < length; ++i)
            out.emplace_back(block, pos + i);
        return out;
    };
    switch (c.kind) {
        case K::Frame:
            if (c.tag.empty() || parseBlockDescriptor(c.tag)) return run(0, 0, 0);
            break;
        case K::Text:
            if (auto d = parseParamDescriptor(c.tag);
                d && (d->type == kTypeUnsigned8 || d->type == kTypeSigned8 ||
                      d->type == kTypeUnsigned16))
                return run(d->block, d->pos, d->type == kTypeUnsigned16 ? 2 : 1);
            break;
        case K::Check:
            if (auto d = parseCheckDescriptor(c.tag)) return run(d->block, d->pos, 1);
            break;
        case K::CheckBit:
            if (auto d = parseBitDescriptor(c.tag)) return run(d->block, d->pos, 1);
            break;
        case K::Option:
            if (auto d = parseOptionDescriptor(c.tag)) return run(d->block, d->pos, 1);
            break;
        case K::Label:
        case K::TunerString:
            if (auto d = parseLabelDescriptor(c.tag)) return run(d->block, d->pos, d->length);
            break;
        case K::CurveButton:
            if (parseCurveDescriptor(c.tag)) return run(0, 0, 0);
            break;
        case K::Notes:
        case K::Caption:
        case K::AirFlowGrid:
            if (c.tag.empty()) return run(0, 0, 0);
            break;
    }
    return std::nullopt;
}

TEST(SettingsTable, EveryTagParsesAndEveryControlSitsInAFrameOnItsPage) {
    const SettingsTable table = SettingsTable::standard();
    std::set<std::pair<ControlKind, int>> seen;
    std::map<int, const SettingControl*> frames;
    for (const SettingControl& c : table.controls()) {
        SCOPED_TRACE(describe(c));
        EXPECT_TRUE(bytesOf(c)) << "Tag does not parse as its kind's";
        EXPECT_TRUE(seen.insert({c.kind, c.index}).second) << "duplicate control";
        EXPECT_TRUE(c.page >= 1 && c.page <= 5);
        if (c.kind == K::Frame) {
            EXPECT_EQ(c.frame, -1);
            frames[c.index] = &c;
            continue;
        }
        const auto frame = frames.find(c.frame);  // a frame comes before its controls
        ASSERT_NE(frame, frames.end());
        EXPECT_EQ(c.page, frame->second->page);
        EXPECT_TRUE(c.visible);
        // Text1, txtNotes and uctAirFlowGrid are the only controls outside a control array.
        EXPECT_EQ(c.index < 0,
                  c.kind == K::TunerString || c.kind == K::Notes || c.kind == K::AirFlowGrid);
        if (c.kind != K::CurveButton) continue;
        // The curve dialog reads bytes and words only; a constant axis names every point (its
        // list may hold one more than it uses).
        const auto d = parseCurveDescriptor(c.tag);
        ASSERT_TRUE(d);
        EXPECT_TRUE(d->y.type == kTypeUnsigned8 || d->y.type == kTypeUnsigned16);
        EXPECT_TRUE(!d->x.constant || d->x.values.size() >= static_cast<std::size_t>(d->count));
    }
}

// Every byte a frame reads is visible and editable in that frame, and nothing in a frame
// addresses a block the frame's popup Read would not refresh.
TEST(SettingsTable, EveryByteOfEveryFrameBlockIsShownInItsFrame) {
    const SettingsTable table = SettingsTable::standard();
    for (const SettingControl& frame : table.controls()) {
        if (frame.kind != K::Frame || frame.tag.empty()) continue;
        SCOPED_TRACE(describe(frame));
        std::map<int, int> lengths;
        const auto blocks = parseBlockDescriptor(frame.tag);
        for (const ListedBlock& b : blocks.value().blocks)
            lengths[b.command] = b.length;

        std::set<BytePos> covered;
        for (const SettingControl* c : table.frameControls(frame.index)) {
            SCOPED_TRACE(describe(*c));
            if (c->kind == K::CurveButton) {
                EXPECT_TRUE(lengths.count(parseCurveDescriptor(c->tag).value().y.block))
                    << "curve outside its frame's blocks";
            }
            for (const BytePos& b : bytesOf(*c).value_or(std::vector<BytePos>{})) {
                const auto length = lengths.find(b.first);
                ASSERT_NE(length, lengths.end()) << "control outside its frame's blocks";
                EXPECT_LE(b.second, length->second) << "control past the block's end";
                covered.insert(b);
            }
        }
        for (const auto& [block, length] : lengths)
            for (int pos = 1; pos <= length; ++pos)
                EXPECT_TRUE(covered.count({block, pos})) << "block " << block << " byte " << pos;
    }
}

// A control whose block its frame no longer names (a layout re-pointed the frame) is hidden;
// in frames without a descriptor everything shows.
TEST(SettingsTable, ControlsFollowTheBlocksTheirFrameShows) {
    SettingsTable table = SettingsTable::standard();
    const auto shownIn = [&](int frame) {
        int shown = 0;
        for (const SettingControl* c : table.frameControls(frame))
            shown += table.controlShown(*c);
        return shown;
    };
    const int boostControls = static_cast<int>(table.frameControls(26).size());
    EXPECT_EQ(shownIn(26), boostControls);
    table.setTag(K::Frame, 26, "&H5c,13");  // the older unit's boost block
    table.setTag(K::Option, 0, "&H5c,1,0,3");
    EXPECT_TRUE(table.controlShown(*table.find(K::Option, 0)));
    EXPECT_FALSE(table.controlShown(*table.find(K::Option, 1)));
    EXPECT_EQ(shownIn(26), 1);
    EXPECT_EQ(shownIn(9), static_cast<int>(table.frameControls(9).size()));  // a curve too
    EXPECT_EQ(shownIn(38), 2);  // Item Names has no descriptor

    EXPECT_TRUE(table.pageHasVisibleFrame(4));
    for (const SettingControl* f : table.pageFrames(4))
        table.setFrameVisible(f->index, false);
    EXPECT_FALSE(table.pageHasVisibleFrame(4));
}

}  // namespace
}  // namespace tunalyx
