#include "versions/layout_sets.h"

#include <optional>

namespace tunalyx {

namespace {

// Frames that hold what only one kind of sensor has.
struct SensorFrame {
    int frame;
    bool pressure;  // shown by the pressure-sensor set
    bool airFlow;   // shown by the air flow meter set
};
constexpr SensorFrame kSensorFrames[] = {
    {28, false, true},    // Rev / Idle, 0x8B
    {1, true, false},     // Rev / Idle, 0x7A
    {29, true, false},    // Inj vs AirTemp, 0xB9
    {2, true, false},     // PIM scale, offset
    {31, true, false},    // IGN vs TPS, 0xBB
    {132, false, false},  // Air Flow, 0x5A: the descriptor set or the family shows it
    {19, true, false},    // INJ vs TPS, 0xBA
    {23, true, false},    // Inj Adjust, 0xCB
    {3, false, true},     // Air-Flow Warn: a pressure sensor has no meter to warn of
    {22, false, true},    // Air Flow Curves
};

// Frames that the older unit's descriptor set shows or hides; the standard set does the
// opposite, except where it has nothing to say (the sensor decides those).
struct LayoutFrame {
    int frame;
    bool older;
    std::optional<bool> standard;
};
constexpr LayoutFrame kLayoutFrames[] = {
    // Alternative blocks of the same function.
    {9, false, true},    // Cranking, 0x8E
    {109, true, false},  // Cranking, 0x5E
    {11, false, true},   // Water Temp Correction, 0x8F
    {111, true, false},  // Water Temp Correction, 0x5F
    {13, false, true},   // Accelerate Injector, 0x93
    {113, true, false},  // Accelerate Injector, 0x5D
    {20, false, true},   // Map Reference, 0x8A
    {120, true, false},  // Map Reference, 0x51
    {32, false, true},   // Air Flow, 0xCE
    {132, true, false},  // Air Flow, 0x5A
    // Blocks the older unit does not have.
    {4, false, true},           // Protect, 0xAC
    {5, false, true},           // Injector Warn, 0xA8
    {7, false, true},           // Knock Warn, 0xA9
    {8, false, true},           // O2 Feedback, 0xAA
    {15, false, true},          // Inj vs Accel TPS1, 0x94
    {16, false, true},          // INJ vs Air Temp and Boost, 0x91
    {17, false, true},          // INJ vs Water Temp and Boost, 0x90
    {18, false, true},          // INJ Lag, 0x92
    {24, false, true},          // IGN vs BatV, 0x9C
    {25, false, true},          // IGN Dwell vs RPM, 0x9B
    {27, false, true},          // IGN vs AirT, 0x9A
    {30, false, true},          // IGN vs WaterT, 0x98
    {37, false, true},          // IGN vs WaterT Cool, 0x96
    {33, false, true},          // Boost vs IGN S.F., 0x97
    {39, false, true},          // Telpod Custom Features, 0xAD
    {3, false, std::nullopt},   // Air-Flow Warn, 0xA7
    {22, false, std::nullopt},  // Air Flow Curves, 0xA0..0xA5
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

void applySensorLabels(SettingsTable& settings, TraceItems& trace, MonitorCaptions& captions,
                       bool pressure, const SensorNames& n) {
    for (const SensorFrame& f : kSensorFrames)
        settings.setFrameVisible(f.frame, pressure ? f.pressure : f.airFlow);
    settings.setCaption(ControlKind::Caption, 10, n.general10);

    auto& names = trace.TraceName;
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

// Boost control, rev / idle and version, written by both descriptor sets; the two columns
// mirror the conversions. Function select and the solenoid boxes come from their generators.
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
    {ControlKind::Frame, 28, "&H60,12", "&H8B,12"},
    {ControlKind::Text, 196, "&H60,1,2,1,0,0", "&H8B,1,2,1,0,0"},
    {ControlKind::Text, 197, "&H60,3,2,1,0,0", "&H8B,3,2,1,0,0"},
    {ControlKind::Text, 198, "&H60,5,2,1,0,0", "&H8B,5,2,1,0,0"},
    {ControlKind::Text, 199, "&H60,7,2,1,0,0", "&H8B,7,2,1,0,0"},
    {ControlKind::Text, 200, "&H60,9,2,1,0,0", "&H8B,9,2,1,0,0"},
    {ControlKind::Frame, 35, "&H6b,8,&H6c,5", "&HF3,8,&HF5,5"},
    {ControlKind::Label, 5, "&H6b,1,8", "&HF3,1,8"},
    {ControlKind::Label, 6, "&H6c,1,5", "&HF5,1,5"},
    {ControlKind::Frame, 6, "&H5b,24", "&H8D,24"},
};

constexpr int kInjectorBoxes[] = {70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 257, 258};

struct DescriptorSet {
    std::uint8_t injMap;
    std::uint8_t ignMap;
    std::uint8_t mapRef;
    const char* functionSelect;
    const char* solenoids;
    const char* injectors;  // the first four characters of an injector box's Tag
};

void write(SettingsTable& settings, const std::vector<TagRewrite>& tags) {
    for (const TagRewrite& t : tags)
        settings.setTag(t.kind, t.index, t.tag);
}

void applyDescriptorSet(SettingsTable& settings, MapLayout& maps, const DescriptorSet& set,
                        bool layout170) {
    maps.setMapBlock(kInjMap, set.injMap);
    maps.setMapBlock(kIgnMap, set.ignMap);
    maps.MapRefBlock = set.mapRef;

    for (const TagPair& t : kLayoutTags)
        settings.setTag(t.kind, t.index, layout170 ? t.layout170 : t.standard);
    write(settings, functionSelectTags(set.functionSelect));
    write(settings, solenoidTags(set.solenoids));
    // Only the block of an injector box moves; position, scale and format stay.
    for (int index : kInjectorBoxes) {
        const SettingControl* box = settings.find(ControlKind::Text, index);
        if (!box) continue;
        const std::string rest = box->tag.size() > 4 ? box->tag.substr(4) : std::string();
        settings.setTag(ControlKind::Text, index, set.injectors + rest);
    }

    for (const LayoutFrame& f : kLayoutFrames) {
        if (layout170)
            settings.setFrameVisible(f.frame, f.older);
        else if (f.standard)
            settings.setFrameVisible(f.frame, *f.standard);
    }
}

std::string field(std::string_view block, int pos, std::string_view rest) {
    return std::string(block) + "," + std::to_string(pos) + "," + std::string(rest);
}

}  // namespace

std::vector<TagRewrite> functionSelectTags(std::string_view block) {
    std::vector<TagRewrite> tags{{ControlKind::Frame, 36, std::string(block) + ",85"}};
    for (int i = 0; i < 5; ++i) {
        tags.push_back({ControlKind::Label, 7 + i, field(block, 6 + 16 * i, "16")});
        tags.push_back({ControlKind::Check, i, field(block, 1 + i, "0")});
    }
    return tags;
}

std::vector<TagRewrite> solenoidTags(std::string_view block) {
    std::vector<TagRewrite> tags;
    for (int i = 0; i < 4; ++i)
        tags.push_back({ControlKind::Text, 192 + i, field(block, 6 + i, "1,1,0,0")});
    return tags;
}

void SetLabelsAirFlow(SettingsTable& settings, TraceItems& trace, MonitorCaptions& captions) {
    applySensorLabels(settings, trace, captions, false,
                      {"AirFlow", "AirFlow", "Load", "MAFS1", "MAFS1 V", nullptr, "MAFS Activity",
                       "MAFS Act", "TPS V"});
}

void SetLabelsPressure(SettingsTable& settings, TraceItems& trace, MonitorCaptions& captions) {
    applySensorLabels(
        settings, trace, captions, true,
        {"PIM (cPa)", "PimVolt", "PIM", "PIM V", "PIM V", "TPS V", "???", "???", "???"});
}

void SetLayout170(SettingsTable& settings, MapLayout& maps) {
    const FamilyLayout& l = familyLayout(LayoutFamily::Family170);
    applyDescriptorSet(settings, maps,
                       {l.injMapBlock, l.ignMapBlock, l.mapRefBlock, "&H65", "&H5c", "&H5b"}, true);
}

void SetLayoutStandard(SettingsTable& settings, MapLayout& maps) {
    const FamilyLayout& l = familyLayout(LayoutFamily::Family5);
    applyDescriptorSet(settings, maps,
                       {l.injMapBlock, l.ignMapBlock, l.mapRefBlock, "&HD6", "&HD5", "&H8D"},
                       false);
}

void SetFamilyControls(SettingsTable& settings, LayoutFamily family) {
    const bool family3 = family == LayoutFamily::Family3;
    write(settings, functionSelectTags(family3 ? "&H65" : "&HD6"));
    const char* solenoids = family3 ? "&H5C" : "&HD5";
    settings.setTag(ControlKind::Frame, 26, std::string("&HAB,11,") + solenoids + ",13");
    write(settings, solenoidTags(solenoids));
    settings.setFrameVisible(32, family == LayoutFamily::Family5);
    settings.setFrameVisible(132, family3);
}

}  // namespace tunalyx
