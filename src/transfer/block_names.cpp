#include "transfer/block_names.h"

#include <algorithm>

#include "model/descriptors.h"
#include "model/settings_codec.h"

namespace tunalyx {

namespace {

std::vector<int> shownMaps(const Tune& tune) {
    std::vector<int> maps{kInjMap, kIgnMap};
    if (tune.layout.baseMapTabVisible) maps.push_back(kBaseMap);
    return maps;
}

// "Inj Map columns 1-5": the columns whose cells lie in the block (cells go column by column).
std::string mapPart(const Tune& tune, int map, std::uint8_t block) {
    const MapDescriptor& d = tune.mapLayout.descriptor(map);
    const int offset = (block - d.block) * 100;
    const int firstCol = offset / d.width / kMapRows + 1;
    const int lastCol = std::min((offset + 99) / d.width / kMapRows + 1, kMapCols);
    std::string text = std::string(mapTabCaption(map)) + " column";
    if (firstCol == lastCol) return text + " " + std::to_string(firstCol);
    return text + "s " + std::to_string(firstCol) + "-" + std::to_string(lastCol);
}

}  // namespace

std::string blockShownName(const Tune& tune, std::uint8_t block) {
    const std::string place = blockPlace(tune, block);
    return hexText(block) + (place.empty() ? "" : " (" + place + ")");
}

std::string blockPlace(const Tune& tune, std::uint8_t block) {
    for (int map : shownMaps(tune)) {
        const auto blocks = tune.mapLayout.mapBlocks(map);
        if (std::find(blocks.begin(), blocks.end(), block) != blocks.end())
            return mapPart(tune, map, block);
    }
    for (const SettingControl& c : tune.settings.controls()) {
        if (c.kind != ControlKind::Frame || !c.visible) continue;
        const auto descriptor = parseBlockDescriptor(c.tag);
        if (!descriptor) continue;
        const bool holds =
            std::any_of(descriptor->blocks.begin(), descriptor->blocks.end(),
                        [block](const ListedBlock& b) { return b.command == block; });
        if (holds) return "Settings " + std::to_string(c.page) + " > " + c.caption;
    }
    return {};
}

std::string listedNames(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
        text += names[i];
    }
    return text;
}

namespace {

bool differs(const ReadBackProblem& p, std::size_t first, std::size_t count) {
    return std::any_of(p.positions.begin(), p.positions.end(),
                       [&](std::size_t at) { return at >= first && at < first + count; });
}

// The bytes of the block a control shows: first (0-based) and count; count 0 when it shows none
// of this block, or nothing one writes.
std::pair<std::size_t, std::size_t> controlBytes(const SettingControl& c, std::uint8_t block) {
    const auto at = [&](int b, int pos, int count) {
        return b == block
                   ? std::pair{static_cast<std::size_t>(pos) - 1, static_cast<std::size_t>(count)}
                   : std::pair<std::size_t, std::size_t>{0, 0};
    };
    switch (c.kind) {
        case ControlKind::Text:
            if (const auto d = parseParamDescriptor(c.tag))
                return at(d->block, d->pos, d->type == kTypeUnsigned16 ? 2 : 1);
            break;
        case ControlKind::Check:
            if (const auto d = parseCheckDescriptor(c.tag)) return at(d->block, d->pos, 1);
            break;
        case ControlKind::CheckBit:
            if (const auto d = parseBitDescriptor(c.tag)) return at(d->block, d->pos, 1);
            break;
        case ControlKind::Option:
            if (const auto d = parseOptionDescriptor(c.tag)) return at(d->block, d->pos, 1);
            break;
        default:
            break;
    }
    return {0, 0};
}

// A control's value as its page shows it, read from `codec`'s image.
std::string shownValue(const SettingsCodec& codec, const SettingControl& c) {
    switch (c.kind) {
        case ControlKind::Text:
            return codec.DisplayData(c.tag);
        case ControlKind::Check:
            return codec.IsSettingChecked(c.tag) ? "checked" : "not checked";
        case ControlKind::CheckBit:
            return codec.IsSettingBitSet(c.tag) ? "checked" : "not checked";
        case ControlKind::Option:
            return codec.IsOptionSelected(c.tag) ? "selected" : "not selected";
        default:
            return {};
    }
}

struct Placed {
    std::size_t first;
    UnkeptValue value;
};

void addSettings(const Tune& tune, const NumberLocale& locale, const ReadBackProblem& p,
                 std::vector<Placed>& found, std::vector<bool>& named) {
    PacketImage sentImage, keptImage;
    sentImage[p.block] = p.sentBlock;
    keptImage[p.block] = p.kept;
    PacketDirty scratch;
    SettingsCodec sent(sentImage, scratch), kept(keptImage, scratch);
    sent.setLocale(locale);
    kept.setLocale(locale);
    const SettingsTable& table = tune.settings;
    for (const SettingControl& c : table.controls()) {
        const auto [first, count] = controlBytes(c, p.block);
        if (count == 0 || !differs(p, first, count)) continue;
        const SettingControl* frame = table.find(ControlKind::Frame, c.frame);
        if (!frame || !frame->visible || !table.controlShown(c)) continue;
        // Several boxes of one byte: only those that show the difference name it.
        UnkeptValue v{
            "Settings " + std::to_string(c.page) + " > " + frame->caption + " > " + c.caption,
            shownValue(sent, c), shownValue(kept, c), c.kind, c.index};
        if (c.kind != ControlKind::Text && v.sent == v.kept) continue;
        // A value two frames show is named once.
        if (std::all_of(named.begin() + static_cast<std::ptrdiff_t>(first),
                        named.begin() + static_cast<std::ptrdiff_t>(first + count),
                        [](bool b) { return b; }))
            continue;
        std::fill_n(named.begin() + static_cast<std::ptrdiff_t>(first), count, true);
        found.push_back({first, std::move(v)});
    }
}

void addCells(const Tune& tune, const NumberLocale& locale, bool mapReferenceHeadings,
              const ReadBackProblem& p, std::vector<Placed>& found, std::vector<bool>& named) {
    PacketImage sentImage = tune.image, keptImage = tune.image;
    sentImage[p.block] = p.sentBlock;
    keptImage[p.block] = p.kept;
    MapLayout layout = tune.mapLayout;
    PacketDirty scratch;
    CellFlags flags;
    MapGrids sent(sentImage, scratch, layout, flags), kept(keptImage, scratch, layout, flags);
    sent.setLocale(locale);
    kept.setLocale(locale);
    for (int map : shownMaps(tune)) {
        const auto blocks = layout.mapBlocks(map);
        if (std::find(blocks.begin(), blocks.end(), p.block) == blocks.end()) continue;
        const MapDescriptor& d = layout.descriptor(map);
        // The headings of the tune's own map reference, as the grid shows them.
        const auto columns = sent.columnLabels(mapReferenceHeadings);
        const auto rows = sent.rowLabels(mapReferenceHeadings);
        const bool breakpoints = mapReferenceHeadings && !columns.front().empty();
        const auto plainColumns = sent.columnLabels(false), plainRows = sent.rowLabels(false);
        for (int col = 1; col <= kMapCols; ++col)
            for (int row = 1; row <= kMapRows; ++row) {
                const CellAddress at = cellAddress(d, row, col);
                const auto first = static_cast<std::size_t>(at.byte) - 1;
                const auto count = static_cast<std::size_t>(d.width);
                if (at.block != p.block || !differs(p, first, count)) continue;
                const auto c = static_cast<std::size_t>(col - 1),
                           r = static_cast<std::size_t>(row - 1);
                std::string name = std::string(mapTabCaption(map)) + ", ";
                name += breakpoints ? columns[c] + " rpm / load " + rows[r]
                                    : plainColumns[c] + " / " + plainRows[r];
                std::fill_n(named.begin() + static_cast<std::ptrdiff_t>(first), count, true);
                found.push_back(
                    {first,
                     {std::move(name), sent.cellText(map, row, col), kept.cellText(map, row, col),
                      ControlKind::Text, -1, map, row, col}});
            }
    }
}

}  // namespace

ShownDifferences shownDifferences(const Tune& tune, const NumberLocale& locale,
                                  bool mapReferenceHeadings, const ReadBackProblem& problem) {
    ShownDifferences shown;
    if (problem.kind != ReadBackProblem::Kind::Differs) return shown;
    std::vector<Placed> found;
    std::vector<bool> named(std::max(problem.sentBlock.size(), problem.kept.size()) + 2, false);
    addCells(tune, locale, mapReferenceHeadings, problem, found, named);
    addSettings(tune, locale, problem, found, named);
    std::stable_sort(found.begin(), found.end(),
                     [](const Placed& a, const Placed& b) { return a.first < b.first; });
    for (Placed& f : found)
        shown.values.push_back(std::move(f.value));
    for (std::size_t at : problem.positions)
        if (at >= named.size() || !named[at]) shown.rest.push_back(at);
    return shown;
}

}  // namespace tunalyx
