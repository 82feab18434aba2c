#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "compare/comparison_lines.h"
#include "history/tune_history.h"
#include "session/auto_tuned_cells.h"
#include "session/session.h"

namespace tunalyx::cli {

// After read-all, write-all and update: what succeeded is kept in the tune history under
// `action`, with the name of `file` and the risks accepted to write it. Returns the command's
// exit status.
int afterTransfer(CliContext& ctx, const Session& session, UnitCommand command, const char* action,
                  const std::string& file, bool succeeded,
                  const std::vector<std::string>& acceptedRisks = {});
// The tune the history last knew the unit identified as `identified` to hold, in its layout.
[[nodiscard]] std::optional<Tune> lastUnitTune(CliContext& ctx, const Tune& identified);

// Keeps a tune the autotune command made from `source` and saved as `file`, with `source`
// itself, so that an update sending it knows which Inj Map cells are auto-tune's proposal. A
// history that cannot be written is told and stops nothing.
void keepAutoTuned(CliContext& ctx, const Tune& source, const Tune& tuned, const std::string& file);
// The Inj Map cells of `edited` that auto-tune set against `base`: every cell that differs when
// the history kept `edited` as auto-tuned from `base`, else none.
[[nodiscard]] AutoTunedCells autoTunedAgainst(const Tune& base, const Tune& edited);

// The history following a live run: every log it saves is linked to the tunes it ran on (unknown:
// this command has not read or written the unit).
[[nodiscard]] std::unique_ptr<LiveConsumer> logHistory(CliContext& ctx);
// The same for a unit just given `session`'s tune from `file` (kept as `action`): its logs are
// linked to that tune.
[[nodiscard]] std::unique_ptr<LiveConsumer> logHistoryAfterWrite(CliContext& ctx,
                                                                 const Session& session,
                                                                 const std::string& file,
                                                                 const char* action);

// Prints the lines of a comparison; the exit status of diff(1): 0 same, 1 different, 2 trouble.
int printDiff(const FileComparison& comparison);

// history [list | show ID | export ID OUT.dat | diff ID ID [--maps]]
int runHistory(const CliArgs& args, CliContext& ctx);

}  // namespace tunalyx::cli
