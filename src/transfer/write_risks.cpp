#include "transfer/write_risks.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <optional>

#include "model/descriptors.h"
#include "model/number_format.h"
#include "model/value_rule.h"

namespace tunalyx {

namespace {

constexpr double kCruiseAfr = 14.7;
constexpr double kLeanestShare = 0.95;
constexpr double kMostAdvanceDegrees = 2;
constexpr std::size_t kShownRisks = 20;
// Values are compared as displayed: a hair of rounding is no change.
constexpr double kTolerance = 1e-9;
constexpr int kPages = 5;

std::string two(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

std::string shown(double value, const std::string& format) {
    return formatValue(value, format, NumberLocale{});
}

std::string signedShown(double value, const std::string& format) {
    return (value >= 0 ? "+" : "") + shown(value, format);
}

struct Cell {
    std::int32_t raw = 0;
    double value = 0;
    std::uint8_t block = 0;
};

std::optional<Cell> cellOf(const Tune& tune, int grid, int row, int col) {
    const MapDescriptor& d = tune.mapLayout.descriptor(grid);
    const CellAddress at = cellAddress(d, row, col);
    const Bytes& slot = tune.image[at.block];
    const auto byte = static_cast<std::size_t>(at.byte);
    std::optional<std::int32_t> raw;
    if (d.width == 1 && byte <= slot.size())
        raw = slot[byte - 1];
    else if (d.width == 2)
        if (const auto word = ReadWord(slot, byte)) raw = *word;
    if (!raw) return std::nullopt;
    return Cell{*raw, static_cast<double>(*raw) * d.scale + d.offset, at.block};
}

bool among(const std::vector<std::uint8_t>& blocks, int block) {
    return std::find(blocks.begin(), blocks.end(), block) != blocks.end();
}

// The rev limit and the boost maxima that cut fuel, as the pages in force show them.
bool weighedSetting(const std::string& caption) {
    return caption == "Rev Limit" || caption.starts_with("Boost Max @");
}

std::map<std::string, ParamDescriptor> weighedSettings(const SettingsTable& table) {
    std::map<std::string, ParamDescriptor> out;
    for (int page = 1; page <= kPages; ++page)
        for (const SettingControl* frame : table.pageFrames(page)) {
            if (!frame->visible) continue;
            for (const SettingControl* c : table.frameControls(frame->index))
                if (c->kind == ControlKind::Text && weighedSetting(c->caption) &&
                    table.controlShown(*c))
                    if (const auto d = parseParamDescriptor(c->tag)) out.emplace(c->caption, *d);
        }
    return out;
}

std::optional<double> settingValue(const Tune& tune, const ParamDescriptor& d) {
    if (d.block < 0 || d.block >= PacketImage::kSlotCount || d.pos < 1) return std::nullopt;
    const Bytes& slot = tune.image[static_cast<std::uint8_t>(d.block)];
    const auto pos = static_cast<std::size_t>(d.pos);
    std::optional<double> raw;
    if (d.type == kTypeUnsigned16) {
        if (const auto word = ReadWord(slot, pos)) raw = *word;
    } else if (pos <= slot.size()) {
        raw = d.type == kTypeSigned8 ? SignedByte(slot[pos - 1]) : slot[pos - 1];
    }
    if (!raw) return std::nullopt;
    return *raw * d.scale + d.offset;
}

void mapRisks(const Tune& unit, const Tune& sent, const BoostRows& boost,
              const AutoTunedCells& autoTuned, const std::vector<std::uint8_t>& blocks,
              std::vector<std::string>& risks) {
    for (int grid : {kInjMap, kIgnMap}) {
        const MapDescriptor& d = sent.mapLayout.descriptor(grid);
        for (int row = 1; row <= kMapRows; ++row)
            for (int col = 1; col <= kMapCols; ++col) {
                const auto now = cellOf(sent, grid, row, col);
                const auto was = cellOf(unit, grid, row, col);
                if (!now || !was || now->raw == was->raw || !among(blocks, now->block)) continue;
                if (grid == kInjMap && autoTuned.holds(row, col, now->raw)) continue;
                const bool inBoost = boost[static_cast<std::size_t>(row - 1)];
                std::string why;
                if (grid == kIgnMap) {
                    const double advance = now->value - was->value;
                    if (!inBoost || advance <= kMostAdvanceDegrees + kTolerance) continue;
                    why = " degrees (" + signedShown(advance, d.format) + ")";
                } else {
                    if (inBoost && now->value < was->value * kLeanestShare - kTolerance)
                        why =
                            " (" + signedShown((now->value / was->value - 1) * 100, "0.0") + " %)";
                    if (now->raw == static_cast<std::int32_t>(d.min))
                        why += ", at the lowest value the map holds";
                    else if (now->raw == static_cast<std::int32_t>(d.max))
                        why += ", at the highest value the map holds";
                    if (why.empty()) continue;
                }
                risks.push_back(std::string(mapTabCaption(grid)) + " N" + two(col) + " P" +
                                two(row) + ": " + shown(was->value, d.format) + " -> " +
                                shown(now->value, d.format) + why);
            }
    }
}

}  // namespace

BoostRows boostRows(const MapField& targetAfr, const MapAxes& axes) {
    BoostRows rows{};
    for (std::size_t r = 0; r < kMapAxisSize; ++r)
        rows[r] = std::any_of(targetAfr[r].begin(), targetAfr[r].end(),
                              [](double afr) { return afr < kCruiseAfr - kTolerance; });
    if (std::find(rows.begin(), rows.end(), true) != rows.end()) return rows;
    // The highest breakpoints, the later row first among equals (a blank map reference).
    std::array<std::size_t, kMapAxisSize> order{};
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&axes](std::size_t a, std::size_t b) {
        return axes.row[a] != axes.row[b] ? axes.row[a] > axes.row[b] : a > b;
    });
    for (std::size_t i = 0; i < (kMapAxisSize + 2) / 3; ++i)
        rows[order[i]] = true;
    return rows;
}

std::vector<std::string> writeRisks(const Tune& unit, const Tune& sent, const BoostRows& boost,
                                    const AutoTunedCells& autoTuned,
                                    const std::vector<std::uint8_t>& blocks) {
    std::vector<std::string> risks;
    mapRisks(unit, sent, boost, autoTuned, blocks, risks);
    const auto held = weighedSettings(unit.settings);
    for (const auto& [caption, d] : weighedSettings(sent.settings)) {
        const auto before = held.find(caption);
        if (before == held.end() || !among(blocks, d.block)) continue;
        const auto now = settingValue(sent, d);
        const auto was = settingValue(unit, before->second);
        if (now && was && *now > *was + kTolerance)
            risks.push_back(caption + ": " + shown(*was, d.format) + " -> " +
                            shown(*now, d.format) + " (" + signedShown(*now - *was, d.format) +
                            ")");
    }
    return risks;
}

std::vector<std::uint8_t> riskBlocks(const Tune& tune) {
    std::vector<std::uint8_t> blocks = tune.mapLayout.mapBlocks(kInjMap);
    for (std::uint8_t b : tune.mapLayout.mapBlocks(kIgnMap))
        blocks.push_back(b);
    for (const auto& [caption, d] : weighedSettings(tune.settings))
        if (d.block >= 0 && d.block < PacketImage::kSlotCount && !among(blocks, d.block))
            blocks.push_back(static_cast<std::uint8_t>(d.block));
    return blocks;
}

std::string riskQuestion(const std::vector<std::string>& risks) {
    std::string text = "This write would make the engine riskier than the tune the unit holds:";
    for (std::size_t i = 0; i < risks.size() && i < kShownRisks; ++i)
        text += "\r\n" + risks[i];
    if (risks.size() > kShownRisks)
        text += "\r\nand " + std::to_string(risks.size() - kShownRisks) + " more";
    return text + "\r\nSend it anyway?";
}

}  // namespace tunalyx
