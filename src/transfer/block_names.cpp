#include "transfer/block_names.h"

#include <algorithm>

#include "model/descriptors.h"

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

}  // namespace tunalyx
