#include "compare/compare.h"

#include <algorithm>

#include "model/number_format.h"
#include "transfer/data_file.h"
#include "versions/tune_file.h"

namespace tunalyx {

namespace {

constexpr int kFirstPage = 1;
constexpr int kLastPage = 5;

bool isCompared(ControlKind kind) {
    return kind == ControlKind::Text || kind == ControlKind::Check ||
           kind == ControlKind::CheckBit || kind == ControlKind::Option ||
           kind == ControlKind::Label;
}

// The controls compare mode looks at: those the layout in force shows, in page order.
std::vector<const SettingControl*> comparedControls(const SettingsTable& table) {
    std::vector<const SettingControl*> out;
    for (int page = kFirstPage; page <= kLastPage; ++page)
        for (const SettingControl* frame : table.pageFrames(page)) {
            if (!frame->visible) continue;
            for (const SettingControl* c : table.frameControls(frame->index))
                if (isCompared(c->kind) && table.controlShown(*c)) out.push_back(c);
        }
    return out;
}

std::string shownText(const SettingsCodec& codec, const SettingControl& c) {
    switch (c.kind) {
        case ControlKind::Text:
            return codec.DisplayData(c.tag);
        case ControlKind::Check:
            return codec.IsSettingChecked(c.tag) ? "on" : "off";
        case ControlKind::CheckBit:
            return codec.IsSettingBitSet(c.tag) ? "on" : "off";
        case ControlKind::Option:
            return codec.IsOptionSelected(c.tag) ? "selected" : "not selected";
        case ControlKind::Label: {
            std::string text = codec.SettingText(c.tag);
            text.resize(std::min(text.size(), text.find('\0')));
            return text;
        }
        default:
            return {};
    }
}

std::vector<int> visibleGrids(const LayoutInForce& layout) {
    std::vector<int> grids{kInjMap, kIgnMap};
    if (layout.baseMapTabVisible) grids.push_back(kBaseMap);
    return grids;
}

}  // namespace

bool MapDifference::differs() const {
    return std::any_of(cells.begin(), cells.end(), [](const auto& row) {
        return std::any_of(row.begin(), row.end(),
                           [](const CellDifference& cell) { return cell.differs(); });
    });
}

bool Comparison::differs() const {
    return !settings.empty() || notesDiffer ||
           std::any_of(maps.begin(), maps.end(),
                       [](const MapDifference& map) { return map.differs(); });
}

CellColour differenceColour(int grid, double difference) {
    if (difference == 0) return kNormalBackground;
    return (grid == kIgnMap) == (difference > 0) ? kCompareRed : kCompareYellow;
}

Comparison compareTunes(const TuneDocument& window, Tune file) {
    // The file's data are in the window's layout: they are read through its Tags and map blocks.
    file.mapLayout = window.mapLayout;
    SettingsCodec fileCodec{file.image, file.dirty};
    fileCodec.setLocale(window.codec.locale());
    MapGrids fileMaps{file.image, file.dirty, file.mapLayout, file.cellChanged};
    fileMaps.setLocale(window.maps.locale());

    Comparison result;
    for (const SettingControl* c : comparedControls(window.settings)) {
        std::string windowText = shownText(window.codec, *c);
        std::string fileText = shownText(fileCodec, *c);
        if (windowText != fileText)
            result.settings.push_back({c, std::move(windowText), std::move(fileText)});
    }

    result.notesDiffer = file.notes != window.notes;
    result.fileNotes = std::move(file.notes);

    const NumberLocale& locale = window.codec.locale();
    const auto valueOf = [&](const std::string& text) {
        return parseUserNumber(text, locale).value_or(0.0);
    };
    for (int grid : visibleGrids(window.layout)) {
        MapDifference map{grid, {}};
        for (int row = 1; row <= kMapRows; ++row)
            for (int col = 1; col <= kMapCols; ++col) {
                // The injection factor differs in thousandths; whole numbers read better.
                const double difference = (valueOf(window.maps.cellText(grid, row, col)) -
                                           valueOf(fileMaps.cellText(grid, row, col))) *
                                          (grid == kInjMap ? 1000.0 : 1.0);
                CellDifference& cell =
                    map.cells[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col - 1)];
                cell.text = formatValue(difference, "0", locale);
                if (cell.text != "0") cell.colour = differenceColour(grid, difference);
            }
        result.maps.push_back(std::move(map));
    }
    return result;
}

std::optional<Comparison> compareWithFile(const TuneDocument& window, UserPrompts& prompts,
                                          const std::string& path, const std::string& shownName) {
    const std::optional<std::string> contents = readDataFileContents(prompts, path, shownName);
    if (!contents) return std::nullopt;
    std::optional<Tune> file = tuneFileInLayoutOf(window.tune(), *contents, shownName, prompts);
    if (!file) return std::nullopt;
    return compareTunes(window, std::move(*file));
}

}  // namespace tunalyx
