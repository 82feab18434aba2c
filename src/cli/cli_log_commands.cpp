#include <algorithm>
#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <iostream>
#include <iterator>
#include <optional>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "auxinputs/aux_calibration.h"
#include "cli/cli_common.h"
#include "cli/cli_folders.h"
#include "cli/cli_history.h"
#include "cli/cli_run_target.h"
#include "model/descriptors.h"
#include "monitor/live_run.h"
#include "monitor/log_file.h"
#include "monitor/log_journal.h"
#include "monitor/qt_polling_thread.h"
#include "sim/fast_drive.h"
#include "sim/fuel_requirement.h"
#include "transfer/block_names.h"
#include "transfer/qt_file_writer.h"

// The log run of a unit (log) and of the engine that answers a tune (drive), and recover.
namespace tunalyx::cli {

namespace {

const CommandShape kLogShape{.required = {"--port", "--out"},
                             .optional = {"--groups", "--samples", "--seconds"}};
const CommandShape kRecoverShape{.optional = {"--out"}};
const CommandShape kDriveShape{
    .required = {"--tune"},
    .optional = {"--drive", "--seconds", "--out", "--groups", "--seed", "--requirement",
                 "--dump-requirement", "--knock-limit", "--knock-spikes", "--dump-knock-limit",
                 "--cold-start", "--sensor-delay-scale"}};

const std::string kSamplesRange =
    "--samples takes a whole number from 1 to " + std::to_string(kMostRunSamples);
const std::string kSecondsRange =
    "--seconds takes a whole number from 1 to " + std::to_string(kLongestRunSeconds);

const char* const kGroupNames[kTraceGroupCount] = {"basic", "sensors", "aux", "map", "advanced"};

// "--groups basic,map": the groups to poll; nothing for a name that is not one.
std::optional<std::array<bool, kTraceGroupCount>> groupsFromText(const std::string& text) {
    std::array<bool, kTraceGroupCount> include{};
    for (std::string_view name : splitFields(text)) {
        const auto known = std::find(std::begin(kGroupNames), std::end(kGroupNames), name);
        if (known == std::end(kGroupNames)) return std::nullopt;
        include[static_cast<std::size_t>(known - std::begin(kGroupNames))] = true;
    }
    return include;
}

bool stderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

// "204.791"
std::string millisecondsText(std::int64_t ms) {
    std::string fraction = std::to_string(ms % 1000);
    fraction.insert(0, 3 - fraction.size(), '0');
    return std::to_string(ms / 1000) + "." + fraction;
}

// The command line's view of a log run: its progress on a terminal, and where each file of a
// long run lies in it, so that a gap would show.
class RunView final : public LiveConsumer {
public:
    explicit RunView(bool showProgress) : m_showProgress(showProgress) {}

    void samplePublished(const PublishedSample& sample) override {
        ++m_samples;
        if (!m_showProgress || sample.timeMs / 1000 == m_shownSecond) return;
        m_shownSecond = sample.timeMs / 1000;
        std::cerr << "\r" << m_samples << " samples, " << m_shownSecond << " s" << std::flush;
        m_lineOpen = true;
    }
    void logSaved(const SavedLog& saved) override {
        endLine();
        const int count = saved.log.sampleCount();
        m_kept += count;
        m_files.push_back(shownName(saved.path));
        if (saved.part == 0 && !saved.runGoesOn) return;
        std::cerr << shownName(saved.path) << ": " << count << " samples, "
                  << millisecondsText(saved.log.LogTime(0)) << " s to "
                  << millisecondsText(saved.log.LogTime(count - 1)) << " s of the run" << std::endl;
    }
    // What a run that ended early kept: "1234 samples were kept, in LOG.txt and LOG-001.txt."
    [[nodiscard]] std::string keptText() const {
        if (m_files.empty()) return "No sample was kept.";
        return std::to_string(m_kept) + (m_kept == 1 ? " sample was" : " samples were") +
               " kept, in " + listedNames(m_files) + ".";
    }
    // Before a message: the progress line ends first.
    void endLine() {
        if (!m_lineOpen) return;
        std::cerr << "\n";
        m_lineOpen = false;
    }

private:
    bool m_showProgress;
    bool m_lineOpen = false;
    long m_samples = 0;  // across the run's files
    std::int32_t m_shownSecond = -1;
    long m_kept = 0;  // in the files saved
    std::vector<std::string> m_files;
};

// A started live run until it is over, with its view on this thread: Ctrl+C and the like end
// it, every log it finishes is saved by it. The exit status of the command; a run that ended
// early says why and what it kept.
int presentRun(CliContext& ctx, LiveRun& run, RunView& view, const std::string& out,
               bool journaled) {
    run.presentUntilOver([&run] {
        if (g_stop.load()) run.requestStop();
    });
    view.endLine();
    switch (run.end()) {
        case LiveRunEnd::Stopped:
        case LiveRunEnd::Full:
            if (run.endMessage().empty()) return kExitOk;
            // A journal that could no longer be written ended it: the files saved are all.
            ctx.prompts.tell(run.endMessage(), MessageIcon::Critical);
            ctx.prompts.tell("The run ended early. " + view.keptText(), MessageIcon::Critical);
            return kExitFailed;
        case LiveRunEnd::NothingRead:
            ctx.prompts.tell("No sample was read whole, so " + continuedLogPath(out, run.part()) +
                                 " was not written.",
                             MessageIcon::Critical);
            return kExitFailed;
        case LiveRunEnd::UnitSilent:
        case LiveRunEnd::NotSaved:
        case LiveRunEnd::NotStarted:
            break;
    }
    // The unit's silence was told by the link; any other end has its own text.
    if (!run.endProblem().empty()) ctx.prompts.tell(run.endProblem(), MessageIcon::Critical);
    if (run.end() == LiveRunEnd::NotStarted) {
        ctx.prompts.tell("The run did not start, so nothing was written.", MessageIcon::Critical);
        return kExitFailed;
    }
    if (run.end() == LiveRunEnd::UnitSilent) {
        ctx.prompts.tell("The run ended early. " + view.keptText(), MessageIcon::Critical);
    } else {
        // A log that could not be written stays in the run's journal.
        ctx.prompts.tell(view.keptText() + (journaled ? " The samples not saved are in the run's "
                                                        "journal: tunalyx-cli recover writes "
                                                        "them as a log."
                                                      : ""),
                         MessageIcon::Critical);
    }
    return kExitFailed;
}

AuxCalibration auxOf(const CliContext& ctx) {
    return auxCalibrationOf(loadAuxSettings(ctx.settings));
}
}  // namespace

int runLog(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kLogShape); !problem.empty()) return usage(problem);
    if (args.option("--samples").has_value() == args.option("--seconds").has_value())
        return usage("log needs either --samples N or --seconds S");
    const auto samples = countUpTo(args.option("--samples"), kMostRunSamples);
    const auto seconds = countUpTo(args.option("--seconds"), kLongestRunSeconds);
    if (args.option("--samples") && !samples) return usage(kSamplesRange);
    if (args.option("--seconds") && !seconds) return usage(kSecondsRange);
    const auto include = groupsFromText(args.option("--groups").value_or("advanced"));
    if (!include) return usage("--groups takes basic, sensors, aux, map and advanced");
    const std::string out = *args.option("--out");

    // A run whose logs could not be saved is not started: the folder, the files and the room
    // for the run (and its journal) are checked, and the files held, before the first request.
    RunTarget target;
    if (const std::string problem =
            target.claim(out, {*include, samples, seconds}, args.flag("--yes"),
                         journalFolderOf(cliFilesFolder()));
        !problem.empty()) {
        ctx.prompts.tell(problem, MessageIcon::Critical);
        return kExitFailed;
    }

    UnitSession unit(ctx, *args.option("--port"));
    Session& session = unit.session();
    const AuxCalibration aux = auxOf(ctx);
    // The item names of the aux set-up; the unit's layout renames items when it is identified.
    session.trace.InitTraceItemLookup(aux.names);
    // The logs are allocated before the unit is woken: allocating between the wake-up and the
    // first request would shift every sample time.
    QtFileWriter writer;
    LiveRun run(session, session, ctx.clock, writer, journalFolderOf(cliFilesFolder()));
    RunView view(stderrIsTerminal());
    const std::unique_ptr<LiveConsumer> history = logHistory(ctx);
    run.addConsumer(&view);
    run.addConsumer(history.get());
    run.journalFailed = [&](const std::string& message) {
        view.endLine();
        ctx.prompts.tell(message, MessageIcon::Exclamation);
    };
    if (!unit.open(ctx.prompts)) return kExitFailed;
    // From here on what would end the program ends the run, which then saves what it has.
    const StopSignals stopSignals;
    LiveRunPlan plan;
    plan.include = *include;
    plan.aux = aux;
    plan.target = out;
    plan.continuous = true;
    plan.saveLastPart = true;
    // Nothing here could save what only memory holds: a journal that stops ends the run.
    plan.endWhenJournalFails = true;
    plan.mostSamples = samples;
    // However many samples were asked for, the times must not run past what a log can hold.
    plan.mostSeconds = seconds.value_or(kLongestRunSeconds);
    // The command line holds no data to weigh against the unit.
    plan.identify = [&session] { return SR20DET_Version(session, {.FromPFC = true}); };
    QtPollingThread thread;
    if (!run.start(plan, thread)) return kExitFailed;
    return presentRun(ctx, run, view, out, true);
}

int runDrive(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kDriveShape); !problem.empty())
        return usage(problem);
    EngineOptions engine;
    if (const auto problem = engineOptionsFrom(args, engine); !problem.empty())
        return usage(problem);
    const auto out = args.option("--out");
    const bool dump = args.option("--dump-requirement") || args.option("--dump-knock-limit");
    if (out.has_value() != args.option("--seconds").has_value() || (!out && !dump))
        return usage(
            "drive needs --seconds S and --out LOG.txt (or --dump-requirement or "
            "--dump-knock-limit alone)");
    const auto seconds = countUpTo(args.option("--seconds"), kLongestRunSeconds);
    if (out && !seconds) return usage(kSecondsRange);
    const auto include = groupsFromText(args.option("--groups").value_or("advanced,aux"));
    if (!include) return usage("--groups takes basic, sensors, aux, map and advanced");

    FileSession file(ctx);
    Session& tune = file.session();
    const std::string tunePath = *args.option("--tune");
    if (!openFile(tune, tunePath)) return kExitFailed;
    const FamilyLayout& layout = familyLayout(*tune.layout.family);
    const PacketImage::Slots& blocks = tune.image.all();
    if (!injectionField(blocks, layout) || !mapAxesOfBlock(blocks[layout.mapRefBlock]))
        return failed(shownName(tunePath) +
                      " has no whole Inj Map and map reference, so the engine cannot run on it");
    RunTarget target;
    if (out) {
        if (const std::string problem =
                target.claim(*out, {*include, std::nullopt, seconds}, args.flag("--yes"));
            !problem.empty()) {
            ctx.prompts.tell(problem, MessageIcon::Critical);
            return kExitFailed;
        }
    }
    if (const auto problem = writeEngineDumps(args, layout.family, engine); !problem.empty())
        return failed(problem);
    if (!out) return kExitOk;

    FastDrive drive;
    drive.engine = engine;
    drive.seconds = *seconds;
    drive.include = *include;
    drive.link = LinkSettings::fromStore(ctx.settings);
    drive.aux = auxOf(ctx);
    QtFileWriter writer;
    FastDriveUnit unit(blocks, layout.family, drive, ctx.prompts, writer);
    RunView view(false);
    // The unit holds the tune from the first request on: its logs ran on it.
    const std::unique_ptr<LiveConsumer> history =
        logHistoryAfterWrite(ctx, tune, tunePath, "Drive");
    unit.run().addConsumer(&view);
    unit.run().addConsumer(history.get());
    if (!unit.start(*out)) {
        ctx.prompts.tell("The drive did not start, so nothing was written.", MessageIcon::Critical);
        return kExitFailed;
    }
    return presentRun(ctx, unit.run(), view, *out, false);
}

int runRecover(const CliArgs& args, CliContext& /*ctx*/) {
    if (const auto problem = usageProblem(args, kRecoverShape); !problem.empty())
        return usage(problem);
    const std::string folder = journalFolderOf(cliFilesFolder());
    const std::vector<UnsavedJournal> journals = unsavedJournals(folder);
    if (journals.empty()) return failed("no unsaved log journal in " + folder);
    const UnsavedJournal& newest = journals.front();
    const std::string out = args.option("--out").value_or(recoveredLogPath(newest, folder));
    QtFileWriter writer;
    const RecoveryResult result = recoverTo(newest, out, writer);
    if (!result.recovered) return failed(result.message);
    std::cout << result.message << std::endl;
    // The recovered log is linked to the tunes it ran on, as a saved one is.
    TuneHistory history(historyFolderOf(cliFilesFolder()), writer);
    if (const std::string problem = history.recordLog(result.path, result.text, 0, result.tunes);
        !problem.empty())
        std::cerr << problem << std::endl;
    if (journals.size() > 1)
        std::cout << journals.size() - 1 << " more unsaved journal(s) in " << folder << std::endl;
    return kExitOk;
}

}  // namespace tunalyx::cli
