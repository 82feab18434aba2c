#include "versions/conversions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <exception>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>

namespace tunalyx {

namespace {

// A byte copy reaching past the end of a slot: the conversion stops there with its message.
class SlotTooShort : public std::out_of_range {
public:
    SlotTooShort() : std::out_of_range("slot too short") {}
};

std::size_t at(int pos) {
    return static_cast<std::size_t>(pos - 1);
}

// Bytes pos..pos+count-1 (1-based) of a slot.
Bytes bytesOf(const Bytes& slot, int pos, int count) {
    if (pos < 1 || at(pos) + static_cast<std::size_t>(count) > slot.size()) throw SlotTooShort();
    const auto first = slot.begin() + static_cast<std::ptrdiff_t>(at(pos));
    return Bytes(first, first + count);
}

std::uint8_t byteOf(const Bytes& slot, int pos) {
    return bytesOf(slot, pos, 1).front();
}

// Overwrites bytes from pos (1-based) on; the slot keeps its length.
void putBytes(Bytes& slot, int pos, const Bytes& bytes) {
    if (pos < 1 || at(pos) + bytes.size() > slot.size()) throw SlotTooShort();
    std::copy(bytes.begin(), bytes.end(), slot.begin() + static_cast<std::ptrdiff_t>(at(pos)));
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// to <- from: the slot moves and its old place is left empty.
void move(PacketImage& image, std::uint8_t to, std::uint8_t from) {
    image[to] = std::move(image[from]);
    image[from].clear();
}

void clear(PacketImage& image, std::initializer_list<std::uint8_t> blocks) {
    for (std::uint8_t b : blocks)
        image[b].clear();
}

void putNames(Bytes& slot, const std::array<const char*, 5>& names) {
    for (std::size_t i = 0; i < names.size(); ++i)
        putBytes(slot, 6 + 16 * static_cast<int>(i), bytesFromText(names[i]));
}

void runConversion(Session& session, const char* failureMessage,
                   const std::function<void(PacketImage&)>& steps) {
    try {
        steps(session.image);
    } catch (const std::exception&) {
        session.prompts.tell(failureMessage, MessageIcon::Critical);
    }
}

}  // namespace

void Convert3To5(Session& session, bool /*NoDisplay*/) {
    runConversion(session, "Error converting from 312 data", [](PacketImage& img) {
        move(img, 0xD6, 0x65);
        move(img, 0xCE, 0x5A);
        move(img, 0xD5, 0x5C);
        move(img, 0xD8, 0x6E);
        move(img, 0xD9, 0x6F);
        move(img, 0xDC, 0x67);
        move(img, 0xDD, 0x69);
    });
}

void Convert5To3(Session& session, bool /*NoDisplay*/) {
    runConversion(session, "Error converting to 312 data", [](PacketImage& img) {
        move(img, 0x65, 0xD6);
        move(img, 0x5A, 0xCE);
        move(img, 0x5C, 0xD5);
        move(img, 0x6E, 0xD8);
        move(img, 0x6F, 0xD9);
        move(img, 0x67, 0xDC);
        move(img, 0x69, 0xDD);
    });
}

void Convert170To5(Session& session, bool NoDisplay) {
    runConversion(session, "Error converting from 170 data", [NoDisplay](PacketImage& img) {
        for (std::uint8_t i = 0; i < 4; ++i) {
            move(img, static_cast<std::uint8_t>(0x86 + i), static_cast<std::uint8_t>(0x56 + i));
            move(img, static_cast<std::uint8_t>(0x81 + i), static_cast<std::uint8_t>(0x52 + i));
        }

        // The boost kit flag lives in the function select block of the older layout.
        img[0xAB] = join(
            {{byteOf(img[0x65], 1), 0x00}, bytesOf(img[0x5C], 1, 5), bytesOf(img[0x5C], 10, 4)});
        move(img, 0xD5, 0x5C);
        move(img, 0x8B, 0x60);
        move(img, 0xD6, 0x65);

        if (!NoDisplay) {
            // Function 3 (injector warning) has no place in the newer list; 4 and 5 move up.
            Bytes& fs = img[0xD6];
            putBytes(fs, 3, bytesOf(fs, 4, 2));
            putBytes(fs, 5, {0xFF});
            putNames(fs, {"1.Boost cntl kit", "2.Inj/AirF Warn.", "3.Knock Warning ",
                          "4.O2 F/B Control", "5.O2 Sensor Reg."});
        }

        // Blocks the older layout lacks get defaults; the warning flags follow function select.
        img[0xA7] = join({{byteOf(img[0xD6], 2)}, HexToBytes("FC031E")});
        img[0xA8] = join({{byteOf(img[0xD6], 2)}, HexToBytes("D4031E")});
        img[0xA9] = join({{byteOf(img[0xD6], 3)}, HexToBytes("3C0009")});
        img[0xAA] = join({{byteOf(img[0xD6], 4)}, HexToBytes("0C01")});
        img[0xAC] = Bytes(10, 0x00);
        move(img, 0x8F, 0x5F);
        img[0x93] = join({HexToBytes("7D644B3219"), bytesOf(img[0x5D], 1, 20)});
        img[0x5D].clear();
        move(img, 0x8E, 0x5E);
        img[0x90] = HexToBytes("BE8CAF802E1D");
        img[0x91] = HexToBytes("B499968F78802E1D");
        img[0x94] = HexToBytes("C0C000645900401400");
        move(img, 0x8A, 0x51);
        move(img, 0xCE, 0x5A);
        img[0x96] = HexToBytes("00030609");
        img[0x97] = HexToBytes("2317");
        img[0x98] = HexToBytes("BE05AA00");
        img[0x9B] = HexToBytes("6B562E190F0A");
        img[0x9C] = HexToBytes("354050738CF9");
        img[0x9A] = HexToBytes("96058C038200");
        move(img, 0x8D, 0x5B);
        img[0x92] = HexToBytes("9700C100EE001B0149015D01");
        img[0xAD] = HexToBytes("2020202020202020");

        move(img, 0xD8, 0x6E);
        move(img, 0xD9, 0x6F);
        move(img, 0xDC, 0x67);
        move(img, 0xDD, 0x69);
    });
}

void Convert5To170(Session& session, bool NoDisplay) {
    runConversion(session, "Error converting to 3.11 data", [NoDisplay](PacketImage& img) {
        for (std::uint8_t i = 0; i < 4; ++i) {
            move(img, static_cast<std::uint8_t>(0x56 + i), static_cast<std::uint8_t>(0x86 + i));
            move(img, static_cast<std::uint8_t>(0x52 + i), static_cast<std::uint8_t>(0x81 + i));
        }

        img[0x5C] =
            join({bytesOf(img[0xAB], 3, 5), bytesOf(img[0xD5], 6, 4), bytesOf(img[0xAB], 8, 4)});
        img[0xAB].clear();
        move(img, 0x60, 0x8B);
        move(img, 0x65, 0xD6);

        if (!NoDisplay) {
            // The older list has the injector warning as function 3: 2..4 move down one place.
            Bytes& fs = img[0x65];
            putBytes(fs, 3, bytesOf(fs, 2, 3));
            putNames(fs, {"1.Boost cntl kit", "2.Air-Flow Warn.", "3.Injector Warn.",
                          "4.Knock Warning ", "5.O2 F/B Control"});
        }

        clear(img, {0xA7, 0xA8, 0xA9, 0xAA, 0xAC});

        move(img, 0x5F, 0x8F);
        img[0x5D] = bytesOf(img[0x93], 6, 20);
        img[0x93].clear();
        move(img, 0x5E, 0x8E);
        clear(img, {0x90, 0x91, 0x94});
        move(img, 0x51, 0x8A);
        move(img, 0x5A, 0xCE);
        clear(img, {0x96, 0x97, 0x98, 0x9A, 0x9B, 0x9C});
        move(img, 0x5B, 0x8D);
        clear(img, {0x92, 0xAD});

        move(img, 0x6E, 0xD8);
        move(img, 0x6F, 0xD9);
        move(img, 0x67, 0xDC);
        move(img, 0x69, 0xDD);
    });
}

namespace {

struct FrameVisibility {
    int frame;
    bool pressure;
    bool airFlow;
};
constexpr FrameVisibility kSensorFrames[] = {
    {28, false, true},  // Rev / Idle, 0x8B
    {1, true, false},   // Rev / Idle, 0x7A
    {29, true, false},  // Inj vs AirTemp, 0xB9
    {2, true, false},   // PIM scale, offset
    {31, true, false},  // IGN vs TPS, 0xBB
    {132, false, false},
};

struct SensorNames {
    const char* general10;
    const char* monitor2;  // lblMonitor(2) and item 22
    const char* tuning1;   // lblTuning(1) and item 1
    const char* tuning2;
    const char* item2;
    const char* tuning3;  // lblTuning(3) and item 3; null leaves both
    const char* tuning15;
    const char* item15;
    const char* tuning18;  // lblTuning(18) and item 18
};

void applySensorLabels(Session& session, bool pressure, const SensorNames& n) {
    for (const FrameVisibility& f : kSensorFrames)
        session.settings.setFrameVisible(f.frame, pressure ? f.pressure : f.airFlow);
    session.reCalcBaseEnabled = pressure;
    session.settings.setCaption(ControlKind::Caption, 10, n.general10);

    auto& captions = session.monitorCaptions;
    auto& names = session.trace.TraceName;
    captions.lblMonitor[2] = n.monitor2;
    names[22] = n.monitor2;
    captions.lblTuning[1] = n.tuning1;
    names[1] = n.tuning1;
    captions.lblTuning[2] = n.tuning2;
    names[2] = n.item2;
    if (n.tuning3) {
        captions.lblTuning[3] = n.tuning3;
        names[3] = n.tuning3;
    }
    captions.lblTuning[15] = n.tuning15;
    names[15] = n.item15;
    captions.lblTuning[18] = n.tuning18;
    names[18] = n.tuning18;
}

struct TagPair {
    ControlKind kind;
    int index;
    const char* layout170;
    const char* standard;
};

// Written in this order by both descriptor sets; the two columns mirror the conversions.
constexpr TagPair kLayoutTags[] = {
    {ControlKind::Frame, 26, "&H5c,13", "&HAB,11,&HD5,13"},
    {ControlKind::Option, 0, "&H5c,1,0,3", "&HAB,3,0,3"},
    {ControlKind::Option, 1, "&H5c,1,1,3", "&HAB,3,1,3"},
    {ControlKind::Option, 7, "&H5c,1,2,3", "&HAB,3,2,3"},
    {ControlKind::Option, 8, "&H5c,1,3,3", "&HAB,3,3,3"},
    {ControlKind::Text, 188, "&H5c,2,1,0.05,0,0.00", "&HAB,4,1,0.05,0,0.00"},
    {ControlKind::Text, 189, "&H5c,3,1,0.05,0,0.00", "&HAB,5,1,0.05,0,0.00"},
    {ControlKind::Text, 190, "&H5c,4,1,0.05,0,0.00", "&HAB,6,1,0.05,0,0.00"},
    {ControlKind::Text, 191, "&H5c,5,1,0.05,0,0.00", "&HAB,7,1,0.05,0,0.00"},
    {ControlKind::Text, 10, "&H5c,10,1,1,0,0", "&HAB,8,1,1,0,0"},
    {ControlKind::Text, 259, "&H5c,11,1,1,0,0", "&HAB,9,1,1,0,0"},
    {ControlKind::Text, 260, "&H5c,12,1,1,0,0", "&HAB,10,1,1,0,0"},
    {ControlKind::Text, 11, "&H5c,13,1,1,0,0", "&HAB,11,1,1,0,0"},
    {ControlKind::Text, 192, "&H5c,6,1,1,0,0", "&HD5,6,1,1,0,0"},
    {ControlKind::Text, 193, "&H5c,7,1,1,0,0", "&HD5,7,1,1,0,0"},
    {ControlKind::Text, 194, "&H5c,8,1,1,0,0", "&HD5,8,1,1,0,0"},
    {ControlKind::Text, 195, "&H5c,9,1,1,0,0", "&HD5,9,1,1,0,0"},
    {ControlKind::Frame, 28, "&H60,12", "&H8B,12"},
    {ControlKind::Text, 196, "&H60,1,2,1,0,0", "&H8B,1,2,1,0,0"},
    {ControlKind::Text, 197, "&H60,3,2,1,0,0", "&H8B,3,2,1,0,0"},
    {ControlKind::Text, 198, "&H60,5,2,1,0,0", "&H8B,5,2,1,0,0"},
    {ControlKind::Text, 199, "&H60,7,2,1,0,0", "&H8B,7,2,1,0,0"},
    {ControlKind::Text, 200, "&H60,9,2,1,0,0", "&H8B,9,2,1,0,0"},
    {ControlKind::Frame, 35, "&H6b,8,&H6c,5", "&HF3,8,&HF5,5"},
    {ControlKind::Label, 5, "&H6b,1,8", "&HF3,1,8"},
    {ControlKind::Label, 6, "&H6c,1,5", "&HF5,1,5"},
    {ControlKind::Frame, 36, "&H65,85", "&HD6,85"},
    {ControlKind::Label, 7, "&H65,6,16", "&HD6,6,16"},
    {ControlKind::Label, 8, "&H65,22,16", "&HD6,22,16"},
    {ControlKind::Label, 9, "&H65,38,16", "&HD6,38,16"},
    {ControlKind::Label, 10, "&H65,54,16", "&HD6,54,16"},
    {ControlKind::Label, 11, "&H65,70,16", "&HD6,70,16"},
    {ControlKind::Check, 0, "&H65,1,0", "&HD6,1,0"},
    {ControlKind::Check, 1, "&H65,2,0", "&HD6,2,0"},
    {ControlKind::Check, 2, "&H65,3,0", "&HD6,3,0"},
    {ControlKind::Check, 3, "&H65,4,0", "&HD6,4,0"},
    {ControlKind::Check, 4, "&H65,5,0", "&HD6,5,0"},
    {ControlKind::Frame, 6, "&H5b,24", "&H8D,24"},
};

constexpr int kInjectorBoxes[] = {70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 257, 258};

struct LayoutBlocks {
    std::uint8_t injMap;
    std::uint8_t ignMap;
    std::uint8_t mapRef;
    LiveCommands live;
    std::uint8_t airFlow;
    std::uint8_t functionSelect;
    const char* injectorBlock;  // the first four characters of an injector box's Tag
};

void applyDescriptorSet(Session& session, const LayoutBlocks& b, bool layout170) {
    session.maps.setMapBlock(kInjMap, b.injMap);
    session.maps.setMapBlock(kIgnMap, b.ignMap);
    session.live = b.live;
    session.airFlowBlock = b.airFlow;
    session.functionSelectBlock = b.functionSelect;
    session.maps.MapRefBlock = b.mapRef;

    for (const TagPair& t : kLayoutTags)
        session.settings.setTag(t.kind, t.index, layout170 ? t.layout170 : t.standard);
    // Only the block of an injector box moves; position, scale and format stay.
    for (int index : kInjectorBoxes) {
        const SettingControl* box = session.settings.find(ControlKind::Text, index);
        if (!box) continue;
        const std::string rest = box->tag.size() > 4 ? box->tag.substr(4) : std::string();
        session.settings.setTag(ControlKind::Text, index, b.injectorBlock + rest);
    }
}

}  // namespace

void SetLabelsAirFlow(Session& session) {
    applySensorLabels(session, false,
                      {"AirFlow", "AirFlow", "Load", "MAFS1", "MAFS1 V", nullptr, "MAFS Activity",
                       "MAFS Act", "TPS V"});
}

void SetLabelsPressure(Session& session) {
    applySensorLabels(
        session, true,
        {"PIM (cPa)", "PimVolt", "PIM", "PIM V", "PIM V", "TPS V", "???", "???", "???"});
}

void SetLayout170(Session& session) {
    applyDescriptorSet(session, {0x56, 0x52, 0x51, {0x66, 0x6A, 0x68}, 0x5A, 0x65, "&H5b"}, true);
}

void SetLayoutStandard(Session& session) {
    applyDescriptorSet(session, {0x86, 0x81, 0x8A, {0xDA, 0xDE, 0xDB}, 0xCE, 0xD6, "&H8D"}, false);
}

}  // namespace tunalyx
