#include "monitor/log_groups.h"

#include <cstddef>
#include <string_view>
#include <vector>

#include "model/descriptors.h"
#include "model/trace_items.h"
#include "monitor/log_numbers.h"

namespace tunalyx {

const char* groupCaption(int group) {
    static constexpr const char* kCaptions[kTraceGroupCount] = {"Basic", "Sensors", "Aux A/D",
                                                                "Map Ref", "Advanced"};
    return group >= 0 && group < kTraceGroupCount ? kCaptions[group] : "";
}

int itemDecimals(int item) {
    const TraceItems items;
    if (item < 0 || item >= kTraceItemCount) return kWholePart;
    const int group = items.TraceGroup[static_cast<std::size_t>(item)];
    constexpr int kSensorVoltages = 8;  // the switch bits follow
    switch (group) {
        case kGroupBasic:
        case kGroupAdvanced: {
            const std::vector<std::string_view> fields = splitFields(traceDescriptor(item));
            return fields.size() == 6 ? truncatedDecimals(fields[5]) : kWholePart;
        }
        case kGroupSensor:
            return items.TraceGroupIndex[static_cast<std::size_t>(item)] < kSensorVoltages
                       ? 2
                       : kWholePart;
        case kGroupAux:
            return 3;
        default:
            return kWholePart;
    }
}

}  // namespace tunalyx
