#include "monitor/monitor_loop.h"

#include <algorithm>
#include <utility>

#include "model/descriptors.h"
#include "model/number_format.h"

namespace tunalyx {

namespace {

constexpr const char* kUnsavedLogQuestion =
    "You have logged data that has not been saved.\r\nDo you want to save the log?";

// The display format of a Basic or Advanced item: the last field of its descriptor.
std::string itemFormat(int item) {
    const auto fields = splitFields(traceDescriptor(item));
    return fields.size() >= 6 ? std::string(fields[5]) : std::string();
}

}  // namespace

std::optional<MessageAnswer> CheckUnsavedLog(LogStore& log, UserPrompts& prompts,
                                             const std::function<void()>& save) {
    if (!log.LogUnsaved) return std::nullopt;
    const MessageAnswer answer = prompts.showMessage(kUnsavedLogQuestion, MessageIcon::Exclamation,
                                                     MessageButtons::YesNoCancel);
    if (answer != MessageAnswer::Yes) return answer;
    if (save) save();
    return log.LogUnsaved ? MessageAnswer::Cancel : MessageAnswer::Yes;
}

MonitorLoop::MonitorLoop(MonitorPort port, LogStore& log, Clock& clock, const AuxCalibration& aux)
    : m_port(std::move(port)), m_log(log), m_clock(clock), m_aux(aux) {}

void MonitorLoop::addListener(SampleListener* listener) {
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void MonitorLoop::removeListener(SampleListener* listener) {
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener),
                      m_listeners.end());
}

bool MonitorLoop::start(const std::array<bool, kTraceGroupCount>& include,
                        const std::function<std::optional<MessageAnswer>()>& checkUnsaved) {
    if (m_runInProgress) return false;
    const auto abandon = [this] {
        end();
        return false;
    };
    if (m_port.portBusy) return abandon();
    if (m_port.checkVersion && !m_port.checkVersion()) return abandon();
    if (checkUnsaved && checkUnsaved() == MessageAnswer::Cancel) return abandon();
    for (SampleListener* l : m_listeners)
        l->runStarted();
    m_log.IncludeGroup = include;
    if (std::none_of(include.begin(), include.end(), [](bool on) { return on; })) return abandon();

    m_stopRequested = false;
    m_runInProgress = true;
    m_sampleCount = 0;
    m_lastSecond = -1;
    m_polled = 0;
    m_sparePolled = 0;
    m_overflowing = false;
    m_nextPartGiven = false;
    m_partFull = false;
    m_part = 0;
    m_runLive = m_port.live;
    m_runItems = m_port.items;
    m_runAux = m_aux;
    m_log.publish(0);
    m_port.link.ComFlush();
    return true;
}

MonitorLoop::Poll MonitorLoop::poll() {
    // The samples polled while the full log was saved come first, even when Stop was pressed.
    if (m_nextPartGiven.load(std::memory_order_acquire)) takeSpareSamples();
    if (m_stopRequested) return Poll::Over;
    const bool intoSpare = m_polled >= LogStore::kMaxRunSamples;
    if (intoSpare && !(m_spare && m_continuous && m_sparePolled < LogStore::kMaxRunSamples))
        return Poll::Over;
    // A transfer is between two of its packets: its turn first.
    if (m_port.portBusy) return Poll::PortTaken;

    LogStore& log = intoSpare ? *m_spare : m_log;
    const int s = intoSpare ? m_sparePolled : m_polled;
    std::int64_t& startTick = intoSpare ? m_spareStartTick : m_startTick;
    const std::int64_t tick = m_clock.tickMs();
    if (s == 0) startTick = tick;
    log.setLogTime(s, static_cast<std::int32_t>(tick - startTick));
    for (int group : kPollOrder) {
        if (!m_log.IncludeGroup[static_cast<std::size_t>(group)]) {
            clearGroup(group, m_runItems, m_polling);
            continue;
        }
        Bytes data;
        const auto length = static_cast<std::uint8_t>(kLiveLength[static_cast<std::size_t>(group)]);
        // The sample being read when a read fails is not counted.
        if (!m_port.link.ReadPacketData(liveCommand(m_runLive, group), length, data))
            return Poll::Over;
        decodeGroup(group, data, m_runItems, m_runAux, m_polling);
    }
    for (int item = 0; item < kTraceItemCount; ++item)
        log.setLogData(item, s, m_polling.value[static_cast<std::size_t>(item)]);
    std::uint8_t flags = 0;
    for (std::size_t k = 0; k < m_polling.sensorFlag.size(); ++k)
        if (m_polling.sensorFlag[k]) flags = static_cast<std::uint8_t>(flags | (1u << k));
    log.setSensorFlags(s, flags);
    if (intoSpare) {
        // Nobody reads the spare: its samples are published when they move to the log.
        m_sparePolled = s + 1;
        m_overflowing.store(true, std::memory_order_release);
        return Poll::Sampled;
    }
    m_polled = s + 1;
    m_log.publish(m_polled);
    return Poll::Sampled;
}

void MonitorLoop::takeSpareSamples() {
    m_nextPartGiven.store(false, std::memory_order_relaxed);
    const int n = m_sparePolled;
    for (int s = 0; s < n; ++s) {
        for (int item = 0; item < kTraceItemCount; ++item)
            m_log.setLogData(item, s, m_spare->LogData(item, s));
        m_log.setLogTime(s, m_spare->LogTime(s));
        m_log.setSensorFlags(s, m_spare->sensorFlags(s));
    }
    m_startTick = m_spareStartTick;
    m_sparePolled = 0;
    m_polled = n;
    m_overflowing.store(false, std::memory_order_relaxed);
    m_log.publish(n);
}

void MonitorLoop::startNextPart() {
    if (!m_partFull) return;
    m_partFull = false;
    ++m_part;
    m_sampleCount = 0;
    m_lastSecond = -1;
    m_log.LogLast = 0;
    // Nothing of the new part is published until the polling side has moved it in.
    m_log.publish(0);
    for (SampleListener* l : m_listeners)
        l->runStarted();
    m_nextPartGiven.store(true, std::memory_order_release);
}

LiveSample MonitorLoop::sampleAt(int s) const {
    LiveSample sample;
    for (int item = 0; item < kTraceItemCount; ++item)
        sample.value[static_cast<std::size_t>(item)] = m_log.LogData(item, s);
    const std::uint8_t flags = m_log.sensorFlags(s);
    for (std::size_t k = 0; k < sample.sensorFlag.size(); ++k)
        sample.sensorFlag[k] = ((flags >> k) & 1) != 0;
    return sample;
}

void MonitorLoop::present() {
    const int published = m_log.published();
    const int before = m_sampleCount;
    for (int s = m_sampleCount; s < published && m_runInProgress; ++s) {
        m_sample = sampleAt(s);
        const std::int64_t second = m_log.LogTime(s) / 1000;
        const bool refresh = second > m_lastSecond;
        if (refresh) showFields();
        updateMaxima(s);
        m_sampleCount = s + 1;
        m_lastSecond = second;
        m_log.LogUnsaved = true;
        for (SampleListener* l : m_listeners)
            l->sampleLogged(s, m_sample, refresh);
    }
    if (m_sampleCount != before)
        for (SampleListener* l : m_listeners)
            l->framePresented();
    if (m_runInProgress && !m_partFull && m_sampleCount >= LogStore::kMaxRunSamples &&
        m_overflowing.load(std::memory_order_acquire)) {
        // The log is full and the run goes on in the spare: the log waits to be saved.
        m_partFull = true;
        m_log.LogLast = m_sampleCount - 1;
    }
}

void MonitorLoop::finish() {
    present();
    // The polling side is done: samples it left in the spare for a part handed back are the
    // last part's.
    if (m_nextPartGiven) {
        takeSpareSamples();
        present();
    }
    end();
}

bool MonitorLoop::step() {
    if (!m_runInProgress) {
        end();
        return false;
    }
    const Poll polled = poll();
    present();
    if (polled == Poll::Over) {
        end();
        return false;
    }
    return true;
}

void MonitorLoop::cmdLogStop_Click() {
    if (m_runInProgress) m_stopRequested = true;
}

void MonitorLoop::end() {
    const bool wasRunning = m_runInProgress;
    m_runInProgress = false;
    m_log.LogLast = std::max(0, m_sampleCount - 1);
    if (wasRunning)
        for (SampleListener* l : m_listeners)
            l->runEnded();
}

void MonitorLoop::showFields() {
    const TraceItems& t = m_port.items;
    const auto value = [&](int group, int index) {
        return m_sample.value[static_cast<std::size_t>(t.lookup(group, index))];
    };
    // In the item's own precision: a single rounds from its own digits.
    const auto text = [&](int group, int index, const std::string& format) {
        const int item = t.lookup(group, index);
        return formatValue(m_sample.value[static_cast<std::size_t>(item)],
                           format.empty() ? itemFormat(item) : format, m_port.locale,
                           itemPrecision(t, item));
    };
    for (std::size_t i = 0; i < m_fields.txtMonitor.size(); ++i)
        m_fields.txtMonitor[i] = text(kGroupBasic, static_cast<int>(i), "");
    for (std::size_t i = 0; i < m_fields.txtTuning.size(); ++i)
        m_fields.txtTuning[i] = text(kGroupAdvanced, static_cast<int>(i), "");
    for (std::size_t k = 0; k < 8; ++k) {
        const int index = static_cast<int>(k);
        m_fields.txtSensor[k] = text(kGroupSensor, index, "0.00");
        m_fields.sensorRed[k] = m_sample.sensorFlag[k];
        m_fields.chkSensor1[k] = value(kGroupSensor, 8 + index) != 0;
        m_fields.chkSensor2[k] = value(kGroupSensor, 16 + index) != 0;
    }
    for (std::size_t k = 0; k < 4; ++k)
        m_fields.txtA2D[k] = text(kGroupAux, static_cast<int>(k), "0.000");
    for (std::size_t k = 0; k < 2; ++k)
        m_fields.txtMap[k] = text(kGroupMap, static_cast<int>(k), "0");
}

std::string nextMaximum(const std::string& shown, double value, Precision precision,
                        bool firstSample, const NumberLocale& locale) {
    if (firstSample || parseUserNumber(shown, locale).value_or(0) < value)
        return formatValue(value, "", locale, precision);
    return shown;
}

void MonitorLoop::updateMaxima(int s) {
    for (std::size_t i = 0; i < m_fields.txtMonitorMax.size(); ++i) {
        const int item = m_port.items.lookup(kGroupBasic, static_cast<int>(i));
        m_fields.txtMonitorMax[i] =
            nextMaximum(m_fields.txtMonitorMax[i], m_sample.value[static_cast<std::size_t>(item)],
                        itemPrecision(m_port.items, item), s == 0, m_port.locale);
    }
}

void MonitorLoop::cmdMonMaxRst_Click() {
    m_fields.txtMonitorMax = m_fields.txtMonitor;
}

}  // namespace tunalyx
