#include "cli/cli_history.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>

#include "cli/cli_common.h"
#include "cli/cli_folders.h"
#include "history/restore_tune.h"
#include "transfer/data_file.h"
#include "transfer/qt_file_writer.h"

namespace tunalyx::cli {

namespace {

constexpr int kExitTrouble = 2;  // diff's own, for a snapshot that cannot be compared

// A history of the command line and what it needs to live as long as it is used.
struct CliHistory {
    explicit CliHistory(CliContext& ctx)
        : history(historyFolderOf(cliFilesFolder()), writer), recorder(history, ctx.prompts) {}
    QtFileWriter writer;
    TuneHistory history;
    TuneRecorder recorder;
};

// The tune named by an ID the user typed, or nothing after saying so.
const TuneSnapshot* snapshotNamed(const HistoryIndex& index, const std::string& text) {
    std::size_t used = 0;
    int id = 0;
    try {
        id = std::stoi(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    const TuneSnapshot* s = used == text.size() ? index.find(id) : nullptr;
    if (!s)
        std::cerr << "tunalyx-cli: There is no tune " << text << " in the history." << std::endl;
    return s;
}

std::string logsText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " log" : " logs");
}

int list(const TuneHistory& history, const HistoryIndex& index) {
    for (auto s = index.snapshots.rbegin(); s != index.snapshots.rend(); ++s)
        std::cout << s->id << "\t" << s->time << "\t" << s->action << "\t" << s->file << "\t"
                  << s->unit << " " << s->version << "\t" << s->hash << "\t"
                  << logsText(index.logsOf(s->id).size()) << (s->missing ? "\tmissing" : "")
                  << "\n";
    std::cout.flush();
    if (index.snapshots.empty() && index.problems.empty())
        std::cerr << "No tune has been kept in " << history.folder() << " yet." << std::endl;
    // A listing with lines left out is not the whole history.
    return std::cout && index.problems.empty() ? kExitOk : kExitFailed;
}

int show(const TuneHistory& history, const HistoryIndex& index, const TuneSnapshot& s) {
    std::cout << "Tune: " << s.id << "\nTime: " << s.time << "\nAction: " << s.action
              << "\nFile: " << s.file << "\nUnit: " << s.unit << " " << s.version
              << "\nNotes: " << s.notesLine << "\n";
    for (const std::string& line : acceptedRiskLines(s))
        std::cout << line << "\n";
    std::cout << "Hash: " << s.hash << "\nSnapshot: " << history.snapshotPath(s.hash)
              << (s.missing ? " (missing)" : "") << "\nLogs: " << index.logsOf(s.id).size() << "\n";
    for (const LogLink& log : index.logsOf(s.id))
        std::cout << "  " << log.time << "\t" << log.file << "\t" << log.hash << "\n";
    std::cout.flush();
    // A file missing or changed since it was kept is told as export and diff tell it.
    std::string error;
    if (!history.snapshotText(index, s.id, error)) return failed(error);
    return std::cout ? kExitOk : kExitFailed;
}

}  // namespace

int afterTransfer(CliContext& ctx, const Session& session, UnitCommand command, const char* action,
                  const std::string& file, bool succeeded,
                  const std::vector<std::string>& acceptedRisks) {
    if (!succeeded) return kExitFailed;
    CliHistory h(ctx);
    h.recorder.afterUnitCommand(session.tune(), fileNameOf(file), command, action, true,
                                acceptedRisks);
    return kExitOk;
}

std::optional<Tune> lastUnitTune(CliContext& ctx, const Tune& identified) {
    QtFileWriter writer;
    // A tune the history cannot give back is read from the unit instead.
    return lastUnitTune(TuneHistory(historyFolderOf(cliFilesFolder()), writer), identified,
                        ctx.prompts);
}

namespace {
// "Auto Tune of tune 12": what the autotune command made of snapshot 12.
const std::string kAutoTuneOf = "Auto Tune of tune ";
}  // namespace

void keepAutoTuned(CliContext& ctx, const Tune& source, const Tune& tuned,
                   const std::string& file) {
    QtFileWriter writer;
    TuneHistory history(historyFolderOf(cliFilesFolder()), writer);
    // The source is named by a snapshot of it: the last kept, else one kept now.
    const HistoryIndex index = history.load();
    const std::string sourceHash = contentHash(dataFileText(source));
    const auto last = std::find_if(index.snapshots.rbegin(), index.snapshots.rend(),
                                   [&](const TuneSnapshot& t) { return t.hash == sourceHash; });
    TuneHistory::Recorded from{last == index.snapshots.rend() ? 0 : last->id, {}};
    if (from.id == 0) from = history.recordSnapshot(source, "Open", "");
    const auto kept = from.id == 0
                          ? from
                          : history.recordSnapshot(tuned, kAutoTuneOf + std::to_string(from.id),
                                                   fileNameOf(file));
    if (kept.id == 0)
        ctx.prompts.tell("The tune history could not keep " + fileNameOf(file) + ": " + kept.error,
                         MessageIcon::Exclamation);
}

AutoTunedCells autoTunedAgainst(const Tune& base, const Tune& edited) {
    AutoTunedCells cells;
    QtFileWriter writer;
    const HistoryIndex index = TuneHistory(historyFolderOf(cliFilesFolder()), writer).load();
    const std::string baseHash = contentHash(dataFileText(base));
    const std::string editedHash = contentHash(dataFileText(edited));
    const bool madeFromBase =
        std::any_of(index.snapshots.begin(), index.snapshots.end(), [&](const TuneSnapshot& t) {
            if (t.hash != editedHash || !t.action.starts_with(kAutoTuneOf)) return false;
            const TuneSnapshot* from = index.find(std::atoi(t.action.c_str() + kAutoTuneOf.size()));
            return from && from->hash == baseHash;
        });
    if (!madeFromBase) return cells;
    // Both are open in one layout: their grids read the same bytes.
    Tune b = base;
    Tune e = edited;
    const MapGrids baseMaps(b.image, b.dirty, b.mapLayout, b.cellChanged);
    const MapGrids editedMaps(e.image, e.dirty, e.mapLayout, e.cellChanged);
    for (int row = 1; row <= kMapRows; ++row)
        for (int col = 1; col <= kMapCols; ++col) {
            const std::int32_t raw = editedMaps.GridData(kInjMap, row, col);
            if (raw != baseMaps.GridData(kInjMap, row, col)) cells.applied(row, col, raw);
        }
    return cells;
}

namespace {
struct LogHistory final : LiveConsumer {
    explicit LogHistory(CliContext& ctx) : h(ctx) {}
    void logSaved(const SavedLog& saved) override { h.recorder.logSaved(saved); }
    void followRun(UnitTuneSink* run) override { h.recorder.followRun(run); }
    void runStarted() override { h.recorder.runStarted(); }
    CliHistory h;
};
}  // namespace

std::unique_ptr<LiveConsumer> logHistory(CliContext& ctx) {
    return std::make_unique<LogHistory>(ctx);
}

std::unique_ptr<LiveConsumer> logHistoryAfterWrite(CliContext& ctx, const Session& session,
                                                   const std::string& file, const char* action) {
    auto history = std::make_unique<LogHistory>(ctx);
    history->h.recorder.afterUnitCommand(session.tune(), fileNameOf(file), UnitCommand::Write,
                                         action, true);
    return history;
}

int printDiff(const FileComparison& comparison) {
    if (!comparison.compared) return kExitTrouble;
    std::cout << comparison.lines;
    std::cout.flush();
    if (!std::cout) return kExitTrouble;
    return comparison.differs ? 1 : kExitOk;
}

int runHistory(const CliArgs& args, CliContext& ctx) {
    // Options and flags are checked here; the words after "history" below.
    const CommandShape shape{.flags = {"--maps"}, .positionals = args.positionals.size()};
    if (const auto problem = usageProblem(args, shape); !problem.empty()) return usage(problem);
    const std::vector<std::string>& p = args.positionals;
    const std::string what = p.empty() ? "list" : p[0];
    static const std::map<std::string, std::pair<std::size_t, const char*>> kForms = {
        {"list", {1, ""}},
        {"show", {2, " ID"}},
        {"export", {3, " ID OUT.dat"}},
        {"diff", {3, " ID ID"}}};
    const auto form = kForms.find(what);
    if (form == kForms.end())
        return usage("history takes list, show ID, export ID OUT.dat or diff ID ID");
    const std::size_t words = std::max<std::size_t>(p.size(), 1);
    if (words != form->second.first)
        return usage("history " + what + " takes" +
                     (*form->second.second ? form->second.second : " nothing more"));
    if (args.flag("--maps") && what != "diff") return usage("only history diff takes --maps");

    QtFileWriter writer;
    const TuneHistory history(historyFolderOf(cliFilesFolder()), writer);
    const HistoryIndex index = history.load();
    for (const std::string& problem : index.problems)
        std::cerr << problem << "\n";
    if (what == "list") return list(history, index);

    const TuneSnapshot* s = snapshotNamed(index, p[1]);
    if (!s) return what == "diff" ? kExitTrouble : kExitFailed;
    if (what == "show") return show(history, index, *s);

    std::string error;
    if (what == "export") {
        const auto text = history.snapshotText(index, s->id, error);
        if (!text) return failed(error);
        if (const std::string problem = writer.writeWhole(p[2], *text); !problem.empty())
            return failed(problem);
        return kExitOk;
    }
    const TuneSnapshot* other = snapshotNamed(index, p[2]);
    if (!other) return kExitTrouble;
    for (const TuneSnapshot* t : {s, other})
        if (!history.snapshotText(index, t->id, error)) {
            std::cerr << "tunalyx-cli: " << error << std::endl;
            return kExitTrouble;
        }
    // What changed on the way to the newer, whichever is named first: it is read against the
    // older, its cells named as the grids head them.
    if (s->id < other->id) std::swap(s, other);
    return printDiff(
        compareDataFiles(history.snapshotPath(s->hash), "tune " + std::to_string(s->id),
                         history.snapshotPath(other->hash), "tune " + std::to_string(other->id),
                         args.flag("--maps"), ctx.prompts, CellNames::Axes));
}

}  // namespace tunalyx::cli
