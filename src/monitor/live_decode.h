#pragma once

#include <array>
#include <cstdint>

#include "auxinputs/aux_calibration.h"
#include "model/number_format.h"
#include "model/trace_items.h"
#include "monitor/log_store.h"
#include "ports/bytes.h"
#include "versions/layout_family.h"

namespace tunalyx {

// The live-data requests of each group, by group number: data length of the reply, and how many
// items the group stores in a sample.
inline constexpr std::array<int, kTraceGroupCount> kLiveLength = {20, 18, 4, 2, 30};
inline constexpr std::array<int, kTraceGroupCount> kGroupItemCount = {10, 24, 8, 2, 19};
// The order in which a cycle reads the groups: Basic, Sensors, Aux, Map, Advanced.
inline constexpr std::array<int, kTraceGroupCount> kPollOrder = {
    kGroupBasic, kGroupSensor, kGroupAux, kGroupMap, kGroupAdvanced};

// The command byte of a group's live-data block for the version in force.
[[nodiscard]] std::uint8_t liveCommand(const LiveCommands& live, int group);

// One sample: a value for every item (index = item number) and the sensors' flag bits.
struct LiveSample {
    std::array<double, kTraceItemCount> value{};
    std::array<bool, 8> sensorFlag{};
};

// Decodes a group's reply (data bytes) into the sample; bytes missing from a short reply read
// as 0. Descriptor items, sensor and raw aux voltages are held in single precision.
void decodeGroup(int group, const Bytes& data, const TraceItems& items, const AuxCalibration& aux,
                 LiveSample& sample);
// The items of a group that was not polled read 0.
void clearGroup(int group, const TraceItems& items, LiveSample& sample);
// Descriptor items, sensor voltages and raw aux voltages are held as singles; written as such,
// 14.2 stays "14.2".
[[nodiscard]] Precision itemPrecision(const TraceItems& items, int item);

// "ReCalculate Log": the calibrated aux items of every sample in memory again from the raw
// voltages; a log of more than one sample becomes unsaved.
void recalculateAuxLog(LogStore& log, const TraceItems& items, const AuxCalibration& aux);

// The boost rule of descriptor size 130: words with bit 15 set are positive from 0x8000, the
// others count down from 760.
[[nodiscard]] double boostRule(double value);

}  // namespace tunalyx
