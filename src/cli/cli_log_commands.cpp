#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
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
#include "model/descriptors.h"
#include "monitor/log_file.h"
#include "monitor/log_journal.h"
#include "monitor/logged_run.h"
#include "sim/fast_drive.h"
#include "sim/fuel_requirement.h"
#include "transfer/qt_file_writer.h"

// The log run of a unit (log) and of the engine that answers a tune (drive), and recover.
namespace tunalyx::cli {

namespace {

const CommandShape kLogShape{.required = {"--port", "--out"},
                             .optional = {"--groups", "--samples", "--seconds"}};
const CommandShape kRecoverShape{.optional = {"--out"}};
const CommandShape kDriveShape{.required = {"--tune"},
                               .optional = {"--drive", "--seconds", "--out", "--groups", "--seed",
                                            "--requirement", "--dump-requirement"}};

// While a log runs, what would end the program ends the run instead, and the log is saved:
// Ctrl+C, SIGTERM, and a terminal closed or a connection dropped (SIGHUP). A reader of stderr
// that has gone away must not end it either (SIGPIPE) before the file is written.
class StopSignals {
public:
    StopSignals() {
        g_stop.store(false);
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            m_previous[i] = std::signal(kSignals[i], onStopSignal);
#ifdef SIGPIPE
        m_previousPipe = std::signal(SIGPIPE, SIG_IGN);
#endif
    }
    ~StopSignals() {
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            std::signal(kSignals[i], m_previous[i]);
#ifdef SIGPIPE
        std::signal(SIGPIPE, m_previousPipe);
#endif
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    using Handler = void (*)(int);
#ifdef SIGHUP
    static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
#else
    static constexpr std::array<int, 2> kSignals = {SIGINT, SIGTERM};
#endif
    std::array<Handler, kSignals.size()> m_previous{};
#ifdef SIGPIPE
    Handler m_previousPipe = SIG_DFL;
#endif
};

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

// Whatever the session is told of saved logs when a file is written.
LogSavedHook logSavedOf(Session& session) {
    return [&session](const std::string& path, std::string_view contents) {
        if (session.logSaved) session.logSaved(path, contents);
    };
}

// "204.791"
std::string millisecondsText(std::int64_t ms) {
    std::string fraction = std::to_string(ms % 1000);
    fraction.insert(0, 3 - fraction.size(), '0');
    return std::to_string(ms / 1000) + "." + fraction;
}

// How long a log run goes on and where its logs go.
struct LogRun {
    LoggedRunLimits limits;
    std::string out;
    bool showProgress;
    LogSavedHook saved;  // the session's, told of every file written
    bool journaled = false;
};

// The command line's side of a log run: Ctrl+C and the like end it once the line is open,
// progress on a terminal, the program's messages, and every finished log saved. `runLog` runs it
// with these hooks.
int pollAndSave(CliContext& ctx, const LogRun& run,
                const std::function<LoggedRunResult(const LoggedRunHooks&)>& runLog) {
    std::optional<StopSignals> stopSignals;
    std::int64_t shownSecond = -1;
    LoggedRunHooks hooks;
    hooks.lineOpened = [&] { stopSignals.emplace(); };
    hooks.stopRequested = [] { return g_stop.load(); };
    if (run.showProgress)
        hooks.progress = [&](long samples, std::int64_t ms) {
            if (ms / 1000 == shownSecond) return;
            shownSecond = ms / 1000;
            std::cerr << "\r" << samples << " samples, " << shownSecond << " s" << std::flush;
        };
    if (run.journaled) {
        hooks.journal.folder = journalFolderOf(cliFilesFolder());
        hooks.journal.target = [&](int part) {
            return std::filesystem::absolute(continuedLogPath(run.out, part)).string();
        };
        hooks.journal.failed = [&](const std::string& message) {
            if (run.showProgress) std::cerr << "\n";
            ctx.prompts.tell(message, MessageIcon::Exclamation);
        };
    }
    hooks.finished = [&](const LoggedPart& part) {
        if (run.showProgress) std::cerr << "\n";
        const LoggedRunLimits& limits = run.limits;
        if (part.full && part.last) {
            const int count = part.log.sampleCount();
            ctx.prompts.tell("A log holds at most " + std::to_string(LogStore::kMaxRunSamples) +
                                 " samples, so the run ended after " +
                                 std::to_string(part.log.LogTime(count - 1) / 1000) +
                                 " s, before the " +
                                 (limits.samples ? std::to_string(*limits.samples) + " samples"
                                                 : std::to_string(*limits.seconds) + " s") +
                                 " asked for.",
                             MessageIcon::Exclamation);
        }
        // A run cut short by the unit is still saved: those samples may be the ones that matter.
        QtFileWriter writer;
        const std::string path = continuedLogPath(run.out, part.number);
        if (const std::string error = saveLogFile(part.log, part.items, writer, path, run.saved);
            !error.empty()) {
            failed(error);
            return false;
        }
        // Where each file of a long run lies in it, so that a gap would show.
        if (part.number > 0 || !part.last) {
            const int count = part.log.sampleCount();
            std::cerr << shownName(path) << ": " << count << " samples, "
                      << millisecondsText(part.startMs) << " s to "
                      << millisecondsText(part.startMs + part.log.LogTime(count - 1))
                      << " s of the run" << std::endl;
        }
        return true;
    };
    const LoggedRunResult result = runLog(hooks);
    if (result.end == LoggedRunEnd::NothingRead) {
        if (run.showProgress) std::cerr << "\n";
        ctx.prompts.tell("No sample was read whole, so " + continuedLogPath(run.out, result.part) +
                             " was not written.",
                         MessageIcon::Critical);
    }
    return result.succeeded() ? kExitOk : kExitFailed;
}

AuxCalibration auxOf(const CliContext& ctx) {
    return auxCalibrationOf(loadAuxSettings(ctx.settings));
}
}  // namespace

int runLog(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kLogShape); !problem.empty()) return usage(problem);
    const auto samples = positiveNumber(args.option("--samples"));
    const auto seconds = positiveNumber(args.option("--seconds"));
    if (args.option("--samples").has_value() == args.option("--seconds").has_value())
        return usage("log needs either --samples N or --seconds S");
    if (!samples && !seconds) return usage("--samples and --seconds take a whole number above 0");
    const auto include = groupsFromText(args.option("--groups").value_or("advanced"));
    if (!include) return usage("--groups takes basic, sensors, aux, map and advanced");
    const std::string out = *args.option("--out");

    // A run whose log could not be saved is not started: the folder, the target and the room
    // for the largest log it can give are checked before the first request.
    const int mostSamples = static_cast<int>(
        std::min<long>(samples.value_or(LogStore::kMaxRunSamples), LogStore::kMaxRunSamples));
    if (const std::string problem = logTargetProblem(out, logFileSizeBound(*include, mostSamples));
        !problem.empty()) {
        ctx.prompts.tell(problem, MessageIcon::Critical);
        return kExitFailed;
    }

    UnitSession unit(ctx, *args.option("--port"));
    linkLogsToHistory(unit.session(), ctx);
    const LogRun run{
        {samples, seconds, true}, out, stderrIsTerminal(), logSavedOf(unit.session()), true};
    return pollAndSave(ctx, run, [&](const LoggedRunHooks& hooks) {
        return runLogged(
            unit.session(), ctx.clock, auxOf(ctx), *include, run.limits,
            [&] { return unit.open(ctx.prompts); }, hooks);
    });
}

int runDrive(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kDriveShape); !problem.empty())
        return usage(problem);
    EngineOptions engine;
    if (const auto problem = engineOptionsFrom(args, engine); !problem.empty())
        return usage(problem);
    const auto out = args.option("--out");
    const auto dump = args.option("--dump-requirement");
    if (out.has_value() != args.option("--seconds").has_value() || (!out && !dump))
        return usage("drive needs --seconds S and --out LOG.txt (or --dump-requirement alone)");
    const auto seconds = positiveNumber(args.option("--seconds"));
    if (out && !seconds) return usage("--seconds takes a whole number above 0");
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
    if (out) {
        if (const std::string problem =
                logTargetProblem(*out, logFileSizeBound(*include, LogStore::kMaxRunSamples));
            !problem.empty()) {
            ctx.prompts.tell(problem, MessageIcon::Critical);
            return kExitFailed;
        }
    }
    if (dump)
        if (const auto problem = writeRequirement(layout.family, engine, *dump); !problem.empty())
            return failed(problem);
    if (!out) return kExitOk;

    FastDrive drive;
    drive.engine = engine;
    drive.seconds = *seconds;
    drive.include = *include;
    drive.link = LinkSettings::fromStore(ctx.settings);
    drive.aux = auxOf(ctx);
    return pollAndSave(ctx, {{std::nullopt, seconds, true}, *out, false, logSavedOf(tune)},
                       [&](const LoggedRunHooks& hooks) {
                           return driveInFastTime(blocks, layout.family, drive, ctx.prompts, hooks);
                       });
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
    if (journals.size() > 1)
        std::cout << journals.size() - 1 << " more unsaved journal(s) in " << folder << std::endl;
    return kExitOk;
}

}  // namespace tunalyx::cli
