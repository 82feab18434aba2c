#pragma once

#include <string>

#include "maps/map_grids.h"
#include "model/packet_image.h"
#include "model/settings_table.h"
#include "model/trace_items.h"
#include "versions/layout_family.h"

namespace tunalyx {

// The data the window holds and how it reads them, as one value: the image with its changed
// flags (by block and by map cell) and its notes, the identity of the data, and the layout in
// force with everything a layout switch rewrites. Identification converts and re-points a Tune;
// whoever keeps a copy to put back keeps all of it, so a field added here cannot be forgotten.
struct Tune {
    PacketImage image;
    PacketDirty dirty;
    CellFlags cellChanged;
    std::string notes;  // the notes kept with the data file, lines joined by CR LF

    // Identity of the data in the image; empty until the first identification.
    std::string VerName;
    std::string VerNumber;

    LayoutInForce layout;
    SettingsTable settings = SettingsTable::standard();  // the Tags, captions, frames shown
    MapLayout mapLayout;
    TraceItems trace;  // the live items, named by the sensor set and the item-name block
    MonitorCaptions monitorCaptions;
    // The last layout switch could not convert the old data completely (and said so).
    bool conversionFailed = false;
};

}  // namespace tunalyx
