#pragma once

namespace tunalyx {

// The Monitor's caption of a group of live items, the box to tick to log it: "Basic",
// "Sensors", "Aux A/D", "Map Ref", "Advanced"; empty for no group.
[[nodiscard]] const char* groupCaption(int group);

// The decimals an item keeps in the Monitor and in a log file: a Basic or Advanced item's
// display format, two for the sensor voltages, three for the aux inputs; kWholePart for the
// switches and the unit's map position, and for a format without a point.
[[nodiscard]] int itemDecimals(int item);

}  // namespace tunalyx
