#include "model/descriptors.h"

#include <limits>

#include "model/number_format.h"

namespace tunalyx {

namespace {

using Fields = std::vector<std::string_view>;

std::optional<int> intField(std::string_view field, long low, long high) {
    const auto v = parseFieldInteger(field);
    if (!v || *v < low || *v > high) return std::nullopt;
    return static_cast<int>(*v);
}

constexpr long kIntMin = std::numeric_limits<int>::min();
constexpr long kIntMax = std::numeric_limits<int>::max();

std::optional<int> blockField(std::string_view field) {
    return intField(field, 0, 255);
}
std::optional<int> posField(std::string_view field) {
    return intField(field, 1, kIntMax);
}
std::optional<int> anyIntField(std::string_view field) {
    return intField(field, kIntMin, kIntMax);
}

// The block,pos,x layout shared by check boxes, bit check boxes and labels.
struct Triple {
    int block, pos, third;
};
std::optional<Triple> parseTriple(std::string_view tag, long thirdLow) {
    const Fields f = splitFields(tag);
    if (f.size() != 3) return std::nullopt;
    const auto block = blockField(f[0]);
    const auto pos = posField(f[1]);
    const auto third = intField(f[2], thirdLow, kIntMax);
    if (!block || !pos || !third) return std::nullopt;
    return Triple{*block, *pos, *third};
}

}  // namespace

std::vector<std::string_view> splitFields(std::string_view text, char separator) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t at = text.find(separator);
        fields.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return fields;
        text.remove_prefix(at + 1);
    }
}

std::optional<ParamDescriptor> parseParamDescriptor(std::string_view tag) {
    const Fields f = splitFields(tag);
    if (f.size() != 6) return std::nullopt;
    const auto block = blockField(f[0]);
    const auto pos = posField(f[1]);
    const auto type = anyIntField(f[2]);
    const auto scale = parseFieldNumber(f[3]);
    const auto offset = parseFieldNumber(f[4]);
    if (!block || !pos || !type || !scale || !offset || *scale == 0) return std::nullopt;
    return ParamDescriptor{*block, *pos, *type, *scale, *offset, std::string(f[5])};
}

std::optional<CheckDescriptor> parseCheckDescriptor(std::string_view tag) {
    const auto t = parseTriple(tag, kIntMin);
    if (!t) return std::nullopt;
    return CheckDescriptor{t->block, t->pos, t->third};
}

std::optional<BitDescriptor> parseBitDescriptor(std::string_view tag) {
    const auto t = parseTriple(tag, kIntMin);
    if (!t) return std::nullopt;
    return BitDescriptor{t->block, t->pos, t->third};
}

std::optional<OptionDescriptor> parseOptionDescriptor(std::string_view tag) {
    const Fields f = splitFields(tag);
    if (f.size() != 4) return std::nullopt;
    const auto block = blockField(f[0]);
    const auto pos = posField(f[1]);
    const auto value = anyIntField(f[2]);
    const auto mask = anyIntField(f[3]);
    if (!block || !pos || !value || !mask) return std::nullopt;
    return OptionDescriptor{*block, *pos, *value, *mask};
}

std::optional<LabelDescriptor> parseLabelDescriptor(std::string_view tag) {
    const auto t = parseTriple(tag, 0);
    if (!t) return std::nullopt;
    return LabelDescriptor{t->block, t->pos, t->third};
}

std::optional<BlockDescriptor> parseBlockDescriptor(std::string_view tag) {
    const Fields f = splitFields(tag);
    if (f.size() % 2 != 0) return std::nullopt;
    BlockDescriptor d;
    for (std::size_t i = 0; i < f.size(); i += 2) {
        const auto block = blockField(f[i]);
        const auto length = intField(f[i + 1], 0, 255);
        if (!block || !length) return std::nullopt;
        d.blocks.push_back(
            ListedBlock{static_cast<std::uint8_t>(*block), static_cast<std::uint8_t>(*length)});
    }
    return d;
}

}  // namespace tunalyx
