#include "monitor/polling_worker.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "monitor/session_monitor_port.h"
#include "sim/engine_options.h"
#include "sim/in_process_simulator.h"
#include "support/recording_prompts.h"
#include "transfer/transfer_operations.h"
#include "versions/version_identification.h"

namespace tunalyx {
namespace {

constexpr std::array<bool, kTraceGroupCount> kAllGroups = {true, true, true, true, true};
constexpr std::array<bool, kTraceGroupCount> kAdvancedOnly = {false, false, false, false, true};

// The simulator's port, noting the command byte of every request in the order they went out,
// and which threads wrote them.
class NotingPort final : public SerialPort {
public:
    explicit NotingPort(SerialPort& port) : m_port(port) {}
    std::vector<std::uint8_t> commands() const {
        const std::lock_guard lock(m_mutex);
        return m_commands;
    }
    std::set<std::thread::id> writersSince(std::size_t request) const {
        const std::lock_guard lock(m_mutex);
        return {m_writers.begin() + static_cast<std::ptrdiff_t>(request), m_writers.end()};
    }

    void setPortNumber(int n) override { m_port.setPortNumber(n); }
    [[nodiscard]] int portNumber() const override { return m_port.portNumber(); }
    [[nodiscard]] std::string deviceName() const override { return m_port.deviceName(); }
    [[nodiscard]] bool open() override { return m_port.open(); }
    void close() override { m_port.close(); }
    [[nodiscard]] bool isOpen() const override { return m_port.isOpen(); }
    [[nodiscard]] std::optional<std::size_t> bytesAvailable() override {
        return m_port.bytesAvailable();
    }
    [[nodiscard]] bool waitForBytes(std::size_t count, std::int64_t timeoutMs) override {
        return m_port.waitForBytes(count, timeoutMs);
    }
    [[nodiscard]] std::optional<Bytes> read(std::size_t count) override {
        return m_port.read(count);
    }
    bool discardInput() override { return m_port.discardInput(); }
    bool write(const Bytes& bytes) override {
        {
            const std::lock_guard lock(m_mutex);
            if (!bytes.empty()) m_commands.push_back(bytes.front());
            m_writers.push_back(std::this_thread::get_id());
        }
        return m_port.write(bytes);
    }

private:
    SerialPort& m_port;
    mutable std::mutex m_mutex;
    std::vector<std::uint8_t> m_commands;
    std::vector<std::thread::id> m_writers;
};

class PollingWorkerTest : public ::testing::Test {
protected:
    PollingWorkerTest() {
        EXPECT_TRUE(sim.port().open());
        session.maps.GridInit();
        EXPECT_TRUE(SR20DET_Version(session, {.FromPFC = true, .NoDisplay = true}));
    }
    // Starts the run and its worker's thread, with the line handed over as the window does.
    void startRun(const std::array<bool, kTraceGroupCount>& include = kAllGroups) {
        ASSERT_TRUE(loop.start(include, {}));
        session.link.setLineOwner(&worker);
        firstLiveRequest = port.commands().size();
        thread = std::thread([this] { worker.run(); });
        workerId = thread.get_id();
    }
    // Presents what the worker publishes, as the window's frames do, until n samples show.
    void presentUntil(int n) {
        while (loop.samplesPresented() < n && !worker.finished())
            loop.present();
    }
    void endRun() {
        thread.join();
        session.link.setLineOwner(nullptr);
        loop.finish();
    }

    ManualClock clock;
    test::RecordingPrompts prompts;
    InProcessSimulator sim{SimUnitKind::Det1_501, clock};
    NotingPort port{sim.port()};
    Session session{port, clock, prompts};
    LogStore log;
    AuxCalibration aux;
    MonitorLoop loop{monitorPortOf(session, true), log, clock, aux};
    PollingWorker worker{loop, session.link};
    std::thread thread;
    std::thread::id workerId;
    std::size_t firstLiveRequest = 0;
};

TEST_F(PollingWorkerTest, TransfersDuringARunGoOutWholeBetweenTwoWholeSamples) {
    startRun();
    presentUntil(3);
    // The window's thread reads while the worker writes: what is published is whole.
    for (int s = 0; s < loop.samplesPresented(); ++s)
        EXPECT_GT(log.LogData(0, s), 0) << "the Rpm of sample " << s;
    // A map read, then a changed cell written by Update, while the run goes on.
    TransferOperations transfers(session);
    EXPECT_TRUE(transfers.cmdReadMap_Click(kInjMap));
    ASSERT_TRUE(session.maps.GridSetData(kInjMap, 4, 7, 0x99));
    EXPECT_TRUE(transfers.cmdUpdate_Click());
    const int afterMap = loop.samplesPresented();
    presentUntil(afterMap + 3);
    loop.cmdLogStop_Click();
    endRun();

    EXPECT_FALSE(loop.runInProgress());
    EXPECT_GE(loop.samplesPresented(), afterMap + 3);
    EXPECT_EQ(log.LogLast, loop.samplesPresented() - 1);
    EXPECT_TRUE(prompts.texts().empty());
    // Only the worker touched the line while it had it.
    EXPECT_EQ(port.writersSince(firstLiveRequest), std::set<std::thread::id>{workerId});
    // The live requests come in cycles of five; the map's requests fall between two of them.
    const std::vector<std::uint8_t> sent = port.commands();
    const std::vector<std::uint8_t> cycle = {0xDA, 0xDE, 0x00, 0xDB, 0xF0};
    std::size_t i = firstLiveRequest;
    int cycles = 0, others = 0;
    while (i < sent.size()) {
        if (sent[i] == cycle.front()) {
            for (std::size_t k = 0; k < cycle.size(); ++k) {
                if (cycle[k] != 0) {
                    ASSERT_EQ(sent.at(i + k), cycle[k]) << "request " << i + k;
                }
            }
            i += cycle.size();
            ++cycles;
        } else {
            ++others;
            ++i;
        }
    }
    EXPECT_EQ(cycles, loop.samplesPresented());
    EXPECT_GT(others, 0);
    // Cell 123 (row 4, column 7) lies in byte 24 of the second injection block.
    EXPECT_EQ(sim.ecu().blocks()[0x87][23], 0x99);
}

TEST_F(PollingWorkerTest, AUnitGoneSilentEndsTheRunWithItsMessageShownByTheWindowsThread) {
    // The start's identification (three requests) and two cycles of five, then the cable is
    // pulled.
    sim.line().faults().cablePulledAfter = sim.line().requestCount() + 3 + 10;
    startRun();
    endRun();

    EXPECT_EQ(loop.samplesPresented(), 2);
    EXPECT_EQ(log.LogLast, 1);
    // Held until the window's thread shows it, after the samples.
    EXPECT_TRUE(prompts.texts().empty());
    session.link.showHeldMessages();
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kInterfaceNotResponding});
    // The line is this thread's again.
    sim.line().faults().cablePulledAfter = 0;
    EXPECT_TRUE(TransferOperations(session).cmdReadMap_Click(0));
}

// Every sample the window is told of, part by part.
struct PartRecorder final : SampleListener {
    explicit PartRecorder(const LogStore& store) : log(store) {}
    void runStarted() override { parts.emplace_back(); }
    void sampleLogged(int s, const LiveSample& sample, bool) override {
        parts.back().push_back(s);
        // The values are the sample's own, also for samples moved in from the spare.
        if (sample.value[0] <= 0 || log.LogData(0, s) != sample.value[0]) ++badValues;
    }
    const LogStore& log;
    std::vector<std::vector<int>> parts;
    int badValues = 0;
};

TEST_F(PollingWorkerTest, AContinuousRunGoesOnWhileTheFullLogIsSavedAndLosesNoSample) {
    // An engine whose readings change from sample to sample, on a clock the line moves.
    sim.line().faults().pacing = true;
    sim.ecu().runTunedEngine(EngineOptions{});
    LogStore spare;
    loop.setSpareLog(&spare);
    loop.setContinuous(true);
    PartRecorder recorder(log);
    loop.addListener(&recorder);
    startRun(kAdvancedOnly);  // a request a sample: a full log is quickly polled
    presentUntil(LogStore::kMaxRunSamples);
    // Full once the worker has gone on into the spare.
    while (!loop.partFull() && !worker.finished())
        loop.present();
    EXPECT_TRUE(loop.partFull());
    EXPECT_EQ(log.LogLast, LogStore::kMaxRunSamples - 1);
    // The save takes its time; the worker polls on meanwhile.
    const std::size_t atFull = port.commands().size();
    while (port.commands().size() < atFull + 300 && !worker.finished())
        std::this_thread::yield();
    loop.startNextPart();
    presentUntil(1000);
    loop.cmdLogStop_Click();
    endRun();

    ASSERT_EQ(recorder.parts.size(), 2u);
    EXPECT_EQ(recorder.parts[0].size(), std::size_t{LogStore::kMaxRunSamples});
    // Each part is told its samples once each, in order, and every sample polled (a request
    // each) was told: none lost in the change of part, none twice.
    std::size_t told = 0;
    for (const auto& part : recorder.parts) {
        for (std::size_t i = 0; i < part.size(); ++i)
            ASSERT_EQ(part[i], static_cast<int>(i));
        told += part.size();
    }
    EXPECT_GE(recorder.parts[1].size(), 1000u);
    EXPECT_EQ(told, port.commands().size() - firstLiveRequest);
    EXPECT_EQ(recorder.badValues, 0);
    EXPECT_EQ(log.LogLast, static_cast<int>(recorder.parts[1].size()) - 1);
    // The samples polled while the full log waited are the next log's first, as polled.
    int moved = 0;
    for (int s = 0; s <= log.LogLast && spare.LogData(0, s) != 0; ++s, ++moved) {
        ASSERT_EQ(log.LogTime(s), spare.LogTime(s)) << s;
        for (int item = 0; item < kTraceItemCount; ++item)
            ASSERT_EQ(log.LogData(item, s), spare.LogData(item, s)) << s;
    }
    EXPECT_GE(moved, 300);
    EXPECT_EQ(log.LogTime(0), 0);
}

}  // namespace
}  // namespace tunalyx
