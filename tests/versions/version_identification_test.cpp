#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/default_blocks.h"
#include "sim/in_process_simulator.h"
#include "support/recording_prompts.h"
#include "versions/version_identification.h"

namespace tunalyx {
namespace {

class RecordingView final : public SessionView {
public:
    void DisplayAllData() override { ++displays; }
    void layoutChanged() override { ++layouts; }
    void setUpdateEnabled(bool enabled) override { updateEnabled.push_back(enabled); }
    void setCaptionFile(const std::string& name) override { captions.push_back(name); }
    bool mnuSaveAs_Click() override {
        ++saveAs;
        return true;
    }
    void setCommandEnabled(const std::string& name, bool enabled) override {
        commands.push_back(name + (enabled ? " on" : " off"));
    }

    void reset() { *this = RecordingView(); }

    int displays = 0;
    int layouts = 0;
    int saveAs = 0;
    std::vector<bool> updateEnabled;
    std::vector<std::string> captions;
    std::vector<std::string> commands;
};

class VersionTest : public ::testing::Test {
protected:
    void SetUp() override { connect(SimUnitKind::Det1_501); }

    void connect(SimUnitKind kind) {
        session.reset();
        sim = std::make_unique<InProcessSimulator>(kind, clock);
        ASSERT_TRUE(sim->port().open());
        session = std::make_unique<Session>(sim->port(), clock, prompts);
        session->setView(&view);
    }
    // As opening a data file does: the image of a unit, identified from itself.
    void open(SimUnitKind kind) {
        session->image.assign(defaultBlocks(simUnit(kind)));
        session->VerNumber.clear();
        ASSERT_TRUE(SR20DET_Version(*session, false, false, true, false));
        prompts.clear();
        view.reset();
    }
    [[nodiscard]] std::string text(std::uint8_t b) const {
        return textFromBytes(session->image[b]);
    }
    [[nodiscard]] std::string tag(ControlKind kind, int index) const {
        return session->settings.find(kind, index)->tag;
    }
    [[nodiscard]] bool visible(int frame) const {
        return session->settings.find(ControlKind::Frame, frame)->visible;
    }
    [[nodiscard]] int bareRequests() const {
        int n = 0;
        for (const Bytes& r : sim->ecu().requests())
            n += r.size() == 1;
        return n;
    }

    ManualClock clock;
    test::RecordingPrompts prompts;
    RecordingView view;
    std::unique_ptr<InProcessSimulator> sim;
    std::unique_ptr<Session> session;
};

TEST_F(VersionTest, EachUnitSelectsItsFamilyLayout) {
    struct Case {
        SimUnitKind kind;
        LayoutFamily family;
        const char* name;
        const char* version;
    };
    for (const Case& c :
         {Case{SimUnitKind::Det1_501, LayoutFamily::Family5, "SR20DET1", "5.01 "},
          Case{SimUnitKind::Det2_312A, LayoutFamily::Family3, "SR20DET2", "3.12A"},
          Case{SimUnitKind::T2D_511A, LayoutFamily::FamilyT2D, "SR20T2-D", "5.11A"},
          Case{SimUnitKind::Det1_170B, LayoutFamily::Family170, "SR20DET1", "1.70B"}}) {
        connect(c.kind);
        view.reset();
        // As Read All calls it.
        ASSERT_TRUE(SR20DET_Version(*session, true, false, true, false)) << c.name;
        const FamilyLayout& l = familyLayout(c.family);
        const Session& s = *session;
        EXPECT_EQ(s.family, c.family);
        EXPECT_EQ(s.VerName, c.name);
        EXPECT_EQ(s.VerNumber, c.version);
        EXPECT_EQ(s.readAllList, l.readAll);
        EXPECT_EQ(s.writeAllList, l.writeAll);
        EXPECT_EQ(s.maps.descriptor(kInjMap).block, l.injMapBlock);
        EXPECT_EQ(s.maps.MapRefBlock, l.mapRefBlock);
        EXPECT_EQ(s.live.basic, l.basicLiveCmd);
        EXPECT_EQ(s.live.map, l.mapLiveCmd);
        EXPECT_EQ(s.airFlowBlock, l.airFlowBlock);
        EXPECT_EQ(s.functionSelectBlock, l.functionSelectBlock);
        EXPECT_EQ(s.baseMapTabVisible, l.baseMapShown);
        EXPECT_EQ(s.tabsPerRow, l.tabsPerRow);
        EXPECT_EQ(s.trace.TraceName[22], l.pressureSensor ? "PimVolt" : "AirFlow");
        EXPECT_EQ(view.layouts, 1);
        EXPECT_EQ(view.displays, 1);
        EXPECT_TRUE(prompts.messages().empty()) << c.name;
    }
    // The older unit was read from 0x6B/0x6C, and 0xF3 emptied.
    EXPECT_EQ(text(0x6B), "SR20DET1");
    EXPECT_TRUE(session->image[0xF3].empty());
    EXPECT_EQ(session->settings.find(ControlKind::Label, 5)->tag, "&H6b,1,8");
}

TEST_F(VersionTest, FamilyTagsAndFramesOfTheNewerLayouts) {
    struct Case {
        SimUnitKind kind;
        const char* functionSelect;
        const char* boost;
        const char* solenoid;
        bool airFlow5, airFlow3;
    };
    for (const Case& c :
         {Case{SimUnitKind::Det2_312A, "&H65,85", "&HAB,11,&H5C,13", "&H5C,9,1,1,0,0", false, true},
          Case{SimUnitKind::Det1_501, "&HD6,85", "&HAB,11,&HD5,13", "&HD5,9,1,1,0,0", true, false},
          Case{SimUnitKind::T2D_511A, "&HD6,85", "&HAB,11,&HD5,13", "&HD5,9,1,1,0,0", false,
               false}}) {
        open(c.kind);
        EXPECT_EQ(tag(ControlKind::Frame, 36), c.functionSelect);
        EXPECT_EQ(tag(ControlKind::Frame, 26), c.boost);
        EXPECT_EQ(tag(ControlKind::Text, 195), c.solenoid);
        const std::string fs = std::string(c.functionSelect).substr(0, 4);
        EXPECT_EQ(tag(ControlKind::Label, 11), fs + ",70,16");
        EXPECT_EQ(tag(ControlKind::Check, 4), fs + ",5,0");
        EXPECT_EQ(visible(32), c.airFlow5);
        EXPECT_EQ(visible(132), c.airFlow3);
    }
}

TEST_F(VersionTest, UnsupportedUnitIsScannedAndOfferedForSaving) {
    connect(SimUnitKind::Unsupported);
    open(SimUnitKind::Det1_501);
    prompts.answerNext(MessageAnswer::Yes);  // "5" against "4": the conversion question
    session->dirty.set(0x8A);
    session->PortBusy = true;

    // As Read Map calls it.
    EXPECT_FALSE(SR20DET_Version(*session, true, false, true, true));

    ASSERT_EQ(prompts.messages().size(), 2u);
    EXPECT_EQ(prompts.messages()[1].text,
              std::string("SR20DET2 version 4.07  is not yet supported.\r\n"
                          "Please complete the following scan then save and email to\r\n") +
                  kSupportEmail);
    EXPECT_EQ(prompts.messages()[1].icon, MessageIcon::Critical);

    // The scan asks for every command byte in turn, with nothing after it.
    const auto& requests = sim->ecu().requests();
    ASSERT_GE(requests.size(), 256u);
    for (std::size_t c = 0; c < 256; ++c)
        EXPECT_EQ(requests[requests.size() - 256 + c], Bytes{static_cast<std::uint8_t>(c)});
    EXPECT_EQ(view.captions, std::vector<std::string>{"scan SR20DET2 v4.07 .dat"});
    EXPECT_EQ(session->captionFile, "scan SR20DET2 v4.07 .dat");
    EXPECT_EQ(view.saveAs, 1);
    EXPECT_EQ(prompts.progressShown(), std::vector<std::string>{"Scanning"});
    EXPECT_FALSE(prompts.progressVisible());
    EXPECT_EQ(prompts.percents().size(), 256u);
    EXPECT_EQ(prompts.percents().back(), 100);
    EXPECT_FALSE(session->PortBusy);
    EXPECT_FALSE(session->dirty.any());
    EXPECT_EQ(view.updateEnabled, std::vector<bool>{false});
    EXPECT_EQ(view.commands, std::vector<std::string>{"cmdReadAll on"});

    // The scan keeps each reply's checksum behind its data, and the identity it found.
    const Bytes& ref = session->image[0x8A];
    ASSERT_EQ(ref.size(), 81u);
    unsigned sum = 0x8A + 82;
    for (std::uint8_t b : ref)
        sum += b;
    EXPECT_EQ(sum % 256, 0xFFu);
    EXPECT_EQ(textFromBytes(session->image[0xF5], 0, 5), "4.07 ");
    EXPECT_EQ(session->VerNumber, "5.01 ");  // identity not taken over
    EXPECT_EQ(session->family, LayoutFamily::Family5);
}

TEST_F(VersionTest, CancelledScanKeepsChangedFlags) {
    session->dirty.set(0x8A);
    prompts.cancelAfterProgressSteps(10);
    fullScan(*session);
    EXPECT_EQ(bareRequests(), 10);
    EXPECT_TRUE(session->dirty.isSet(0x8A));
    EXPECT_TRUE(view.updateEnabled.empty());
    EXPECT_EQ(view.displays, 1);
    EXPECT_FALSE(prompts.busy());
    EXPECT_TRUE(session->image[0x8A].empty());
}

TEST_F(VersionTest, ForeignUnitIsRefusedAndIdentityRestored) {
    connect(SimUnitKind::NotSr20);
    open(SimUnitKind::Det1_501);
    const PacketImage before = session->image;
    EXPECT_FALSE(SR20DET_Version(*session, true, false, true, true));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"This is not an SR20DET PFC"});
    EXPECT_EQ(prompts.messages()[0].icon, MessageIcon::Critical);
    EXPECT_EQ(session->image, before);
    EXPECT_EQ(view.layouts, 0);

    // A unit that does not answer fails the same way, without a word from identification.
    prompts.clear();
    sim->port().setBroken(true);
    EXPECT_FALSE(SR20DET_Version(*session, true, false, true, true));
    EXPECT_EQ(session->image, before);
    EXPECT_EQ(session->VerNumber, "5.01 ");

    // From the image alone there is nobody to tell.
    prompts.clear();
    session->image[0xF3] = bytesFromText("RB25DET1");
    EXPECT_FALSE(SR20DET_Version(*session, false, false, true, true));
    EXPECT_TRUE(prompts.messages().empty());
}

TEST_F(VersionTest, JetroMismatchWarnsAndGoesOn) {
    struct Case {
        SimUnitKind data, unit;
        const char* warning;
    };
    for (const Case& c : {Case{SimUnitKind::T2D_511A, SimUnitKind::Det1_501,
                               "D-Jetro data must not be written to a L-Jetro PFC.\r\n"
                               "Data will be incorrect or missing.\r\n"
                               "You must Open a L-Jetro file, or do a ReadAll."},
                          Case{SimUnitKind::Det1_501, SimUnitKind::T2D_511A,
                               "L-Jetro data must not be written to an D-Jetro PFC.\r\n"
                               "Data will be incorrect or missing.\r\n"
                               "You must first Open an D-Jetro file, or do a ReadAll."}}) {
        connect(c.unit);
        open(c.data);
        EXPECT_TRUE(SR20DET_Version(*session, true, false, true, true));
        ASSERT_EQ(prompts.messages().size(), 1u);
        EXPECT_EQ(prompts.messages()[0].text, c.warning);
        EXPECT_EQ(prompts.messages()[0].icon, MessageIcon::Exclamation);
    }
}

TEST_F(VersionTest, ConversionQuestionAnsweredNoChangesNothing) {
    open(SimUnitKind::Det2_312A);
    const PacketImage before = session->image;

    EXPECT_FALSE(SR20DET_Version(*session, true, false, true, true));
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].text,
              "The current data must be converted to match the PFC version.\r\n"
              "Do you want to proceed?");
    EXPECT_EQ(prompts.messages()[0].icon, MessageIcon::Question);
    EXPECT_EQ(prompts.messages()[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(session->image, before);
    EXPECT_EQ(session->family, LayoutFamily::Family3);
    EXPECT_EQ(session->VerNumber, "3.12A");
    EXPECT_EQ(tag(ControlKind::Frame, 36), "&H65,85");
    EXPECT_EQ(view.layouts, 0);

    // Yes converts the family 3 data for the family 5 unit.
    prompts.answerNext(MessageAnswer::Yes);
    ASSERT_TRUE(SR20DET_Version(*session, true, false, true, true));
    EXPECT_EQ(session->image[0xD6], before[0x65]);
    EXPECT_TRUE(session->image[0x65].empty());
    EXPECT_EQ(session->family, LayoutFamily::Family5);
}

TEST_F(VersionTest, EmptyVersionConvertsNothingAndKeepsItemNames) {
    open(SimUnitKind::Det1_501);
    // A family 3 image while set for family 5, opened as a file is.
    const std::string names(80, 'x');
    BlockStore file = defaultBlocks(simUnit(SimUnitKind::Det2_312A));
    file[0x69] = bytesFromText(names);
    session->image.assign(file);
    session->VerNumber.clear();

    ASSERT_TRUE(SR20DET_Version(*session, false, false, true, false));
    EXPECT_EQ(session->image.all(), file);
    EXPECT_EQ(session->family, LayoutFamily::Family3);
    EXPECT_EQ(session->readAllList, familyLayout(LayoutFamily::Family3).readAll);
    EXPECT_EQ(tag(ControlKind::Frame, 36), "&H65,85");
    EXPECT_EQ(session->trace.TraceName[30], "xxxx");
    EXPECT_EQ(view.layouts, 1);
    EXPECT_EQ(view.displays, 1);

    // With data identified before, the block gets the version's built-in names.
    ASSERT_TRUE(SR20DET_Version(*session, false, false, true, false));
    EXPECT_EQ(text(0x69),
              "AF-1THROBOSTWTRTO2-1EXTM********IGNSTRA/CPWSNTR*********ECCWRNEXTF/PFP1EAIO2HACR");
    EXPECT_EQ(session->trace.TraceName[30], "AF-1");
}

TEST_F(VersionTest, VersionMenuStoresTheIdentityAndSelectsTheFamily) {
    struct Case {
        int menu, item;
        const char* name;
        const char* version;
        bool older;
        LayoutFamily family;
    };
    const LayoutFamily f170 = LayoutFamily::Family170, f3 = LayoutFamily::Family3,
                       f5 = LayoutFamily::Family5, t2d = LayoutFamily::FamilyT2D;
    for (const Case& c :
         {Case{0, 0, "SR20DET1", "1.70B", true, f170}, Case{0, 1, "SR20DET1", "3.13 ", false, f3},
          Case{0, 2, "SR20DET1", "5.01 ", false, f5}, Case{1, 0, "SR20DET2", "3.01 ", false, f3},
          Case{1, 1, "SR20DET2", "3.12A", false, f3}, Case{1, 2, "SR20DET2", "4.06 ", false, f5},
          Case{2, 0, "SR20DET3", "5.05 ", false, f5}, Case{3, 0, "SR20DET5", "2.04 ", false, f5},
          Case{3, 1, "SR20DET5", "2.05 ", false, f5}, Case{3, 2, "SR20DET5", "3.12A", false, f3},
          Case{4, 0, "SR20T2-D", "5.11A", false, t2d}}) {
        SCOPED_TRACE(std::string(c.name) + " " + c.version);
        session->image.clear();
        session->VerName.clear();
        session->VerNumber.clear();
        view.reset();
        mnuSetVersion_Click(*session, c.menu, c.item);
        EXPECT_EQ(text(c.older ? 0x6B : 0xF3), c.name);
        EXPECT_EQ(text(c.older ? 0x6C : 0xF5), c.version);
        EXPECT_TRUE(session->image[c.older ? 0xF3 : 0x6B].empty());
        EXPECT_TRUE(session->image[c.older ? 0xF5 : 0x6C].empty());
        EXPECT_EQ(session->family, c.family);
        EXPECT_EQ(session->VerNumber, c.version);
        EXPECT_EQ(view.displays, 2);  // the identification's and the menu's own
    }

    // Items that do not exist do nothing.
    view.reset();
    mnuSetVersion_Click(*session, 2, 1);
    mnuSetVersion_Click(*session, 5, 0);
    EXPECT_EQ(view.displays, 0);
}

TEST_F(VersionTest, VersionMenuConvertsThroughFamily5) {
    open(SimUnitKind::Det1_170B);
    const PacketImage old = session->image;

    mnuSetVersion_Click(*session, 3, 2);  // "SR20DET5" "3.12A": family 3
    const PacketImage& img = session->image;
    EXPECT_EQ(session->family, LayoutFamily::Family3);
    EXPECT_EQ(img[0x86], old[0x56]);
    EXPECT_TRUE(img[0x56].empty());
    EXPECT_EQ(img[0x5C], old[0x5C]);  // out to 0xD5 and back
    EXPECT_EQ(img[0xAB].size(), 11u);
    EXPECT_TRUE(img[0xD6].empty());
    EXPECT_EQ(textFromBytes(img[0x65], 5, 16), "1.Boost cntl kit");
    EXPECT_EQ(img[0xA7].size(), 4u);
    EXPECT_EQ(text(0x69),
              "AF-1THROBOSTWTRTO2-1EXTM********IGNSTRA/CPWSNTR*********ECCWRNEXTF/PACRFAN******");
    EXPECT_EQ(session->trace.TraceName[50], "ACR");
    EXPECT_EQ(session->monitorCaptions.switchCaptions[12], "ACR");
    EXPECT_TRUE(prompts.messages().empty());

    // And back to the older unit: the maps and the boost control come home unchanged.
    mnuSetVersion_Click(*session, 0, 0);
    EXPECT_EQ(session->family, LayoutFamily::Family170);
    for (std::uint8_t b : {0x52, 0x56, 0x59, 0x5C, 0x5D, 0x60, 0x51, 0x5A, 0x5B})
        EXPECT_EQ(img[b], old[b]) << int(b);
}

TEST_F(VersionTest, ItemNamesFromTheBlock) {
    session->image[0xDD] = bytesFromText(
        "ARFLTHROBOSTWTRTO2S EXTM********IGNSTRELDA/CPWSNTR******ECCWRNEXTF/PVTCO2HACRFAN");
    ApplyItemNames(*session, 0xDD);
    const auto& names = session->trace.TraceName;
    const auto& captions = session->monitorCaptions;
    // Sensor label i and item 30 + i, switch box i and item 38 + i, switch box i + 8 and 46 + i.
    EXPECT_EQ(names[34], "O2S ");
    EXPECT_EQ(names[37], "****");
    EXPECT_EQ(names[40], "ELD");
    EXPECT_EQ(names[45], "***");
    EXPECT_EQ(names[46], "ECC");
    EXPECT_EQ(names[53], "FAN");
    EXPECT_EQ(captions.sensorLabels[4], "O2S ");
    EXPECT_EQ(captions.switchCaptions[2], "ELD");
    EXPECT_EQ(captions.switchCaptions[15], "FAN");

    // A short block names only what it holds.
    session->image[0xDD] = bytesFromText("AF-1TH");
    ApplyItemNames(*session, 0xDD);
    EXPECT_EQ(names[30], "AF-1");
    EXPECT_EQ(names[31], "TH");
    EXPECT_EQ(names[32], "");
    EXPECT_EQ(names[53], "");
}

}  // namespace
}  // namespace tunalyx
