#include "history/restore_tune.h"

#include "transfer/tune_edits.h"
#include "versions/tune_file.h"

namespace tunalyx {

bool restoreSnapshot(TuneDocument& document, UserPrompts& prompts, const TuneHistory& history,
                     const HistoryIndex& index, int id) {
    if (document.compareMode) {
        prompts.tell("Compare mode shows another document: end it to restore one.",
                     MessageIcon::Exclamation);
        return false;
    }
    std::string error;
    const auto text = history.snapshotText(index, id, error);
    if (!text) {
        prompts.tell(error, MessageIcon::Critical);
        return false;
    }
    const std::string name = "Tune " + std::to_string(id);
    // The history wrote the tune kept: its notes come back as they were kept.
    const std::optional<Tune> kept =
        tuneFileInLayoutOf(document.tune(), *text, name, prompts, NotesAs::Written);
    if (!kept) return false;
    document.history.begin();
    applyEdits(document, *kept);
    document.history.commit("Restore " + name);
    document.notes = kept->notes;
    return true;
}

std::optional<Tune> lastUnitTune(const TuneHistory& history, const Tune& identified,
                                 UserPrompts& prompts) {
    const HistoryIndex index = history.load();
    const TuneSnapshot* s = lastUnitSnapshot(index, identified);
    std::string error;
    const auto text = s ? history.snapshotText(index, s->id, error) : std::nullopt;
    if (!text) return std::nullopt;
    return tuneFileInLayoutOf(identified, *text, "Tune " + std::to_string(s->id), prompts,
                              NotesAs::Written);
}

}  // namespace tunalyx
