#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "model/descriptors.h"
#include "model/settings_table.h"

namespace tunalyx {
namespace {

using BytePos = std::pair<int, int>;  // block, 1-based position

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

// The bytes a control shows and edits on the page; curve buttons edit through a dialog.
std::vector<BytePos> bytesOf(const SettingControl& c) {
    auto run = [](int block, int pos, int length) {
        std::vector<BytePos> out;
        for (int i = 0; i < length; ++i)
            out.emplace_back(block, pos + i);
        return out;
    };
    switch (c.kind) {
        case ControlKind::Text:
            if (auto d = parseParamDescriptor(c.tag))
                return run(d->block, d->pos, d->type == kTypeUnsigned16 ? 2 : 1);
            break;
        case ControlKind::Check:
            if (auto d = parseCheckDescriptor(c.tag)) return run(d->block, d->pos, 1);
            break;
        case ControlKind::CheckBit:
            if (auto d = parseBitDescriptor(c.tag)) return run(d->block, d->pos, 1);
            break;
        case ControlKind::Option:
            if (auto d = parseOptionDescriptor(c.tag)) return run(d->block, d->pos, 1);
            break;
        case ControlKind::Label:
        case ControlKind::TunerString:
            if (auto d = parseLabelDescriptor(c.tag)) return run(d->block, d->pos, d->length);
            break;
        default:
            break;
    }
    return {};
}

TEST(SettingsTable, EveryTagParsesWithTheParserOfItsKind) {
    const SettingsTable table = SettingsTable::standard();
    for (const SettingControl& c : table.controls()) {
        SCOPED_TRACE(describe(c));
        switch (c.kind) {
            case ControlKind::Frame:
                EXPECT_TRUE(c.tag.empty() || parseBlockDescriptor(c.tag));
                break;
            case ControlKind::Text: {
                const auto d = parseParamDescriptor(c.tag);
                ASSERT_TRUE(d);
                EXPECT_TRUE(d->type == kTypeUnsigned8 || d->type == kTypeSigned8 ||
                            d->type == kTypeUnsigned16);
                break;
            }
            case ControlKind::Check:
                EXPECT_TRUE(parseCheckDescriptor(c.tag));
                break;
            case ControlKind::CheckBit:
                EXPECT_TRUE(parseBitDescriptor(c.tag));
                break;
            case ControlKind::Option:
                EXPECT_TRUE(parseOptionDescriptor(c.tag));
                break;
            case ControlKind::Label:
            case ControlKind::TunerString:
                EXPECT_TRUE(parseLabelDescriptor(c.tag));
                break;
            case ControlKind::CurveButton:
                EXPECT_TRUE(curveBlock(c.tag));
                break;
            case ControlKind::Notes:
            case ControlKind::Caption:
                EXPECT_TRUE(c.tag.empty());
                break;
        }
    }
}

TEST(SettingsTable, RowsFormPagesOfFramesWithUniqueControls) {
    const SettingsTable table = SettingsTable::standard();
    std::set<std::pair<ControlKind, int>> seen;
    std::map<int, const SettingControl*> frames;
    std::set<int> curves;
    int tunerStrings = 0, notes = 0;
    for (const SettingControl& c : table.controls()) {
        SCOPED_TRACE(describe(c));
        EXPECT_TRUE(seen.insert({c.kind, c.index}).second) << "duplicate control";
        EXPECT_GE(c.page, 1);
        EXPECT_LE(c.page, 5);
        if (c.kind == ControlKind::Frame) {
            EXPECT_EQ(c.frame, -1);
            frames[c.index] = &c;
            continue;
        }
        const auto frame = frames.find(c.frame);  // a frame comes before its controls
        ASSERT_NE(frame, frames.end());
        EXPECT_EQ(c.page, frame->second->page);
        EXPECT_TRUE(c.visible);
        if (c.kind == ControlKind::CurveButton) curves.insert(c.index);
        if (c.kind == ControlKind::TunerString || c.kind == ControlKind::Notes) {
            EXPECT_EQ(c.index, -1);
            ++(c.kind == ControlKind::Notes ? notes : tunerStrings);
        } else {
            EXPECT_GE(c.index, 0);
        }
    }
    EXPECT_EQ(curves.size(), 35u);
    EXPECT_EQ(*curves.begin(), 0);
    EXPECT_EQ(*curves.rbegin(), 34);
    EXPECT_EQ(tunerStrings, 1);
    EXPECT_EQ(notes, 1);
}

// Every byte a frame reads is visible and editable in that frame, and nothing in a frame
// addresses a block the frame's popup Read would not refresh.
TEST(SettingsTable, EveryByteOfEveryFrameBlockIsShownInItsFrame) {
    const SettingsTable table = SettingsTable::standard();
    for (const SettingControl& frame : table.controls()) {
        if (frame.kind != ControlKind::Frame || frame.tag.empty()) continue;
        SCOPED_TRACE(describe(frame));
        const auto blocks = parseBlockDescriptor(frame.tag);
        ASSERT_TRUE(blocks);
        std::map<int, int> lengths;
        for (const BlockSpec& b : blocks->blocks)
            lengths[b.command] = b.length;

        std::set<BytePos> covered;
        for (const SettingControl* c : table.frameControls(frame.index)) {
            SCOPED_TRACE(describe(*c));
            if (c->kind == ControlKind::CurveButton) {
                const auto block = curveBlock(c->tag);
                ASSERT_TRUE(block);
                EXPECT_TRUE(lengths.count(*block)) << "curve outside its frame's blocks";
            }
            for (const BytePos& b : bytesOf(*c)) {
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

TEST(SettingsTable, FramesHaveTheirCaptionsBlocksPagesAndStartUpVisibility) {
    struct Frame {
        int index;  // -1: any index the table chose
        std::string caption;
        std::string tag;
        int page;
        bool visible;
    };
    const std::vector<Frame> expected = {
        {26, "Boost Control", "&HAB,11,&HD5,13", 1, true},
        {-1, "Air-Flow Warn", "&HA7,4", 1, true},
        {28, "Rev / Idle", "&H8B,12", 1, true},
        {1, "Rev / Idle", "&H7A,16", 1, false},
        {35, "Version", "&HF3,8,&HF5,5", 1, true},
        {-1, "Protect", "&HAC,10", 1, true},
        {-1, "Injector Warn", "&HA8,4", 1, true},
        {-1, "Knock Warn", "&HA9,4", 1, true},
        {-1, "O2 Feedback", "&HAA,3", 1, true},
        {36, "Function Select", "&HD6,85", 1, true},
        {-1, "Cranking (mS)", "&H8E,12", 2, true},
        {-1, "Cranking (mS)", "&H5E,12", 2, false},
        {-1, "Water Temp Correction", "&H8F,14", 2, true},
        {-1, "Water Temp Correction", "&H5F,14", 2, false},
        {-1, "Accelerate Injector (mS)", "&H93,25", 2, true},
        {-1, "Accelerate Injector (mS)", "&H5D,20", 2, false},
        {-1, "Inj vs Accel TPS1", "&H94,9", 2, true},
        {-1, "INJ vs Air Temp and Boost (max)", "&H91,8", 2, true},
        {-1, "INJ vs Water Temp and Boost (max)", "&H90,6", 2, true},
        {29, "Inj vs AirTemp", "&HB9,12", 2, false},
        {-1, "INJ vs TPS", "&HBA,12", 2, false},
        {-1, "INJ Lag (mS) vs BatV", "&H92,12", 2, true},
        {6, "Injectors", "&H8D,24", 2, true},
        {-1, "Map Reference", "&H8A,80", 3, true},
        {-1, "Map Reference", "", 3, false},
        {2, "PIM scale, offset", "&HBC,20,&HBD,1", 3, false},
        {32, "Air Flow", "&HCE,107", 3, true},
        {132, "Air Flow", "&H5A,107", 3, false},
        {-1, "Air Flow Curves", "", 3, true},
        {-1, "Inj Adjust", "&HCB,107", 3, false},
        {-1, "IGN vs BatV", "&H9C,6", 4, true},
        {-1, "IGN Dwell vs RPM", "&H9B,6", 4, true},
        {31, "IGN vs TPS", "&HBB,8", 4, false},
        {-1, "IGN vs AirT", "&H9A,6", 4, true},
        {-1, "IGN vs WaterT", "&H98,4", 4, true},
        {-1, "IGN vs WaterT Cool", "&H96,4", 4, true},
        {-1, "Boost vs IGN S.F.", "&H97,2", 4, true},
        {-1, "Item Names", "", 5, true},
        {-1, "Telpod Custom Features (Key Off / Key On for changes to take effect)", "", 5, true},
        {-1, "Notes", "", 5, true},
    };
    const SettingsTable table = SettingsTable::standard();
    std::vector<const SettingControl*> frames;
    for (const SettingControl& c : table.controls())
        if (c.kind == ControlKind::Frame) frames.push_back(&c);
    EXPECT_EQ(frames.size(), expected.size());
    for (const Frame& e : expected) {
        SCOPED_TRACE(e.caption + " " + e.tag);
        const auto match = std::find_if(frames.begin(), frames.end(), [&](auto* f) {
            return f->caption == e.caption && f->tag == e.tag;
        });
        ASSERT_NE(match, frames.end());
        if (e.index >= 0) {
            EXPECT_EQ((*match)->index, e.index);
        }
        EXPECT_EQ((*match)->page, e.page);
        EXPECT_EQ((*match)->visible, e.visible);
        frames.erase(match);
    }
}

// The layouts rewrite these by index; each must start with the family 5 Tag.
TEST(SettingsTable, ControlsTheLayoutsRewriteStartWithTheirStandardTags) {
    const std::vector<std::tuple<ControlKind, int, std::string>> expected = {
        {ControlKind::Frame, 26, "&HAB,11,&HD5,13"},
        {ControlKind::Option, 0, "&HAB,3,0,3"},
        {ControlKind::Option, 1, "&HAB,3,1,3"},
        {ControlKind::Option, 7, "&HAB,3,2,3"},
        {ControlKind::Option, 8, "&HAB,3,3,3"},
        {ControlKind::Text, 188, "&HAB,4,1,0.05,0,0.00"},
        {ControlKind::Text, 189, "&HAB,5,1,0.05,0,0.00"},
        {ControlKind::Text, 190, "&HAB,6,1,0.05,0,0.00"},
        {ControlKind::Text, 191, "&HAB,7,1,0.05,0,0.00"},
        {ControlKind::Text, 10, "&HAB,8,1,1,0,0"},
        {ControlKind::Text, 259, "&HAB,9,1,1,0,0"},
        {ControlKind::Text, 260, "&HAB,10,1,1,0,0"},
        {ControlKind::Text, 11, "&HAB,11,1,1,0,0"},
        {ControlKind::Text, 192, "&HD5,6,1,1,0,0"},
        {ControlKind::Text, 193, "&HD5,7,1,1,0,0"},
        {ControlKind::Text, 194, "&HD5,8,1,1,0,0"},
        {ControlKind::Text, 195, "&HD5,9,1,1,0,0"},
        {ControlKind::Frame, 28, "&H8B,12"},
        {ControlKind::Text, 196, "&H8B,1,2,1,0,0"},
        {ControlKind::Text, 197, "&H8B,3,2,1,0,0"},
        {ControlKind::Text, 198, "&H8B,5,2,1,0,0"},
        {ControlKind::Text, 199, "&H8B,7,2,1,0,0"},
        {ControlKind::Text, 200, "&H8B,9,2,1,0,0"},
        {ControlKind::Frame, 35, "&HF3,8,&HF5,5"},
        {ControlKind::Label, 5, "&HF3,1,8"},
        {ControlKind::Label, 6, "&HF5,1,5"},
        {ControlKind::Frame, 36, "&HD6,85"},
        {ControlKind::Label, 7, "&HD6,6,16"},
        {ControlKind::Label, 8, "&HD6,22,16"},
        {ControlKind::Label, 9, "&HD6,38,16"},
        {ControlKind::Label, 10, "&HD6,54,16"},
        {ControlKind::Label, 11, "&HD6,70,16"},
        {ControlKind::Check, 0, "&HD6,1,0"},
        {ControlKind::Check, 1, "&HD6,2,0"},
        {ControlKind::Check, 2, "&HD6,3,0"},
        {ControlKind::Check, 3, "&HD6,4,0"},
        {ControlKind::Check, 4, "&HD6,5,0"},
        {ControlKind::Frame, 6, "&H8D,24"},
        {ControlKind::Frame, 32, "&HCE,107"},
        {ControlKind::Frame, 132, "&H5A,107"},
        {ControlKind::Label, 100, "&H69,1,80"},
        {ControlKind::Label, 101, "&HDD,1,80"},
    };
    const SettingsTable table = SettingsTable::standard();
    for (const auto& [kind, index, tag] : expected) {
        SCOPED_TRACE("kind " + std::to_string(static_cast<int>(kind)) + " index " +
                     std::to_string(index));
        const SettingControl* c = table.find(kind, index);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->tag, tag);
    }

    // The injector boxes keep everything after the block when the layout moves them.
    std::set<int> injectorPositions;
    for (int index : {70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 257, 258}) {
        const SettingControl* c = table.find(ControlKind::Text, index);
        ASSERT_NE(c, nullptr) << index;
        EXPECT_EQ(c->frame, 6);
        EXPECT_EQ(c->tag.substr(0, 5), "&H8D,") << index;
        injectorPositions.insert(parseParamDescriptor(c->tag)->pos);
    }
    EXPECT_EQ(injectorPositions.size(), 12u);

    const SettingControl* axis = table.find(ControlKind::Caption, 10);
    ASSERT_NE(axis, nullptr);
    EXPECT_EQ(axis->caption, "AirFlow");
    EXPECT_EQ(table.find(ControlKind::Frame, axis->frame)->tag, "&H8A,80");
}

TEST(SettingsTable, TagsGivenAsExamplesAndTelpodControlsArePresent) {
    const std::vector<std::tuple<ControlKind, std::string, std::string>> expected = {
        {ControlKind::Text, "&H8D,19,2,0.004,-131.072,0.00", "Injectors"},
        {ControlKind::Text, "&HCB,99,1,0.390625,50,0.0", "Inj Adjust"},
        {ControlKind::Check, "&HAC,1,255", "Protect"},
        {ControlKind::Option, "&H5A,1,4,7", "Air Flow"},
        {ControlKind::CheckBit, "&HAD,1,128", "Telpod"},
        {ControlKind::CheckBit, "&HAD,1,1", "Telpod"},
        {ControlKind::CheckBit, "&HAD,1,2", "Telpod"},
        {ControlKind::Text, "&HAD,2,129,-1,0,0", "Telpod"},
        {ControlKind::Text, "&HAD,3,1, 0.00390625,0.5,0.00", "Telpod"},
        {ControlKind::Label, "&HAD,1,8", "Telpod"},
        {ControlKind::TunerString, "&HAD,1,8", "Telpod"},
    };
    const SettingsTable table = SettingsTable::standard();
    for (const auto& [kind, tag, frameCaption] : expected) {
        SCOPED_TRACE(tag);
        const auto& all = table.controls();
        const auto c = std::find_if(all.begin(), all.end(), [&, kind = kind, tag = tag](auto& x) {
            return x.kind == kind && x.tag == tag;
        });
        ASSERT_NE(c, all.end());
        const SettingControl* frame = table.find(ControlKind::Frame, c->frame);
        EXPECT_EQ(frame->caption.rfind(frameCaption, 0), 0u) << frame->caption;
    }
    const auto& all = table.controls();
    const auto notes =
        std::find_if(all.begin(), all.end(), [](auto& x) { return x.kind == ControlKind::Notes; });
    ASSERT_NE(notes, all.end());
    EXPECT_EQ(table.find(ControlKind::Frame, notes->frame)->caption, "Notes");
}

}  // namespace
}  // namespace tunalyx
