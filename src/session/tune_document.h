#pragma once

#include <optional>
#include <string>

#include "maps/map_axes.h"
#include "maps/map_grids.h"
#include "maps/map_tracer.h"
#include "model/settings_codec.h"
#include "session/auto_tuned_cells.h"
#include "session/edit_history.h"
#include "versions/tune.h"

namespace tunalyx {

// The tune the windows edit and what works on it: the tune itself (image, flags, notes,
// identity, layout), its codecs and map grids, the edit history, the grids' colours, compare mode
// and the file name the caption shows. Nothing here touches the unit or the user.
class TuneDocument : public Tune {
public:
    TuneDocument() = default;
    TuneDocument(const TuneDocument&) = delete;
    TuneDocument& operator=(const TuneDocument&) = delete;

    // The tune as it stands: a copy of it holds everything a layout switch may change.
    [[nodiscard]] const Tune& tune() const { return *this; }

    SettingsCodec codec{image, dirty};
    MapGrids maps{image, dirty, mapLayout, cellChanged};
    EditHistory history{image, dirty, maps};  // the user's edits, for undo and redo
    MapColours cellColours;  // the grids' cell backgrounds: ghost trail and compare colours
    MapTracer tracer{cellColours};

    // What a write is weighed against before it goes out: the tune the unit holds as far as this
    // session knows, the last read from it or written to it; nothing until then.
    std::optional<Tune> unitTune;
    AutoTunedCells autoTuned;
    // The target A/F table auto-tune measures against; nothing: the default of the map's axes.
    std::optional<MapField> targetAfr;

    bool compareMode = false;
    std::string captionFile = "Untitled.Dat";
};

}  // namespace tunalyx
