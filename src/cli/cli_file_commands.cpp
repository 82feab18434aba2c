#include <algorithm>
#include <iostream>
#include <iterator>

#include "auxinputs/aux_calibration.h"
#include "cli/cli_common.h"
#include "cli/cli_history.h"
#include "cli/cli_show.h"
#include "compare/comparison_lines.h"
#include "monitor/log_csv.h"
#include "monitor/log_file.h"
#include "monitor/math_items.h"
#include "transfer/qt_file_writer.h"

// The commands that work on files alone: convert, show, diff and export-csv.
namespace tunalyx::cli {

namespace {

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

const CommandShape kConvertShape{
    .required = {"--to"}, .positionals = 2, .positionalNames = "IN.dat OUT.dat"};
const CommandShape kShowShape{.positionals = 1, .positionalNames = "FILE.dat"};
const CommandShape kDiffShape{
    .flags = {"--maps"}, .positionals = 2, .positionalNames = "A.dat B.dat"};
const CommandShape kExportCsvShape{
    .repeatable = {"--math"}, .positionals = 2, .positionalNames = "LOG.txt OUT.csv"};

// "--math NAME=EXPR", in the order given: a later one may use an earlier one.
std::vector<MathDefinition> mathDefinitions(const CliArgs& args, std::string& problem) {
    std::vector<MathDefinition> math;
    for (const std::string& given : args.all("--math")) {
        const std::size_t eq = given.find('=');
        if (eq == std::string::npos) {
            problem = "--math takes NAME=EXPRESSION, not \"" + given + "\"";
            return {};
        }
        math.push_back({given.substr(0, eq), given.substr(eq + 1)});
    }
    return math;
}

}  // namespace

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

int runExportCsv(const CliArgs& args, CliContext& ctx) {
    if (const auto problem = usageProblem(args, kExportCsvShape); !problem.empty())
        return usage(problem);
    std::string problem;
    const std::vector<MathDefinition> definitions = mathDefinitions(args, problem);
    if (!problem.empty()) return usage(problem);
    // The names the log command gives the aux inputs are the ones the log file has.
    TraceItems items;
    items.InitTraceItemLookup(auxCalibrationOf(loadAuxSettings(ctx.settings)).names);
    const auto math = MathItems::compile(definitions, items, &problem);
    if (!math) {
        std::cerr << "tunalyx-cli: " << problem << "\n";
        return kExitUsage;
    }
    QtFileWriter writer;
    return exportLogCsv(args.positionals[0], args.positionals[1], ctx.prompts, writer, math.get(),
                        items)
               ? kExitOk
               : kExitFailed;
}

}  // namespace tunalyx::cli
