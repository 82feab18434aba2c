#include "transfer/block_names.h"

#include <algorithm>
#include <optional>

#include "model/descriptors.h"
#include "model/settings_codec.h"

namespace tunalyx {

namespace {

std::vector<int> shownMaps(const Tune& tune) {
    std::vector<int> maps{kInjMap, kIgnMap};
    if (tune.layout.baseMapTabVisible) maps.push_back(kBaseMap);
    return maps;
}

// "Inj Map columns 1-5": the columns whose cells lie in the blocks (cells go column by column).
std::string mapPart(const Tune& tune, int map, const std::vector<std::uint8_t>& blocks) {
    const MapDescriptor& d = tune.mapLayout.descriptor(map);
    int firstCol = 0, lastCol = 0;
    for (int col = 1; col <= kMapCols; ++col)
        for (int row = 1; row <= kMapRows; ++row)
            if (std::ranges::count(blocks, cellAddress(d, row, col).block) > 0) {
                if (firstCol == 0) firstCol = col;
                lastCol = col;
            }
    std::string text = std::string(mapTabCaption(map)) + " column";
    if (firstCol == lastCol) return text + " " + std::to_string(firstCol);
    return text + "s " + std::to_string(firstCol) + "-" + std::to_string(lastCol);
}

std::optional<int> shownMapOf(const Tune& tune, std::uint8_t block) {
    for (int map : shownMaps(tune))
        if (std::ranges::count(tune.mapLayout.mapBlocks(map), block) > 0) return map;
    return std::nullopt;
}

// The first shown settings frame that holds the block.
const SettingControl* shownFrameOf(const Tune& tune, std::uint8_t block) {
    for (const SettingControl& c : tune.settings.controls()) {
        if (c.kind != ControlKind::Frame || !c.visible) continue;
        const auto descriptor = parseBlockDescriptor(c.tag);
        if (!descriptor) continue;
        if (std::ranges::any_of(descriptor->blocks,
                                [block](const ListedBlock& b) { return b.command == block; }))
            return &c;
    }
    return nullptr;
}

}  // namespace

std::string blockShownName(const Tune& tune, std::uint8_t block) {
    const std::string place = blockPlace(tune, block);
    return hexText(block) + (place.empty() ? "" : " (" + place + ")");
}

std::string blockPlace(const Tune& tune, std::uint8_t block) {
    if (const auto map = shownMapOf(tune, block)) return mapPart(tune, *map, {block});
    if (const SettingControl* frame = shownFrameOf(tune, block))
        return "Settings " + std::to_string(frame->page) + " > " + frame->caption;
    return {};
}

std::string blocksByPage(const Tune& tune, const std::vector<std::uint8_t>& blocks,
                         const std::vector<std::uint8_t>& inPart) {
    // A group a map, or a settings page, or the rest.
    struct Group {
        int map = -1;
        int page = -1;
        std::vector<std::uint8_t> blocks;
        bool inPart = false;
    };
    std::vector<Group> groups;
    Group others;
    for (std::uint8_t b : blocks) {
        Group key;
        if (const auto map = shownMapOf(tune, b))
            key.map = *map;
        else if (const SettingControl* frame = shownFrameOf(tune, b))
            key.page = frame->page;
        auto group = std::ranges::find_if(
            groups, [&](const Group& g) { return g.map == key.map && g.page == key.page; });
        Group& g = key.map < 0 && key.page < 0 ? others
                   : group != groups.end()     ? *group
                                               : groups.emplace_back(key);
        g.blocks.push_back(b);
        g.inPart = g.inPart || std::ranges::count(inPart, b) > 0;
    }
    // Maps first, then the settings by page.
    std::ranges::stable_sort(groups, {}, [](const Group& g) {
        return std::pair{g.map < 0, g.page};
    });
    std::vector<std::string> names;
    for (const Group& g : groups) {
        if (g.map >= 0) {
            const bool whole = g.blocks.size() == tune.mapLayout.mapBlocks(g.map).size();
            names.push_back(
                (whole ? std::string(mapTabCaption(g.map)) : mapPart(tune, g.map, g.blocks)) +
                (g.inPart ? " (in part)" : ""));
        } else if (g.blocks.size() == 1) {
            names.push_back(blockShownName(tune, g.blocks.front()));
        } else {
            names.push_back("Settings " + std::to_string(g.page) + " (" +
                            std::to_string(g.blocks.size()) + " blocks)");
        }
    }
    if (others.blocks.size() == 1) names.push_back(hexText(others.blocks.front()));
    if (others.blocks.size() > 1)
        names.push_back(std::to_string(others.blocks.size()) + " other blocks");
    return listedNames(names);
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
