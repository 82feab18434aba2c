#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "maps/map_grids.h"
#include "model/packet_image.h"
#include "versions/layout_family.h"

namespace tunalyx {

// Why a block may not be sent to the unit.
struct UnsendableBlock {
    enum class Reason { Missing, Short, Long, NotWritable };
    std::uint8_t block;
    Reason reason;
    std::size_t has = 0;     // bytes the slot holds
    std::size_t listed = 0;  // bytes the block must hold
};

// The length a block must have to be written to a unit of the layout in force: its Write All
// length, or for the older unit the Read All length of a block with a legacy write command.
// nullopt for a block the layout never writes.
[[nodiscard]] std::optional<std::size_t> writableLength(const LayoutInForce& layout,
                                                        std::uint8_t block);

// The block a setting's descriptor names (a curve's: its Y axis's) when the layout never writes
// it: an edit there could never be sent, so the setting is only shown. nullopt for a block the
// layout writes and for a descriptor that names none.
[[nodiscard]] std::optional<std::uint8_t> unwrittenBlock(const LayoutInForce& layout,
                                                         std::string_view tag);

// Checks what a write would send before its first byte goes out: every block of a map whole
// (100 bytes), every other block writable by the layout and exactly as long as it must be.
class WriteCheck {
public:
    WriteCheck(const PacketImage& image, const LayoutInForce& layout)
        : m_image(image), m_layout(layout) {}

    void map(const MapGrids& maps, int grid);
    void block(std::uint8_t block);

    [[nodiscard]] bool passed() const { return m_problems.empty(); }
    [[nodiscard]] const std::vector<UnsendableBlock>& problems() const { return m_problems; }
    // "Nothing was sent to the Power-FC." and a line for each block.
    [[nodiscard]] std::string message() const;

private:
    void length(std::uint8_t block, std::size_t listed);

    const PacketImage& m_image;
    const LayoutInForce& m_layout;
    std::vector<UnsendableBlock> m_problems;
};

}  // namespace tunalyx
