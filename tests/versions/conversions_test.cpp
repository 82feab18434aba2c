#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "model/descriptors.h"
#include "session/session.h"
#include "sim/default_blocks.h"
#include "sim/in_process_simulator.h"
#include "support/recording_prompts.h"
#include "transfer/data_file.h"
#include "versions/conversions.h"
#include "versions/layout_sets.h"

namespace tunalyx {
namespace {

class ConversionTest : public ::testing::Test {
protected:
    void load(SimUnitKind kind) { session.image.assign(defaultBlocks(simUnit(kind))); }
    Bytes& slot(std::uint8_t b) { return session.image[b]; }

    ManualClock clock;
    test::RecordingPrompts prompts;
    InProcessSimulator sim{SimUnitKind::Det1_501, clock};
    Session session{sim.port(), clock, prompts};
    PacketImage& image = session.image;
};

TEST(HexToBytes, PairsFromTheFirstCharacter) {
    const std::pair<const char*, Bytes> cases[] = {
        {"FC031E", {0xFC, 0x03, 0x1E}}, {"d4", {0xD4}}, {"0C0", {0x0C}}, {"F", {}}, {"", {}}};
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(HexToBytes(text), bytes) << text;
}

TEST_F(ConversionTest, RoundTripsKeepEveryBlockOfTheSmallerLayout) {
    using Step = bool (*)(PacketImage&, UserPrompts&, bool);
    const std::tuple<SimUnitKind, Step, Step> trips[] = {
        {SimUnitKind::Det1_170B, Convert170To5, Convert5To170},
        {SimUnitKind::Det2_312A, Convert3To5, Convert5To3}};
    for (const auto& [kind, there, back] : trips) {
        load(kind);
        const PacketImage before = session.image;
        EXPECT_TRUE(there(image, prompts, true));
        // Without the display step function select comes over exactly as it was.
        EXPECT_EQ(slot(0xD6), before[0x65]);
        back(image, prompts, true);
        for (const ListedBlock& b : familyLayout(simUnit(kind).layout).readAll)
            EXPECT_EQ(slot(b.command), before[b.command]) << int(b.command);
        // The family 3 trip is pure moves: nothing is left behind in the family 5 slots.
        EXPECT_TRUE(kind != SimUnitKind::Det2_312A || session.image == before);
    }
    EXPECT_TRUE(prompts.messages().empty());
}

// Every constant of the two conversions through the older layout, pinned byte by byte: a family 5
// tune to 1.70 and back, with the display step (names) both ways.
TEST_F(ConversionTest, GoldenFamily5ThroughTheOlderLayoutAndBack) {
    const auto read = [](const std::string& name) {
        std::ifstream in(std::string(TUNALYX_TEST_DATA_DIR) + "/" + name, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        PacketImage result;
        PacketDirty dirty;
        std::string notes;
        readDataFileText(text, result, dirty, notes);
        return result;
    };
    const auto expectImage = [](const PacketImage& actual, const PacketImage& expected) {
        for (int b = 0; b < PacketImage::kSlotCount; ++b) {
            const auto block = static_cast<std::uint8_t>(b);
            EXPECT_EQ(hexDump(actual[block]), hexDump(expected[block])) << "block " << hexText(b);
        }
    };
    image = read("family5.dat");
    ASSERT_FALSE(image[0xD6].empty());
    Convert5To170(image, prompts, false);
    expectImage(image, read("family5_as_170.dat"));
    Convert170To5(image, prompts, false);
    expectImage(image, read("family5_as_170_as_5.dat"));
    EXPECT_TRUE(prompts.messages().empty());
}

TEST_F(ConversionTest, FailureShowsItsMessageAndKeepsWhatMoved) {
    load(SimUnitKind::Det1_170B);
    const Bytes map = slot(0x56);
    slot(0x5C).resize(9);  // too short for the second solenoid row
    EXPECT_FALSE(Convert170To5(image, prompts, false));
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].text, "Error converting from 170 data");
    EXPECT_EQ(slot(0x86), map);
    EXPECT_TRUE(slot(0xAB).empty());
    EXPECT_FALSE(slot(0x65).empty());

    prompts.clear();
    session.image.clear();
    EXPECT_FALSE(Convert5To170(image, prompts, false));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Error converting to 3.11 data"});
}

// The two sensor sets swap the frames of their sensor and rename the items, in the monitor's
// captions too.
TEST_F(ConversionTest, SensorLabelSetsRenameItemsAndSwapFrames) {
    const auto& names = session.trace.TraceName;
    for (bool pressure : {true, false}) {
        SCOPED_TRACE(pressure ? "pressure" : "air flow");
        (pressure ? SetLabelsPressure : SetLabelsAirFlow)(session.settings, session.trace,
                                                          session.monitorCaptions);
        EXPECT_EQ(session.settings.find(ControlKind::Frame, 28)->visible, !pressure);
        EXPECT_EQ(session.settings.find(ControlKind::Frame, 1)->visible, pressure);
        EXPECT_EQ(names[22], pressure ? "PimVolt" : "AirFlow");
        EXPECT_EQ(names[3], "TPS V");  // the air flow set leaves it as the pressure set named it
        EXPECT_EQ(session.monitorCaptions.lblMonitor[2], names[22]);
        EXPECT_EQ(session.monitorCaptions.lblTuning[15], pressure ? "???" : "MAFS Activity");
    }
}

// Each control of the older descriptor set reads the byte the conversion to family 5 moves to
// where the standard set points it; the standard set brings back every start-up Tag.
TEST_F(ConversionTest, DescriptorSetsAreMirrorImagesOfTheConversion) {
    load(SimUnitKind::Det1_170B);
    std::uint8_t next = 1;  // every byte the sets address told apart
    for (std::uint8_t b : {0x5B, 0x5C, 0x60, 0x65, 0x6B, 0x6C})
        for (std::uint8_t& byte : slot(b))
            byte = next++;
    const PacketImage old = session.image;
    Convert170To5(image, prompts, true);
    slot(0xF3) = old[0x6B];  // the identity is not converted: newer units keep it in 0xF3/0xF5
    slot(0xF5) = old[0x6C];

    // "&Hbb,pos" and the rest of a control's Tag; the byte that "&Hbb,pos" points at.
    const auto split = [](const std::string& t) {
        const auto at = t.find(',', t.find(',') + 1);
        return std::pair(t.substr(0, at), t.substr(at));
    };
    const auto byteAt = [](const PacketImage& of, const std::string& blockPos) {
        const LabelDescriptor d = parseLabelDescriptor(blockPos + ",1").value();
        return of[static_cast<std::uint8_t>(d.block)].at(static_cast<std::size_t>(d.pos - 1));
    };
    const SettingsTable startup = SettingsTable::standard();
    SetLayout170(session.settings, session.mapLayout);
    const auto& now = session.settings.controls();
    ASSERT_EQ(now.size(), startup.controls().size());
    int changed = 0;
    for (std::size_t i = 0; i < now.size(); ++i) {
        const std::string& older = now[i].tag;
        const std::string& newer = startup.controls()[i].tag;
        if (older == newer) continue;
        ++changed;
        SCOPED_TRACE(older + " / " + newer);
        if (now[i].kind == ControlKind::Frame) {
            const BlockList from = parseBlockDescriptor(older).value().blocks;
            const BlockList to = parseBlockDescriptor(newer).value().blocks;
            for (const ListedBlock& o : from)
                EXPECT_TRUE(std::any_of(to.begin(), to.end(), [&](const ListedBlock& n) {
                    return n.length == o.length && slot(n.command) == old[o.command];
                }));
        } else {
            EXPECT_EQ(split(older).second, split(newer).second);  // scale, value, mask, length
            EXPECT_EQ(byteAt(old, split(older).first), byteAt(session.image, split(newer).first));
        }
    }
    EXPECT_EQ(changed, 38 + 12);  // every pair and injector box is there, and differs

    SetLayoutStandard(session.settings, session.mapLayout);
    for (std::size_t i = 0; i < now.size(); ++i)
        EXPECT_EQ(now[i].tag, startup.controls()[i].tag) << now[i].caption;
}

}  // namespace
}  // namespace tunalyx
