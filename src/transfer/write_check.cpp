#include "transfer/write_check.h"

#include "model/descriptors.h"
#include "model/number_format.h"
#include "transfer/transfer_operations.h"

namespace tunalyx {

namespace {
constexpr std::size_t kMapBlockBytes = 100;
}

std::optional<std::size_t> writableLength(const LayoutInForce& layout, std::uint8_t block) {
    if (const auto n = listedLength(layout.writeAllList, block)) return *n;
    // The older unit takes a few more blocks through its own write commands.
    if (layout.family == LayoutFamily::Family170 && LegacyWriteCommand(block) != 0xFF)
        if (const auto n = listedLength(layout.readAllList, block)) return *n;
    return std::nullopt;
}

std::optional<std::uint8_t> unwrittenBlock(const LayoutInForce& layout, std::string_view tag) {
    if (const std::size_t semicolon = tag.rfind(';'); semicolon != std::string_view::npos)
        tag.remove_prefix(semicolon + 1);
    const auto block = parseFieldInteger(splitFields(tag).front());
    if (!block || *block < 0 || *block > 0xFF) return std::nullopt;
    const auto b = static_cast<std::uint8_t>(*block);
    if (writableLength(layout, b)) return std::nullopt;
    return b;
}

void WriteCheck::map(const MapGrids& maps, int grid) {
    for (std::uint8_t b : maps.mapBlocks(grid))
        length(b, kMapBlockBytes);
}

void WriteCheck::block(std::uint8_t block) {
    const auto listed = writableLength(m_layout, block);
    if (!listed) {
        m_problems.push_back({block, UnsendableBlock::Reason::NotWritable, m_image[block].size()});
        return;
    }
    length(block, *listed);
}

void WriteCheck::length(std::uint8_t block, std::size_t listed) {
    const std::size_t has = m_image[block].size();
    if (has == listed) return;
    using R = UnsendableBlock::Reason;
    const R reason = has == 0 ? R::Missing : has < listed ? R::Short : R::Long;
    m_problems.push_back({block, reason, has, listed});
}

std::string WriteCheck::message() const {
    std::string text = "Nothing was sent to the Power-FC.";
    for (const UnsendableBlock& p : m_problems) {
        text += "\r\nBlock " + hexText(p.block);
        switch (p.reason) {
            case UnsendableBlock::Reason::Missing:
                text += " is missing.";
                break;
            case UnsendableBlock::Reason::Short:
            case UnsendableBlock::Reason::Long:
                text += " holds " + std::to_string(p.has) + " bytes instead of " +
                        std::to_string(p.listed) + ".";
                break;
            case UnsendableBlock::Reason::NotWritable:
                text += " is not written to this Power-FC version.";
                break;
        }
    }
    return text;
}

}  // namespace tunalyx
