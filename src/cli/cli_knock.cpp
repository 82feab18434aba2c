#include <charconv>
#include <iostream>

#include "autotune/autotune.h"
#include "autotune/target_afr.h"
#include "cli/cli_common.h"
#include "cli/cli_saved_logs.h"
#include "knock/knock_analysis.h"

// The knock command: the knock events of saved logs per Ign Map cell, and the retard they ask for.
namespace tunalyx::cli {

namespace {

const CommandShape kKnockShape{.required = {"--tune", "--out"},
                               .optional = {"--log-tune", "--max-retard"},
                               .repeatable = {"--log"}};

std::string oneDecimal(double value) {
    char text[32];
    const auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1).ptr;
    return {text, end};
}

// "N05 P18, N06 P18": the cells whose verdict `pick` takes, in the grid's reading order.
template <typename Pick>
std::vector<std::string> cellsWhere(const KnockAnalysis& a, Pick pick) {
    std::vector<std::string> names;
    for (int row = 0; row < kMapAxisSize; ++row)
        for (int col = 0; col < kMapAxisSize; ++col)
            if (pick(a.cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)]))
                names.push_back(cellName(row, col, ' '));
    return names;
}

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

// Why no cell is retarded, as the sentence after "nothing needs retard".
std::string nothingReason(const KnockAnalysis& a, int holding) {
    if (a.eventCount() == 0) return "the logs hold no knock events";
    if (holding > 0)
        return "the " + std::to_string(holding) +
               " cells with two or more events hold their retard already";
    return "no cell had two or more events";
}

}  // namespace

int runKnock(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kKnockShape); !problem.empty())
        return usage(problem);
    const std::vector<std::string> logPaths = args.all("--log");
    if (logPaths.empty()) return usage("knock needs at least one --log LOG.txt");
    KnockSettings settings;
    if (args.option("--max-retard")) {
        const auto degrees = numberAbove0(args.option("--max-retard"));
        if (!degrees) return usage("--max-retard takes a number of degrees above 0");
        settings.maxRetard = *degrees;
    }

    FileSession file(ctx);
    Session& s = file.session();
    if (!openFile(s, *args.option("--tune"))) return kExitFailed;
    const TuneMap tune = mapOfSession(s, kIgnMap);
    RanOnReader ranOn(args, s, ctx, kIgnMap);
    if (!ranOn.ok()) return kExitFailed;
    const auto logs = readLogs(logPaths, s, ctx);
    if (!logs) return kExitFailed;

    std::vector<KnockLog> list;
    std::vector<std::string> ranOnLines;
    for (const GivenLog& log : *logs) {
        const std::string name = shownName(log.path);
        // An AN1 set up as something else gives no A/F: its knock is then never called lean.
        const std::string an1 = an1HeadingOf(log.contents);
        RanOnReader::Found found = ranOn.of(log);
        ranOnLines.push_back(found.line);
        list.emplace_back(log.store.get(), std::move(found.ranOn), name,
                          an1.empty() || an1Refusal(an1, name).empty());
    }
    const KnockAnalysis a =
        analyseKnock(list, tune, defaultTargetAfr(tune.axes), CellLocks{}, settings);
    if (!a.problem.empty()) return failed(a.problem);

    for (int row = 0; row < kMapAxisSize; ++row) {
        for (int col = 0; col < kMapAxisSize; ++col) {
            const KnockCell& c =
                a.cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
            if (!c.changes()) continue;
            std::cout << cellName(row, col) << "\t" << s.maps.fText(kIgnMap, c.oldRaw) << "\t"
                      << s.maps.fText(kIgnMap, c.newRaw) << "\t" << oneDecimal(c.events) << "\n";
        }
    }
    int logsWithEvents = 0;
    for (const auto& events : a.events)
        logsWithEvents += !events.empty();
    const int changed = a.changedCells();
    std::cout << changed << " cells retarded. " << a.eventCount() << " knock events in "
              << logsWithEvents << " of " << a.events.size() << " logs.\n";
    const auto watched =
        cellsWhere(a, [](const KnockCell& c) { return c.verdict == KnockVerdict::Watch; });
    if (!watched.empty())
        std::cout << "Only watched, a single event each: " << listed(watched) << "\n";
    const auto lowest =
        cellsWhere(a, [](const KnockCell& c) { return c.verdict == KnockVerdict::AtMinimum; });
    if (!lowest.empty())
        std::cout << "At the least advance the Ign Map holds, so not retarded: " << listed(lowest)
                  << "\n";
    const auto lean = cellsWhere(a, [](const KnockCell& c) { return c.leanKnock(); });
    if (!lean.empty()) std::cout << "Lean knock in " << listed(lean) << ": fix fuel first\n";
    for (const std::string& line : ranOnLines)
        std::cout << line << "\n";
    std::cout.flush();

    const std::string out = *args.option("--out");
    if (changed == 0) {
        const auto holding = cellsWhere(a, [](const KnockCell& c) {
            return c.verdict == KnockVerdict::AlreadyRetarded ||
                   c.verdict == KnockVerdict::AtMinimum;
        });
        return failed(
            "nothing needs retard: " + nothingReason(a, static_cast<int>(holding.size())) +
            ", so " + shownName(out) + " was not written");
    }
    (void)applyRetard(s.maps, a);
    return save(s, out);
}

}  // namespace tunalyx::cli
