#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "maps/map_grids.h"
#include "model/settings_table.h"
#include "model/trace_items.h"
#include "versions/layout_family.h"

namespace tunalyx {

// The sensor label sets: the air flow meter's or the pressure sensor's frames, captions and
// live item names.
void SetLabelsAirFlow(SettingsTable& settings, TraceItems& trace, MonitorCaptions& captions);
void SetLabelsPressure(SettingsTable& settings, TraceItems& trace, MonitorCaptions& captions);

// The descriptor sets: which blocks the maps and the setting controls address, and which of two
// alternative frames shows, for the older unit (1.70) or the standard layout.
void SetLayout170(SettingsTable& settings, MapLayout& maps);
void SetLayoutStandard(SettingsTable& settings, MapLayout& maps);

// Families 3, 5 and T2-D after their descriptor set: function select and the boost solenoids
// on the family's blocks, and its air flow frame.
void SetFamilyControls(SettingsTable& settings, LayoutFamily family);

// A Tag to write into the settings table.
struct TagRewrite {
    ControlKind kind;
    int index;
    std::string tag;
};
// The function select frame, its name labels and check boxes on `block` ("&H65", "&HD6").
[[nodiscard]] std::vector<TagRewrite> functionSelectTags(std::string_view block);
// The four solenoid A boxes of the boost frame on `block` ("&H5c", "&H5C", "&HD5").
[[nodiscard]] std::vector<TagRewrite> solenoidTags(std::string_view block);

}  // namespace tunalyx
