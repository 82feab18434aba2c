#include "monitor/monitor_readout.h"

#include "model/descriptors.h"

namespace tunalyx {

namespace {

// The display format of a Basic or Advanced item: the last field of its descriptor.
std::string itemFormat(int item) {
    const auto fields = splitFields(traceDescriptor(item));
    return fields.size() >= 6 ? std::string(fields[5]) : std::string();
}

}  // namespace

std::string nextMaximum(const std::string& shown, double value, Precision precision,
                        bool firstSample, const NumberLocale& locale) {
    if (firstSample || parseUserNumber(shown, locale).value_or(0) < value)
        return formatValue(value, "", locale, precision);
    return shown;
}

void MonitorReadout::samplePublished(const PublishedSample& sample) {
    if (sample.refresh) showFields(sample.values);
    for (std::size_t i = 0; i < m_fields.txtMonitorMax.size(); ++i) {
        const int item = m_items.lookup(kGroupBasic, static_cast<int>(i));
        m_fields.txtMonitorMax[i] = nextMaximum(
            m_fields.txtMonitorMax[i], sample.values.value[static_cast<std::size_t>(item)],
            itemPrecision(m_items, item), sample.index == 0, m_locale);
    }
    m_count = sample.index + 1;
}

void MonitorReadout::showFields(const LiveSample& sample) {
    const auto value = [&](int group, int index) {
        return sample.value[static_cast<std::size_t>(m_items.lookup(group, index))];
    };
    // In the item's own precision: a single rounds from its own digits.
    const auto text = [&](int group, int index, const std::string& format) {
        const int item = m_items.lookup(group, index);
        return formatValue(sample.value[static_cast<std::size_t>(item)],
                           format.empty() ? itemFormat(item) : format, m_locale,
                           itemPrecision(m_items, item));
    };
    for (std::size_t i = 0; i < m_fields.txtMonitor.size(); ++i)
        m_fields.txtMonitor[i] = text(kGroupBasic, static_cast<int>(i), "");
    for (std::size_t i = 0; i < m_fields.txtTuning.size(); ++i)
        m_fields.txtTuning[i] = text(kGroupAdvanced, static_cast<int>(i), "");
    for (std::size_t k = 0; k < 8; ++k) {
        const int index = static_cast<int>(k);
        m_fields.txtSensor[k] = text(kGroupSensor, index, "0.00");
        m_fields.sensorRed[k] = sample.sensorFlag[k];
        m_fields.chkSensor1[k] = value(kGroupSensor, 8 + index) != 0;
        m_fields.chkSensor2[k] = value(kGroupSensor, 16 + index) != 0;
    }
    for (std::size_t k = 0; k < 4; ++k)
        m_fields.txtA2D[k] = text(kGroupAux, static_cast<int>(k), "0.000");
    for (std::size_t k = 0; k < 2; ++k)
        m_fields.txtMap[k] = text(kGroupMap, static_cast<int>(k), "0");
}

}  // namespace tunalyx
