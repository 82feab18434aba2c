#include "curves/curve_descriptor.h"

#include <limits>

#include "model/descriptors.h"
#include "model/number_format.h"
#include "model/value_rule.h"

namespace tunalyx {

namespace {

constexpr std::string_view kConstWord = "Const";
constexpr std::size_t kNumericFields = 7;
constexpr std::size_t kFirstConstValue = 7;

std::optional<int> intField(std::string_view field) {
    const auto v = parseFieldInteger(field);
    if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*v);
}

std::optional<CurveElement> parseNumeric(const std::vector<std::string_view>& f) {
    if (f.size() != kNumericFields) return std::nullopt;
    const auto block = intField(f[0]);
    const auto pos = intField(f[1]);
    const auto step = intField(f[2]);
    const auto type = intField(f[3]);
    const auto scale = parseFieldNumber(f[4]);
    const auto offset = parseFieldNumber(f[5]);
    if (!block || !pos || !step || !type || !scale || !offset) return std::nullopt;
    if (*block < 0 || *block > 255 || *scale == 0) return std::nullopt;
    CurveElement e;
    e.block = *block;
    e.pos = *pos;
    e.step = *step;
    e.type = *type;
    e.scale = *scale;
    e.offset = *offset;
    e.format = std::string(f[6]);
    return e;
}

std::optional<CurveElement> parseConstant(const std::vector<std::string_view>& f) {
    if (f.size() <= kFirstConstValue) return std::nullopt;
    CurveElement e;
    e.constant = true;
    e.format = std::string(f[6]);
    for (std::size_t i = kFirstConstValue; i < f.size(); ++i) {
        const auto v = parseFieldNumber(f[i]);
        if (!v) return std::nullopt;
        e.values.push_back(*v);
    }
    return e;
}

}  // namespace

double CurveElement::value(const PacketImage& image, int i) const {
    if (constant) {
        if (values.empty()) return 0;
        const auto at = static_cast<std::size_t>(i);
        return at < values.size() ? values[at] : values.back();
    }
    const std::int64_t p = position(i);
    if (p < 1) return 0;
    const Bytes& slot = image[static_cast<std::uint8_t>(block)];
    double raw = 0;
    if (type == kTypeUnsigned8) {
        if (static_cast<std::size_t>(p) > slot.size()) return 0;
        raw = slot[static_cast<std::size_t>(p) - 1];
    } else if (type == kTypeUnsigned16) {
        const auto word = ReadWord(slot, static_cast<std::size_t>(p));
        if (!word) return 0;
        raw = *word;
    } else {
        return 0;
    }
    return raw * scale + offset;
}

std::optional<CurveDescriptor> parseCurveDescriptor(std::string_view tag) {
    const auto parts = splitFields(tag, ';');
    if (parts.size() != 3) return std::nullopt;

    CurveDescriptor d;
    const auto head = splitFields(parts[0]);
    const auto count = intField(head[0]);
    if (!count || *count < 1) return std::nullopt;
    d.count = *count;
    for (std::size_t i = 1; i < head.size(); ++i) {
        if (head[i] == "LockX") d.lockX = true;
        if (head[i] == "LockY") d.lockY = true;
    }

    const auto xFields = splitFields(parts[1]);
    const auto x = xFields[0] == kConstWord ? parseConstant(xFields) : parseNumeric(xFields);
    const auto y = parseNumeric(splitFields(parts[2]));
    if (!x || !y) return std::nullopt;
    d.x = *x;
    d.y = *y;
    return d;
}

}  // namespace tunalyx
