#include "versions/version_identification.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string_view>
#include <vector>

#include "model/descriptors.h"

#include "versions/conversions.h"

namespace tunalyx {

namespace {

constexpr std::uint8_t kNameBlock = 0xF3;
constexpr std::uint8_t kVersionBlock = 0xF5;
constexpr std::uint8_t kOlderNameBlock = 0x6B;
constexpr std::uint8_t kOlderVersionBlock = 0x6C;
constexpr std::uint8_t kNameLength = 8;
constexpr std::uint8_t kVersionLength = 5;
constexpr std::size_t kItemNameLength = 80;

constexpr const char* kPressureUnit = "SR20T2-D";

constexpr const char* kDJetroToLJetro =
    "D-Jetro data must not be written to a L-Jetro PFC.\r\n"
    "Data will be incorrect or missing.\r\n"
    "You must Open a L-Jetro file, or do a ReadAll.";
constexpr const char* kLJetroToDJetro =
    "L-Jetro data must not be written to an D-Jetro PFC.\r\n"
    "Data will be incorrect or missing.\r\n"
    "You must first Open an D-Jetro file, or do a ReadAll.";
constexpr const char* kConvertQuestion =
    "The current data must be converted to match the PFC version.\r\n"
    "Do you want to proceed?";

// Built-in item-name texts: eight 4-character sensor names, then sixteen 3-character switches.
constexpr const char* kNamesAf1 =
    "AF-1THROBOSTWTRTO2-1EXTM********IGNSTRA/CPWSNTR*********ECCWRNEXTF/PVTCO2HACRFAN";
constexpr const char* kNamesDet2v3 =
    "AF-1THROBOSTWTRTO2-1EXTM********IGNSTRA/CPWSNTR*********ECCWRNEXTF/PFP1EAIO2HACR";
constexpr const char* kNamesDet5v3 =
    "AF-1THROBOSTWTRTO2-1EXTM********IGNSTRA/CPWSNTR*********ECCWRNEXTF/PACRFAN******";
constexpr const char* kNamesDet5v2 =
    "ARFLTHROBOSTWTRTO2S EXTM********IGNSTRELDA/CPWSNTR******ECCWRNEXTF/PVTCO2HACRFAN";
constexpr const char* kNamesDet2v4 =
    "ARFLTHROBOSTWTRTO2S EXTM********IGNSTRA/CPWSNTR*********ECCWRNEXTF/PFPMEAIO2HACR";
constexpr const char* kNamesDet3v5 =
    "ARFLTHROBOSTWTRTO2S EXTM********IGNSTRA/CPWSNTR*********ECCWRNEXTF/PVTCO2HACRFAN";
constexpr const char* kNamesT2D =
    "THROBOSTWTRTAIRTO2S ************IGNSTRA/CPWSNTR*********ECCWRNEXTF/PFPMEAIO2HACR";

const char* builtInItemNames(LayoutFamily family, std::string_view key, std::string_view ver4) {
    switch (family) {
        case LayoutFamily::Family170:
            return kNamesAf1;
        case LayoutFamily::Family3:
            if (key == "DET13.13") return kNamesAf1;
            if (key == "DET23.01" || key == "DET23.12") return kNamesDet2v3;
            if (key == "DET53.12") return kNamesDet5v3;
            return nullptr;
        case LayoutFamily::Family5:
            if (ver4 == "2.04" || ver4 == "2.05") return kNamesDet5v2;
            if (ver4 == "4.06") return kNamesDet2v4;
            if (ver4 == "5.01" || ver4 == "5.02") return kNamesAf1;
            if (ver4 == "5.05") return kNamesDet3v5;
            return nullptr;
        case LayoutFamily::FamilyT2D:
            return kNamesT2D;
    }
    return nullptr;
}

// The family the old data belong to, judged by the version text alone: other versions (and no
// data at all) are never converted.
std::optional<LayoutFamily> dataFamilyOf(std::string_view ver4) {
    if (ver4 == "1.70") return LayoutFamily::Family170;
    if (ver4 == "3.01" || ver4 == "3.12" || ver4 == "3.13") return LayoutFamily::Family3;
    if (ver4 == "5.01" || ver4 == "5.02" || ver4 == "4.06" || ver4 == "2.04" || ver4 == "2.05")
        return LayoutFamily::Family5;
    return std::nullopt;
}

void convertImage(Session& session, std::optional<LayoutFamily> from, LayoutFamily to,
                  bool NoDisplay) {
    using F = LayoutFamily;
    if (!from || *from == to) return;
    // Family 5 is the hub: leave the old family towards it, then go out to the new one.
    if (*from == F::Family170) Convert170To5(session, NoDisplay);
    if (*from == F::Family3) Convert3To5(session, NoDisplay);
    if (to == F::Family170) Convert5To170(session, NoDisplay);
    if (to == F::Family3) Convert5To3(session, NoDisplay);
}

void setTags(Session& session, ControlKind kind, int firstIndex,
             std::initializer_list<const char*> tags) {
    int index = firstIndex;
    for (const char* tag : tags)
        session.settings.setTag(kind, index++, tag);
}

constexpr int kOlderMapReferenceFrame = 120;  // curve 29 of block 0x51
constexpr int kTelpodFrame = 39;              // block 0xAD
constexpr std::uint8_t kOlderMapReference = 0x51;
constexpr std::uint8_t kTelpodBlock = 0xAD;

// A frame is shown exactly when the unit has every block it shows: the label sets and the air
// flow choice come out the same way, and the older unit's alternatives (cranking, water
// temperature, acceleration, map reference, air flow) get their frames instead of empty ones.
void showFramesOfTheLayout(Session& session) {
    auto listed = [&](std::uint8_t block) {
        return std::any_of(session.readAllList.begin(), session.readAllList.end(),
                           [&](const BlockSpec& b) { return b.command == block; });
    };
    for (const SettingControl& c : session.settings.controls()) {
        if (c.kind != ControlKind::Frame || c.tag.empty()) continue;
        const auto blocks = parseBlockDescriptor(c.tag);
        if (!blocks) continue;
        const bool all = std::all_of(blocks->blocks.begin(), blocks->blocks.end(),
                                     [&](const BlockSpec& b) { return listed(b.command); });
        session.settings.setFrameVisible(c.index, all);
    }
    session.settings.setFrameVisible(kOlderMapReferenceFrame, listed(kOlderMapReference));
    session.settings.setFrameVisible(kTelpodFrame, listed(kTelpodBlock));
}

// Function select, boost control and air flow frame of the families 3, 5 and T2-D.
void repointNewerControls(Session& session, LayoutFamily family) {
    const bool family3 = family == LayoutFamily::Family3;
    if (family3) {
        session.settings.setTag(ControlKind::Frame, 36, "&H65,85");
        setTags(session, ControlKind::Label, 7,
                {"&H65,6,16", "&H65,22,16", "&H65,38,16", "&H65,54,16", "&H65,70,16"});
        setTags(session, ControlKind::Check, 0,
                {"&H65,1,0", "&H65,2,0", "&H65,3,0", "&H65,4,0", "&H65,5,0"});
        session.settings.setTag(ControlKind::Frame, 26, "&HAB,11,&H5C,13");
        setTags(session, ControlKind::Text, 192,
                {"&H5C,6,1,1,0,0", "&H5C,7,1,1,0,0", "&H5C,8,1,1,0,0", "&H5C,9,1,1,0,0"});
    } else {
        session.settings.setTag(ControlKind::Frame, 36, "&HD6,85");
        setTags(session, ControlKind::Label, 7,
                {"&HD6,6,16", "&HD6,22,16", "&HD6,38,16", "&HD6,54,16", "&HD6,70,16"});
        setTags(session, ControlKind::Check, 0,
                {"&HD6,1,0", "&HD6,2,0", "&HD6,3,0", "&HD6,4,0", "&HD6,5,0"});
        session.settings.setTag(ControlKind::Frame, 26, "&HAB,11,&HD5,13");
        setTags(session, ControlKind::Text, 192,
                {"&HD5,6,1,1,0,0", "&HD5,7,1,1,0,0", "&HD5,8,1,1,0,0", "&HD5,9,1,1,0,0"});
    }
    session.settings.setFrameVisible(32, family == LayoutFamily::Family5);
    session.settings.setFrameVisible(132, family3);
}

void applyFamily(Session& session, LayoutFamily family, const std::string& key,
                 const std::string& versionText, const std::string& oldVerNumber, bool NoDisplay) {
    const FamilyLayout& layout = familyLayout(family);
    session.readAllList = layout.readAll;
    session.writeAllList = layout.writeAll;

    convertImage(session, dataFamilyOf(std::string_view(oldVerNumber).substr(0, 4)), family,
                 NoDisplay);

    // Without earlier data the block keeps what the unit or the file holds.
    if (!oldVerNumber.empty()) {
        if (const char* names =
                builtInItemNames(family, key, std::string_view(versionText).substr(0, 4))) {
            Bytes& slot = session.image[layout.itemNameBlock];
            if (slot.size() < kItemNameLength) slot.resize(kItemNameLength);
            const Bytes text = bytesFromText(names);
            std::copy(text.begin(), text.end(), slot.begin());
        }
    }

    if (layout.pressureSensor)
        SetLabelsPressure(session);
    else
        SetLabelsAirFlow(session);
    if (layout.layout170)
        SetLayout170(session);
    else
        SetLayoutStandard(session);
    session.live = {layout.basicLiveCmd, layout.sensorLiveCmd, layout.mapLiveCmd};
    session.airFlowBlock = layout.airFlowBlock;
    session.functionSelectBlock = layout.functionSelectBlock;

    session.baseMapTabVisible = layout.baseMapShown;
    session.tabsPerRow = layout.tabsPerRow;

    if (family != LayoutFamily::Family170) repointNewerControls(session, family);
    showFramesOfTheLayout(session);

    ApplyItemNames(session, layout.itemNameBlock);
    session.family = family;

    // The pages are rebuilt from the rewritten table before they show the data.
    session.view().layoutChanged();
    if (!NoDisplay) session.view().DisplayAllData();
}

std::string slotText(const Bytes& slot, std::size_t length) {
    return textFromBytes(slot, 0, length);
}

}  // namespace

bool SR20DET_Version(Session& session, bool FromPFC, bool NoDisplay, bool ApplyLayout,
                     bool CheckData) {
    PacketImage& image = session.image;
    const Bytes savedName = image[kNameBlock];
    const Bytes savedVersion = image[kVersionBlock];
    const std::string oldVerNumber = session.VerNumber;
    const auto fail = [&] {
        image[kNameBlock] = savedName;
        image[kVersionBlock] = savedVersion;
        return false;
    };

    if (FromPFC) {
        // Older units do not know 0xF3 and keep their identity in 0x6B/0x6C.
        Bytes probe{kNameBlock};
        if (session.link.TransactPacket(probe, false)) {
            if (!session.link.ReadPacketData(kNameBlock, kNameLength, image[kNameBlock]))
                return fail();
        } else {
            if (!session.link.ReadPacketData(kOlderNameBlock, kNameLength, image[kOlderNameBlock]))
                return fail();
            image[kNameBlock].clear();
        }
    }

    const bool newerIdentity = !slotText(image[kNameBlock], kNameLength).empty();
    const std::string name = newerIdentity ? slotText(image[kNameBlock], kNameLength)
                                           : slotText(image[kOlderNameBlock], kNameLength);
    if (name.find("SR20") == std::string::npos) {
        if (FromPFC) session.prompts.tell("This is not an SR20DET PFC", MessageIcon::Critical);
        return fail();
    }

    if (CheckData) {
        const bool dataPressure = session.VerName == kPressureUnit;
        const bool unitPressure = name == kPressureUnit;
        if (dataPressure && !unitPressure)
            session.prompts.tell(kDJetroToLJetro, MessageIcon::Exclamation);
        else if (!dataPressure && unitPressure)
            session.prompts.tell(kLJetroToDJetro, MessageIcon::Exclamation);
    }

    const std::uint8_t versionBlock = newerIdentity ? kVersionBlock : kOlderVersionBlock;
    if (FromPFC && !session.link.ReadPacketData(versionBlock, kVersionLength, image[versionBlock]))
        return fail();
    const std::string versionText = slotText(image[versionBlock], kVersionLength);

    if (FromPFC && CheckData &&
        versionText.substr(0, 1) != std::string_view(oldVerNumber).substr(0, 1)) {
        if (session.prompts.showMessage(kConvertQuestion, MessageIcon::Question,
                                        MessageButtons::YesNo) != MessageAnswer::Yes)
            return fail();
    }

    const std::string key = versionKey(name, versionText);
    const std::optional<LayoutFamily> family = familyOfKey(key);
    if (!family) {
        if (!FromPFC) return fail();
        session.prompts.tell(name + " version " + versionText +
                                 " is not yet supported.\r\n"
                                 "Please complete the following scan then save and email to\r\n" +
                                 kSupportEmail,
                             MessageIcon::Critical);
        fullScan(session);
        // The scan replaced the whole image, identity blocks included: nothing to restore.
        session.captionFile = "scan " + name + " v" + versionText + ".dat";
        session.view().setCaptionFile(session.captionFile);
        session.view().mnuSaveAs_Click();
        return false;
    }

    if (ApplyLayout) applyFamily(session, *family, key, versionText, oldVerNumber, NoDisplay);

    session.VerNumber = versionText;
    session.VerName = name;
    return true;
}

void mnuSetVersion_Click(Session& session, int menu, int item) {
    struct Item {
        const char* version;
        bool olderUnit;
    };
    struct Menu {
        const char* name;
        std::vector<Item> items;
    };
    static const Menu kMenus[] = {
        {"SR20DET1", {{"1.70B", true}, {"3.13 ", false}, {"5.01 ", false}}},
        {"SR20DET2", {{"3.01 ", false}, {"3.12A", false}, {"4.06 ", false}}},
        {"SR20DET3", {{"5.05 ", false}}},
        {"SR20DET5", {{"2.04 ", false}, {"2.05 ", false}, {"3.12A", false}}},
        {"SR20T2-D", {{"5.11A", false}}},
    };
    if (menu < 0 || menu >= static_cast<int>(std::size(kMenus))) return;
    const Menu& m = kMenus[menu];
    if (item < 0 || item >= static_cast<int>(m.items.size())) return;
    const Item& chosen = m.items[static_cast<std::size_t>(item)];

    PacketImage& image = session.image;
    const std::uint8_t nameBlock = chosen.olderUnit ? kOlderNameBlock : kNameBlock;
    const std::uint8_t versionBlock = chosen.olderUnit ? kOlderVersionBlock : kVersionBlock;
    const std::uint8_t otherName = chosen.olderUnit ? kNameBlock : kOlderNameBlock;
    const std::uint8_t otherVersion = chosen.olderUnit ? kVersionBlock : kOlderVersionBlock;
    image[nameBlock] = bytesFromText(m.name);
    image[versionBlock] = bytesFromText(chosen.version);
    image[otherName].clear();
    image[otherVersion].clear();

    SR20DET_Version(session, false, false, true, true);
    session.view().DisplayAllData();
}

void fullScan(Session& session) {
    UserPrompts& prompts = session.prompts;
    prompts.showProgress("Scanning");
    prompts.setBusy(true);
    session.image.clear();

    bool complete = true;
    for (int command = 0; command < PacketImage::kSlotCount; ++command) {
        Bytes request{static_cast<std::uint8_t>(command)};
        std::int32_t timeout = 100;
        if (session.link.TransactPacket(request, false, timeout))
            session.image[static_cast<std::uint8_t>(command)] =
                Bytes(request.begin() + 2, request.end());
        prompts.yield();
        prompts.setProgress(static_cast<int>(std::lround(command / 2.55)));
        if (prompts.cancelRequested()) {
            complete = false;
            break;
        }
    }

    if (complete) {
        session.dirty.clearAll();
        session.view().setUpdateEnabled(false);
    }
    session.PortBusy = false;
    prompts.hideProgress();
    session.view().DisplayAllData();
    prompts.setBusy(false);
    session.view().setCommandEnabled("cmdReadAll", true);
}

void ApplyItemNames(Session& session, std::uint8_t block) {
    const Bytes& slot = session.image[block];
    MonitorCaptions& captions = session.monitorCaptions;
    auto& names = session.trace.TraceName;
    for (std::size_t i = 0; i < 8; ++i) {
        const std::string sensor = textFromBytes(slot, 4 * i, 4);
        captions.sensorLabels[i] = sensor;
        names[30 + i] = sensor;
        const std::string switch1 = textFromBytes(slot, 3 * i + 32, 3);
        captions.switchCaptions[i] = switch1;
        names[38 + i] = switch1;
        const std::string switch2 = textFromBytes(slot, 3 * i + 56, 3);
        captions.switchCaptions[i + 8] = switch2;
        names[46 + i] = switch2;
    }
}

}  // namespace tunalyx
