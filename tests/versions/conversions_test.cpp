#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "model/descriptors.h"
#include "sim/default_blocks.h"
#include "sim/in_process_simulator.h"
#include "support/recording_prompts.h"
#include "versions/conversions.h"

namespace tunalyx {
namespace {

class ConversionTest : public ::testing::Test {
protected:
    void load(SimUnitKind kind) { session.image.assign(defaultBlocks(simUnit(kind))); }
    Bytes& slot(std::uint8_t b) { return session.image[b]; }
    [[nodiscard]] std::string name(std::uint8_t b, int pos) {
        return textFromBytes(slot(b), static_cast<std::size_t>(pos - 1), 16);
    }
    [[nodiscard]] bool visible(int frame) const {
        return session.settings.find(ControlKind::Frame, frame)->visible;
    }

    ManualClock clock;
    test::RecordingPrompts prompts;
    InProcessSimulator sim{SimUnitKind::Det1_501, clock};
    Session session{sim.port(), clock, prompts};
};

TEST(HexToBytes, PairsFromTheFirstCharacter) {
    struct Case {
        const char* text;
        Bytes bytes;
    };
    for (const Case& c : {Case{"FC031E", {0xFC, 0x03, 0x1E}}, Case{"d4", {0xD4}},
                          Case{"0C0", {0x0C}}, Case{"F", {}}, Case{"", {}}})
        EXPECT_EQ(HexToBytes(c.text), c.bytes) << c.text;
}

TEST_F(ConversionTest, RoundTripsKeepEveryBlockOfTheSmallerLayout) {
    struct Case {
        SimUnitKind kind;
        void (*there)(Session&, bool);
        void (*back)(Session&, bool);
    };
    for (const Case& c : {Case{SimUnitKind::Det1_170B, Convert170To5, Convert5To170},
                          Case{SimUnitKind::Det2_312A, Convert3To5, Convert5To3}}) {
        load(c.kind);
        const PacketImage before = session.image;
        // Without the display step the function select bytes are not rearranged either way.
        c.there(session, true);
        c.back(session, true);
        for (const BlockSpec& b : familyLayout(simUnit(c.kind).layout).readAll)
            EXPECT_EQ(slot(b.command), before[b.command]) << int(b.command);
    }
    // The family 3 trip is pure moves: nothing is left behind in the family 5 slots.
    for (std::uint8_t b : {0xD6, 0xCE, 0xD5, 0xD8, 0xD9, 0xDC, 0xDD})
        EXPECT_TRUE(slot(b).empty()) << int(b);
    EXPECT_TRUE(prompts.messages().empty());
}

TEST_F(ConversionTest, Family170To5BuildsBoostControlAndDefaults) {
    load(SimUnitKind::Det1_170B);
    const PacketImage old = session.image;
    Convert170To5(session, false);
    ASSERT_TRUE(prompts.messages().empty());

    // Boost kit flag, a zero byte, switch position and targets, the second solenoid row.
    const Bytes& b5c = old[0x5C];
    EXPECT_EQ(slot(0xAB), (Bytes{old[0x65][0], 0x00, b5c[0], b5c[1], b5c[2], b5c[3], b5c[4], b5c[9],
                                 b5c[10], b5c[11], b5c[12]}));
    EXPECT_EQ(slot(0xD5), b5c);
    EXPECT_EQ(slot(0x86), old[0x56]);
    EXPECT_EQ(slot(0x81), old[0x52]);
    for (std::uint8_t gone : {0x56, 0x52, 0x5C, 0x60, 0x65, 0x5D, 0x51, 0x5A, 0x69})
        EXPECT_TRUE(slot(gone).empty()) << int(gone);

    // Function 3 of the older list is dropped, 4 and 5 move up, the new 5 is off.
    const Bytes& fs = slot(0xD6);
    const Bytes& was = old[0x65];
    EXPECT_EQ(Bytes(fs.begin(), fs.begin() + 5), (Bytes{was[0], was[1], was[3], was[4], 0xFF}));
    EXPECT_EQ(name(0xD6, 22), "2.Inj/AirF Warn.");
    EXPECT_EQ(name(0xD6, 70), "5.O2 Sensor Reg.");

    EXPECT_EQ(slot(0xA9), (Bytes{fs[2], 0x3C, 0x00, 0x09}));
    Bytes accel = HexToBytes("7D644B3219");
    accel.insert(accel.end(), old[0x5D].begin(), old[0x5D].end());
    EXPECT_EQ(slot(0x93), accel);
    EXPECT_EQ(slot(0xAD), bytesFromText("        "));

    // Every block family 5 writes is now there at its listed length, except the air flow
    // curves, the few blocks with no counterpart and no default, and the two that come over
    // from the older layout's shorter blocks as they are.
    const std::set<int> noDefault = {0x8C, 0x95, 0x99, 0xA0, 0xA1, 0xA2,
                                     0xA3, 0xA4, 0xA5, 0x8B, 0x8F};
    for (const BlockSpec& b : familyLayout(LayoutFamily::Family5).writeAll) {
        if (!noDefault.count(b.command)) {
            EXPECT_EQ(slot(b.command).size(), b.length) << int(b.command);
        }
    }
}

TEST_F(ConversionTest, Family170To5WithoutDisplayKeepsFunctionSelectAsItCame) {
    load(SimUnitKind::Det1_170B);
    const Bytes functions = slot(0x65);
    Convert170To5(session, true);
    EXPECT_EQ(slot(0xD6), functions);
}

TEST_F(ConversionTest, Family5To170LeavesNoNewerBlocks) {
    load(SimUnitKind::Det1_501);
    const PacketImage old = session.image;
    Convert5To170(session, false);
    ASSERT_TRUE(prompts.messages().empty());

    for (std::uint8_t b = 0xA7; b <= 0xAD; ++b)
        EXPECT_TRUE(slot(b).empty()) << int(b);
    const Bytes& ab = old[0xAB];
    const Bytes& d5 = old[0xD5];
    EXPECT_EQ(slot(0x5C), (Bytes{ab[2], ab[3], ab[4], ab[5], ab[6], d5[5], d5[6], d5[7], d5[8],
                                 ab[7], ab[8], ab[9], ab[10]}));
    EXPECT_EQ(slot(0x5D), Bytes(old[0x93].begin() + 5, old[0x93].end()));

    // Function 2 (air flow and injector warning) becomes the older list's 2 and 3.
    const Bytes& fs = slot(0x65);
    const Bytes& was = old[0xD6];
    EXPECT_EQ(Bytes(fs.begin(), fs.begin() + 5), (Bytes{was[0], was[1], was[1], was[2], was[3]}));
    EXPECT_EQ(name(0x65, 38), "3.Injector Warn.");
}

TEST_F(ConversionTest, FailureShowsItsMessageAndKeepsWhatMoved) {
    load(SimUnitKind::Det1_170B);
    const Bytes map = slot(0x56);
    slot(0x5C).resize(9);  // too short for the second solenoid row
    Convert170To5(session, false);
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].text, "Error converting from 170 data");
    EXPECT_EQ(prompts.messages()[0].icon, MessageIcon::Critical);
    EXPECT_EQ(slot(0x86), map);
    EXPECT_TRUE(slot(0xAB).empty());
    EXPECT_FALSE(slot(0x65).empty());

    prompts.clear();
    session.image.clear();
    Convert5To170(session, false);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Error converting to 3.11 data"});
}

TEST_F(ConversionTest, SensorLabelSets) {
    const auto& names = session.trace.TraceName;
    const auto& captions = session.monitorCaptions;
    const auto general10 = [&] { return session.settings.find(ControlKind::Caption, 10)->caption; };

    SetLabelsPressure(session);
    EXPECT_FALSE(visible(28));
    for (int f : {1, 29, 2, 31})
        EXPECT_TRUE(visible(f)) << f;
    EXPECT_TRUE(session.reCalcBaseEnabled);
    EXPECT_EQ(general10(), "PIM (cPa)");
    const std::map<int, const char*> pressure = {{22, "PimVolt"}, {1, "PIM"},  {2, "PIM V"},
                                                 {3, "TPS V"},    {15, "???"}, {18, "???"}};
    for (const auto& [item, n] : pressure)
        EXPECT_EQ(names[static_cast<std::size_t>(item)], n) << item;
    EXPECT_EQ(captions.lblMonitor[2], "PimVolt");
    EXPECT_EQ(captions.lblTuning[18], "???");

    SetLabelsAirFlow(session);
    EXPECT_TRUE(visible(28));
    for (int f : {1, 29, 2, 31, 132})
        EXPECT_FALSE(visible(f)) << f;
    EXPECT_FALSE(session.reCalcBaseEnabled);
    EXPECT_EQ(general10(), "AirFlow");
    const std::map<int, const char*> airFlow = {
        {22, "AirFlow"},  {1, "Load"},   {2, "MAFS1 V"},
        {15, "MAFS Act"}, {18, "TPS V"}, {3, "TPS V"}};  // item 3 is not named by the air flow set
    for (const auto& [item, n] : airFlow)
        EXPECT_EQ(names[static_cast<std::size_t>(item)], n) << item;
    EXPECT_EQ(captions.lblTuning[2], "MAFS1");
    EXPECT_EQ(captions.lblTuning[15], "MAFS Activity");

    session.trace.InitTraceItemLookup();
    EXPECT_EQ(names[3], "MAFS2 V");
}

TEST_F(ConversionTest, DescriptorSetsAreMirrorImages) {
    SetLayout170(session);
    EXPECT_EQ(session.maps.descriptor(kInjMap).block, 0x56);
    EXPECT_EQ(session.maps.descriptor(kIgnMap).block, 0x52);
    EXPECT_EQ(session.maps.MapRefBlock, 0x51);
    EXPECT_EQ(session.live.sensor, 0x6A);
    EXPECT_EQ(session.airFlowBlock, 0x5A);
    EXPECT_EQ(session.functionSelectBlock, 0x65);
    const auto tag = [&](ControlKind kind, int index) {
        return session.settings.find(kind, index)->tag;
    };
    EXPECT_EQ(tag(ControlKind::Option, 7), "&H5c,1,2,3");
    EXPECT_EQ(tag(ControlKind::Text, 259), "&H5c,11,1,1,0,0");
    EXPECT_EQ(tag(ControlKind::Label, 6), "&H6c,1,5");
    EXPECT_EQ(tag(ControlKind::Text, 258), "&H5b,23,2,0.004,-131.072,0.00");

    // Against the start-up table (the standard set) the older set moves exactly the mirrored
    // blocks, and the standard set brings back every Tag as it was.
    const SettingsTable startup = SettingsTable::standard();
    const std::map<int, std::set<int>> mirror = {{0x5C, {0xAB, 0xD5}}, {0x60, {0x8B}},
                                                 {0x6B, {0xF3}},       {0x6C, {0xF5}},
                                                 {0x65, {0xD6}},       {0x5B, {0x8D}}};
    const auto firstBlock = [](const std::string& t) {
        return std::stoi(t.substr(2, t.find(',') - 2), nullptr, 16);
    };
    const auto& now = session.settings.controls();
    ASSERT_EQ(now.size(), startup.controls().size());
    int changed = 0;
    for (std::size_t i = 0; i < now.size(); ++i) {
        const std::string& before = startup.controls()[i].tag;
        if (now[i].tag == before) continue;
        ++changed;
        const int older = firstBlock(now[i].tag);
        ASSERT_TRUE(mirror.count(older)) << now[i].tag;
        EXPECT_TRUE(mirror.at(older).count(firstBlock(before))) << now[i].tag << " " << before;
        if (now[i].kind != ControlKind::Frame) {
            EXPECT_EQ(splitFields(now[i].tag).size(), splitFields(before).size()) << now[i].tag;
        }
    }
    EXPECT_EQ(changed, 38 + 12);

    SetLayoutStandard(session);
    EXPECT_EQ(session.maps.descriptor(kInjMap).block, 0x86);
    EXPECT_EQ(session.maps.MapRefBlock, 0x8A);
    EXPECT_EQ(session.live.basic, 0xDA);
    EXPECT_EQ(session.functionSelectBlock, 0xD6);
    for (std::size_t i = 0; i < now.size(); ++i)
        EXPECT_EQ(now[i].tag, startup.controls()[i].tag) << now[i].caption;
}

}  // namespace
}  // namespace tunalyx
