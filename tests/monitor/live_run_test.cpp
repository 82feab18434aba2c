#include "monitor/live_run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "history/tune_history.h"
#include "monitor/log_file.h"
#include "session/session.h"
#include "sim/in_process_simulator.h"
#include "support/plain_file_writer.h"
#include "support/recording_prompts.h"
#include "support/scripted_serial_port.h"
#include "support/stepped_polling.h"
#include "transfer/transfer_operations.h"

namespace tunalyx {
namespace {

namespace fs = std::filesystem;

using Include = std::array<bool, kTraceGroupCount>;
constexpr Include kAdvancedOnly = {false, false, false, false, true};
constexpr Include kAllGroups = {true, true, true, true, true};

// What a consumer is told, in order.
struct Recorder final : LiveConsumer {
    void runStarted() override { events.push_back("start"); }
    void partStarted(int part) override { events.push_back("next log " + std::to_string(part)); }
    void samplePublished(const PublishedSample& s) override {
        events.push_back(std::to_string(s.index) + (s.refresh ? " refresh" : ""));
        times.push_back(s.timeMs);
    }
    void runEnded() override { events.push_back("end"); }
    void logSaved(const SavedLog& saved) override {
        events.push_back("saved " + fs::path(saved.path).filename().string());
    }
    void markerSet(const LogMarker& m) override {
        events.push_back("marker " + std::to_string(m.number) + " " + m.note);
    }
    // The events from the first that starts with `prefix` on.
    std::vector<std::string> eventsOf(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& e : events)
            if (e.starts_with(prefix)) out.push_back(e);
        return out;
    }
    std::vector<std::string> events;
    std::vector<std::int32_t> times;
};

// A run polled a cycle at a time on a fake clock, every sample time the test's own.
class LiveRunTest : public ::testing::Test {
protected:
    LiveRunTest() {
        fs::remove_all(folder);
        EXPECT_TRUE(sim.port().open());
        session.maps.GridInit();
        // As after a Read All: the data in the window are the unit's version.
        EXPECT_TRUE(SR20DET_Version(session, {.FromPFC = true, .NoDisplay = true}));
        run.addConsumer(&recorder);
    }
    ~LiveRunTest() override {
        run.stop();
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    static LiveRunPlan plan(const Include& include) {
        LiveRunPlan p;
        p.include = include;
        p.journal = false;
        return p;
    }
    // A continuous run of the command line's kind into `folder`/LOG.txt.
    LiveRunPlan continuousPlan() const {
        LiveRunPlan p = plan(kAdvancedOnly);
        p.target = (folder / "LOG.txt").string();
        p.continuous = true;
        p.saveLastPart = true;
        p.journal = true;
        return p;
    }
    // Polls a full log and `beyond` samples more into the spare, 10 ms apart, nothing presented.
    void fillLog(int beyond) {
        for (int s = 0; s < LogStore::kMaxRunSamples + beyond; ++s) {
            ASSERT_TRUE(thread.step());
            clock.advanceMs(10);
        }
    }
    // The journals in the folder, whoever holds them.
    std::vector<std::string> journalsOnDisk() const {
        std::vector<std::string> out;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".tlj") out.push_back(entry.path().string());
        return out;
    }
    // Cycles `stepMs` apart, each presented as a window's frame would; how many polled.
    int cycles(int n, int stepMs) {
        int done = 0;
        for (; done < n && thread.step(); ++done) {
            run.present();
            clock.advanceMs(stepMs);
        }
        run.present();
        return done;
    }

    // A transfer on a thread of its own while the test steps the worker, which carries its
    // packets between two samples; the live samples polled before its first and last packet.
    struct Marks {
        int first = 0;
        int last = 0;
    };
    Marks sendWhileStepping(const std::function<bool()>& transfer, bool& succeeded) {
        sim.ecu().clearRequestLog();
        const int before = run.samplesPresented();
        std::atomic<bool> done = false;
        std::thread other([&] {
            succeeded = transfer();
            done = true;
        });
        while (!done)
            thread.step();
        other.join();
        const std::vector<Bytes>& sent = sim.ecu().requests();
        const auto live = [](const Bytes& r) { return r.front() == kAdvancedLiveCmd; };
        const auto first = std::find_if_not(sent.begin(), sent.end(), live);
        const auto last = std::find_if_not(sent.rbegin(), sent.rend(), live).base() - 1;
        return {before + static_cast<int>(std::count_if(sent.begin(), first, live)),
                before + static_cast<int>(std::count_if(sent.begin(), last, live))};
    }

    const fs::path folder =
        fs::temp_directory_path() / ("tunalyx-live-" + std::to_string(::getpid()));
    ManualClock clock;
    test::RecordingPrompts prompts;
    InProcessSimulator sim{SimUnitKind::Det1_501, clock};
    Session session{sim.port(), clock, prompts};
    test::PlainFileWriter files;
    LiveRun run{session, session, clock, files, folder.string()};
    test::SteppedPolling thread;
    Recorder recorder;
};

TEST_F(LiveRunTest, OnlyAdvancedIsPolledAndTheFieldsRefreshOnceASecond) {
    ASSERT_TRUE(run.start(plan(kAdvancedOnly), thread));
    sim.ecu().clearRequestLog();
    EXPECT_EQ(cycles(5, 250), 5);
    for (const Bytes& request : sim.ecu().requests())
        EXPECT_EQ(request.front(), kAdvancedLiveCmd);
    EXPECT_EQ(sim.ecu().requests().size(), 5u);
    const LogStore& log = run.log();
    for (int s = 0; s < 5; ++s) {
        EXPECT_EQ(log.LogTime(s), 250 * s);
        EXPECT_GT(log.LogData(0, s), 0);   // Rpm
        EXPECT_EQ(log.LogData(20, s), 0);  // InjDuty, Basic
        EXPECT_EQ(log.LogData(62, s), 0);  // N, Map
    }
    EXPECT_TRUE(log.LogUnsaved);
    run.stop();
    EXPECT_FALSE(run.running());
    EXPECT_EQ(run.end(), LiveRunEnd::Stopped);
    EXPECT_EQ(log.LogLast, 4);
    // Refreshed with the first sample and when the whole second changes (at 1000 ms).
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"start", "0 refresh", "1", "2", "3", "4 refresh", "end"}));
}

TEST_F(LiveRunTest, EveryGroupInTheUnitsOrderAndAStartDuringARunDoesNothing) {
    ASSERT_TRUE(run.start(plan(kAllGroups), thread));
    EXPECT_FALSE(run.start(plan(kAllGroups), thread));
    sim.ecu().clearRequestLog();
    EXPECT_EQ(cycles(1, 10), 1);
    std::vector<int> commands;
    for (const Bytes& request : sim.ecu().requests())
        commands.push_back(request.front());
    const LiveCommands& live = session.layout.live;
    EXPECT_EQ(commands,
              (std::vector<int>{live.basic, live.sensor, kAuxLiveCmd, live.map, kAdvancedLiveCmd}));
    run.stop();
    EXPECT_EQ(run.log().LogLast, 0);

    // A run that logs nothing ends with LogLast 0 too.
    ASSERT_TRUE(run.start(plan(kAdvancedOnly), thread));
    run.stop();
    EXPECT_EQ(run.log().LogLast, 0);
    EXPECT_EQ(recorder.eventsOf("end").size(), 2u);
}

TEST_F(LiveRunTest, NothingIsPolledWhenAStartCheckSaysNo) {
    LiveRunPlan cancelled = plan(kAdvancedOnly);
    cancelled.checkUnsaved = [] { return MessageAnswer::Cancel; };
    EXPECT_FALSE(run.start(cancelled, thread));
    LiveRunPlan unidentified = plan(kAdvancedOnly);
    unidentified.identify = [] { return false; };
    EXPECT_FALSE(run.start(unidentified, thread));
    {
        const PortBusyGuard transfer(session.PortBusy);
        EXPECT_FALSE(run.start(plan(kAdvancedOnly), thread));
    }
    // Without groups the consumers are reset all the same, as the window's Start does.
    EXPECT_FALSE(run.start(plan({}), thread));
    EXPECT_EQ(recorder.events, std::vector<std::string>{"start"});
    EXPECT_EQ(run.end(), LiveRunEnd::NotStarted);
    EXPECT_FALSE(thread.step());
}

TEST_F(LiveRunTest, AFailedReadEndsTheRunKeepingTheCompletedSamples) {
    ASSERT_TRUE(run.start(plan(kAdvancedOnly), thread));
    // Two samples, then the unit is silent through every retry.
    const std::uint64_t next = sim.line().requestCount() + 1;
    for (std::uint64_t n = next + 2; n < next + 10; ++n)
        sim.line().faults().dropReplyTo.insert(n);
    EXPECT_EQ(cycles(10, 100), 2);
    EXPECT_FALSE(run.running());
    EXPECT_EQ(run.end(), LiveRunEnd::UnitSilent);
    EXPECT_EQ(run.log().LogLast, 1);
    EXPECT_EQ(recorder.events.back(), "end");
    // The port is free again: the next transfer gets it (it would wait for ever otherwise).
    ASSERT_FALSE(session.PortBusy);
    sim.line().faults().dropReplyTo.clear();
    EXPECT_TRUE(TransferOperations(session).cmdReadMap_Click(0));
}

TEST_F(LiveRunTest, ARunEndsOnItsOwnWithTheSampleThatReachesItsLimit) {
    LiveRunPlan second = plan(kAdvancedOnly);
    second.mostSeconds = 1;
    ASSERT_TRUE(run.start(second, thread));
    EXPECT_EQ(cycles(20, 250), 5);  // 0, 250, 500, 750 and 1000 ms
    EXPECT_FALSE(run.running());
    EXPECT_EQ(run.end(), LiveRunEnd::Stopped);
    EXPECT_EQ(run.log().LogTime(run.log().LogLast), 1000);

    LiveRunPlan three = plan(kAdvancedOnly);
    three.mostSamples = 3;
    ASSERT_TRUE(run.start(three, thread));
    EXPECT_EQ(cycles(20, 250), 3);
    EXPECT_EQ(run.log().LogLast, 2);
}

TEST_F(LiveRunTest, AContinuousRunSavesEachFullLogOnceAndItsTimesGoOn) {
    // Markers of an older log of that name would be taken for this one's.
    fs::create_directories(folder);
    std::ofstream(folder / "LOG-001.markers") << "[Tunalyx Log Markers]\r\n1\t1\t\r\n";
    ASSERT_TRUE(run.start(continuousPlan(), thread));
    // The log fills; three samples go on into the spare before the full log is saved.
    fillLog(3);
    run.present();
    EXPECT_EQ(recorder.eventsOf("saved"), std::vector<std::string>{"saved LOG.txt"});
    EXPECT_EQ(run.part(), 1);
    EXPECT_EQ(run.logName(), "LOG-001.txt");
    EXPECT_EQ(recorder.eventsOf("next log"), std::vector<std::string>{"next log 1"});
    // Nothing of the next part shows before the worker has moved it in.
    EXPECT_EQ(run.samplesPresented(), 0);
    EXPECT_EQ(cycles(2, 10), 2);
    EXPECT_EQ(run.samplesPresented(), 5);
    run.stop();

    EXPECT_EQ(recorder.eventsOf("saved"),
              (std::vector<std::string>{"saved LOG.txt", "saved LOG-001.txt"}));
    // Every sample told once, in order; the next log's times go on from the run's first sample.
    ASSERT_EQ(recorder.times.size(), std::size_t{LogStore::kMaxRunSamples} + 5);
    for (std::size_t i = 0; i < recorder.times.size(); ++i)
        ASSERT_EQ(recorder.times[i], static_cast<std::int32_t>(10 * i)) << "sample " << i;
    // The files say so too: the second begins where the first ended, one cycle on.
    for (const auto& [name, samples, firstMs] :
         {std::tuple{"LOG.txt", LogStore::kMaxRunSamples, 0},
          std::tuple{"LOG-001.txt", 5, 10 * LogStore::kMaxRunSamples}}) {
        auto saved = std::make_unique<LogStore>();
        ASSERT_TRUE(openLogFile(*saved, session.trace, prompts, (folder / name).string(), name));
        EXPECT_EQ(saved->sampleCount(), samples) << name;
        EXPECT_EQ(saved->LogTime(0), firstMs) << name;
    }
    EXPECT_FALSE(fs::exists(folder / "LOG-001.markers"));
    // Each log saved took its journal with it.
    EXPECT_TRUE(journalsOnDisk().empty());
    EXPECT_FALSE(run.log().LogUnsaved);
}

TEST_F(LiveRunTest, AFullLogThatDoesNotGoOnEndsTheRunWithItsMessage) {
    ASSERT_TRUE(run.start(plan(kAdvancedOnly), thread));
    EXPECT_EQ(cycles(LogStore::kMaxRunSamples + 5, 10), LogStore::kMaxRunSamples);
    EXPECT_EQ(run.end(), LiveRunEnd::Full);
    EXPECT_EQ(
        run.endMessage(),
        "The log is full (32767 samples): the run ended. Save it, or tick Continuous to go on "
        "into the next file.");
    EXPECT_EQ(run.log().sampleCount(), LogStore::kMaxRunSamples);
    run.stop();
}

TEST_F(LiveRunTest, AStopWhileAFullLogWaitsSavesItAndTheSamplesPolledAfterIt) {
    ASSERT_TRUE(run.start(continuousPlan(), thread));
    fillLog(4);
    // Stopped before any frame presented the full log: nothing is lost all the same.
    run.stop();
    EXPECT_EQ(run.end(), LiveRunEnd::Stopped);
    EXPECT_EQ(recorder.eventsOf("saved"),
              (std::vector<std::string>{"saved LOG.txt", "saved LOG-001.txt"}));
    EXPECT_EQ(recorder.times.size(), std::size_t{LogStore::kMaxRunSamples} + 4);
    EXPECT_EQ(run.log().LogLast, 3);
    EXPECT_EQ(run.log().LogTime(0), 10 * LogStore::kMaxRunSamples);
}

TEST_F(LiveRunTest, AFullLogThatCannotBeSavedEndsTheRunAndStaysForSaveAs) {
    LiveRunPlan nowhere = continuousPlan();
    nowhere.target = (folder / "missing" / "LOG.txt").string();
    ASSERT_TRUE(run.start(nowhere, thread));
    fillLog(2);
    run.present();
    EXPECT_FALSE(run.running());
    EXPECT_EQ(run.end(), LiveRunEnd::NotSaved);
    EXPECT_FALSE(run.endProblem().empty());
    EXPECT_TRUE(recorder.eventsOf("saved").empty());
    // The full log is in memory, unsaved, and on disk in its journal.
    EXPECT_EQ(run.log().LogLast, LogStore::kMaxRunSamples - 1);
    EXPECT_TRUE(run.log().LogUnsaved);
    EXPECT_EQ(journalsOnDisk().size(), 1u);
    // The line is free: the worker has stopped.
    EXPECT_FALSE(thread.step());
}

// The samples polled while a write of several packets went out held a mix: no tune is theirs.
TEST_F(LiveRunTest, EverySampleKnowsTheTuneTheUnitHeldFromTheFirstSampleAfterAWrite) {
    TuneHistory history((folder / "History").string(), files);
    TuneRecorder unitTune(history, prompts);
    run.addConsumer(&unitTune);
    ASSERT_TRUE(TransferOperations(session).cmdReadAll_Click());
    unitTune.afterUnitCommand(session.tune(), "a.dat", UnitCommand::ReadWhole, "Read All", true);
    const std::string read = unitTune.unit().hash();
    LiveRunPlan p = plan(kAdvancedOnly);
    p.journal = true;
    ASSERT_TRUE(run.start(p, thread));
    EXPECT_EQ(cycles(3, 10), 3);

    ASSERT_TRUE(session.maps.GridSetData(kInjMap, 4, 7, 0x99));
    bool ok = false;
    const Marks all =
        sendWhileStepping([&] { return TransferOperations(session).cmdWriteAll_Click(); }, ok);
    ASSERT_TRUE(ok) << ::testing::PrintToString(prompts.texts());
    // Told a few samples late, as a window's command may be: the boundary is where the job ran.
    EXPECT_EQ(cycles(2, 10), 2);
    unitTune.afterUnitCommand(session.tune(), "a.dat", UnitCommand::Write, "Write All", true);
    const std::string sent = unitTune.unit().hash();

    // One packet: the unit goes from one whole tune to the other.
    Tune one = session.tune();
    const std::uint8_t block = session.layout.writeAllList.front().command;
    one.image[block][0] ^= 1;
    const Marks single = sendWhileStepping(
        [&] {
            Bytes request = one.image[block];
            request.insert(request.begin(), block);
            return session.link.TransactPacket(request, false);
        },
        ok);
    EXPECT_TRUE(ok);
    unitTune.afterUnitCommand(one, "a.dat", UnitCommand::Write, "Write", true);
    const std::string poked = unitTune.unit().hash();
    EXPECT_EQ(cycles(2, 10), 2);

    // A write the unit does not keep as sent: what it holds is not known from its first packet.
    sim.ecu().misstore(0x87, 24);
    ASSERT_TRUE(session.maps.GridSetData(kInjMap, 4, 7, 0x55));
    const Marks refused =
        sendWhileStepping([&] { return TransferOperations(session).cmdUpdate_Click(); }, ok);
    EXPECT_FALSE(ok);
    unitTune.afterUnitCommand(session.tune(), "a.dat", UnitCommand::Write, "Update", false);
    EXPECT_EQ(cycles(2, 10), 2);
    run.stop();

    ASSERT_NE(read, sent);
    EXPECT_GE(all.first, 3);
    EXPECT_GT(all.last, all.first + 30);
    EXPECT_EQ(single.first, single.last);
    EXPECT_EQ(run.tunes(), (LogTunes{{0, read},
                                     {all.first, ""},
                                     {all.last, sent},
                                     {single.last, poked},
                                     {refused.first, ""}}));
    EXPECT_EQ(recoverJournal(run.journal().path()).tunes, run.tunes());
    // The log is linked under every tune it ran on, with them sample by sample.
    ASSERT_EQ(run.save((folder / "LOG.txt").string()), "");
    const HistoryIndex index = history.load();
    ASSERT_EQ(index.logs.size(), 1u);
    EXPECT_EQ(index.logs[0].tunes, run.tunes());
    for (int id : {1, 2, 3})
        EXPECT_EQ(index.logsOf(id).size(), 1u) << id;
    run.removeConsumer(&unitTune);
}

TEST_F(LiveRunTest, ASampleLimitedContinuousRunKeepsExactlyItsSamples) {
    // Ending just before, with and just after the sample that fills the first log.
    for (const int limit : {LogStore::kMaxRunSamples - 1, LogStore::kMaxRunSamples,
                            LogStore::kMaxRunSamples + 1, LogStore::kMaxRunSamples + 2}) {
        recorder.times.clear();
        LiveRunPlan limited = continuousPlan();
        limited.mostSamples = limit;
        ASSERT_TRUE(run.start(limited, thread));
        cycles(LogStore::kMaxRunSamples + 10, 10);
        EXPECT_FALSE(run.running());
        EXPECT_EQ(recorder.times.size(), static_cast<std::size_t>(limit)) << limit;
        int saved = 0;
        for (const char* name : {"LOG.txt", "LOG-001.txt"}) {
            auto log = std::make_unique<LogStore>();
            if (fs::exists(folder / name) &&
                openLogFile(*log, session.trace, prompts, (folder / name).string(), name))
                saved += log->sampleCount();
            fs::remove(folder / name);
        }
        EXPECT_EQ(saved, limit) << limit;
    }
}

TEST_F(LiveRunTest, MarkersGoWithThePartTheyWereSetInNumberedOnAcrossTheRun) {
    EXPECT_FALSE(run.addMarker()) << "no run, no marker";
    ASSERT_TRUE(run.start(continuousPlan(), thread));
    cycles(3, 10);
    const std::optional<LogMarker> first = run.addMarker();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->number, 1);
    EXPECT_EQ(first->seconds, 0.02);  // the newest sample handed on
    // The first log fills and is saved; the run goes on in LOG-001.txt.
    for (int s = 3; s < LogStore::kMaxRunSamples + 2; ++s) {
        ASSERT_TRUE(thread.step());
        clock.advanceMs(10);
    }
    run.present();
    ASSERT_EQ(run.part(), 1);
    cycles(2, 10);
    const std::optional<LogMarker> second = run.addMarker();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->number, 2);
    EXPECT_EQ(second->seconds, run.log().LogTime(run.samplesPresented() - 1) / 1000.0);
    EXPECT_EQ(run.markers().size(), 1u) << "the saved part took its markers";
    // A note typed after its part was saved goes into that part's file.
    EXPECT_EQ(run.setMarkerNote(1, "tip-in"), "");
    EXPECT_EQ(run.setMarkerNote(2, "3rd gear"), "");
    run.stop();

    EXPECT_EQ(readLogMarkers((folder / "LOG.txt").string()).markers.at(0).note, "tip-in");
    const std::vector<LogMarker> later = readLogMarkers((folder / "LOG-001.txt").string()).markers;
    ASSERT_EQ(later.size(), 1u);
    EXPECT_EQ(later[0].number, 2);
    EXPECT_EQ(later[0].seconds, second->seconds);
    EXPECT_EQ(later[0].note, "3rd gear");
    // Followers of the part being logged hear of its markers only.
    EXPECT_EQ(recorder.eventsOf("marker"),
              (std::vector<std::string>{"marker 1 ", "marker 2 ", "marker 2 3rd gear"}));
}

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

// A run on a worker thread of its own, presented from the test's thread as the window's frames
// present it.
class ThreadedRunTest : public ::testing::Test {
protected:
    ThreadedRunTest() {
        EXPECT_TRUE(sim.port().open());
        session.maps.GridInit();
        EXPECT_TRUE(SR20DET_Version(session, {.FromPFC = true, .NoDisplay = true}));
    }
    void start() {
        LiveRunPlan plan;
        plan.include = kAllGroups;
        plan.journal = false;
        // Taken before the worker starts: it may send before start returns.
        firstLiveRequest = port.commands().size();
        ASSERT_TRUE(run.start(plan, thread));
    }
    // Frames until n samples show.
    void presentUntil(int n) {
        while (run.running() && run.samplesPresented() < n)
            run.present();
    }

    ManualClock clock;
    test::RecordingPrompts prompts;
    InProcessSimulator sim{SimUnitKind::Det1_501, clock};
    NotingPort port{sim.port()};
    Session session{port, clock, prompts};
    test::PlainFileWriter files;
    LiveRun run{session, session, clock, files, std::string()};
    StdPollingThread thread;
    std::size_t firstLiveRequest = 0;
};

TEST_F(ThreadedRunTest, TransfersDuringARunGoOutWholeBetweenTwoWholeSamples) {
    start();
    presentUntil(3);
    // The presenting thread reads while the worker writes: what is published is whole.
    for (int s = 0; s < run.samplesPresented(); ++s)
        EXPECT_GT(run.log().LogData(0, s), 0) << "the Rpm of sample " << s;
    // A map read, then a changed cell written by Update, while the run goes on.
    TransferOperations transfers(session);
    EXPECT_TRUE(transfers.cmdReadMap_Click(kInjMap));
    ASSERT_TRUE(session.maps.GridSetData(kInjMap, 4, 7, 0x99));
    EXPECT_TRUE(transfers.cmdUpdate_Click());
    const int afterMap = run.samplesPresented();
    presentUntil(afterMap + 3);
    run.stop();

    EXPECT_GE(run.samplesPresented(), afterMap + 3);
    EXPECT_EQ(run.log().LogLast, run.samplesPresented() - 1);
    EXPECT_TRUE(prompts.texts().empty());
    // Only the worker touched the line while it had it.
    const std::set<std::thread::id> writers = port.writersSince(firstLiveRequest);
    EXPECT_EQ(writers.size(), 1u);
    EXPECT_EQ(writers.count(std::this_thread::get_id()), 0u);
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
    EXPECT_EQ(cycles, run.samplesPresented());
    EXPECT_GT(others, 0);
    // Cell 123 (row 4, column 7) lies in byte 24 of the second injection block.
    EXPECT_EQ(sim.ecu().blocks()[0x87][23], 0x99);
}

TEST_F(ThreadedRunTest, AUnitGoneSilentEndsTheRunWithItsMessageShownByThePresentingThread) {
    // Two cycles of five, then the cable is pulled.
    sim.line().faults().cablePulledAfter = sim.line().requestCount() + 10;
    std::vector<std::string> toldAtEnd;
    struct AtEnd final : LiveConsumer {
        explicit AtEnd(test::RecordingPrompts& p, std::vector<std::string>& out)
            : prompts(p), told(out) {}
        void runEnded() override { told = prompts.texts(); }
        test::RecordingPrompts& prompts;
        std::vector<std::string>& told;
    } atEnd(prompts, toldAtEnd);
    run.addConsumer(&atEnd);
    start();
    while (run.running())
        run.present();

    EXPECT_EQ(run.end(), LiveRunEnd::UnitSilent);
    EXPECT_EQ(run.log().LogLast, 1);
    // Held until every sample was handed on, then shown on this thread.
    EXPECT_TRUE(toldAtEnd.empty());
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kInterfaceNotResponding});
    // The line is this thread's again.
    sim.line().faults().cablePulledAfter = 0;
    EXPECT_TRUE(TransferOperations(session).cmdReadMap_Click(0));
}

// A clock the worker reads once a poll, after the jobs asked for before it have run: whatever
// the test does there happens in the middle of a poll.
class PollClock final : public Clock {
public:
    [[nodiscard]] std::int64_t nowMicros() const override {
        if (atPoll) std::exchange(atPoll, nullptr)();
        return 0;
    }
    void sleepUntilMicros(std::int64_t /*t*/) override {}
    mutable std::function<void()> atPoll;
};

// It was asked for while the line was still the worker's: left in the queue, its caller would
// wait for ever.
TEST(LiveHandoffTest, AJobAskedForDuringTheLastPollRunsBeforeTheLineIsLetGo) {
    ManualClock clock;
    test::ScriptedSerialPort port(clock);
    port.setBroken(true);  // the run's first read fails
    test::RecordingPrompts prompts;
    UnitLine line(port, clock, prompts);
    LiveHandoff handoff;
    handoff.reset(false);
    PollClock pollClock;
    LivePolling polling(line, pollClock, handoff);
    PollingPlan plan;
    plan.include = kAdvancedOnly;
    auto log = std::make_unique<LogStore>();
    auto spare = std::make_unique<LogStore>();
    polling.prepare(plan, *log, *spare, {});

    std::thread::id worker, ranOn;
    const std::function<void()> job = [&] { ranOn = std::this_thread::get_id(); };
    std::promise<void> inPoll;
    std::atomic<bool> asking = false;
    std::promise<bool> carried;
    std::thread caller([&] {
        inPoll.get_future().wait();
        asking = true;
        carried.set_value(handoff.carry(job));
    });
    pollClock.atPoll = [&] {
        inPoll.set_value();
        while (!asking)
            std::this_thread::yield();
        // The job is queued a moment after; from then on each of these returns at once.
        for (int i = 0; i < 500; ++i)
            handoff.waitForJobs();
    };
    StdPollingThread thread;
    thread.start([&] {
        worker = std::this_thread::get_id();
        return polling.cycle();
    });
    std::future<bool> answered = carried.get_future();
    const bool inTime = answered.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    // A job left in the queue is run here, so that the test ends either way.
    if (!inTime) handoff.runJobs();
    caller.join();
    thread.join();

    EXPECT_TRUE(inTime) << "the job asked for during the last poll was left waiting";
    EXPECT_TRUE(answered.get());
    EXPECT_EQ(ranOn, worker);
    EXPECT_EQ(handoff.end(), PollingEnd::UnitSilent);
    EXPECT_TRUE(handoff.finished());
}

TEST(CheckUnsavedLog, AsksOnlyWhenSomethingIsUnsaved) {
    LogStore log;
    test::RecordingPrompts prompts;
    EXPECT_FALSE(CheckUnsavedLog(log, prompts, {}));
    EXPECT_TRUE(prompts.messages().empty());

    log.LogUnsaved = true;
    for (MessageAnswer a : {MessageAnswer::Yes, MessageAnswer::Yes, MessageAnswer::No})
        prompts.answerNext(a);
    EXPECT_EQ(CheckUnsavedLog(log, prompts, [&] { log.LogUnsaved = false; }), MessageAnswer::Yes);
    log.LogUnsaved = true;
    EXPECT_EQ(CheckUnsavedLog(log, prompts, [] {}), MessageAnswer::Cancel);  // save cancelled
    EXPECT_EQ(CheckUnsavedLog(log, prompts, [] {}), MessageAnswer::No);
}

}  // namespace
}  // namespace tunalyx
