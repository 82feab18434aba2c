#include "monitor/live_decode.h"

#include <cmath>
#include <limits>

#include "model/descriptors.h"

namespace tunalyx {

namespace {

constexpr int kBoostDescriptorSize = 130;
constexpr int kSensorVoltages = 8;
constexpr int kSwitchBits = 8;
constexpr double kAuxVoltsPerCount = 1.0 / 51.0;

// The byte at 1-based pos; 0 past the end of a short reply.
int byteOrZero(const Bytes& data, int pos) {
    return pos >= 1 && static_cast<std::size_t>(pos) <= data.size()
               ? data[static_cast<std::size_t>(pos) - 1]
               : 0;
}

int wordAt(const Bytes& data, int pos) {
    return byteOrZero(data, pos) + 256 * byteOrZero(data, pos + 1);
}

// Held in single precision, as the items are kept.
double single(double v) {
    return static_cast<double>(static_cast<float>(v));
}

// A Basic or Advanced item from its monitor field's descriptor: block, position, size (1 byte,
// 2 word, 130 word with the boost rule), scale, offset, format. Basic items are always words.
double descriptorValue(int item, int group, const Bytes& data) {
    const auto fields = splitFields(traceDescriptor(item));
    if (fields.size() < 5) return 0;
    const auto pos = parseFieldInteger(fields[1]);
    const auto size = parseFieldInteger(fields[2]);
    const auto scale = parseFieldNumber(fields[3]);
    const auto offset = parseFieldNumber(fields[4]);
    if (!pos || !size || !scale || !offset) return 0;
    const int p = static_cast<int>(*pos);
    const bool word = group == kGroupBasic || *size != 1;
    double value = (word ? wordAt(data, p) : byteOrZero(data, p)) * *scale + *offset;
    if (*size == kBoostDescriptorSize) value = boostRule(value);
    return single(value);
}

}  // namespace

std::uint8_t liveCommand(const LiveCommands& live, int group) {
    switch (group) {
        case kGroupBasic:
            return live.basic;
        case kGroupSensor:
            return live.sensor;
        case kGroupMap:
            return live.map;
        case kGroupAux:
            return kAuxLiveCmd;
        default:
            return kAdvancedLiveCmd;
    }
}

double boostRule(double value) {
    const double clamped =
        std::clamp(std::nearbyint(value), double(std::numeric_limits<std::int32_t>::min()),
                   double(std::numeric_limits<std::int32_t>::max()));
    const auto n = static_cast<std::int32_t>(clamped);
    return (n & 0x8000) != 0 ? value - 32768 : value - 760;
}

void decodeGroup(int group, const Bytes& data, const TraceItems& items, const AuxCalibration& aux,
                 LiveSample& sample) {
    const auto item = [&](int index) {
        return static_cast<std::size_t>(items.lookup(group, index));
    };
    switch (group) {
        case kGroupBasic:
        case kGroupAdvanced:
            for (int i = 0; i < kGroupItemCount[static_cast<std::size_t>(group)]; ++i)
                sample.value[item(i)] = descriptorValue(static_cast<int>(item(i)), group, data);
            break;
        case kGroupSensor:
            for (int k = 0; k < kSensorVoltages; ++k) {
                const int lo = byteOrZero(data, 2 * k + 1);
                const int hi = byteOrZero(data, 2 * k + 2);
                sample.value[item(k)] = single(((hi & 1) * 256 + lo) / 100.0);
                sample.sensorFlag[static_cast<std::size_t>(k)] = (hi & 0x80) != 0;
            }
            for (int k = 0; k < kSwitchBits; ++k) {
                sample.value[item(kSensorVoltages + k)] = (byteOrZero(data, 17) >> k) & 1;
                sample.value[item(kSensorVoltages + kSwitchBits + k)] =
                    (byteOrZero(data, 18) >> k) & 1;
            }
            break;
        case kGroupAux: {
            std::array<double, 4> volts{};
            for (std::size_t k = 0; k < 4; ++k) {
                volts[k] = single(byteOrZero(data, static_cast<int>(k) + 1) * kAuxVoltsPerCount);
                sample.value[item(static_cast<int>(k))] = volts[k];
            }
            const std::array<double, 4> value = aux.values(volts);
            for (std::size_t k = 0; k < 4; ++k)
                sample.value[item(static_cast<int>(k) + 4)] = value[k];
            break;
        }
        case kGroupMap:
            sample.value[item(0)] = byteOrZero(data, 1);
            sample.value[item(1)] = byteOrZero(data, 2);
            break;
        default:
            break;
    }
}

Precision itemPrecision(const TraceItems& items, int item) {
    if (item < 0 || item >= kTraceItemCount) return Precision::Double;
    const auto at = static_cast<std::size_t>(item);
    const int index = items.TraceGroupIndex[at];
    switch (items.TraceGroup[at]) {
        case kGroupBasic:
        case kGroupAdvanced:
            return Precision::Single;
        case kGroupSensor:
            return index < kSensorVoltages ? Precision::Single : Precision::Double;
        case kGroupAux:
            return index < 4 ? Precision::Single : Precision::Double;  // raw volts, then calibrated
        default:
            return Precision::Double;
    }
}

void clearGroup(int group, const TraceItems& items, LiveSample& sample) {
    if (group < 0 || group >= kTraceGroupCount) return;
    for (int i = 0; i < kGroupItemCount[static_cast<std::size_t>(group)]; ++i)
        sample.value[static_cast<std::size_t>(items.lookup(group, i))] = 0;
    if (group == kGroupSensor) sample.sensorFlag.fill(false);
}

void recalculateAuxLog(LogStore& log, const TraceItems& items, const AuxCalibration& aux) {
    for (int s = 0; s <= log.LogLast; ++s) {
        std::array<double, 4> volts{};
        for (int k = 0; k < 4; ++k)
            volts[static_cast<std::size_t>(k)] = log.LogData(items.lookup(kGroupAux, k), s);
        const std::array<double, 4> value = aux.values(volts);
        for (std::size_t k = 0; k < 4; ++k)
            log.setLogData(items.lookup(kGroupAux, static_cast<int>(k) + 4), s, value[k]);
    }
    if (log.LogLast > 0) log.LogUnsaved = true;
}

}  // namespace tunalyx
