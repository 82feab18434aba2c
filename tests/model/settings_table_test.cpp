#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

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

// The block of a curve's Y element: "N[,flags];X;Y" with Y = "&Hbb,pos,...".
std::optional<int> curveBlock(const std::string& tag) {
    const auto parts = splitFields(tag, ';');
    if (parts.size() != 3) return std::nullopt;
    const auto y = splitFields(parts[2]);
    if (y.size() != 7) return std::nullopt;
    const auto block = parseLabelDescriptor(std::string(y[0]) + ",1,1");
    return block ? std::optional<int>(block->block) : std::nullopt;
}

// The bytes a control shows and edits on the page (none for frames, captions, notes and curve
// buttons, which edit through a dialog); nullopt when its Tag does not parse as its kind's.
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
            if (curveBlock(c.tag)) return run(0, 0, 0);
            break;
        case K::Notes:
        case K::Caption:
            if (c.tag.empty()) return run(0, 0, 0);
            break;
    }
    return std::nullopt;
}

TEST(SettingsTable, EveryTagParsesAndEveryControlSitsInAFrameOnItsPage) {
    const SettingsTable table = SettingsTable::standard();
    std::set<std::pair<ControlKind, int>> seen;
    std::map<int, const SettingControl*> frames;
    std::set<int> curves;
    int withoutIndex = 0;
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
        if (c.kind == K::CurveButton) curves.insert(c.index);
        // Text1 and txtNotes are the only controls outside a control array.
        EXPECT_EQ(c.index < 0, c.kind == K::TunerString || c.kind == K::Notes);
        withoutIndex += c.index == -1;
    }
    EXPECT_EQ(withoutIndex, 2);
    EXPECT_EQ(curves.size(), 35u);  // cmdEditCurve(0..34)
    EXPECT_EQ(*curves.rbegin(), 34);
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
                EXPECT_TRUE(lengths.count(curveBlock(c->tag).value_or(-1)))
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

// Before any identification the pages show the frames of the blocks Read All starts with, at
// the lengths it reads them; the other layouts' alternatives start hidden.
TEST(SettingsTable, StartUpShowsExactlyTheFramesOfTheStartUpReadAll) {
    std::map<int, int> read;
    for (const ListedBlock& b : startupReadAllList())
        read[b.command] = b.length;
    const SettingsTable table = SettingsTable::standard();
    for (const SettingControl& f : table.controls()) {
        if (f.kind != K::Frame || f.tag.empty()) continue;
        bool readAtStartUp = true;
        const auto blocks = parseBlockDescriptor(f.tag);
        for (const ListedBlock& b : blocks.value().blocks)
            readAtStartUp = readAtStartUp && read.count(b.command) && read[b.command] == b.length;
        EXPECT_EQ(f.visible, readAtStartUp) << describe(f);
    }
}

// The version layer rewrites Tags by index (the descriptor sets' controls are checked against
// this table where the sets are), and shows or hides these frames and renames the axis caption.
TEST(SettingsTable, FramesAndCaptionTheLayoutsAddressAreThere) {
    const SettingsTable table = SettingsTable::standard();
    const std::map<int, std::string> frames = {
        {1, "&H7A,16"},  {2, "&HBC,20,&HBD,1"}, {19, "&HBA,12"},  {23, "&HCB,107"}, {28, "&H8B,12"},
        {29, "&HB9,12"}, {31, "&HBB,8"},        {32, "&HCE,107"}, {132, "&H5A,107"}};
    for (const auto& [index, tag] : frames) {
        const SettingControl* f = table.find(K::Frame, index);
        ASSERT_NE(f, nullptr) << index;
        EXPECT_EQ(f->tag, tag);
    }
    const SettingControl* axis = table.find(K::Caption, 10);
    ASSERT_NE(axis, nullptr);
    EXPECT_EQ(axis->caption, "AirFlow");
    EXPECT_EQ(table.find(K::Frame, axis->frame)->tag, "&H8A,80");
}

TEST(SettingsTable, TagsGivenAsExamplesAndTelpodControlsArePresent) {
    const SettingsTable table = SettingsTable::standard();
    std::set<std::pair<ControlKind, std::string>> present;
    for (const SettingControl& c : table.controls())
        present.insert({c.kind, c.tag});
    const std::map<ControlKind, std::vector<std::string>> expected = {
        {K::Text,
         {"&H8D,19,2,0.004,-131.072,0.00", "&HCB,99,1,0.390625,50,0.0", "&HAD,2,129,-1,0,0",
          "&HAD,3,1, 0.00390625,0.5,0.00"}},
        {K::CheckBit, {"&HAD,1,128", "&HAD,1,1", "&HAD,1,2"}},
        {K::Check, {"&HAC,1,255"}},
        {K::Option, {"&H5A,1,4,7"}},
        {K::Label, {"&HAD,1,8"}},
        {K::TunerString, {"&HAD,1,8"}}};
    for (const auto& [kind, tags] : expected)
        for (const std::string& tag : tags)
            EXPECT_TRUE(present.count({kind, tag})) << tag;
}

}  // namespace
}  // namespace tunalyx
