#include "transfer/tune_edits.h"

namespace tunalyx {

void applyEdits(TuneDocument& s, const Tune& edited) {
    // The edited cells are read through the session's own map layout.
    Tune cells = edited;
    const MapGrids editedMaps{cells.image, cells.dirty, s.mapLayout, cells.cellChanged};
    for (int grid = 0; grid < kMapGridCount; ++grid) {
        if (grid == kBaseMap && !s.layout.baseMapTabVisible) continue;
        const MapDescriptor& d = s.maps.descriptor(grid);
        for (int row = 1; row <= kMapRows; ++row) {
            for (int col = 1; col <= kMapCols; ++col) {
                const CellAddress a = cellAddress(d, row, col);
                if (static_cast<std::size_t>(a.byte - 1 + d.width) > edited.image[a.block].size())
                    continue;
                s.maps.GridSetData(grid, row, col, editedMaps.GridData(grid, row, col));
            }
        }
    }
    // Other blocks go whole; so do map blocks the cells could not reproduce (another length).
    for (int b = 0; b < PacketImage::kSlotCount; ++b) {
        const auto block = static_cast<std::uint8_t>(b);
        const Bytes& wanted = edited.image[block];
        if (wanted.empty() || wanted == s.image[block]) continue;
        s.image[block] = wanted;
        s.dirty.set(block);
    }
}

}  // namespace tunalyx
