#include "model/trace_items.h"

#include <algorithm>
#include <cstddef>

namespace tunalyx {

namespace {

struct ItemRow {
    const char* name;
    int group;
    const char* descriptor;  // Basic and Advanced items only
};

// Items 58..61 take their names from the aux set-up; the table holds only their prefixes.
constexpr ItemRow kItems[kTraceItemCount] = {
    {"Rpm", kGroupAdvanced, "&HF0,1,2,1,0,0"},
    {"Load", kGroupAdvanced, "&HF0,3,2,1,0,0"},
    {"MAFS1 V", kGroupAdvanced, "&HF0,5,2,0.001,0,0.000"},
    {"MAFS2 V", kGroupAdvanced, "&HF0,7,2,0.001,0,0.000"},
    {"Inj ms", kGroupAdvanced, "&HF0,9,2,0.004,0,0.000"},
    {"Inj +/-", kGroupAdvanced, "&HF0,11,2,1,0,0"},
    {"IGN", kGroupAdvanced, "&HF0,13,1,1,0,0"},
    {"Dwell", kGroupAdvanced, "&HF0,14,1,1,0,0"},
    {"Boost", kGroupAdvanced, "&HF0,15,130,1,0,0"},
    {"Duty", kGroupAdvanced, "&HF0,17,2,0.005,0,0.000"},
    {"WtrT", kGroupAdvanced, "&HF0,19,1,1,-80,0"},
    {"AirT", kGroupAdvanced, "&HF0,20,1,1,-80,0"},
    {"Knock", kGroupAdvanced, "&HF0,21,1,1,0,0"},
    {"BatV", kGroupAdvanced, "&HF0,22,1,0.1,0,0.0"},
    {"Speed", kGroupAdvanced, "&HF0,23,2,1,0,0"},
    {"MAFS Act", kGroupAdvanced, "&HF0,25,2,0.16,0,0.00"},
    {"O2S1", kGroupAdvanced, "&HF0,27,1,0.02,0,0.00"},
    {"O2S2", kGroupAdvanced, "&HF0,28,1,0.02,0,0.00"},
    {"TPS V", kGroupAdvanced, "&HF0,29,2,0.001,0,0.000"},
    {"***", kGroupAdvanced, ""},
    {"InjDuty", kGroupBasic, "&HDA,1,2,0.1,0,0.0"},
    {"IgnTmng", kGroupBasic, "&HDA,3,2,1,0,0"},
    {"AirFlow", kGroupBasic, "&HDA,5,2,1,0,0"},
    {"EngRev", kGroupBasic, "&HDA,7,2,1,0,0"},
    {"Speed", kGroupBasic, "&HDA,9,2,1,0,0"},
    {"Boost", kGroupBasic, "&HDA,11,130,1,0,0"},
    {"Knock", kGroupBasic, "&HDA,13,2,1,0,0"},
    {"WtrTemp", kGroupBasic, "&HDA,15,2,1,-80,0"},
    {"AirTemp", kGroupBasic, "&HDA,17,2,1,-80,0"},
    {"BatVolt", kGroupBasic, "&HDA,19,2,0.1,0,0.0"},
    {"AF-1", kGroupSensor, ""},
    {"AF-2", kGroupSensor, ""},
    {"THRO", kGroupSensor, ""},
    {"BOST", kGroupSensor, ""},
    {"WTRT", kGroupSensor, ""},
    {"AIRT", kGroupSensor, ""},
    {"O2-1", kGroupSensor, ""},
    {"O2-2", kGroupSensor, ""},
    {"IGN", kGroupSensor, ""},
    {"STR", kGroupSensor, ""},
    {"IDL", kGroupSensor, ""},
    {"A/C", kGroupSensor, ""},
    {"PWS", kGroupSensor, ""},
    {"NTR", kGroupSensor, ""},
    {"***", kGroupSensor, ""},
    {"***", kGroupSensor, ""},
    {"ECC", kGroupSensor, ""},
    {"WRN", kGroupSensor, ""},
    {"F/P", kGroupSensor, ""},
    {"FP1", kGroupSensor, ""},
    {"FP2", kGroupSensor, ""},
    {"O2H", kGroupSensor, ""},
    {"ACR", kGroupSensor, ""},
    {"***", kGroupSensor, ""},
    {"AN1 raw", kGroupAux, ""},
    {"AN2 raw", kGroupAux, ""},
    {"AN3 raw", kGroupAux, ""},
    {"AN4 raw", kGroupAux, ""},
    {"AN1 ", kGroupAux, ""},
    {"AN2 ", kGroupAux, ""},
    {"AN3 ", kGroupAux, ""},
    {"AN4 ", kGroupAux, ""},
    {"N", kGroupMap, ""},
    {"P", kGroupMap, ""},
};

constexpr int kFirstAuxNamed = 58;
constexpr int kAuxNamedCount = 4;

constexpr const char* kGroupPrefixes[kTraceGroupCount] = {"Basic ", "Sensor/Sw ", "Aux ", "Map ",
                                                          "Advanced "};

constexpr bool validItem(int item) {
    return item >= 0 && item < kTraceItemCount;
}

std::size_t at(int i) {
    return static_cast<std::size_t>(i);
}

}  // namespace

void TraceItems::InitTraceItemLookup(const AuxNames& aux) {
    int nextIndex[kTraceGroupCount] = {};
    for (int i = 0; i < kTraceItemCount; ++i) {
        const ItemRow& row = kItems[i];
        TraceName[at(i)] = row.name;
        if (i >= kFirstAuxNamed && i < kFirstAuxNamed + kAuxNamedCount)
            TraceName[at(i)] += aux.names[at(i - kFirstAuxNamed)];
        TraceGroup[at(i)] = row.group;
        TraceGroupIndex[at(i)] = nextIndex[row.group]++;
    }

    for (auto& groupRow : TraceLookup)
        for (int& cell : groupRow)
            cell = 0;
    for (int i = 0; i < kTraceItemCount; ++i)
        TraceLookup[TraceGroup[at(i)]][TraceGroupIndex[at(i)]] = i;

    if (aux.an1MinusAn2) TraceName[at(lookup(kGroupAux, 4))] = "AN1-AN2 " + aux.names[0];
    if (aux.an3MinusAn4) TraceName[at(lookup(kGroupAux, 6))] = "AN3-AN4 " + aux.names[2];
}

std::string TraceItems::label(int item) const {
    if (!validItem(item)) return {};
    return std::string(GroupPrefix(TraceGroup[at(item)])) + TraceName[at(item)];
}

std::vector<std::string> TraceItems::itemChoices() const {
    std::vector<std::string> choices{"(None)"};
    for (int i = 0; i < kTraceItemCount; ++i) {
        choices.push_back(label(i));
        // An aux input named "raw" (the default) would read like its raw item.
        const bool named = i >= kFirstAuxNamed && i < kFirstAuxNamed + kAuxNamedCount;
        if (named && std::count(choices.begin(), choices.end(), choices.back()) > 1)
            choices.back() += " (calibrated)";
    }
    return choices;
}

int TraceItems::lookup(int group, int index) const {
    if (group < 0 || group >= kTraceGroupCount || index < 0 || index >= kTraceGroupSlots) return 0;
    return TraceLookup[group][index];
}

const char* GroupPrefix(int group) {
    if (group < 0 || group >= kTraceGroupCount) return "";
    return kGroupPrefixes[group];
}

const char* traceDescriptor(int item) {
    return validItem(item) ? kItems[item].descriptor : "";
}

MonitorCaptions::MonitorCaptions()
    : sensorLabels{"AF-1", "AF-2", "THRO", "BOST", "WTRT", "AIRT", "O2-1", "O2-2"},
      switchCaptions{"IGN", "STR", "IDL", "A/C", "PWS", "NTR", "",    "",
                     "ECC", "WRN", "F/P", "FP1", "FP2", "O2H", "ACR", ""},
      lblMonitor{"Inj Duty", "IgnTmng", "AirFlow",  "Eng Rev",  "Speed",
                 "Boost",    "Knock",   "Wtr Temp", "Air Temp", "Bat Volt"} {
    for (std::size_t i = 0; i < lblTuning.size(); ++i)
        lblTuning[i] = kItems[i].name;
}

std::optional<int> TraceItems::findInGroup(long long group, std::string_view name) const {
    for (int i = 0; i < kTraceItemCount; ++i)
        if (TraceGroup[static_cast<std::size_t>(i)] == group &&
            TraceName[static_cast<std::size_t>(i)] == name)
            return i;
    return std::nullopt;
}

}  // namespace tunalyx
