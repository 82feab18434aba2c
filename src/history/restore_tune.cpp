#include "history/restore_tune.h"

#include "compare/compare.h"
#include "transfer/tune_edits.h"

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
    std::optional<Tune> kept = fileInWindowLayout(session.tune(), *text, name, session.prompts);
    if (!kept) return false;
    // Reading a data file ends the notes with a line break the kept notes did not have: without
    // it a restored tune is the tune kept, notes and all.
    if (kept->notes.ends_with("\r\n")) kept->notes.resize(kept->notes.size() - 2);
    session.history.begin();
    applyEdits(session, *kept);
    session.history.commit("Restore " + name);
    session.notes = kept->notes;
    return true;
}

}  // namespace tunalyx
