#include <algorithm>
#include <iostream>
#include <string>

#include "cli/cli_common.h"
#include "cli/cli_folders.h"
#include "cli/cli_history.h"
#include "transfer/qt_file_writer.h"
#include "transfer/transfer_operations.h"
#include "transfer/tune_edits.h"
#include "versions/unit_identity.h"

// The commands that talk to a unit: identify, read-all, write-all, update and scan.
namespace tunalyx::cli {

namespace {

const CommandShape kPortOnly{.required = {"--port"}};
const CommandShape kPortAndOut{.required = {"--port", "--out"}};
const CommandShape kWriteAllShape{.required = {"--port"},
                                  .flags = {"--no-verify", "--accept-risk"},
                                  .positionals = 1,
                                  .positionalNames = "FILE.dat"};
const CommandShape kUpdateShape{.required = {"--port", "--base"},
                                .flags = {"--no-verify", "--accept-risk"},
                                .positionals = 1,
                                .positionalNames = "FILE.dat"};

// After write-all and update. A write that was stopped leaves the unit holding what it wrote and,
// where it did not get to, what the unit held before: that tune is kept in the history, and the
// user is told how an update from it sends the rest. Exit status 1 all the same.
int afterWrite(CliContext& ctx, TransferOperations& ops, Session& s, const std::string& action,
               const std::string& file, bool succeeded) {
    if (ops.heldBack()) {
        ctx.prompts.tell("Held back: nothing was sent. Give --accept-risk to send it anyway.");
        return kExitFailed;
    }
    if (!ops.stopped())
        return afterTransfer(ctx, s, UnitCommand::Write, action.c_str(), file, succeeded,
                             ops.acceptedRisks());
    const auto held = ops.unitImageAfterStop();
    if (!held) {
        ctx.prompts.tell(ops.stopSummary() +
                             " The unit did not answer when what it now holds was read: the "
                             "tune it holds is not known and is not kept in the history.",
                         MessageIcon::Exclamation);
        return kExitFailed;
    }
    // The session ends here: its image becomes the unit's for the snapshot.
    s.image.assign(held->all());
    const std::string kept = action + " (stopped)";
    (void)afterTransfer(ctx, s, UnitCommand::Write, kept.c_str(), file, true, ops.acceptedRisks());
    QtFileWriter writer;
    const HistoryIndex index = TuneHistory(historyFolderOf(cliFilesFolder()), writer).load();
    const auto snapshot =
        std::ranges::find_if(index.snapshots.rbegin(), index.snapshots.rend(),
                             [&](const TuneSnapshot& t) { return t.action == kept; });
    if (snapshot == index.snapshots.rend()) {
        ctx.prompts.tell(ops.stopSummary() +
                             " What the unit now holds could not be kept in the "
                             "history.",
                         MessageIcon::Exclamation);
        return kExitFailed;
    }
    const std::string id = std::to_string(snapshot->id);
    ctx.prompts.tell(ops.stopSummary() + " The unit now holds tune " + id +
                         " of the history; to send the rest, run history export " + id +
                         " OLD.dat, then update --base OLD.dat " + file + ".",
                     MessageIcon::Exclamation);
    return kExitFailed;
}

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
    ops.stopWhen(g_stop);
    ops.setTellStops(false);
    // The file is weighed against what the history last knew the unit to hold, else a read.
    ops.unitTuneWhenUnknown = [&ctx](const Tune& identified) {
        return lastUnitTune(ctx, identified);
    };
    ctx.prompts.acceptRisks(args.flag("--accept-risk"));
    const StopSignals stopSignals;
    const bool written = ops.cmdWriteAll_Click();
    return afterWrite(ctx, ops, unit.session(), "Write All", args.positionals[0], written);
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
    // The base is what the unit holds: the edits are weighed against it.
    s.unitTune = s.tune();
    // What the autotune command made of the base is its proposal, not a risk.
    s.autoTuned = autoTunedAgainst(s.tune(), edited.session().tune());
    applyEdits(s, edited.session());

    if (!unit.open(ctx.prompts)) return kExitFailed;
    TransferOperations ops(s);
    ctx.prompts.acceptRisks(args.flag("--accept-risk"));
    ops.setVerifyWrites(!args.flag("--no-verify"));
    ops.stopWhen(g_stop);
    ops.setTellStops(false);
    const StopSignals stopSignals;
    const bool written = ops.cmdUpdate_Click();
    return afterWrite(ctx, ops, s, "Update", editedPath, written);
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

}  // namespace tunalyx::cli
