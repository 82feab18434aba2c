#include "history/restore_tune.h"

#include "transfer/tune_edits.h"
#include "versions/tune_file.h"

namespace tunalyx {

bool restoreSnapshot(Session& session, const TuneHistory& history, const HistoryIndex& index,
                     int id) {
    if (session.compareMode) {
        session.prompts.tell("Compare mode shows another tune: end it to restore one.",
                             MessageIcon::Exclamation);
        return false;
    }
    std::string error;
    const auto text = history.snapshotText(index, id, error);
    if (!text) {
        session.prompts.tell(error, MessageIcon::Critical);
        return false;
    }
    const std::string name = "Tune " + std::to_string(id);
    const std::optional<Tune> kept =
        tuneFileInLayoutOf(session.tune(), *text, name, session.prompts);
    if (!kept) return false;
    session.history.begin();
    applyEdits(session, *kept);
    session.history.commit("Restore " + name);
    // The history wrote the tune kept: its notes come back as they were kept.
    session.notes = notesAsWritten(kept->notes);
    return true;
}

}  // namespace tunalyx
