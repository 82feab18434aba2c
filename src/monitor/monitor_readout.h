#pragma once

#include <array>
#include <string>

#include "model/number_format.h"
#include "model/trace_items.h"
#include "monitor/live_consumer.h"

namespace tunalyx {

// The monitor window's fields as text, as they show after the last refresh; the maxima follow
// every sample.
struct MonitorFields {
    std::array<std::string, 10> txtMonitor;
    std::array<std::string, 10> txtMonitorMax;
    std::array<std::string, 19> txtTuning;
    std::array<std::string, 8> txtSensor;
    std::array<bool, 8> sensorRed{};
    std::array<bool, 8> chkSensor1{};
    std::array<bool, 8> chkSensor2{};
    std::array<std::string, 4> txtA2D;
    std::array<std::string, 2> txtMap;
};

// A Basic maximum field after a sample: the new value in the general number form of its
// precision when it is the first sample or beats what the field shows (text that is no number
// counts as 0); otherwise the field as it is, so an equal value leaves the format of a Reset.
[[nodiscard]] std::string nextMaximum(const std::string& shown, double value, Precision precision,
                                      bool firstSample, const NumberLocale& locale);

// What the monitor shows of a run: the latest values once a second (and with a part's first
// sample), the Basic maxima and the count of every sample. The items and locale are those in
// force, read as each sample comes.
class MonitorReadout final : public LiveConsumer {
public:
    MonitorReadout(const TraceItems& items, const NumberLocale& locale)
        : m_items(items), m_locale(locale) {}

    [[nodiscard]] const MonitorFields& fields() const { return m_fields; }
    // The samples of this part so far.
    [[nodiscard]] int count() const { return m_count; }
    // cmdMonMaxRst_Click: the maxima become the shown values.
    void resetMaxima() { m_fields.txtMonitorMax = m_fields.txtMonitor; }

    void runStarted() override { m_count = 0; }
    void samplePublished(const PublishedSample& sample) override;

private:
    void showFields(const LiveSample& sample);

    const TraceItems& m_items;
    const NumberLocale& m_locale;
    MonitorFields m_fields;
    int m_count = 0;
};

}  // namespace tunalyx
