#pragma once

#include <optional>

#include "history/tune_history.h"
#include "session/tune_document.h"

namespace tunalyx {

// Brings tune `id` of the history into the document as one step of its edit history ("Restore
// tune 5"): its data are converted to the document's layout, and every byte that differs is
// applied as an edit (map cells marked one by one, other blocks whole), so one Undo puts back the
// bytes and flags as they were and Update sends only what differs. Its notes come with it (the
// edit history keeps no notes, so Undo leaves them).
// False, after a message, when the tune cannot be read or converted, or compare mode is on.
bool restoreSnapshot(TuneDocument& document, UserPrompts& prompts, const TuneHistory& history,
                     const HistoryIndex& index, int id);

// The tune the history last knew the unit identified as `identified` to hold, in its layout;
// nothing when it knows none or cannot give it back.
[[nodiscard]] std::optional<Tune> lastUnitTune(const TuneHistory& history, const Tune& identified,
                                               UserPrompts& prompts);

}  // namespace tunalyx
