#include "maps/map_grids.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/descriptors.h"
#include "model/value_rule.h"

namespace tunalyx {

namespace {

constexpr int kBlockBytes = 100;
constexpr int kBlocksPerByteOfWidth = 4;  // 400 cells of `width` bytes in blocks of 100
constexpr std::int32_t kFactorOne = 128;  // injection raw that shows as 1.000
constexpr int kColumnBreakpointByte = 41;
constexpr int kRowBreakpointByte = 1;

constexpr double kInt32Low = std::numeric_limits<std::int32_t>::min();
constexpr double kInt32High = std::numeric_limits<std::int32_t>::max();

bool isGrid(int grid) {
    return grid >= 0 && grid < kMapGridCount;
}

bool isDataCell(int row, int col) {
    return row >= 1 && row <= kMapRows && col >= 1 && col <= kMapCols;
}

// A computed raw value as a whole number; sums and limits beyond 32 bits saturate.
std::int32_t wholeValue(double x) {
    if (std::isnan(x)) return 0;
    return static_cast<std::int32_t>(roundHalfEven(std::clamp(x, kInt32Low, kInt32High)));
}

template <typename Fn>
void forEachCell(const CellRange& range, Fn&& fn) {
    const CellRange r = cellsWithin(range, kMapRows, kMapCols);
    for (int row = r.top(); row <= r.bottom(); ++row)
        for (int col = r.left(); col <= r.right(); ++col)
            fn(row, col);
}

// Stores a new raw value in every cell of a range and gives the text each cell then shows, the
// text of the new value even where nothing changed.
template <typename NewValue>
std::vector<CellText> editCells(MapGrids& maps, int grid, const CellRange& range,
                                NewValue&& newValue) {
    std::vector<CellText> texts;
    forEachCell(range, [&](int row, int col) {
        const std::int32_t v = newValue(row, col);
        maps.GridSetData(grid, row, col, v);
        texts.push_back({row, col, maps.fText(grid, v)});
    });
    return texts;
}

std::vector<std::string> axisLabels(char prefix, const Bytes* mapReference, int firstByte,
                                    const NumberLocale& locale) {
    std::vector<std::string> labels;
    for (int k = 0; k < kMapCols; ++k) {
        if (!mapReference) {
            const int n = k + 1;
            labels.push_back(prefix + std::string(n < 10 ? "0" : "") + std::to_string(n));
            continue;
        }
        const auto word = ReadWord(*mapReference, static_cast<std::size_t>(firstByte + 2 * k));
        labels.push_back(word ? formatValue(*word, "0", locale) : std::string());
    }
    return labels;
}

int coveredIndex(double position) {
    if (std::isnan(position)) return 0;
    // Far outside the map is still outside; the clamp only keeps the conversion defined.
    return static_cast<int>(std::clamp(std::floor(position), -1000.0, 1000.0)) + 1;
}

// "P03", or "P03-P09" for a span.
std::string span(char prefix, int first, int last) {
    const auto label = [prefix](int i) {
        return std::string(1, prefix) + (i < 10 ? "0" : "") + std::to_string(i);
    };
    return first == last ? label(first) : label(first) + "-" + label(last);
}

}  // namespace

std::string cellRangeText(const CellRange& r) {
    return span('P', r.top(), r.bottom()) + " " + span('N', r.left(), r.right());
}

CellRange cellsWithin(const CellRange& r, int rows, int cols) {
    return {std::max(r.top(), 1), std::max(r.left(), 1), std::min(r.bottom(), rows),
            std::min(r.right(), cols)};
}

std::vector<std::vector<std::string_view>> splitClip(std::string_view clip) {
    std::vector<std::vector<std::string_view>> rows;
    if (clip.ends_with("\r\n"))
        clip.remove_suffix(2);
    else if (clip.ends_with('\r') || clip.ends_with('\n'))
        clip.remove_suffix(1);
    if (clip.empty()) return rows;
    for (;;) {
        const std::size_t at = clip.find_first_of("\r\n");
        rows.push_back(splitFields(clip.substr(0, at), '\t'));
        if (at == std::string_view::npos) return rows;
        const bool crlf = clip[at] == '\r' && at + 1 < clip.size() && clip[at + 1] == '\n';
        clip.remove_prefix(at + (crlf ? 2 : 1));
    }
}

const char* mapTabCaption(int grid) {
    static constexpr const char* kCaptions[kMapGridCount] = {"Inj Map", "Ign Map", "Base Map"};
    return grid >= 0 && grid < kMapGridCount ? kCaptions[grid] : "";
}

std::optional<MapDescriptor> parseMapDescriptor(std::string_view tag) {
    const auto f = splitFields(tag);
    if (f.size() != 7) return std::nullopt;
    const auto block = parseFieldInteger(f[0]);
    const auto width = parseFieldInteger(f[1]);
    const auto scale = parseFieldNumber(f[2]);
    const auto offset = parseFieldNumber(f[3]);
    const auto min = parseFieldNumber(f[5]);
    const auto max = parseFieldNumber(f[6]);
    if (!block || !width || !scale || !offset || !min || !max) return std::nullopt;
    if (*width != 1 && *width != 2) return std::nullopt;
    // The whole map must lie in the 256 command bytes, and a zero scale cannot be inverted.
    if (*block < 0 || *block > 256 - kBlocksPerByteOfWidth * *width) return std::nullopt;
    const float singleScale = toSingle(*scale);
    if (singleScale == 0) return std::nullopt;
    return MapDescriptor{.block = static_cast<int>(*block),
                         .width = static_cast<int>(*width),
                         .scale = singleScale,
                         .offset = toSingle(*offset),
                         .format = std::string(f[4]),
                         .min = toSingle(*min),
                         .max = toSingle(*max)};
}

const std::array<std::string, kMapGridCount>& startupMapTags() {
    static const std::array<std::string, kMapGridCount> tags{
        "&H86,1,0.00390625,0.5,0.000,0,255", "&H81,1,1,0,0,0,255", "&HB0,2,0.004,0,0.000,0,65535"};
    return tags;
}

CellAddress cellAddress(const MapDescriptor& d, int row, int col) {
    const int p = cellIndex(row, col) * d.width;
    return {static_cast<std::uint8_t>(d.block + p / kBlockBytes), p % kBlockBytes + 1};
}

MapLayout::MapLayout() {
    for (int grid = 0; grid < kMapGridCount; ++grid)
        m_descriptors[static_cast<std::size_t>(grid)] =
            parseMapDescriptor(m_tags[static_cast<std::size_t>(grid)]).value();
}

void MapLayout::setMapBlock(int grid, int block) {
    if (!isGrid(grid)) return;
    std::string& tag = m_tags[static_cast<std::size_t>(grid)];
    const std::size_t comma = tag.find(',');
    const std::string moved = "&H" + hexText(static_cast<unsigned>(block)) +
                              (comma == std::string::npos ? std::string() : tag.substr(comma));
    const auto d = parseMapDescriptor(moved);
    if (!d || d->block != block) return;
    tag = moved;
    m_descriptors[static_cast<std::size_t>(grid)] = *d;
}

std::string MapLayout::tag(int grid) const {
    if (!isGrid(grid)) return {};
    return m_tags[static_cast<std::size_t>(grid)];
}

std::vector<std::uint8_t> MapLayout::mapBlocks(int grid) const {
    std::vector<std::uint8_t> blocks;
    if (!isGrid(grid)) return blocks;
    const MapDescriptor& d = descriptor(grid);
    for (int i = 0; i < kBlocksPerByteOfWidth * d.width; ++i)
        blocks.push_back(static_cast<std::uint8_t>(d.block + i));
    return blocks;
}

bool CellFlags::isSet(int grid, int row, int col) const {
    if (grid < 0 || grid >= kGrids || row < 0 || row > kMapRows || col < 0 || col > kMapCols)
        return false;
    return m_flags[static_cast<std::size_t>(grid)][static_cast<std::size_t>(row)]
                  [static_cast<std::size_t>(col)];
}

void CellFlags::set(int grid, int row, int col, bool changed) {
    if (grid < 0 || grid >= kGrids || row < 0 || row > kMapRows || col < 0 || col > kMapCols)
        return;
    m_flags[static_cast<std::size_t>(grid)][static_cast<std::size_t>(row)]
           [static_cast<std::size_t>(col)] = changed;
}

void CellFlags::clear(int grid) {
    if (grid < 0 || grid >= kGrids) return;
    for (auto& row : m_flags[static_cast<std::size_t>(grid)])
        row.fill(false);
}

int CellFlags::count(int grid) const {
    int count = 0;
    for (int row = 1; row <= kMapRows; ++row)
        for (int col = 1; col <= kMapCols; ++col)
            if (isSet(grid, row, col)) ++count;
    return count;
}

void MapGrids::GridInit() {
    for (int grid = 0; grid < kMapGridCount; ++grid)
        for (std::uint8_t block : mapBlocks(grid))
            m_image[block].assign(kBlockBytes, 0);
}

std::int32_t MapGrids::GridData(int grid, int row, int col) const {
    if (!isGrid(grid) || !isDataCell(row, col)) return 0;
    const MapDescriptor& d = descriptor(grid);
    const CellAddress a = cellAddress(d, row, col);
    const Bytes& slot = m_image[a.block];
    if (d.width == 1) {
        if (static_cast<std::size_t>(a.byte) > slot.size()) return 0;
        return slot[static_cast<std::size_t>(a.byte) - 1];
    }
    return ReadWord(slot, static_cast<std::size_t>(a.byte)).value_or(0);
}

bool MapGrids::GridSetData(int grid, int row, int col, std::int32_t value) {
    if (!isGrid(grid) || !isDataCell(row, col)) return false;
    const MapDescriptor& d = descriptor(grid);
    const CellAddress a = cellAddress(d, row, col);
    Bytes& slot = m_image[a.block];
    const auto at = static_cast<std::ptrdiff_t>(a.byte - 1);
    if (static_cast<std::size_t>(at + d.width) > slot.size()) return false;

    Bytes bytes;
    if (d.width == 1) {
        bytes.push_back(static_cast<std::uint8_t>(std::clamp(value, 0, 255)));
    } else {
        // Only the high byte saturates; a negative value has no low byte of its own and
        // stores 0.
        const std::int32_t v = std::max(value, 0);
        bytes.push_back(static_cast<std::uint8_t>(v % 256));
        bytes.push_back(static_cast<std::uint8_t>(std::min(v / 256, 255)));
    }
    if (std::equal(bytes.begin(), bytes.end(), slot.begin() + at)) return false;
    std::copy(bytes.begin(), bytes.end(), slot.begin() + at);
    setCellChanged(grid, row, col, true);
    m_dirty.set(a.block);
    if (onChange) onChange();
    return true;
}

std::string MapGrids::fText(int grid, std::int32_t value) const {
    if (!isGrid(grid)) return {};
    const MapDescriptor& d = descriptor(grid);
    return formatValue(static_cast<double>(value) * d.scale + d.offset, d.format, m_locale);
}

std::int32_t MapGrids::GridParse(int grid, std::string_view text) const {
    if (!isGrid(grid)) return 0;
    const auto number = parseUserNumber(text, m_locale);
    return number ? rawOfDisplay(grid, *number) : 0;
}

std::int32_t MapGrids::rawOfDisplay(int grid, double value) const {
    if (!isGrid(grid)) return 0;
    const MapDescriptor& d = descriptor(grid);
    float x = toSingle((value - d.offset) / d.scale);
    if (x < d.min) x = d.min;
    if (x > d.max) x = d.max;
    return wholeValue(x);
}

double MapGrids::displayValue(int grid, int row, int col) const {
    if (!isGrid(grid)) return 0;
    const MapDescriptor& d = descriptor(grid);
    return static_cast<double>(GridData(grid, row, col)) * d.scale + d.offset;
}

std::string MapGrids::cellText(int grid, int row, int col) const {
    return fText(grid, GridData(grid, row, col));
}

Bytes MapGrids::cellWriteRequest(int grid, int row, int col) const {
    if (!isGrid(grid)) return {};
    const MapDescriptor& d = descriptor(grid);
    const int k = cellIndex(row, col);
    const std::int32_t value = GridData(grid, row, col);
    Bytes request{static_cast<std::uint8_t>(d.block - 1), static_cast<std::uint8_t>(k & 0xFF),
                  static_cast<std::uint8_t>(k >> 8), static_cast<std::uint8_t>(value & 0xFF)};
    if (d.width == 2) request.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    return request;
}

std::vector<CellText> MapGrids::GridIncrease(int grid, const CellRange& selection,
                                             std::int32_t step) {
    if (!isGrid(grid)) return {};
    const double max = descriptor(grid).max;
    return editCells(*this, grid, selection, [&](int row, int col) {
        const double sum = static_cast<double>(GridData(grid, row, col)) + step;
        return wholeValue(sum <= max ? sum : max);
    });
}

std::vector<CellText> MapGrids::GridDecrease(int grid, const CellRange& selection,
                                             std::int32_t step) {
    if (!isGrid(grid)) return {};
    const double min = descriptor(grid).min;
    return editCells(*this, grid, selection, [&](int row, int col) {
        const double difference = static_cast<double>(GridData(grid, row, col)) - step;
        return wholeValue(difference >= min ? difference : min);
    });
}

std::vector<CellText> MapGrids::GridSetRange(int grid, const CellRange& editRange,
                                             std::int32_t value) {
    if (!isGrid(grid)) return {};
    return editCells(*this, grid, editRange, [&](int, int) { return value; });
}

std::vector<CellText> MapGrids::GridCommit(
    int grid, const CellRange& selection,
    const std::function<std::string(int row, int col)>& textOf) {
    if (!isGrid(grid)) return {};
    return editCells(*this, grid, selection,
                     [&](int row, int col) { return GridParse(grid, textOf(row, col)); });
}

std::string MapGrids::clipText(int grid, const CellRange& selection) const {
    std::string clip;
    const CellRange r = cellsWithin(selection, kMapRows, kMapCols);
    for (int row = r.top(); row <= r.bottom(); ++row) {
        if (row != r.top()) clip.push_back('\r');
        for (int col = r.left(); col <= r.right(); ++col) {
            if (col != r.left()) clip.push_back('\t');
            clip += cellText(grid, row, col);
        }
    }
    return clip;
}

std::vector<CellText> MapGrids::paste(int grid, const CellRange& selection, std::string_view clip) {
    const auto rows = splitClip(clip);
    const CellRange r = cellsWithin(selection, kMapRows, kMapCols);
    return GridCommit(grid, r, [&](int row, int col) {
        const auto i = static_cast<std::size_t>(row - r.top());
        const auto j = static_cast<std::size_t>(col - r.left());
        if (i < rows.size() && j < rows[i].size()) return std::string(rows[i][j]);
        return cellText(grid, row, col);
    });
}

void MapGrids::ReCalcBase() {
    for (int row = 1; row <= kMapRows; ++row) {
        for (int col = 1; col <= kMapCols; ++col) {
            // The factor as the grid shows it, so the base gains exactly what the tuner sees.
            const double factor =
                parseUserNumber(fText(kInjMap, GridData(kInjMap, row, col)), m_locale).value_or(0);
            const double base = GridData(kBaseMap, row, col);
            GridSetData(kBaseMap, row, col, wholeValue(base * factor));
            GridSetData(kInjMap, row, col, kFactorOne);
            setCellChanged(kBaseMap, row, col, true);
            setCellChanged(kInjMap, row, col, true);
        }
    }
    if (onChange) onChange();
}

std::vector<std::string> MapGrids::columnLabels(bool fromMapReference) const {
    const Bytes* reference = fromMapReference ? &m_image[MapRefBlock] : nullptr;
    return axisLabels('N', reference, kColumnBreakpointByte, m_locale);
}

std::vector<std::string> MapGrids::rowLabels(bool fromMapReference) const {
    const Bytes* reference = fromMapReference ? &m_image[MapRefBlock] : nullptr;
    return axisLabels('P', reference, kRowBreakpointByte, m_locale);
}

CellRange coveredCells(double x, double y) {
    return {coveredIndex(y + 0.25), coveredIndex(x + 0.25), coveredIndex(y + 0.75),
            coveredIndex(x + 0.75)};
}

}  // namespace tunalyx
