#include "app/unsaved_changes.h"

#include <array>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

#include "model/descriptors.h"

namespace tunalyx {

namespace {

constexpr int kPages = 5;

// The bytes one setting shows: a 0-based run of bytes, and the bits of them that count.
struct SettingBytes {
    int block;
    int first;
    int length;
    int mask;
    auto operator<=>(const SettingBytes&) const = default;
};

std::optional<SettingBytes> bytesOf(const SettingControl& c) {
    switch (c.kind) {
        case ControlKind::Text:
            if (const auto d = parseParamDescriptor(c.tag))
                return SettingBytes{d->block, d->pos - 1, d->type == kTypeUnsigned16 ? 2 : 1, 0xFF};
            break;
        case ControlKind::Check:
            if (const auto d = parseCheckDescriptor(c.tag))
                return SettingBytes{d->block, d->pos - 1, 1, 0xFF};
            break;
        case ControlKind::CheckBit:
            if (const auto d = parseBitDescriptor(c.tag))
                return SettingBytes{d->block, d->pos - 1, 1, d->mask & 0xFF};
            break;
        // The option buttons of one value share its bytes and mask: they are one setting.
        case ControlKind::Option:
            if (const auto d = parseOptionDescriptor(c.tag))
                return SettingBytes{d->block, d->pos - 1, 1, d->mask & 0xFF};
            break;
        case ControlKind::Label:
        case ControlKind::TunerString:
            if (const auto d = parseLabelDescriptor(c.tag))
                return SettingBytes{d->block, d->pos - 1, d->length, 0xFF};
            break;
        default:
            break;
    }
    return std::nullopt;
}

// The settings the layout in force shows, each once.
std::set<SettingBytes> shownSettings(const SettingsTable& table) {
    std::set<SettingBytes> out;
    for (int page = 1; page <= kPages; ++page)
        for (const SettingControl* frame : table.pageFrames(page)) {
            if (!frame->visible) continue;
            for (const SettingControl* c : table.frameControls(frame->index))
                if (table.controlShown(*c))
                    if (const auto bytes = bytesOf(*c)) out.insert(*bytes);
        }
    return out;
}

class ByteCompare {
public:
    ByteCompare(const Tune& tune, const PacketImage& safe) : m_tune(tune), m_safe(safe) {}

    // Whether any counted bit of the run differs from the safe copy in a block the unit does
    // not hold. A byte the safe copy lacks was never safe.
    [[nodiscard]] bool waits(int block, int first, int length, int mask = 0xFF) const {
        if (block < 0 || block >= PacketImage::kSlotCount || first < 0) return false;
        const auto b = static_cast<std::uint8_t>(block);
        if (!m_tune.dirty.isSet(b)) return false;
        const Bytes& now = m_tune.image[b];
        const Bytes& safe = m_safe[b];
        for (int i = first; i < first + length; ++i) {
            const auto at = static_cast<std::size_t>(i);
            if (at >= now.size()) break;
            if (at >= safe.size() || ((now[at] ^ safe[at]) & mask) != 0) return true;
        }
        return false;
    }

private:
    const Tune& m_tune;
    const PacketImage& m_safe;
};

}  // namespace

std::string waitingChangesText(const WaitingChanges& waiting) {
    std::vector<std::string> parts;
    const auto count = [&](int n, const char* one, const char* many) {
        if (n > 0) parts.push_back(std::to_string(n) + " " + (n == 1 ? one : many));
    };
    count(waiting.mapCells, "map cell", "map cells");
    count(waiting.settings, "setting", "settings");
    if (parts.empty()) return {};
    const bool single = parts.size() == 1 && (waiting.mapCells + waiting.settings) == 1;
    std::string text = parts.front();
    if (parts.size() == 2) text += " and " + parts.back();
    return text + (single ? " has" : " have") + " been neither sent to the unit nor saved.";
}

void UnsavedChanges::settle(const Tune& tune) {
    for (int b = 0; b < PacketImage::kSlotCount; ++b) {
        const auto block = static_cast<std::uint8_t>(b);
        if (!tune.dirty.isSet(block)) m_safe[block] = tune.image[block];
    }
}

void UnsavedChanges::saved(const Tune& tune) {
    m_safe = tune.image;
}

WaitingChanges UnsavedChanges::waiting(const Tune& tune) const {
    const ByteCompare compare(tune, m_safe);
    WaitingChanges out;
    std::array<bool, PacketImage::kSlotCount> mapBlock{};
    for (int grid = 0; grid < kMapGridCount; ++grid) {
        if (grid == kBaseMap && !tune.layout.baseMapTabVisible) continue;
        const MapDescriptor& d = tune.mapLayout.descriptor(grid);
        for (std::uint8_t b : tune.mapLayout.mapBlocks(grid))
            mapBlock[b] = true;
        for (int row = 1; row <= kMapRows; ++row)
            for (int col = 1; col <= kMapCols; ++col) {
                const CellAddress cell = cellAddress(d, row, col);
                if (compare.waits(cell.block, cell.byte - 1, d.width)) ++out.mapCells;
            }
    }

    // Bytes no setting shows (a curve, the air flow grid) count once per block.
    std::array<std::vector<bool>, PacketImage::kSlotCount> shown;
    for (const SettingBytes& s : shownSettings(tune.settings)) {
        if (s.block < 0 || s.block >= PacketImage::kSlotCount || mapBlock[s.block]) continue;
        auto& covered = shown[static_cast<std::size_t>(s.block)];
        for (int i = s.first; i < s.first + s.length; ++i) {
            if (i < 0) continue;
            if (covered.size() <= static_cast<std::size_t>(i))
                covered.resize(static_cast<std::size_t>(i) + 1);
            covered[static_cast<std::size_t>(i)] = true;
        }
        if (compare.waits(s.block, s.first, s.length, s.mask)) ++out.settings;
    }
    for (int b = 0; b < PacketImage::kSlotCount; ++b) {
        if (mapBlock[static_cast<std::size_t>(b)]) continue;
        const auto& covered = shown[static_cast<std::size_t>(b)];
        const int length = static_cast<int>(tune.image[static_cast<std::uint8_t>(b)].size());
        for (int i = 0; i < length; ++i)
            if ((static_cast<std::size_t>(i) >= covered.size() ||
                 !covered[static_cast<std::size_t>(i)]) &&
                compare.waits(b, i, 1)) {
                ++out.settings;
                break;
            }
    }
    return out;
}

}  // namespace tunalyx
