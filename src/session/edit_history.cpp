#include "session/edit_history.h"

namespace tunalyx {

namespace {

// Every cell of every map, with its place in the snapshot arrays.
template <typename Fn>
void forEachMapCell(Fn&& fn) {
    for (int g = 0; g < kMapGridCount; ++g)
        for (int row = 1; row <= kMapRows; ++row)
            for (int col = 1; col <= kMapCols; ++col)
                fn(g, row, col, static_cast<std::size_t>(g), static_cast<std::size_t>(row - 1),
                   static_cast<std::size_t>(col - 1));
}

}  // namespace

EditHistory::State EditHistory::capture() const {
    State s;
    s.blocks = m_image.all();
    for (int b = 0; b < PacketImage::kSlotCount; ++b)
        s.dirty[static_cast<std::size_t>(b)] = m_dirty.isSet(static_cast<std::uint8_t>(b));
    forEachMapCell([&](int g, int row, int col, std::size_t gi, std::size_t ri, std::size_t ci) {
        s.cellChanged[gi][ri][ci] = m_maps.CellChanged(g, row, col);
        s.cellValues[gi][ri][ci] = m_maps.GridData(g, row, col);
    });
    return s;
}

void EditHistory::begin() {
    m_begin = capture();
}

bool EditHistory::commit(const std::string& label) {
    const State end = capture();
    Step step{label, {}, {}};
    for (int b = 0; b < PacketImage::kSlotCount; ++b) {
        const auto i = static_cast<std::size_t>(b);
        if (m_begin.blocks[i] != end.blocks[i])
            step.blocks.push_back({static_cast<std::uint8_t>(b), m_begin.blocks[i], end.blocks[i],
                                   m_begin.dirty[i], end.dirty[i]});
    }
    if (step.blocks.empty()) return false;
    forEachMapCell([&](int g, int row, int col, std::size_t gi, std::size_t ri, std::size_t ci) {
        if (m_begin.cellValues[gi][ri][ci] != end.cellValues[gi][ri][ci] ||
            m_begin.cellChanged[gi][ri][ci] != end.cellChanged[gi][ri][ci])
            step.cells.push_back(
                {g, row, col, m_begin.cellChanged[gi][ri][ci], end.cellChanged[gi][ri][ci]});
    });
    m_undo.push_back(std::move(step));
    if (m_undo.size() > kLimit) m_undo.pop_front();
    m_redo.clear();
    return true;
}

std::string EditHistory::undoText() const {
    return m_undo.empty() ? std::string() : "Undo " + m_undo.back().label;
}

std::string EditHistory::redoText() const {
    return m_redo.empty() ? std::string() : "Redo " + m_redo.back().label;
}

bool EditHistory::apply(const Step& step, bool forward) {
    for (const BlockChange& b : step.blocks)
        if (m_image[b.block] != (forward ? b.before : b.after)) return false;
    // Flags as they are now: a clear one means the unit has been sent what the image holds.
    std::vector<bool> sentCells;
    for (const CellChange& c : step.cells)
        sentCells.push_back(!m_maps.CellChanged(c.grid, c.row, c.col));
    std::vector<bool> sentBlocks;
    for (const BlockChange& b : step.blocks)
        sentBlocks.push_back(!m_dirty.isSet(b.block));

    for (std::size_t i = 0; i < step.blocks.size(); ++i) {
        const BlockChange& b = step.blocks[i];
        m_image[b.block] = forward ? b.after : b.before;
        const bool flag = (forward ? b.dirtyAfter : b.dirtyBefore) || sentBlocks[i];
        if (flag)
            m_dirty.set(b.block);
        else
            m_dirty.clear(b.block);
    }
    for (std::size_t i = 0; i < step.cells.size(); ++i) {
        const CellChange& c = step.cells[i];
        const bool flag = (forward ? c.after : c.before) || sentCells[i];
        m_maps.setCellChanged(c.grid, c.row, c.col, flag);
        // A cell to be sent again needs its block sent too.
        if (flag) m_dirty.set(cellAddress(m_maps.descriptor(c.grid), c.row, c.col).block);
    }
    return true;
}

bool EditHistory::move(std::deque<Step>& from, std::deque<Step>& to, bool forward) {
    if (from.empty()) return false;
    if (!apply(from.back(), forward)) {
        clear();
        return false;
    }
    to.push_back(std::move(from.back()));
    from.pop_back();
    return true;
}

bool EditHistory::undo() {
    return move(m_undo, m_redo, false);
}

bool EditHistory::redo() {
    return move(m_redo, m_undo, true);
}

void EditHistory::clear() {
    m_undo.clear();
    m_redo.clear();
}

}  // namespace tunalyx
