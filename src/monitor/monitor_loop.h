#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/packet_link.h"
#include "monitor/live_decode.h"
#include "monitor/log_store.h"
#include "ports/clock.h"
#include "session/port_busy.h"
#include "versions/layout_family.h"

namespace tunalyx {

// What the windows that follow live data (chart, map watch, watches) are told of a run. The
// monitor does not know them; each registers itself.
class SampleListener {
public:
    virtual ~SampleListener() = default;
    // A run begins: the chart and the map watch start afresh.
    virtual void runStarted() {}
    // A continuous run goes on in its next log, the samples starting again from 0 (the log's
    // times too). To most it is a new run; what follows the run as a whole may carry on.
    virtual void partStarted() { runStarted(); }
    // Sample s is in the log. `refresh` comes once a second (and with the first sample): the
    // moment for displays that need not follow every sample.
    virtual void sampleLogged(int s, const LiveSample& sample, bool refresh) = 0;
    // The samples new since the last frame have all been told: the moment to paint.
    virtual void framePresented() {}
    virtual void runEnded() {}
};

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

// CheckUnsavedLog: nothing when the log is saved; otherwise the question with Yes, No and
// Cancel. Yes runs `save`, and counts as Cancel when the log is still unsaved afterwards.
[[nodiscard]] std::optional<MessageAnswer> CheckUnsavedLog(LogStore& log, UserPrompts& prompts,
                                                           const std::function<void()>& save);

// What the loop borrows from whoever owns the port. The live commands and the item names are
// those of the layout in force, which the version check at the start of a run may switch.
struct MonitorPort {
    PacketLink& link;
    PortBusyFlag& portBusy;
    const LiveCommands& live;
    const TraceItems& items;
    const NumberLocale& locale;
    // Identifies the unit and applies its layout; false stops the run before it starts.
    std::function<bool()> checkVersion;
};

// The polling of live data and what it shows: start, then cycles until the run is over. A
// cycle is polled (`poll`, on whichever thread has the line: the window's worker, or the
// caller itself in `step`) and then presented (`present`, on the window's thread: fields,
// maxima, listeners). The two meet only in the log store, whose published count hands each
// whole sample over.
class MonitorLoop {
public:
    MonitorLoop(MonitorPort port, LogStore& log, Clock& clock, const AuxCalibration& aux);

    // cmdLogStart_Click up to the first cycle: the version check, the unsaved log (Cancel
    // abandons), the listeners' reset, the groups, the flush. False when nothing is to be
    // polled; the run is then over before it began.
    bool start(const std::array<bool, kTraceGroupCount>& include,
               const std::function<std::optional<MessageAnswer>()>& checkUnsaved);

    enum class Poll { Sampled, PortTaken, Over };
    // One cycle of reads: the included groups into the next sample, which is published whole.
    // PortTaken while a transfer holds the port (nothing polled); Over once the run is over
    // (stopped, a read failed, or 32767 samples), the sample being read not counted.
    Poll poll();
    // The samples published since the last call, in order: maxima every sample, fields once a
    // second, the listeners told of each.
    void present();
    // After the last poll: presents what is left and ends the run.
    void finish();
    // Both in one thread: a poll and its presentation. False once the run is over.
    bool step();

    // Continuous logging. With a spare log set before the start, a run whose log fills up goes
    // on: polling continues into the spare without a pause while the full log is saved, and
    // `startNextPart` hands the log back, the samples polled meanwhile moved to its start. The
    // spare must stay until the run ends. Whether a full log goes on is read when it fills.
    void setSpareLog(LogStore* spare) { m_spare = spare; }
    void setContinuous(bool on) { m_continuous = on; }
    // The presenting side: the log is full and presented whole, and the run goes on; it waits
    // for `startNextPart`. `LogLast` marks the full log until then.
    [[nodiscard]] bool partFull() const { return m_partFull; }
    // The full log was saved (or given up): the next part begins, its listeners told of a new
    // run. The polling side takes over at its next cycle.
    void startNextPart();
    // The parts of this run begun so far, 0 for the first.
    [[nodiscard]] int part() const { return m_part; }
    // The polling side: the clock's tick at the first sample of the part being polled.
    [[nodiscard]] std::int64_t partStartTick() const { return m_startTick; }

    // cmdLogStop_Click: the run ends before the next cycle.
    void cmdLogStop_Click();
    // cmdMonMaxRst_Click: the maxima become the shown values.
    void cmdMonMaxRst_Click();

    // Stop was pressed during this run; the next cycle ends it.
    [[nodiscard]] bool stopRequested() const { return m_stopRequested; }
    // From a successful start to the end of the run.
    [[nodiscard]] bool runInProgress() const { return m_runInProgress; }
    // The samples of this part presented so far (the log's own count, LogStore::sampleCount, holds
    // once the run has ended).
    [[nodiscard]] int samplesPresented() const { return m_sampleCount; }
    [[nodiscard]] const MonitorFields& fields() const { return m_fields; }
    [[nodiscard]] const LiveSample& lastSample() const { return m_sample; }

    void addListener(SampleListener* listener);
    void removeListener(SampleListener* listener);

private:
    void end();
    // The polling side: the spare's samples become the start of the log handed back.
    void takeSpareSamples();
    void showFields();
    void updateMaxima(int s);
    [[nodiscard]] LiveSample sampleAt(int s) const;

    MonitorPort m_port;
    LogStore& m_log;
    Clock& m_clock;
    const AuxCalibration& m_aux;
    std::vector<SampleListener*> m_listeners;
    std::atomic<bool> m_stopRequested = false;

    // The polling side. What it decodes with is taken at the start, so nothing the window's
    // thread changes during the run (a layout switch, the aux set-up) is read while it changes.
    LiveCommands m_runLive;
    TraceItems m_runItems;
    AuxCalibration m_runAux;
    int m_polled = 0;
    std::int64_t m_startTick = 0;
    LiveSample m_polling;
    LogStore* m_spare = nullptr;
    std::atomic<bool> m_continuous = false;
    int m_sparePolled = 0;  // samples polled into the spare while the full log is saved
    std::int64_t m_spareStartTick = 0;
    std::atomic<bool> m_overflowing = false;    // polling went on into the spare
    std::atomic<bool> m_nextPartGiven = false;  // the full log is handed back

    // The presenting side.
    bool m_runInProgress = false;
    bool m_partFull = false;
    int m_part = 0;
    int m_sampleCount = 0;
    std::int64_t m_lastSecond = -1;
    LiveSample m_sample;
    MonitorFields m_fields;
};

}  // namespace tunalyx
