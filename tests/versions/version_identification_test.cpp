#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "session/session.h"
#include "sim/default_blocks.h"
#include "sim/in_process_simulator.h"
#include "support/recording_prompts.h"
#include "support/recording_view.h"
#include "versions/unit_identity.h"
#include "versions/version_identification.h"

namespace tunalyx {
namespace {

class VersionTest : public ::testing::Test {
protected:
    void SetUp() override { connect(SimUnitKind::Det1_501); }

    void connect(SimUnitKind kind) {
        session.reset();
        sim = std::make_unique<InProcessSimulator>(kind, clock);
        ASSERT_TRUE(sim->port().open());
        session = std::make_unique<Session>(sim->port(), clock, prompts);
        session->setView(&view);
        view.calls.clear();
    }
    // As opening a data file does: the image of a unit, identified from itself.
    void open(SimUnitKind kind) {
        session->image.assign(defaultBlocks(simUnit(kind)));
        session->VerNumber.clear();
        ASSERT_TRUE(SR20DET_Version(*session, {.FromPFC = false, .CheckData = false}));
        prompts.clear();
        view.calls.clear();
    }
    [[nodiscard]] std::string text(std::uint8_t b) const {
        return textFromBytes(session->image[b]);
    }
    [[nodiscard]] std::string VerName() const {
        return session->VerName + " " + session->VerNumber + ": ";
    }

    ManualClock clock;
    test::RecordingPrompts prompts;
    test::RecordingView view;
    std::unique_ptr<InProcessSimulator> sim;
    std::unique_ptr<Session> session;
};

TEST_F(VersionTest, EachUnitSelectsItsFamilyLayout) {
    using F = LayoutFamily;
    const std::tuple<SimUnitKind, F, const char*> units[] = {
        {SimUnitKind::Det1_501, F::Family5, "SR20DET1 5.01 "},
        {SimUnitKind::Det2_312A, F::Family3, "SR20DET2 3.12A"},
        {SimUnitKind::T2D_511A, F::FamilyT2D, "SR20T2-D 5.11A"},
        {SimUnitKind::Det1_170B, F::Family170, "SR20DET1 1.70B"}};
    for (const auto& [kind, family, identity] : units) {
        SCOPED_TRACE(identity);
        connect(kind);
        ASSERT_TRUE(SR20DET_Version(
            *session, {.FromPFC = true, .CheckData = false}));  // as Read All calls it
        const FamilyLayout& l = familyLayout(family);
        const Session& s = *session;
        EXPECT_EQ(s.layout.family, family);
        EXPECT_EQ(s.VerName + " " + s.VerNumber, identity);
        // The descriptor set moved the maps and the map reference.
        EXPECT_EQ(std::tuple(s.maps.descriptor(kInjMap).block, s.maps.descriptor(kIgnMap).block,
                             s.maps.MapRefBlock),
                  std::tuple(l.injMapBlock, l.ignMapBlock, l.mapRefBlock));
        EXPECT_EQ(s.trace.TraceName[22], l.pressureSensor ? "PimVolt" : "AirFlow");
        EXPECT_EQ(std::pair(view.count("layoutChanged"), view.count("DisplayAllData")),
                  std::pair(1, 1));
        EXPECT_TRUE(prompts.messages().empty());
    }
    // The older unit was read from 0x6B/0x6C, and 0xF3 emptied.
    EXPECT_EQ(text(0x6B), "SR20DET1");
    EXPECT_TRUE(session->image[0xF3].empty());
}

// Which frames show follows the sensor label set, the descriptor set and the family's own air
// flow frame, and nothing else: not the family shown before, not which blocks a list happens to
// name (the older unit's Version frame reads 0x6B, which its Read All does not list).
TEST_F(VersionTest, FramesFollowTheLayoutSetsOfEachFamily) {
    struct Expected {
        SimUnitKind unit;
        std::vector<int> shown;
        std::vector<int> hidden;
        int emptyPage;  // a page left without any frame, or 0
    };
    const Expected families[] = {
        {SimUnitKind::Det1_170B,
         {35, 26, 28, 36, 6, 109, 111, 113, 120, 132},
         {9, 11, 13, 20, 32, 3, 4, 22, 24, 39, 1, 23},
         4},
        {SimUnitKind::Det1_501, {35, 9, 11, 13, 20, 32, 3, 22, 24, 39}, {109, 111, 132, 1, 23}, 0},
        {SimUnitKind::Det2_312A, {35, 132, 20, 3, 22}, {32, 109, 19}, 0},
        {SimUnitKind::T2D_511A, {35, 11, 1, 29, 2, 31, 19, 23}, {111, 32, 132, 28, 3, 22}, 0},
    };
    for (int round = 0; round < 2; ++round) {
        for (const Expected& e : families) {
            open(e.unit);
            const SettingsTable& table = session->settings;
            for (int f : e.shown)
                EXPECT_TRUE(table.find(ControlKind::Frame, f)->visible) << VerName() << f;
            for (int f : e.hidden)
                EXPECT_FALSE(table.find(ControlKind::Frame, f)->visible) << VerName() << f;
            for (int page = 1; page <= 5; ++page) {
                EXPECT_EQ(table.pageHasVisibleFrame(page), page != e.emptyPage) << VerName();
                std::set<std::string> captions;  // never the same frame twice on a page
                for (const SettingControl* f : table.pageFrames(page))
                    EXPECT_TRUE(!f->visible || captions.insert(f->caption).second)
                        << VerName() << f->caption;
            }
        }
    }
}

TEST_F(VersionTest, UnsupportedUnitIsScannedAndOfferedForSaving) {
    connect(SimUnitKind::Unsupported);
    open(SimUnitKind::Det1_501);
    prompts.answerNext(MessageAnswer::Yes);  // "5" against "4": the conversion question
    session->dirty.set(0x8A);
    EXPECT_FALSE(
        SR20DET_Version(*session, {.FromPFC = true, .CheckData = true}));  // as Read Map calls it
    ASSERT_EQ(prompts.messages().size(), 2u);
    EXPECT_EQ(prompts.messages()[1].text,
              std::string("SR20DET2 version 4.07  is not yet supported.\r\n"
                          "Please complete the following scan then save and email to\r\n") +
                  kSupportEmail);
    EXPECT_EQ(prompts.messages()[1].icon, MessageIcon::Critical);

    // The scan asks for every command byte in turn, then offers its file for saving.
    const auto& requests = sim->ecu().requests();
    ASSERT_GE(requests.size(), 256u);
    for (std::size_t c = 0; c < 256; ++c)
        EXPECT_EQ(requests[requests.size() - 256 + c], Bytes{static_cast<std::uint8_t>(c)});
    EXPECT_EQ(view.count("Caption scan SR20DET2 v4.07 .dat"), 1);
    EXPECT_EQ(view.count("SaveAs"), 1);
    EXPECT_EQ(prompts.progressShown(), std::vector<std::string>{"Scanning"});
    EXPECT_FALSE(prompts.progressVisible());
    EXPECT_EQ(prompts.percents().back(), 100);
    EXPECT_FALSE(session->dirty.any());
    EXPECT_EQ(view.count("Update off"), 1);
    EXPECT_EQ(view.count("cmdReadAll on"), 1);

    // Each reply is kept with its checksum behind its data; the identity found is not taken over.
    const Bytes& ref = session->image[0x8A];
    ASSERT_EQ(ref.size(), 81u);
    EXPECT_EQ(std::accumulate(ref.begin(), ref.end(), 0x8Au + 82) % 256, 0xFFu);
    EXPECT_EQ(textFromBytes(session->image[0xF5], 0, 5), "4.07 ");
    EXPECT_EQ(session->VerNumber, "5.01 ");
    EXPECT_EQ(session->layout.family, LayoutFamily::Family5);
}

TEST_F(VersionTest, CancelledScanKeepsChangedFlags) {
    session->dirty.set(0x8A);
    prompts.cancelAfterProgressSteps(10);
    fullScan(*session);
    const auto& requests = sim->ecu().requests();
    EXPECT_EQ(
        std::count_if(requests.begin(), requests.end(), [](auto& r) { return r.size() == 1; }), 10);
    EXPECT_TRUE(session->dirty.isSet(0x8A));
    EXPECT_FALSE(view.saw("Update off"));
    EXPECT_EQ(view.count("DisplayAllData"), 1);
    EXPECT_FALSE(prompts.busy());
    EXPECT_TRUE(session->image[0x8A].empty());
}

// A unit whose name is no SR20DET's is told so after its name, and asked nothing more.
TEST_F(VersionTest, OtherUnitIsAskedOnlyForItsName) {
    connect(SimUnitKind::NotSr20);
    EXPECT_FALSE(SR20DET_Version(*session, {.FromPFC = true, .CheckData = true}));
    EXPECT_EQ(sim->ecu().requests(), (std::vector<Bytes>{{0xF3}, {0xF3}}));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"This is not an SR20DET PFC"});
    sim->ecu().clearRequestLog();
    const auto id = readUnitIdentity(session->link);
    ASSERT_TRUE(id);
    EXPECT_EQ(id->programName, "RB25DET1");
    EXPECT_FALSE(id->isSr20());
    EXPECT_EQ(sim->ecu().requests(), (std::vector<Bytes>{{0xF3}, {0xF3}}));
}

// Read All and Read Map check the unit against the data in memory before they go on.
TEST_F(VersionTest, UnitCheckedAgainstTheData) {
    using U = SimUnitKind;
    const std::tuple<U, U, bool, const char*, MessageIcon> cases[] = {
        {U::NotSr20, U::Det1_501, false, "This is not an SR20DET PFC", MessageIcon::Critical},
        {U::Det1_501, U::Det1_170B, false,  // another version of the same name: asked, No
         "The current data must be converted to match the PFC version.\r\n"
         "Do you want to proceed?",
         MessageIcon::Question},
        {U::Det1_501, U::T2D_511A, true,
         "D-Jetro data must not be written to a L-Jetro PFC.\r\n"
         "Data will be incorrect or missing.\r\n"
         "You must Open a L-Jetro file, or do a ReadAll.",
         MessageIcon::Exclamation},
        {U::T2D_511A, U::Det1_501, true,
         "L-Jetro data must not be written to an D-Jetro PFC.\r\n"
         "Data will be incorrect or missing.\r\n"
         "You must first Open an D-Jetro file, or do a ReadAll.",
         MessageIcon::Exclamation}};
    for (const auto& [unit, data, goesOn, message, icon] : cases) {
        SCOPED_TRACE(message);
        connect(unit);
        open(data);
        const PacketImage before = session->image;
        const std::string version = session->VerNumber;
        EXPECT_EQ(SR20DET_Version(*session, {.FromPFC = true, .CheckData = true}), goesOn);
        ASSERT_EQ(prompts.messages().size(), 1u);
        EXPECT_EQ(prompts.messages()[0].text, message);
        EXPECT_EQ(prompts.messages()[0].icon, icon);
        EXPECT_EQ(prompts.messages()[0].buttons,
                  icon == MessageIcon::Question ? MessageButtons::YesNo : MessageButtons::Ok);
        if (goesOn) continue;
        EXPECT_EQ(session->image, before);
        EXPECT_EQ(session->VerNumber, version);
        EXPECT_EQ(view.count("layoutChanged"), 0);
    }

    // Answered Yes, the family 3 data is converted for the family 5 unit.
    connect(SimUnitKind::Det1_501);
    open(SimUnitKind::Det2_312A);
    const PacketImage before = session->image;
    prompts.answerNext(MessageAnswer::Yes);
    ASSERT_TRUE(SR20DET_Version(*session, {.FromPFC = true, .CheckData = true}));
    EXPECT_EQ(session->image[0xD6], before[0x65]);
    EXPECT_TRUE(session->image[0x65].empty());
    EXPECT_EQ(session->layout.family, LayoutFamily::Family5);

    // A unit that does not answer fails without a word from identification, and keeps the
    // identity; from the image alone there is nobody to tell.
    const PacketImage converted = session->image;
    prompts.clear();
    sim->port().setBroken(true);
    EXPECT_FALSE(SR20DET_Version(*session, {.FromPFC = true, .CheckData = true}));
    EXPECT_EQ(session->image, converted);
    prompts.clear();
    session->image[0xF3] = bytesFromText("RB25DET1");
    EXPECT_FALSE(SR20DET_Version(*session, {.FromPFC = false, .CheckData = true}));
    EXPECT_TRUE(prompts.messages().empty());
}

TEST_F(VersionTest, EmptyVersionConvertsNothingAndKeepsItemNames) {
    open(SimUnitKind::Det1_501);
    // A family 3 image while set for family 5, opened as a file is.
    BlockStore file = defaultBlocks(simUnit(SimUnitKind::Det2_312A));
    file[0x69] = bytesFromText(std::string(80, 'x'));
    session->image.assign(file);
    session->VerNumber.clear();

    ASSERT_TRUE(SR20DET_Version(*session, {.FromPFC = false, .CheckData = false}));
    EXPECT_EQ(session->image.all(), file);
    EXPECT_EQ(session->layout.family, LayoutFamily::Family3);
    EXPECT_EQ(session->settings.find(ControlKind::Frame, 36)->tag, "&H65,85");
    EXPECT_EQ(session->trace.TraceName[30], "xxxx");
    EXPECT_EQ(std::pair(view.count("layoutChanged"), view.count("DisplayAllData")),
              std::pair(1, 1));

    // With data identified before, the block gets the version's built-in names.
    ASSERT_TRUE(SR20DET_Version(*session, {.FromPFC = false, .CheckData = false}));
    EXPECT_EQ(text(0x69), textFromBytes(defaultBlocks(simUnit(SimUnitKind::Det2_312A))[0x69]));
    EXPECT_EQ(session->trace.TraceName[30], "AF-1");
}

TEST_F(VersionTest, VersionMenuStoresTheIdentityAndConvertsThroughFamily5) {
    using F = LayoutFamily;
    const std::tuple<int, int, std::string, F> items[] = {{0, 0, "SR20DET11.70B", F::Family170},
                                                          {3, 2, "SR20DET53.12A", F::Family3}};
    for (const auto& [menu, item, identity, family] : items) {
        SCOPED_TRACE(identity);
        session->image.clear();
        session->VerNumber.clear();
        view.calls.clear();
        mnuSetVersion_Click(*session, menu, item);
        const bool older = family == F::Family170;  // identity in 0x6B/0x6C, not 0xF3/0xF5
        EXPECT_EQ(text(older ? 0x6B : 0xF3) + text(older ? 0x6C : 0xF5), identity);
        EXPECT_TRUE(session->image[older ? 0xF3 : 0x6B].empty());
        EXPECT_TRUE(session->image[older ? 0xF5 : 0x6C].empty());
        EXPECT_EQ(session->layout.family, family);
        EXPECT_EQ(view.count("DisplayAllData"), 2);  // the identification's and the menu's own
    }
    view.calls.clear();
    mnuSetVersion_Click(*session, 2, 1);  // items that do not exist do nothing
    mnuSetVersion_Click(*session, 5, 0);
    EXPECT_EQ(view.count("DisplayAllData"), 0);

    // "&3.12" of "SR20DET&5" takes 1.70 data out to family 5 and on to family 3.
    open(SimUnitKind::Det1_170B);
    const PacketImage old = session->image;
    const PacketImage& img = session->image;
    mnuSetVersion_Click(*session, 3, 2);
    EXPECT_EQ(session->layout.family, LayoutFamily::Family3);
    EXPECT_EQ(img[0x86], old[0x56]);
    EXPECT_EQ(img[0x5C], old[0x5C]);  // out to 0xD5 and back
    EXPECT_TRUE(img[0xD6].empty());
    EXPECT_TRUE(prompts.messages().empty());

    // And back to the older unit: the maps and the boost control come home unchanged.
    mnuSetVersion_Click(*session, 0, 0);
    EXPECT_EQ(session->layout.family, LayoutFamily::Family170);
    for (std::uint8_t b : {0x52, 0x56, 0x59, 0x5C, 0x5D, 0x60, 0x51, 0x5A, 0x5B})
        EXPECT_EQ(img[b], old[b]) << int(b);
}

TEST_F(VersionTest, ItemNamesFromTheBlock) {
    session->image[0xDD] = bytesFromText(
        "ARFLTHROBOSTWTRTO2S EXTM********IGNSTRELDA/CPWSNTR******ECCWRNEXTF/PVTCO2HACRFAN");
    ApplyItemNames(session->image, 0xDD, session->trace, session->monitorCaptions);
    const auto& names = session->trace.TraceName;
    const auto& captions = session->monitorCaptions;
    // Sensor label i and item 30 + i, switch box i and item 38 + i, switch box i + 8 and 46 + i.
    using Names = std::vector<std::string>;
    EXPECT_EQ((Names{names[34], names[37], names[40], names[45], names[46], names[53]}),
              (Names{"O2S ", "****", "ELD", "***", "ECC", "FAN"}));
    EXPECT_EQ(
        (Names{captions.sensorLabels[4], captions.switchCaptions[2], captions.switchCaptions[15]}),
        (Names{"O2S ", "ELD", "FAN"}));

    // A short block names only what it holds.
    session->image[0xDD] = bytesFromText("AF-1TH");
    ApplyItemNames(session->image, 0xDD, session->trace, session->monitorCaptions);
    EXPECT_EQ((Names{names[30], names[31], names[32], names[53]}), (Names{"AF-1", "TH", "", ""}));
}

}  // namespace
}  // namespace tunalyx
