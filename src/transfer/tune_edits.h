#pragma once

#include "session/tune_document.h"

namespace tunalyx {

// Every byte in which `edited` differs from the session's image, applied as the windows apply
// an edit: map cells through the grid (so that Update knows the cells), other blocks whole and
// flagged. Bytes the edited image does not have are left alone. Both must be in one layout.
void applyEdits(TuneDocument& tune, const Tune& edited);

}  // namespace tunalyx
