#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunalyx {

inline constexpr int kTraceItemCount = 64;
inline constexpr int kTraceGroupCount = 5;
inline constexpr int kTraceGroupSlots = 31;

// Live-data groups by number: 0 Basic, 1 Sensor/Sw, 2 Aux, 3 Map, 4 Advanced.
inline constexpr int kGroupBasic = 0;
inline constexpr int kGroupSensor = 1;
inline constexpr int kGroupAux = 2;
inline constexpr int kGroupMap = 3;
inline constexpr int kGroupAdvanced = 4;

// Items the program reads by number, not only shows.
inline constexpr int kRpmItem = 0;             // Advanced Rpm
inline constexpr int kLoadItem = 1;            // Advanced Load
inline constexpr int kInjMsItem = 4;           // Advanced Inj ms
inline constexpr int kWaterTempItem = 10;      // Advanced WtrT
inline constexpr int kKnockItem = 12;          // Advanced Knock, in counts
inline constexpr int kThrottleVoltsItem = 18;  // Advanced TPS V
inline constexpr int kAn1Item = 58;            // AN1 through its calibration
inline constexpr int kLoggedColumnItem = 62;   // the unit's own map column, N
inline constexpr int kLoggedRowItem = 63;      // and row, P

// The user's set-up of the four analogue inputs of the interface box, as far as names go.
struct AuxNames {
    std::array<std::string, 4> names;
    bool an1MinusAn2 = false;
    bool an3MinusAn4 = false;
};

// The 64 live items: name, group and position in the group, and the lookup back.
struct TraceItems {
    std::array<std::string, kTraceItemCount> TraceName;
    std::array<int, kTraceItemCount> TraceGroup{};
    std::array<int, kTraceItemCount> TraceGroupIndex{};
    int TraceLookup[kTraceGroupCount][kTraceGroupSlots] = {};

    // Builds the table from the built-in names and the aux names (restoring every name a
    // sensor layout may have changed).
    void InitTraceItemLookup(const AuxNames& aux = {});
    // GroupPrefix(group) + TraceName(item), e.g. "Advanced Rpm".
    [[nodiscard]] std::string label(int item) const;
    // The list an item is picked from: "(None)" first, then the label of item 0..63, so that
    // position = item + 1.
    [[nodiscard]] std::vector<std::string> itemChoices() const;
    // (group, index) -> item; 0 outside the table.
    [[nodiscard]] int lookup(int group, int index) const;
    // The first item in number order of that group with that name: how files made under another
    // version find an item the table numbers differently.
    [[nodiscard]] std::optional<int> findInGroup(long long group, std::string_view name) const;

    TraceItems() { InitTraceItemLookup(); }
};

// "Basic ", "Sensor/Sw ", "Aux ", "Map ", "Advanced ".
[[nodiscard]] const char* GroupPrefix(int group);
// The monitor field descriptor of a Basic (items 20..29) or Advanced (items 0..18) item, e.g.
// "&HF0,1,2,1,0,0"; empty for other items.
[[nodiscard]] const char* traceDescriptor(int item);

// Captions of the monitor window that the version layer renames before the window exists.
struct MonitorCaptions {
    std::array<std::string, 8> sensorLabels;     // "AF-1", "AF-2", ...
    std::array<std::string, 16> switchCaptions;  // "IGN", "STR", ...
    std::array<std::string, 10> lblMonitor;      // "Inj Duty", "IgnTmng", ...
    std::array<std::string, 19> lblTuning;       // the Advanced fields

    MonitorCaptions();
};

}  // namespace tunalyx
