#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "maps/map_grids.h"
#include "model/packet_image.h"

namespace tunalyx {

// Undo and redo of the user's edits. Each action is one step: the window calls begin() before it
// and commit() after; a step holds the blocks, changed flags and map cell flags the action
// changed, before and after. Taking a step back puts back the bytes and the flags as they were,
// except where the unit has been sent the edit since (its flag is clear now): that block or cell
// is marked changed, so the next Update sends exactly what differs from the unit.
class EditHistory {
public:
    static constexpr std::size_t kLimit = 200;  // oldest steps go first

    EditHistory(PacketImage& image, PacketDirty& dirty, MapGrids& maps)
        : m_image(image), m_dirty(dirty), m_maps(maps) {}

    // Remembers the state an action starts from.
    void begin();
    // Ends the action: a step named `label` when it changed any byte (redo steps then go).
    // False when nothing changed.
    bool commit(const std::string& label);

    [[nodiscard]] bool canUndo() const { return !m_undo.empty(); }
    [[nodiscard]] bool canRedo() const { return !m_redo.empty(); }
    // "Undo Interpolate Inj Map P03-P09 N04-N12", or empty.
    [[nodiscard]] std::string undoText() const;
    [[nodiscard]] std::string redoText() const;
    // False when there was nothing to take back, or the blocks have been replaced since (by a
    // read from the unit); the history is then cleared.
    bool undo();
    bool redo();
    // A read of the whole unit, a file opened or the defaults: the edits are history.
    void clear();

private:
    using CellFlags = std::array<std::array<std::array<bool, kMapCols>, kMapRows>, kMapGridCount>;
    using CellValues =
        std::array<std::array<std::array<std::int32_t, kMapCols>, kMapRows>, kMapGridCount>;
    struct State {
        PacketImage::Slots blocks;
        std::bitset<PacketImage::kSlotCount> dirty;
        CellFlags cellChanged{};
        CellValues cellValues{};
    };
    struct BlockChange {
        std::uint8_t block;
        Bytes before, after;
        bool dirtyBefore, dirtyAfter;
    };
    struct CellChange {
        int grid, row, col;
        bool before, after;
    };
    struct Step {
        std::string label;
        std::vector<BlockChange> blocks;
        std::vector<CellChange> cells;
    };

    [[nodiscard]] State capture() const;
    // Puts one side of a step back; false when the blocks no longer hold the other side.
    bool apply(const Step& step, bool forward);
    // Takes the newest step of `from` one way and keeps it on `to`.
    bool move(std::deque<Step>& from, std::deque<Step>& to, bool forward);

    PacketImage& m_image;
    PacketDirty& m_dirty;
    MapGrids& m_maps;
    State m_begin;
    std::deque<Step> m_undo;
    std::deque<Step> m_redo;
};

}  // namespace tunalyx
