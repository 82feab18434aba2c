#include "monitor/log_journal.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "monitor/live_run.h"
#include "monitor/log_file.h"
#include "session/session.h"
#include "sim/in_process_simulator.h"
#include "support/file_text.h"
#include "support/plain_file_writer.h"
#include "support/recording_prompts.h"
#include "support/stepped_polling.h"

#ifdef __linux__
#include <sys/resource.h>
#endif

namespace tunalyx {
namespace {

namespace fs = std::filesystem;

constexpr std::array<bool, kTraceGroupCount> kAdvancedAndAux = {false, false, true, false, true};

using test::fileText;

class LogJournalTest : public ::testing::Test {
protected:
    LogJournalTest() {
        fs::remove_all(folder);
        EXPECT_TRUE(sim.port().open());
        session.maps.GridInit();
        EXPECT_TRUE(SR20DET_Version(session, {.FromPFC = true, .NoDisplay = true}));
        run->journalFailed = [this](const std::string& message) { failures.push_back(message); };
    }
    ~LogJournalTest() override {
        // Closed first: an open file cannot be removed on every system.
        run.reset();
        std::error_code ec;
        fs::remove_all(folder, ec);
    }

    bool start(const std::string& target = {}) {
        LiveRunPlan plan;
        plan.include = kAdvancedAndAux;
        // A continuous run knows where its log goes; it saves nothing before the log is full.
        plan.target = target;
        plan.continuous = !target.empty();
        return run->start(plan, thread);
    }
    // Cycles of the run, the clock moving `stepMs` a cycle, each presented.
    void steps(int n, int stepMs) {
        for (int i = 0; i < n && thread.step(); ++i) {
            run->present();
            clock.advanceMs(stepMs);
        }
    }
    void stop() {
        run->stop();
        EXPECT_FALSE(run->running());
    }
    const LogJournal& journal() const { return run->journal(); }
    const LogStore& log() const { return run->log(); }

    const fs::path folder =
        fs::temp_directory_path() / ("tunalyx-journal-" + std::to_string(::getpid()));
    ManualClock clock;
    test::RecordingPrompts prompts;
    InProcessSimulator sim{SimUnitKind::Det1_501, clock};
    Session session{sim.port(), clock, prompts};
    test::PlainFileWriter files;
    std::unique_ptr<LiveRun> run =
        std::make_unique<LiveRun>(session, session, clock, files, folder.string());
    test::SteppedPolling thread;
    std::vector<std::string> failures;
};

TEST_F(LogJournalTest, OnDiskWithinASecondAndRecoveredAsTheSavedLog) {
    ASSERT_TRUE(start("/logs/drive.txt"));
    // 40 ms a cycle: a killed program may lose the samples of the last second, never more.
    for (int i = 0; i < 100; ++i) {
        steps(1, 40);
        const RecoveredLog onDisk = recoverJournal(journal().path());
        const int presented = run->samplesPresented();
        const std::int64_t newest = log().LogTime(presented - 1);
        long withinTheLastSecond = 0;
        for (int s = 0; s < presented; ++s)
            if (log().LogTime(s) > newest - 1000) ++withinTheLastSecond;
        ASSERT_GE(onDisk.samples, presented - withinTheLastSecond) << "at sample " << i;
    }
    stop();

#ifndef _WIN32
    // While the program that wrote it may still save the log, the journal is not another's to
    // recover; once it is closed without a save (a crash closes it too), it is.
    EXPECT_TRUE(unsavedJournals(folder.string()).empty());
    {
        LogJournal other(folder.string(), log(), session.trace);
        other.setTarget("/logs/other.txt");
        other.runStarted();
        other.samplePublished({0, 0, 0, LiveSample{}, true});
    }
    const std::vector<UnsavedJournal> unsaved = unsavedJournals(folder.string());
    ASSERT_EQ(unsaved.size(), 1u);
    EXPECT_EQ(unsaved[0].samples, 1);
    EXPECT_EQ(unsaved[0].target, "/logs/other.txt");
    fs::remove(unsaved[0].path);
#endif
    // Every sample as the log file holds it, the journal's own line left out.
    const RecoveredLog recovered = recoverJournal(journal().path());
    EXPECT_EQ(recovered.samples, 100);
    EXPECT_EQ(recovered.text, logFileText(log(), session.trace));

    // Saving the log removes the journal; a new run's journal is a file of its own.
    const std::string journalOfTheRun = journal().path();
    EXPECT_EQ(run->save((folder / "saved.txt").string()), "");
    EXPECT_FALSE(fs::exists(journalOfTheRun));
    ASSERT_TRUE(start());
    steps(3, 40);
    const std::string first = journal().path();
    stop();
    // The user chose not to save it: the next run drops it.
    ASSERT_TRUE(start());
    EXPECT_FALSE(fs::exists(first));
    steps(3, 40);
    stop();
    EXPECT_TRUE(fs::exists(journal().path()));
    EXPECT_TRUE(failures.empty());
}

TEST_F(LogJournalTest, AFolderThatTakesNoJournalIsToldOnceARunAndEachRunTriesAgain) {
    // The folder is a file: no journal can be made there.
    fs::create_directories(folder.parent_path());
    std::ofstream(folder) << "in the way";
    for (int r = 0; r < 2; ++r) {
        ASSERT_TRUE(start());
        steps(50, 40);
        stop();
    }
    EXPECT_EQ(log().LogLast, 49);
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_TRUE(failures[0].starts_with("The log journal cannot be made in ")) << failures[0];
    // Once the folder can be made, the next run is journaled again.
    fs::remove(folder);
    ASSERT_TRUE(start());
    steps(5, 40);
    stop();
    EXPECT_EQ(failures.size(), 2u);
    EXPECT_EQ(recoverJournal(journal().path()).samples, 5);
}

TEST_F(LogJournalTest, TheTunesTheUnitHeldAreKeptAndRecovered) {
    const std::string first = "0123456789abcdef";
    const std::string second = "fedcba9876543210";
    run->unitHolds(first);
    ASSERT_TRUE(start());
    steps(3, 40);
    // Nothing carried to the unit since: from the next sample polled.
    run->unitHolds(second);
    steps(2, 40);
    run->unitHolds("");
    steps(1, 40);
    stop();
    const LogTunes tunes{{0, first}, {3, second}, {5, ""}};
    EXPECT_EQ(run->tunes(), tunes);
    const RecoveredLog recovered = recoverJournal(journal().path());
    EXPECT_EQ(recovered.tunes, tunes);
    // The log lines are the log file's, the tune lines left out.
    EXPECT_EQ(recovered.text, logFileText(log(), session.trace));
    EXPECT_EQ(recovered.samples, 6);
}

TEST_F(LogJournalTest, MarkersAreOnDiskAtOnceAndRecoveredBesideTheLog) {
    ASSERT_TRUE(start());
    steps(3, 40);
    ASSERT_TRUE(run->addMarker());
    ASSERT_EQ(run->setMarkerNote(1, "boost spike"), "");
    steps(2, 40);
    ASSERT_TRUE(run->addMarker());
    // Not a second later, as samples may be: a crash now keeps both.
    const RecoveredLog onDisk = recoverJournal(journal().path());
    ASSERT_EQ(onDisk.markers.size(), 2u);
    EXPECT_EQ(onDisk.markers[0].note, "boost spike");
    EXPECT_EQ(onDisk.markers[1].seconds, 0.16);
    EXPECT_FALSE(onDisk.cut);
    steps(2, 40);

    run.reset();  // the program goes without a save
    const std::vector<UnsavedJournal> unsaved = unsavedJournals(folder.string());
    ASSERT_EQ(unsaved.size(), 1u);
    const RecoveryResult result = recoverTo(unsaved[0], (folder / "LOG.txt").string(), files);
    ASSERT_TRUE(result.recovered) << result.message;
    EXPECT_NE(result.message.find("Recovered 7 samples"), std::string::npos) << result.message;
    const LogMarkersRead markers = readLogMarkers(result.path);
    EXPECT_EQ(markers.problem, "");
    ASSERT_EQ(markers.markers.size(), 2u);
    EXPECT_EQ(markers.markers[0].seconds, 0.08);
    EXPECT_EQ(markers.markers[0].note, "boost spike");
    EXPECT_EQ(markers.markers[1].number, 2);
}

#ifdef __linux__
TEST_F(LogJournalTest, AJournalThatCannotBeWrittenIsToldOnceOrEndsTheRunWhenAskedTo) {
    // Files of this process may not grow past 4 kB: the journal's writes fail as on a full disk.
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    ASSERT_TRUE(start());
    steps(200, 40);
    stop();
    const int loggedOn = log().LogLast;
    // A run that is to end then (the command line's, whose memory nobody can save) ends there.
    LiveRunPlan ending;
    ending.include = kAdvancedAndAux;
    ending.endWhenJournalFails = true;
    ASSERT_TRUE(run->start(ending, thread));
    steps(200, 40);
    run->present();
    const bool endedItself = !run->running();
    stop();
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(loggedOn, 199);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_TRUE(
        failures[0].starts_with("The log journal cannot be written (File too large), so a "
                                "crash now would lose this run; logging goes on in memory."))
        << failures[0];
    EXPECT_TRUE(endedItself);
    EXPECT_LT(log().LogLast, 199);
    EXPECT_EQ(run->endMessage(),
              "The log journal cannot be written (File too large), so the run ended there.");
    const RecoveredLog kept = recoverJournal(journal().path());
    EXPECT_GT(kept.samples, 0);
    EXPECT_LE(kept.samples, log().sampleCount());
}
#endif

TEST(JournalRecovery, WholeLinesOnlyAndClearMessages) {
    const std::string head = "TUNALYX-JOURNAL\t2026-12-06 14:32:05\t\r\n";
    const std::string log =
        "[SR20DET]\r\nTime(S)\tRpm\tLoad\t\r\n0\t800\t20\t\r\n0.006\t810\t21\t\r\n";
    const RecoveredLog whole = recoverJournalText(head + log, "j.tlj");
    EXPECT_EQ(whole.text, log);
    EXPECT_EQ(whole.samples, 2);
    EXPECT_FALSE(whole.cut);

    // Cut in the middle of a line, or ending in what a crash leaves of a block (zeros): the whole
    // lines before are the log.
    for (const std::string& tail :
         {std::string("0.012\t8"), std::string("0.012\t820\t22\t\r"),
          std::string("\0\0\0\0\r\n", 6), std::string("0.012\t820\r\n")}) {
        const RecoveredLog cut = recoverJournalText(head + log + tail, "j.tlj");
        EXPECT_EQ(cut.text, log);
        EXPECT_TRUE(cut.cut);
        EXPECT_TRUE(cut.problem.empty());
    }
    // A line the log reader would split (a lone line feed) or read as damaged ends what is
    // recovered, so that recovery and reader agree on the samples.
    for (const std::string& damaged :
         {std::string("0.012\t82\n0\t22\t\r\n"), std::string("0.012\tx\t22\t\r\n")}) {
        const RecoveredLog cut =
            recoverJournalText(head + log + damaged + "0.018\t1\t2\t\r\n", "j");
        EXPECT_EQ(cut.text, log);
        EXPECT_EQ(cut.samples, 2);
    }
    EXPECT_EQ(recoverJournalText(log, "j.tlj").problem, "j.tlj is not a log journal.");
    EXPECT_EQ(recoverJournalText(head + "[SR20DET]\r\nTime(S)\tRpm\t\r\n0.0", "j.tlj").problem,
              "j.tlj holds no whole sample, so there is nothing to recover.");

    UnsavedJournal j{"j.tlj", "2026-12-06 14:32:05", "", 12345};
    EXPECT_EQ(recoveryQuestion(j, "2026-12-06"), "Recover the log of 14:32, 12,345 samples?");
    EXPECT_EQ(recoveryQuestion(j, "2026-12-07"),
              "Recover the log of 2026-12-06 14:32, 12,345 samples?");
    EXPECT_EQ(groupedCount(1234567), "1,234,567");
    EXPECT_EQ(groupedCount(999), "999");
}

TEST(JournalRecovery, OfferedAtStartYesWritesTheLogNoDropsIt) {
    const fs::path folder =
        fs::temp_directory_path() / ("tunalyx-recovery-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "Logs");
    const std::string log = "[SR20DET]\r\nTime(S)\tRpm\t\r\n0\t800\t\r\n";
    const auto plant = [&](const std::string& name, const std::string& started) {
        std::ofstream(folder / "Logs" / name, std::ios::binary)
            << "TUNALYX-JOURNAL\t" << started << "\t\r\n"
            << log << "0.006\t8";
    };
    plant("journal-20261205-091500.tlj", "2026-12-05 09:15:00");
    plant("journal-20261206-143205.tlj", "2026-12-06 14:32:05");

    test::RecordingPrompts prompts;
    prompts.answerNext(MessageAnswer::Yes);  // the newest
    prompts.answerNext(MessageAnswer::No);
    test::PlainFileWriter writer;
    std::vector<std::string> linked;
    const std::string logs = (folder / "Logs").string();
    const auto written = offerJournalRecovery(logs, logs, prompts, writer,
                                              [&](const std::string& path, std::string_view,
                                                  const LogTunes&) { linked.push_back(path); });

    const std::string out = (folder / "Logs" / "Log_20261206_1432-recovered.txt").string();
    EXPECT_EQ(written, std::vector<std::string>{out});
    EXPECT_EQ(linked, written);
    EXPECT_EQ(fileText(out), log);
    const auto texts = prompts.texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_TRUE(texts[0].starts_with("Recover the log of 2026-12-06 14:32, 1 sample?") ||
                texts[0] == "Recover the log of 14:32, 1 sample?")
        << texts[0];
    EXPECT_EQ(texts[1], "Recovered 1 sample of the log of 2026-12-06 14:32 to " + out +
                            ". Its last line was cut off in the middle and is left out.");
    // Both journals are gone: one recovered, one declined.
    EXPECT_TRUE(unsavedJournals(logs).empty());
    fs::remove_all(folder);
}

TEST(JournalRecovery, NeverWritesOverALogAndKeepsTheJournalUntilTheLogIsWritten) {
    const fs::path folder =
        fs::temp_directory_path() / ("tunalyx-recover-to-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path journal = folder / "journal-20261206-143205.tlj";
    const std::string log = "[SR20DET]\r\nTime(S)\tRpm\t\r\n0\t800\t\r\n";
    std::ofstream(journal, std::ios::binary) << "TUNALYX-JOURNAL\t2026-12-06 14:32:05\t\r\n" << log;
    const UnsavedJournal j{journal.string(), "2026-12-06 14:32:05", "", 1};
    test::PlainFileWriter writer;

    const RecoveryResult nowhere = recoverTo(j, (folder / "gone" / "LOG.txt").string(), writer);
    EXPECT_FALSE(nowhere.recovered);
    EXPECT_TRUE(fs::exists(journal));

    std::ofstream(folder / "LOG.txt") << "a log of another day";
    std::ofstream(folder / "LOG-recovered.txt") << "and another";
    const RecoveryResult result = recoverTo(j, (folder / "LOG.txt").string(), writer);
    ASSERT_TRUE(result.recovered) << result.message;
    EXPECT_EQ(result.path, (folder / "LOG-recovered-2.txt").string());
    EXPECT_EQ(fileText(folder / "LOG.txt"), "a log of another day");
    EXPECT_EQ(fileText(result.path), log);
    EXPECT_FALSE(fs::exists(journal));
    fs::remove_all(folder);
}

}  // namespace
}  // namespace tunalyx
