#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <iostream>
#include <map>

#include "autotune/analysed_logs.h"
#include "autotune/autotune.h"
#include "autotune/target_afr.h"
#include "cli/cli_common.h"
#include "cli/cli_history.h"
#include "cli/cli_saved_logs.h"
#include "mapwatch/map_watch.h"
#include "monitor/live_decode.h"
#include "monitor/log_file.h"

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
    .optional = {"--target", "--max-change", "--min-samples", "--log-tune", "--curves"},
    .repeatable = {"--log"},
    .flags = {"--predict"}};

std::string percentText(double percent) {
    char text[32];
    const auto end =
        std::to_chars(text, text + sizeof text, percent, std::chars_format::fixed, 1).ptr;
    return (percent >= 0 ? "+" : "") + std::string(text, end) + " %";
}

std::string fixed(double value, int decimals) {
    char text[32];
    const auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    return {text, end};
}

struct CurvesListed {
    bool map = false;
    CurvesAsked curves;
};
// "map,warmup,accel" in any order; nothing for an unknown name or an empty list.
std::optional<CurvesListed> curvesOf(const std::string& list) {
    CurvesListed out;
    std::vector<std::string> names(1);
    for (char c : list)
        if (c == ',')
            names.emplace_back();
        else
            names.back().push_back(c);
    for (const std::string& name : names) {
        if (name == "map")
            out.map = true;
        else if (name == curveKindName(CurveKind::WarmUp))
            out.curves.warmUp = true;
        else if (name == curveKindName(CurveKind::Pump))
            out.curves.pump = true;
        else
            return std::nullopt;
    }
    if (!out.map && !out.curves.warmUp && !out.curves.pump) return std::nullopt;
    return out;
}

// A line per changed point, then the summary and what was left out; the problem as a note.
void printCurve(const CurveProposal& p) {
    const bool warmUp = p.kind == CurveKind::WarmUp;
    const std::string label = warmUp ? "Warm-up" : "Accel";
    for (const CurvePointResult& point : p.points) {
        if (!point.changes()) continue;
        std::cout << label << " " << shortestDecimal(point.x) << (warmUp ? " C" : " rpm") << "\t"
                  << fixed(point.oldValue, 3) << "\t" << fixed(point.newValue, 3) << "\t"
                  << percentText((point.newValue / point.oldValue - 1) * 100) << "\t"
                  << (warmUp ? point.coldStarts : point.events) << "\n";
    }
    std::cout << label << ": " << p.changedPoints()
              << (p.changedPoints() == 1 ? " point" : " points") << " changed, from " << p.used
              << (warmUp ? " cold start" : " tip-in") << (p.used == 1 ? "." : "s.") << std::endl;
    if (const std::string rejected = p.rejectedLine(); !rejected.empty())
        std::cout << rejected << std::endl;
    if (!p.problem.empty()) std::cerr << label << ": " << p.problem << std::endl;
}

// Prints the map's changed cells, its summary, the predictions written and the cells to drive
// next, and stores them in the session's Inj Map; the number of cells changed.
int applyMap(Session& s, const AutoTuneAnalysis& analysis, bool predict) {
    const AutoTuneProposal& proposal = analysis.map;
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
    int changed = proposal.changedCells();
    std::cout << changed << " cells changed. " << proposal.readings.line() << std::endl;
    if (!proposal.diagnosis.empty()) std::cerr << "Note: " << proposal.diagnosis << std::endl;
    if (predict)
        for (const CellText& c :
             applyPredictions(s.maps, analysis.predictions, kLeastPredictedConfidence)) {
            const CellPrediction& p = analysis.predictions[static_cast<std::size_t>(c.row - 1)]
                                                          [static_cast<std::size_t>(c.col - 1)];
            std::cout << "P" << c.row << " N" << c.col << " predicted "
                      << s.maps.fText(kInjMap, p.oldRaw) << " -> "
                      << s.maps.fText(kInjMap, p.newRaw) << " ("
                      << percentText((p.newValue / p.oldValue - 1) * 100) << "), confidence "
                      << fixed(p.confidence, 2) << "\n";
            ++changed;
        }
    if (!analysis.driveNext.empty()) std::cout << "Drive next:\n";
    for (const CellToDrive& cell : analysis.driveNext)
        std::cout << driveLine(cell) << "\n";
    std::cout.flush();
    return changed;
}

}  // namespace

int runAutoTune(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kAutoTuneShape); !problem.empty())
        return usage(problem);
    const std::vector<std::string> logPaths = args.all("--log");
    if (logPaths.empty()) return usage("autotune needs at least one --log LOG.txt");
    const auto listed = curvesOf(args.option("--curves").value_or("map"));
    if (!listed) return usage("--curves takes a comma list of map, warmup and accel");
    if (args.flag("--predict") && !listed->map)
        return usage("--predict writes Inj Map cells: it needs map in --curves");
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
    if (!openFile(s, *args.option("--tune"))) return kExitFailed;
    const TuneMap tune = mapOfSession(s, kInjMap);

    MapField target = defaultTargetAfr(tune.axes);
    if (const auto targetPath = args.option("--target")) {
        const auto table = openTargetAfr(ctx.prompts, *targetPath, shownName(*targetPath));
        if (!table) return kExitFailed;
        target = *table;
    }

    RanOnReader ranOn(args, s, ctx, kInjMap);
    if (!ranOn.ok()) return kExitFailed;
    const auto logs = readLogs(logPaths, s, ctx);
    if (!logs) return kExitFailed;
    std::vector<AutoTuneLog> logList;
    for (const GivenLog& log : *logs) {
        const std::string name = shownName(log.path);
        if (const std::string problem = missingGroupsProblem(*log.store, settings.afrItem, name);
            !problem.empty())
            return failed(problem);
        if (const std::string an1 = an1HeadingOf(log.contents); !an1.empty())
            if (const std::string refused = an1Refusal(an1, name); !refused.empty())
                return failed(refused);
        RanOnReader::Found found = ranOn.of(log);
        if (!found.known) std::cerr << found.line << std::endl;
        logList.emplace_back(log.store.get(), log.continuesRun, std::move(found.ranOn), name);
    }
    const AutoTuneAnalysis analysis =
        analyseAutoTune(logList, s.tune(), tune, target, CellLocks{}, settings, listed->curves);
    const AutoTuneProposal& proposal = analysis.map;
    if (!proposal.problem.empty()) return failed(proposal.problem);
    if (const std::string delay = analysis.delay().line(); !delay.empty())
        std::cerr << delay << std::endl;

    const Tune source = s.tune();
    int changed = 0;
    if (listed->map) changed = applyMap(s, analysis, args.flag("--predict"));
    for (const auto& curve : {analysis.warmUp, analysis.pump}) {
        if (!curve) continue;
        printCurve(*curve);
        changed += applyCurveProposal(s.codec, *curve);
    }

    const auto measured = [&] {
        int n = 0;
        for (const auto& row : proposal.cells)
            n += static_cast<int>(std::count_if(row.begin(), row.end(), [](const CellResult& c) {
                return c.verdict == CellVerdict::NoChange;
            }));
        return n;
    };
    if (changed == 0 && !listed->map) return failed("nothing to change in the curves asked for");
    if (changed == 0 && measured() > 0)
        return failed("nothing to change: the " + std::to_string(measured()) +
                      " cells the logs measured well enough hold what they ask for already");
    if (changed == 0)
        return failed(
            "no cell could be given a proposal: none had " + shortestDecimal(settings.minSamples) +
            " effective samples spread less than " + shortestDecimal(settings.maxSpreadPercent) +
            " % and asking for a change of a display step or more");
    if (save(s, *args.option("--out")) != kExitOk) return kExitFailed;
    keepAutoTuned(ctx, source, s.tune(), *args.option("--out"));
    return kExitOk;
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

    RanOnReader ranOn(args, s, ctx, kInjMap);
    if (!ranOn.ok()) return kExitFailed;
    const auto logs = readLogs({args.positionals[0]}, s, ctx);
    if (!logs) return kExitFailed;
    const GivenLog& log = logs->front();
    if (!itemLogged(*log.store, options.item))
        return failed(s.trace.label(options.item) + " is not in " + shownName(log.path) +
                      ": its group was not logged");
    MapWatch watch(*log.store);
    watch.options = options;
    const RanOnReader::Found found = ranOn.of(log);
    if (!found.known) std::cerr << found.line << std::endl;
    for (const RanOnMap& part : found.ranOn)
        watch.ranOnAxes.push_back({part.firstSample, part.tune.axes});
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
