#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <tuple>

#include "autotune/autotune.h"
#include "autotune/ran_on_tunes.h"
#include "autotune/target_afr.h"
#include "cli/cli_common.h"
#include "cli/cli_folders.h"
#include "history/tune_history.h"
#include "mapwatch/map_watch.h"
#include "monitor/live_decode.h"
#include "monitor/log_file.h"
#include "transfer/data_file.h"
#include "transfer/qt_file_writer.h"
#include "versions/tune_file.h"

// The commands that read saved logs against a tune: autotune and mapwatch.
namespace tunalyx::cli {

namespace {

const CommandShape kMapWatchShape{
    .required = {"--tune"},
    .optional = {"--item", "--stat", "--holdoff", "--maxval", "--source", "--dp", "--log-tune"},
    .positionals = 1,
    .positionalNames = "LOG.txt"};
const CommandShape kAutoTuneShape{
    .required = {"--tune", "--out"},
    .optional = {"--target", "--max-change", "--min-samples", "--log-tune"},
    .repeatable = {"--log"}};

// A log file given on the command line, read.
struct GivenLog {
    std::string path;
    std::string contents;
    std::unique_ptr<LogStore> store;
    bool continuesRun = false;
};

// The logs in the order of their runs' parts (LOG.txt, LOG-001.txt, ...), each once: a log given
// twice (the same contents) is read once. A part goes on with the run of the log before it when
// its name says so and its times carry on. Nothing after a message when one cannot be read.
std::optional<std::vector<GivenLog>> readLogs(std::vector<std::string> paths, const Session& s,
                                              CliContext& ctx) {
    std::stable_sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        const LogFilePart pa = logFilePartOf(a);
        const LogFilePart pb = logFilePartOf(b);
        return std::tie(pa.first, pa.part) < std::tie(pb.first, pb.part);
    });
    std::vector<GivenLog> logs;
    std::map<std::string, std::string> byHash;
    for (const std::string& path : paths) {
        auto contents = readLogContents(ctx.prompts, path, shownName(path));
        if (!contents) return std::nullopt;
        const auto [same, added] = byHash.try_emplace(contentHash(*contents), path);
        if (!added) {
            std::cerr << shownName(path) << " is the same log as " << shownName(same->second)
                      << ": it is read once." << std::endl;
            continue;
        }
        GivenLog log{path, std::move(*contents), std::make_unique<LogStore>()};
        if (!openLogContents(*log.store, s.trace, ctx.prompts, log.contents, shownName(path)))
            return std::nullopt;
        if (!logs.empty()) {
            const LogStore& before = *logs.back().store;
            log.continuesRun = continuesLog(logs.back().path, path) &&
                               log.store->LogTime(0) >= before.LogTime(before.LogLast);
        }
        logs.push_back(std::move(log));
    }
    return logs;
}

// --log-tune: the Inj Map of the tune every log ran on, in the layout of the tune given.
// Nothing after a message when it cannot be read; no option, no map.
struct LogTune {
    bool ok = true;
    std::optional<TuneMap> map;
};
LogTune logTuneOf(const CliArgs& args, const Session& s, CliContext& ctx) {
    const auto path = args.option("--log-tune");
    if (!path) return {};
    const std::string name = shownName(*path);
    const auto text =
        readWholeFile(ctx.prompts, *path, kLargestDataFile,
                      {"Error opening " + name, name + " is too large to be an SR20DET Data file",
                       "Error reading " + name});
    if (!text) return {false, std::nullopt};
    const auto tune = tuneFileInLayoutOf(s.tune(), *text, name, ctx.prompts);
    if (!tune) return {false, std::nullopt};
    return {true, tuneMapOfTune(*tune, kInjMap)};
}

// The tunes a log ran on: the one --log-tune gives, else those the history links it to. A log
// whose tune is not known is said to be taken as the tune given.
std::vector<RanOnMap> ranOnOf(const GivenLog& log, RanOnTunes& tunes, const LogTune& given,
                              const std::string& tunePath) {
    if (given.map) return {{0, *given.map}};
    RanOnTunes::Resolved resolved = tunes.resolve(tunes.tunesOfLog(contentHash(log.contents)));
    if (!resolved.known)
        std::cerr << unknownTuneText(shownName(log.path), shownName(tunePath)) << std::endl;
    return std::move(resolved.ranOn);
}

// The history of the command line, to find what the logs ran on.
struct HistoryReader {
    QtFileWriter writer;
    TuneHistory history{historyFolderOf(cliFilesFolder()), writer};
};

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
    const TuneMap tune = tuneMapOf(s.maps, kInjMap, LoadMapAxes(s.codec, s.maps.MapRefBlock));

    MapField target = defaultTargetAfr(tune.axes);
    if (const auto targetPath = args.option("--target")) {
        const auto table = openTargetAfr(ctx.prompts, *targetPath, shownName(*targetPath));
        if (!table) return kExitFailed;
        target = *table;
    }

    const LogTune given = logTuneOf(args, s, ctx);
    if (!given.ok) return kExitFailed;
    const auto logs = readLogs(logPaths, s, ctx);
    if (!logs) return kExitFailed;
    HistoryReader reader;
    RanOnTunes tunes(s.tune(), &reader.history, ctx.prompts);
    std::vector<AutoTuneLog> logList;
    for (const GivenLog& log : *logs) {
        const std::string name = shownName(log.path);
        if (const std::string problem = missingGroupsProblem(*log.store, settings.afrItem, name);
            !problem.empty())
            return failed(problem);
        if (const std::string an1 = an1HeadingOf(log.contents); !an1.empty())
            if (const std::string refused = an1Refusal(an1, name); !refused.empty())
                return failed(refused);
        logList.emplace_back(log.store.get(), log.continuesRun,
                             ranOnOf(log, tunes, given, tunePath), name);
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
    const auto measured = [&] {
        int n = 0;
        for (const auto& row : proposal.cells)
            n += static_cast<int>(std::count_if(row.begin(), row.end(), [](const CellResult& c) {
                return c.verdict == CellVerdict::NoChange;
            }));
        return n;
    };
    if (changed == 0 && measured() > 0)
        return failed("nothing to change: the " + std::to_string(measured()) +
                      " cells the logs measured well enough hold what they ask for already");
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

    const LogTune given = logTuneOf(args, s, ctx);
    if (!given.ok) return kExitFailed;
    const auto logs = readLogs({args.positionals[0]}, s, ctx);
    if (!logs) return kExitFailed;
    const GivenLog& log = logs->front();
    if (!itemLogged(*log.store, options.item))
        return failed(s.trace.label(options.item) + " is not in " + shownName(log.path) +
                      ": its group was not logged");
    HistoryReader reader;
    RanOnTunes tunes(s.tune(), &reader.history, ctx.prompts);
    MapWatch watch(*log.store);
    watch.options = options;
    for (const RanOnMap& ranOn : ranOnOf(log, tunes, given, *args.option("--tune")))
        watch.ranOnAxes.push_back({ranOn.firstSample, ranOn.tune.axes});
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

}  // namespace tunalyx::cli
