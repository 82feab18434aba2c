#include "versions/version_identification.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "model/descriptors.h"

#include "versions/conversions.h"
#include "versions/layout_sets.h"
#include "versions/unit_identity.h"

namespace tunalyx {

namespace {

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

// False when a step stopped on an error (it said so).
bool convertImage(PacketImage& image, UserPrompts& prompts, std::optional<LayoutFamily> from,
                  LayoutFamily to, bool NoDisplay) {
    using F = LayoutFamily;
    if (!from || *from == to) return true;
    bool whole = true;
    // Family 5 is the hub: leave the old family towards it, then go out to the new one.
    if (*from == F::Family170) whole = Convert170To5(image, prompts, NoDisplay) && whole;
    if (*from == F::Family3) whole = Convert3To5(image, prompts, NoDisplay) && whole;
    if (to == F::Family170) whole = Convert5To170(image, prompts, NoDisplay) && whole;
    if (to == F::Family3) whole = Convert5To3(image, prompts, NoDisplay) && whole;
    return whole;
}

// `dataVersion` names the data as they were until now: they are converted from its family.
void applyFamily(Tune& tune, UserPrompts& prompts, LayoutFamily family, const std::string& key,
                 const std::string& versionText, const std::string& dataVersion, bool NoDisplay) {
    const FamilyLayout& layout = familyLayout(family);
    // The lists, the block numbers and the tabs of the family, each written here only.
    tune.layout.apply(family);

    tune.conversionFailed =
        !convertImage(tune.image, prompts, dataFamilyOf(std::string_view(dataVersion).substr(0, 4)),
                      family, NoDisplay);

    // Without earlier data the block keeps what the unit or the file holds.
    if (!dataVersion.empty()) {
        if (const char* names =
                builtInItemNames(family, key, std::string_view(versionText).substr(0, 4))) {
            Bytes& slot = tune.image[layout.itemNameBlock];
            if (slot.size() < kItemNameLength) slot.resize(kItemNameLength);
            const Bytes text = bytesFromText(names);
            std::copy(text.begin(), text.end(), slot.begin());
        }
    }

    if (layout.pressureSensor)
        SetLabelsPressure(tune.settings, tune.trace, tune.monitorCaptions);
    else
        SetLabelsAirFlow(tune.settings, tune.trace, tune.monitorCaptions);
    if (layout.layout170)
        SetLayout170(tune.settings, tune.mapLayout);
    else
        SetLayoutStandard(tune.settings, tune.mapLayout);
    if (family != LayoutFamily::Family170) SetFamilyControls(tune.settings, family);

    ApplyItemNames(tune.image, layout.itemNameBlock, tune.trace, tune.monitorCaptions);
}

}  // namespace

namespace {

// CheckData: data of the pressure-sensor kind going to an air-flow unit, or the other way round.
void warnDataKind(const Tune& tune, UserPrompts& prompts, const std::string& name) {
    const bool dataPressure = tune.VerName == kPressureUnit;
    const bool unitPressure = name == kPressureUnit;
    if (dataPressure && !unitPressure)
        prompts.tell(kDJetroToLJetro, MessageIcon::Exclamation);
    else if (!dataPressure && unitPressure)
        prompts.tell(kLJetroToDJetro, MessageIcon::Exclamation);
}

// A supported version was found: the identity set, and its layout applied when asked.
Identification settle(Tune& tune, UserPrompts& prompts, const std::string& name,
                      const std::string& versionText, LayoutFamily family,
                      const VersionCheck& check) {
    const std::string dataVersion = std::exchange(tune.VerNumber, versionText);
    tune.VerName = name;
    if (check.ApplyLayout)
        applyFamily(tune, prompts, family, versionKey(name, versionText), versionText, dataVersion,
                    check.NoDisplay);
    return Identification::Identified;
}

}  // namespace

Identification identifyVersion(Tune& tune, UserPrompts& prompts, const VersionCheck& check) {
    const std::string name = programNameOf(tune.image);
    if (!isSr20Name(name)) return Identification::Failed;
    if (check.CheckData) warnDataKind(tune, prompts, name);
    const std::string versionText = versionTextOf(tune.image);
    const std::optional<LayoutFamily> family = familyOfKey(versionKey(name, versionText));
    if (!family) return Identification::Failed;
    return settle(tune, prompts, name, versionText, *family, check);
}

Identification identifyUnitVersion(Tune& tune, UserPrompts& prompts, PacketLink& unit,
                                   const VersionCheck& check) {
    PacketImage& image = tune.image;
    const Bytes savedName = image[kNameBlock];
    const Bytes savedVersion = image[kVersionBlock];
    const auto fail = [&] {
        image[kNameBlock] = savedName;
        image[kVersionBlock] = savedVersion;
        return Identification::Failed;
    };

    if (!readNameBlock(unit, image)) return fail();
    const std::string name = programNameOf(image);
    if (!isSr20Name(name)) {
        prompts.tell("This is not an SR20DET PFC", MessageIcon::Critical);
        return fail();
    }
    if (check.CheckData) warnDataKind(tune, prompts, name);

    // The version only once the name is known to be an SR20DET unit's.
    const std::uint8_t versionBlock = versionBlockOf(image);
    if (!unit.ReadPacketData(versionBlock, kVersionLength, image[versionBlock])) return fail();
    const std::string versionText = versionTextOf(image);

    if (check.CheckData &&
        versionText.substr(0, 1) != std::string_view(tune.VerNumber).substr(0, 1)) {
        if (prompts.showMessage(kConvertQuestion, MessageIcon::Question, MessageButtons::YesNo) !=
            MessageAnswer::Yes)
            return fail();
    }

    const std::optional<LayoutFamily> family = familyOfKey(versionKey(name, versionText));
    if (!family) return Identification::Unsupported;
    return settle(tune, prompts, name, versionText, *family, check);
}

bool storeVersionMenuIdentity(PacketImage& image, int menu, int item) {
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
    if (menu < 0 || menu >= static_cast<int>(std::size(kMenus))) return false;
    const Menu& m = kMenus[menu];
    if (item < 0 || item >= static_cast<int>(m.items.size())) return false;
    const Item& chosen = m.items[static_cast<std::size_t>(item)];

    const std::uint8_t nameBlock = chosen.olderUnit ? kOlderNameBlock : kNameBlock;
    const std::uint8_t versionBlock = chosen.olderUnit ? kOlderVersionBlock : kVersionBlock;
    const std::uint8_t otherName = chosen.olderUnit ? kNameBlock : kOlderNameBlock;
    const std::uint8_t otherVersion = chosen.olderUnit ? kVersionBlock : kOlderVersionBlock;
    image[nameBlock] = bytesFromText(m.name);
    image[versionBlock] = bytesFromText(chosen.version);
    image[otherName].clear();
    image[otherVersion].clear();
    return true;
}

void ApplyItemNames(const PacketImage& image, std::uint8_t block, TraceItems& trace,
                    MonitorCaptions& captions) {
    const Bytes& slot = image[block];
    auto& names = trace.TraceName;
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
