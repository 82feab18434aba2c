#include "cli/cli_commands.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "autotune/autotune.h"
#include "autotune/target_afr.h"
#include "auxinputs/aux_calibration.h"
#include "cli/cli_folders.h"
#include "cli/cli_history.h"
#include "cli/cli_show.h"
#include "compare/compare.h"
#include "compare/comparison_lines.h"
#include "link/packet_link.h"
#include "link/port_names.h"
#include "link/qt_serial_port.h"
#include "mapwatch/map_watch.h"
#include "model/descriptors.h"
#include "monitor/log_file.h"
#include "monitor/log_journal.h"
#include "monitor/logged_run.h"
#include "ports/closed_serial_port.h"
#include "session/session.h"
#include "transfer/data_file.h"
#include "transfer/qt_file_writer.h"
#include "transfer/transfer_operations.h"
#include "transfer/tune_edits.h"
#include "versions/unit_identity.h"
#include "versions/version_identification.h"

#include "sim/fast_drive.h"
#include "sim/fuel_requirement.h"
#include "sim/simulator_line.h"

#ifndef _WIN32
#include "sim/pty_server.h"
#endif

namespace tunalyx::cli {

const char* usageText() {
    return "usage: tunalyx-cli <command> [options]\n"
           "  identify --port DEV        program name, version text, version key and layout "
           "family\n"
           "  read-all --port DEV --out FILE.dat\n"
           "                             reads every block of the unit into a data file\n"
           "  write-all --port DEV FILE.dat [--no-verify]\n"
           "                             writes a data file to the unit\n"
           "  update --port DEV --base OLD.dat FILE.dat [--no-verify]\n"
           "                             sends what FILE.dat changes against OLD.dat, the tune\n"
           "                             the unit holds\n"
           "                             (both read every block written back and fail when the\n"
           "                             unit did not keep it; --no-verify trusts its answer)\n"
           "  convert --to 1.70|3|5|T2-D IN.dat OUT.dat\n"
           "                             converts a data file to another layout family\n"
           "  show FILE.dat              prints every setting, curve and map of a data file\n"
           "  diff A.dat B.dat [--maps]  what differs in B.dat against A.dat, B converted to A's\n"
           "                             layout first: 'setting', 'notes' and 'cell' lines,\n"
           "                             TAB separated (--maps: differing maps as tables);\n"
           "                             exit status 0 same, 1 different, 2 trouble\n"
           "  log --port DEV [--groups basic,sensors,aux,map,advanced]\n"
           "      (--samples N | --seconds S) --out LOG.txt\n"
           "                             polls live data like the monitor (default group:\n"
           "                             advanced) and saves the log; past 32767 samples it goes\n"
           "                             on in LOG-001.txt, LOG-002.txt, ... without a pause.\n"
           "                             Ctrl+C, SIGTERM or a closed terminal ends it early.\n"
           "                             The samples go to a journal in the Logs folder as they\n"
           "                             come (at least once a second) until the log is saved\n"
           "  recover [--out LOG.txt]    writes the newest journal of a log that was never saved\n"
           "                             (the program was killed, the power failed) as a log\n"
           "                             file; exit 1 when there is none\n"
           "  export-csv LOG.txt OUT.csv a log file as CSV: item names, time in seconds\n"
           "  mapwatch LOG.txt --tune T.dat [--item NAME|N] [--stat min|max|avg|num]\n"
           "      [--holdoff MS] [--maxval V] [--source advanced|logged] [--dp N]\n"
           "                             the map watch grid of a log, the axes from the tune\n"
           "  scan --port DEV --out FILE.dat\n"
           "                             reads all 256 command bytes of any unit into a data "
           "file\n"
           "  drive --tune T.dat [--drive NAME] --seconds S --out LOG.txt\n"
           "      [--groups G,...] [--seed N] [--requirement R] [--dump-requirement F.txt]\n"
           "                             drives the engine that answers the tune in fast time\n"
           "                             and saves the log logging it at 57600 baud would give\n"
           "                             (default groups advanced,aux; past 32767 samples it goes\n"
           "                             on in LOG-001.txt, LOG-002.txt, ...). Drives: idle, "
           "city,\n"
           "                             highway, pulls, mixed (the default). R: pattern (the\n"
           "                             default, from the seed), correct, uniform=P (the default\n"
           "                             tune P % lean everywhere). --dump-requirement writes the\n"
           "                             engine's hidden fuel requirement as a 20 x 20 map\n"
           "  autotune --tune T.dat --log L.txt [--log L2.txt]... [--target T.afr]\n"
           "      [--max-change P] [--min-samples N] --out T2.dat\n"
           "                             proposes Inj Map corrections from the wide-band A/F\n"
           "                             (AN1) of the logs: a line per changed cell (N, P, old,\n"
           "                             new, %, samples), then the readings left out and why;\n"
           "                             exit 1 when no cell could be given a proposal\n"
           "  simulate [--family 1.70|3|5|T2-D] [--baud-pacing] [--fault F]...\n"
           "      [--dump-on-exit FILE.dat]\n"
           "      [--engine [--drive NAME] [--seed N] [--requirement R] [--dump-requirement F]]\n"
           "                             serves a simulated engine computer on a new "
           "pseudo-terminal;\n"
           "                             prints its path, runs until killed. Faults: "
           "refuse=BLOCK[:R],\n"
           "                             drop=N, corrupt=N (N-th request), noise=BYTES, delay=MS,\n"
           "                             stray=BYTE (ahead of every reply), pull=N (the cable\n"
           "                             comes out after N requests), misstore=BLOCK[:BYTE] (the\n"
           "                             unit keeps that byte, 1 unless named, one higher than\n"
           "                             written);\n"
           "                             --dump-on-exit writes the unit's blocks to a data file\n"
           "                             when it is stopped (Ctrl+C, SIGTERM)\n"
           "  history [list | show ID | export ID OUT.dat | diff ID ID [--maps]]\n"
           "                             the tunes kept by every read, write, open and save of\n"
           "                             the window and of read-all, write-all and update: list\n"
           "                             (newest first: ID, time, action, file, version, hash,\n"
           "                             logs), one tune and its logs, a tune as a data file, or\n"
           "                             two tunes compared as diff compares files (same exit\n"
           "                             status). Damaged index lines are named on stderr; list\n"
           "                             then exits 1\n"
           "  version, --version         prints the program's version\n"
           "The Logs and History folders are those of the window program; the environment\n"
           "variable TUNALYX_FILES_FOLDER names another folder to keep them in.\n"
           "--yes answers Yes to the questions the operations ask (otherwise No).\n"
           "DEV is a device path (/dev/ttyUSB0, /dev/pts/7) or COMn.\n"
           "Exit status: 0 success, 1 the operation failed, 2 bad usage.\n";
}

namespace {

int usage(const std::string& problem) {
    std::cerr << "tunalyx-cli: " << problem << "\n" << usageText();
    return kExitUsage;
}

// The command's own problems (not the program's messages) carry the program name.
int failed(const std::string& problem) {
    std::cerr << "tunalyx-cli: " << problem << std::endl;
    return kExitFailed;
}

// The file name without its folder, as the program's messages name a file.
std::string shownName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string familyName(std::optional<LayoutFamily> family) {
    return family ? familyLayout(*family).name : "unsupported";
}

std::string trimmedRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    return s;
}

// The session of the unit behind --port, with the grids set up as the window sets them up.
class UnitSession {
public:
    UnitSession(CliContext& ctx, const std::string& device)
        : m_port(ctx.settings),
          m_device(device),
          m_session(m_port, ctx.clock, ctx.prompts, LinkSettings::fromStore(ctx.settings)) {
        m_port.setDevicePath(device);
        m_session.maps.GridInit();
    }

    bool open(UserPrompts& prompts) {
        if (!m_port.open()) {
            const int n = comPortNumber(m_device);
            prompts.tell(openFailedText(n > 0 ? "Com" + std::to_string(n) : m_device,
                                        m_port.openFailureReason()),
                         MessageIcon::Critical);
            return false;
        }
        m_session.link.wakeUp();
        return true;
    }

    Session& session() { return m_session; }

private:
    QtSerialPort m_port;
    std::string m_device;
    Session m_session;
};

// A session that only works on files.
class FileSession {
public:
    explicit FileSession(CliContext& ctx)
        : m_session(m_port, ctx.clock, ctx.prompts, LinkSettings::fromStore(ctx.settings)) {
        m_session.maps.GridInit();
    }

    Session& session() { return m_session; }

private:
    ClosedSerialPort m_port;
    Session m_session;
};

bool openFile(Session& session, const std::string& path) {
    return OpenDataFile(session, path, shownName(path));
}

int save(const Session& session, const std::string& path) {
    QtFileWriter writer;
    if (const std::string error = saveDataFile(session, writer, path); !error.empty())
        return failed(error);
    return kExitOk;
}

// The "&Version" menu item that stands for each family when a file is converted.
struct VersionMenuItem {
    LayoutFamily family;
    int menu;
    int item;
};
constexpr VersionMenuItem kFamilyVersions[] = {
    {LayoutFamily::Family170, 0, 0},  // SR20DET1 1.70B
    {LayoutFamily::Family3, 1, 1},    // SR20DET2 3.12A
    {LayoutFamily::Family5, 0, 2},    // SR20DET1 5.01
    {LayoutFamily::FamilyT2D, 4, 0},  // SR20T2-D 5.11A
};

const CommandShape kPortOnly{.required = {"--port"}};
const CommandShape kPortAndOut{.required = {"--port", "--out"}};
const CommandShape kWriteAllShape{.required = {"--port"},
                                  .flags = {"--no-verify"},
                                  .positionals = 1,
                                  .positionalNames = "FILE.dat"};
const CommandShape kUpdateShape{.required = {"--port", "--base"},
                                .flags = {"--no-verify"},
                                .positionals = 1,
                                .positionalNames = "FILE.dat"};
const CommandShape kConvertShape{
    .required = {"--to"}, .positionals = 2, .positionalNames = "IN.dat OUT.dat"};
const CommandShape kShowShape{.positionals = 1, .positionalNames = "FILE.dat"};
const CommandShape kDiffShape{
    .flags = {"--maps"}, .positionals = 2, .positionalNames = "A.dat B.dat"};
const CommandShape kLogShape{.required = {"--port", "--out"},
                             .optional = {"--groups", "--samples", "--seconds"}};
const CommandShape kRecoverShape{.optional = {"--out"}};
const CommandShape kMapWatchShape{
    .required = {"--tune"},
    .optional = {"--item", "--stat", "--holdoff", "--maxval", "--source", "--dp"},
    .positionals = 1,
    .positionalNames = "LOG.txt"};
const CommandShape kExportCsvShape{.positionals = 2, .positionalNames = "LOG.txt OUT.csv"};
const CommandShape kSimulateShape{.optional = {"--family", "--dump-on-exit", "--drive", "--seed",
                                               "--requirement", "--dump-requirement"},
                                  .repeatable = {"--fault"},
                                  .flags = {"--baud-pacing", "--engine"}};
const CommandShape kAutoTuneShape{.required = {"--tune", "--out"},
                                  .optional = {"--target", "--max-change", "--min-samples"},
                                  .repeatable = {"--log"}};
const CommandShape kDriveShape{.required = {"--tune"},
                               .optional = {"--drive", "--seconds", "--out", "--groups", "--seed",
                                            "--requirement", "--dump-requirement"}};

}  // namespace

int runIdentify(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kPortOnly); !problem.empty()) return usage(problem);
    UnitSession unit(ctx, *args.option("--port"));
    if (!unit.open(ctx.prompts)) return kExitFailed;

    const auto id = readUnitIdentity(unit.session().link);
    if (!id) return kExitFailed;
    std::cout << "Program name: " << trimmedRight(id->programName) << std::endl;
    if (!id->isSr20()) {
        ctx.prompts.tell("This is not an SR20DET PFC", MessageIcon::Critical);
        return kExitFailed;
    }
    std::cout << "Version text: " << trimmedRight(id->versionText) << "\n";
    std::cout << "Version key: " << id->key() << "\n";
    const auto family = id->family();
    std::cout << "Layout family: " << familyName(family) << std::endl;
    if (!family) {
        ctx.prompts.tell(id->programName + " version " + id->versionText + " is not yet supported.",
                         MessageIcon::Critical);
        return kExitFailed;
    }
    return kExitOk;
}

int runReadAll(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kPortAndOut); !problem.empty())
        return usage(problem);
    UnitSession unit(ctx, *args.option("--port"));
    if (!unit.open(ctx.prompts)) return kExitFailed;
    TransferOperations ops(unit.session());
    if (afterTransfer(ctx, unit.session(), UnitCommand::ReadWhole, "Read All",
                      *args.option("--out"), ops.cmdReadAll_Click()) != kExitOk)
        return kExitFailed;
    return save(unit.session(), *args.option("--out"));
}

int runWriteAll(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kWriteAllShape); !problem.empty())
        return usage(problem);
    UnitSession unit(ctx, *args.option("--port"));
    if (!openFile(unit.session(), args.positionals[0])) return kExitFailed;
    if (!unit.open(ctx.prompts)) return kExitFailed;
    TransferOperations ops(unit.session());
    ops.setVerifyWrites(!args.flag("--no-verify"));
    return afterTransfer(ctx, unit.session(), UnitCommand::Write, "Write All", args.positionals[0],
                         ops.cmdWriteAll_Click());
}

int runUpdate(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kUpdateShape); !problem.empty())
        return usage(problem);
    const std::string basePath = *args.option("--base");
    const std::string& editedPath = args.positionals[0];
    UnitSession unit(ctx, *args.option("--port"));
    Session& s = unit.session();
    FileSession edited(ctx);
    if (!openFile(s, basePath) || !openFile(edited.session(), editedPath)) return kExitFailed;
    // Bytes of two layouts do not line up: comparing them would send nonsense.
    if (s.layout.family != edited.session().layout.family)
        return failed(shownName(editedPath) + " is laid out for family " +
                      familyName(edited.session().layout.family) + ", " + shownName(basePath) +
                      " for family " + familyName(s.layout.family));
    applyEdits(s, edited.session());

    if (!unit.open(ctx.prompts)) return kExitFailed;
    TransferOperations ops(s);
    ops.setVerifyWrites(!args.flag("--no-verify"));
    return afterTransfer(ctx, s, UnitCommand::Write, "Update", editedPath, ops.cmdUpdate_Click());
}

int runConvert(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kConvertShape); !problem.empty())
        return usage(problem);
    const std::string familyText = *args.option("--to");
    const auto target = familyFromName(familyText);
    if (!target) return usage("unknown family '" + familyText + "' (1.70, 3, 5, T2-D)");

    FileSession file(ctx);
    Session& s = file.session();
    if (!openFile(s, args.positionals[0])) return kExitFailed;
    // A file already in the family keeps its own version; the menu would relabel it.
    if (s.layout.family != target) {
        const auto menuItem = std::find_if(std::begin(kFamilyVersions), std::end(kFamilyVersions),
                                           [&](const auto& v) { return v.family == *target; });
        mnuSetVersion_Click(s, menuItem->menu, menuItem->item);
        // A conversion that fails says so and leaves the image half done: nothing is saved.
        if (s.layout.family != target || s.conversionFailed) return kExitFailed;
    }
    return save(s, args.positionals[1]);
}

int runShow(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kShowShape); !problem.empty())
        return usage(problem);
    FileSession file(ctx);
    if (!openFile(file.session(), args.positionals[0])) return kExitFailed;
    printTune(file.session(), std::cout);
    std::cout.flush();
    return std::cout ? kExitOk : kExitFailed;
}

int runDiff(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kDiffShape); !problem.empty())
        return usage(problem);
    // As diff(1): a file that cannot be compared is trouble, not a difference.
    const std::string& a = args.positionals[0];
    const std::string& b = args.positionals[1];
    return printDiff(
        compareDataFiles(a, shownName(a), b, shownName(b), args.flag("--maps"), ctx.prompts));
}

int runScan(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kPortAndOut); !problem.empty())
        return usage(problem);
    UnitSession unit(ctx, *args.option("--port"));
    if (!unit.open(ctx.prompts)) return kExitFailed;
    Session& s = unit.session();
    fullScan(s);
    const auto& contents = s.image.all();
    if (std::all_of(contents.begin(), contents.end(),
                    [](const Bytes& slot) { return slot.empty(); }))
        return failed("no command byte was answered");
    return save(s, *args.option("--out"));
}

namespace {
std::atomic<bool> g_stop{false};
extern "C" void onStopSignal(int) {
    g_stop.store(true);
}

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

std::optional<long> positiveNumber(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    char* end = nullptr;
    const long n = std::strtol(text->c_str(), &end, 10);
    if (end == text->c_str() || *end != '\0' || n < 1) return std::nullopt;
    return n;
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

namespace {

// --drive, --seed and --requirement: what is wrong with them, empty when they are all taken.
std::string engineOptionsFrom(const CliArgs& args, EngineOptions& engine) {
    if (const auto drive = args.option("--drive"))
        if (auto problem = setDriveOption(*drive, engine); !problem.empty()) return problem;
    if (const auto seed = args.option("--seed"))
        if (auto problem = setSeedOption(*seed, engine); !problem.empty()) return problem;
    if (const auto requirement = args.option("--requirement"))
        if (auto problem = setRequirementOption(*requirement, engine); !problem.empty())
            return problem;
    return {};
}

std::string writeRequirement(LayoutFamily family, const EngineOptions& engine,
                             const std::string& path) {
    QtFileWriter writer;
    return writer.writeWhole(path, FuelRequirement::forFamily(family, engine).text());
}

}  // namespace

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

namespace {

std::string cellName(int row, int col) {
    const auto two = [](int n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    return "N" + two(col + 1) + "\tP" + two(row + 1);
}

std::string percentText(double percent) {
    char text[32];
    const auto end =
        std::to_chars(text, text + sizeof text, percent, std::chars_format::fixed, 1).ptr;
    return (percent >= 0 ? "+" : "") + std::string(text, end) + " %";
}

std::optional<double> numberAbove0(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    const auto value = parseFieldNumber(*text);
    if (!value || !(*value > 0)) return std::nullopt;
    return value;
}

}  // namespace

int runAutoTune(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kAutoTuneShape); !problem.empty())
        return usage(problem);
    const std::vector<std::string> logPaths = args.all("--log");
    if (logPaths.empty()) return usage("autotune needs at least one --log LOG.txt");
    AutoTuneSettings settings;
    if (args.option("--max-change")) {
        const auto percent = numberAbove0(args.option("--max-change"));
        if (!percent || *percent > 50)
            return usage("--max-change takes a percentage above 0, at most 50");
        settings.maxChangePercent = *percent;
    }
    if (args.option("--min-samples")) {
        const auto samples = numberAbove0(args.option("--min-samples"));
        if (!samples) return usage("--min-samples takes a number above 0");
        settings.minSamples = *samples;
    }

    FileSession file(ctx);
    Session& s = file.session();
    const std::string tunePath = *args.option("--tune");
    if (!openFile(s, tunePath)) return kExitFailed;
    const InjectionMap tune = injectionMapOf(s.maps, LoadMapAxes(s.codec, s.maps.MapRefBlock));

    MapField target = defaultTargetAfr(tune.axes);
    if (const auto targetPath = args.option("--target")) {
        const auto table = openTargetAfr(ctx.prompts, *targetPath, shownName(*targetPath));
        if (!table) return kExitFailed;
        target = *table;
    }

    std::vector<std::unique_ptr<LogStore>> logs;
    std::vector<AutoTuneLog> logList;
    for (std::size_t k = 0; k < logPaths.size(); ++k) {
        const std::string& path = logPaths[k];
        logs.push_back(std::make_unique<LogStore>());
        if (!openLogFile(*logs.back(), s.trace, ctx.prompts, path, shownName(path)))
            return kExitFailed;
        // LOG-001.txt after LOG.txt goes on with the same run.
        logList.emplace_back(logs.back().get(), k > 0 && continuesLog(logPaths[k - 1], path));
    }
    const AutoTuneProposal proposal =
        proposeCorrections(logList, tune, target, CellLocks{}, settings);
    if (!proposal.problem.empty()) return failed(proposal.problem);

    for (int row = 0; row < kMapRows; ++row) {
        for (int col = 0; col < kMapCols; ++col) {
            const CellResult& c =
                proposal.cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
            if (c.verdict == CellVerdict::OutOfRange)
                std::cerr << "P" << row + 1 << " N" << col + 1 << " asks for "
                          << percentText((c.correction - 1) * 100) << ", beyond the Inj Map's range"
                          << std::endl;
            if (!c.changes()) continue;
            std::cout << cellName(row, col) << "\t" << s.maps.fText(kInjMap, c.oldRaw) << "\t"
                      << s.maps.fText(kInjMap, c.newRaw) << "\t" << percentText(c.changePercent())
                      << "\t" << std::lround(c.samples) << "\n";
        }
    }
    (void)applyProposal(s.maps, proposal);
    const int changed = proposal.changedCells();
    std::cout << changed << " cells changed. " << proposal.readings.line() << std::endl;
    if (!proposal.diagnosis.empty()) std::cerr << "Note: " << proposal.diagnosis << std::endl;
    if (changed == 0)
        return failed(
            "no cell could be given a proposal: none had " + shortestDecimal(settings.minSamples) +
            " effective samples spread less than " + shortestDecimal(settings.maxSpreadPercent) +
            " % and asking for a change of a display step or more");
    return save(s, *args.option("--out"));
}

int runMapWatch(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kMapWatchShape); !problem.empty())
        return usage(problem);
    FileSession file(ctx);
    Session& s = file.session();
    if (!openFile(s, *args.option("--tune"))) return kExitFailed;

    MapWatchOptions options;
    if (const auto item = args.option("--item")) {
        char* end = nullptr;
        const long number = std::strtol(item->c_str(), &end, 10);
        const bool isNumber = end != item->c_str() && *end == '\0';
        int found = -1;
        for (int i = 0; i < kTraceItemCount && !isNumber && found < 0; ++i)
            if (s.trace.TraceName[static_cast<std::size_t>(i)] == *item ||
                s.trace.label(i) == *item)
                found = i;
        if (isNumber && number >= 0 && number < kTraceItemCount) found = static_cast<int>(number);
        if (found < 0) return usage("unknown item '" + *item + "' (a number 0..63 or a name)");
        options.item = found;
    }
    static const std::map<std::string, int> kStats = {{"min", MapWatchOptions::Min},
                                                      {"max", MapWatchOptions::Max},
                                                      {"avg", MapWatchOptions::Avg},
                                                      {"num", MapWatchOptions::Num}};
    if (const auto stat = args.option("--stat")) {
        const auto it = kStats.find(*stat);
        if (it == kStats.end()) return usage("--stat takes min, max, avg or num");
        options.function = it->second;
    }
    if (const auto source = args.option("--source")) {
        if (*source != "advanced" && *source != "logged")
            return usage("--source takes advanced or logged");
        options.source = *source == "logged" ? MapWatchOptions::Logged : MapWatchOptions::Advanced;
    }
    if (args.option("--holdoff")) {
        const auto ms = positiveNumber(args.option("--holdoff"));
        if (!ms && *args.option("--holdoff") != "0") return usage("--holdoff takes milliseconds");
        options.holdOffMs = ms ? static_cast<std::int32_t>(*ms) : 0;
    }
    if (const auto dp = args.option("--dp")) {
        if (*dp != "0" && !positiveNumber(dp)) return usage("--dp takes 0 to 4");
        options.decimalPlaces =
            static_cast<int>(std::clamp(std::strtol(dp->c_str(), nullptr, 10), 0L, 4L));
    }
    if (const auto max = args.option("--maxval")) {
        const auto value = parseFieldNumber(*max);
        if (!value) return usage("--maxval takes a number");
        options.maxVal = *value;
    }

    auto log = std::make_unique<LogStore>();
    const std::string& logFile = args.positionals[0];
    if (!openLogFile(*log, s.trace, ctx.prompts, logFile, shownName(logFile))) return kExitFailed;
    MapWatch watch(*log);
    watch.options = options;
    watch.RecalculateMap(LoadMapAxes(s.codec, s.maps.MapRefBlock));

    const Precision precision = itemPrecision(s.trace, options.item);
    for (int col = 1; col <= kMapWatchSize; ++col)
        std::cout << "\t" << (col < 10 ? "N0" : "N") << col;
    std::cout << "\n";
    for (int row = 0; row < kMapWatchSize; ++row) {
        std::cout << (row < 9 ? "P0" : "P") << row + 1;
        for (int col = 0; col < kMapWatchSize; ++col)
            std::cout << "\t" << watch.cellText(row, col, {}, precision);
        std::cout << "\n";
    }
    std::cout.flush();
    return std::cout ? kExitOk : kExitFailed;
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

int runExportCsv(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kExportCsvShape); !problem.empty())
        return usage(problem);
    QtFileWriter writer;
    return exportLogCsv(args.positionals[0], args.positionals[1], ctx.prompts, writer)
               ? kExitOk
               : kExitFailed;
}

#ifndef _WIN32
int runSimulate(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kSimulateShape); !problem.empty())
        return usage(problem);
    const std::string family = args.option("--family").value_or("5");
    const auto kind = simUnitFromName(family);
    if (!kind) return usage("unknown family '" + family + "' (1.70, 3, 5, T2-D)");

    SimulatedEcu ecu(*kind);
    EngineOptions engine;
    if (const auto problem = engineOptionsFrom(args, engine); !problem.empty())
        return usage(problem);
    const bool engineAsked = args.option("--drive") || args.option("--seed") ||
                             args.option("--requirement") || args.option("--dump-requirement");
    if (engineAsked && !args.flag("--engine"))
        return usage("--drive, --seed, --requirement and --dump-requirement go with --engine");
    if (args.flag("--engine")) {
        ecu.runTunedEngine(engine);
        if (const auto dump = args.option("--dump-requirement"))
            if (const auto problem = writeRequirement(ecu.unit().layout, engine, *dump);
                !problem.empty())
                return failed(problem);
    }
    LineFaults faults;
    faults.pacing = args.flag("--baud-pacing");
    for (const auto& f : args.all("--fault"))
        if (const auto problem = applyFaultOption(f, faults, ecu); !problem.empty())
            return usage(problem);
    SimulatorLine line(ecu, faults);
#ifdef __linux__
    // Paced bytes are due to the microsecond; the kernel's default timer slack would make the
    // simulated unit late on every reply.
    if (faults.pacing) prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    PtyServer server(line, ctx.clock);
    std::string error;
    if (!server.open(error)) {
        std::cerr << "tunalyx-cli: " << error << std::endl;
        return kExitFailed;
    }
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    std::cout << server.devicePath() << std::endl;
    std::cerr << "Simulating " << ecu.unit().programName << " "
              << trimmedRight(ecu.unit().versionText) << " (family "
              << familyLayout(ecu.unit().layout).name << ")"
              << (args.flag("--engine")
                      ? std::string(" with the engine that answers the tune, drive ") +
                            driveName(engine.drive)
                      : std::string())
              << " on " << server.devicePath() << "; stop with Ctrl+C" << std::endl;
    server.serve(g_stop);
    // What the unit holds at the end, for checking what a client wrote to it.
    if (const auto dump = args.option("--dump-on-exit")) {
        PacketImage image;
        image.assign(ecu.blocks());
        QtFileWriter writer;
        if (const std::string problem = writer.writeWhole(*dump, dataFileText(image, ""));
            !problem.empty())
            return failed(problem);
    }
    return kExitOk;
}
#else
int runSimulate(const CliArgs&, CliContext&) {
    std::cerr << "tunalyx-cli: simulate needs pseudo-terminals, which this system does not have"
              << std::endl;
    return kExitFailed;
}
#endif

}  // namespace tunalyx::cli
