#include "model/settings_codec.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

#include "model/descriptors.h"
#include "model/value_rule.h"

namespace tunalyx {

namespace {

constexpr std::uint8_t kTunerBlock = 0xAD;
constexpr std::size_t kTunerLength = 8;

const Bytes& slotOf(const PacketImage& image, int block) {
    return image[static_cast<std::uint8_t>(block)];
}

// The byte at 1-based pos; nullopt while the slot is too short (never read or loaded).
std::optional<std::uint8_t> byteAt(const Bytes& slot, int pos) {
    if (pos < 1 || static_cast<std::size_t>(pos) > slot.size()) return std::nullopt;
    return slot[static_cast<std::size_t>(pos) - 1];
}

std::optional<double> rawValue(const Bytes& slot, const ParamDescriptor& d) {
    switch (d.type) {
        case kTypeUnsigned8:
            if (const auto b = byteAt(slot, d.pos)) return *b;
            return std::nullopt;
        case kTypeSigned8:
            if (const auto b = byteAt(slot, d.pos)) return SignedByte(*b);
            return std::nullopt;
        case kTypeUnsigned16:
            if (const auto w = ReadWord(slot, static_cast<std::size_t>(d.pos))) return *w;
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

std::optional<Bytes> encodeRaw(int type, float x) {
    switch (type) {
        case kTypeUnsigned8:
            return Bytes{ClampByte(x)};
        case kTypeSigned8:
            return Bytes{static_cast<std::uint8_t>(ClampSignedByte(x) & 0xFF)};
        case kTypeUnsigned16: {
            const std::uint16_t w = ClampWord(x);
            return Bytes{static_cast<std::uint8_t>(w & 0xFF), static_cast<std::uint8_t>(w >> 8)};
        }
        default:
            return std::nullopt;
    }
}

}  // namespace

std::string SettingsCodec::DisplayData(std::string_view tag) const {
    const auto d = parseParamDescriptor(tag);
    if (!d) return {};
    const auto raw = rawValue(slotOf(m_image, d->block), *d);
    if (!raw) return {};
    return formatValue(*raw * d->scale + d->offset, d->format, m_locale);
}

bool SettingsCodec::UpdateData(std::string_view tag, std::string_view text) {
    const auto d = parseParamDescriptor(tag);
    if (!d) return false;
    const auto number = parseUserNumber(text, m_locale);
    if (!number) return false;
    const auto bytes = encodeRaw(d->type, toSingle((*number - d->offset) / d->scale));
    if (!bytes) return false;
    return writeBytes(d->block, d->pos, *bytes);
}

bool SettingsCodec::IsSettingChecked(std::string_view tag) const {
    const auto d = parseCheckDescriptor(tag);
    if (!d) return false;
    const auto b = byteAt(slotOf(m_image, d->block), d->pos);
    return b && *b == d->value;
}

bool SettingsCodec::IsSettingBitSet(std::string_view tag) const {
    const auto d = parseBitDescriptor(tag);
    if (!d) return false;
    const auto b = byteAt(slotOf(m_image, d->block), d->pos);
    return b && (*b & d->mask) != 0;
}

bool SettingsCodec::IsOptionSelected(std::string_view tag) const {
    const auto d = parseOptionDescriptor(tag);
    if (!d) return false;
    const auto b = byteAt(slotOf(m_image, d->block), d->pos);
    return b && (*b & d->mask) == d->value;
}

std::string SettingsCodec::SettingText(std::string_view tag) const {
    const auto d = parseLabelDescriptor(tag);
    if (!d) return {};
    // A label reaching past the end of its slot shows the bytes that exist.
    return textFromBytes(slotOf(m_image, d->block), static_cast<std::size_t>(d->pos) - 1,
                         static_cast<std::size_t>(d->length));
}

bool SettingsCodec::SetSettingCheck(std::string_view tag, int checkValue) {
    const auto d = parseCheckDescriptor(tag);
    if (!d) return false;
    // A value-0 box is an inverted flag: checked stores 0, cleared stores 255.
    const bool on = (d->value == 0) != (checkValue == 1);
    return writeBytes(d->block, d->pos, Bytes{static_cast<std::uint8_t>(on ? 255 : 0)});
}

bool SettingsCodec::SetSettingBit(std::string_view tag, int checkValue) {
    const auto d = parseBitDescriptor(tag);
    if (!d) return false;
    const auto b = byteAt(slotOf(m_image, d->block), d->pos);
    if (!b) return false;
    const int updated = checkValue == 1 ? (*b | d->mask) : (*b & ~d->mask);
    return writeBytes(d->block, d->pos, Bytes{static_cast<std::uint8_t>(updated & 0xFF)});
}

bool SettingsCodec::SetSettingOption(std::string_view tag) {
    const auto d = parseOptionDescriptor(tag);
    if (!d) return false;
    // The whole byte is written: bits outside the mask are cleared on purpose.
    return writeBytes(d->block, d->pos, Bytes{ClampByte(static_cast<float>(d->value))});
}

void SettingsCodec::setTunerString(std::string_view text) {
    std::string padded(text.substr(0, kTunerLength));
    padded.resize(kTunerLength, ' ');
    m_image[kTunerBlock] = bytesFromText(padded);
    // Flagged even when unchanged, so storing the string always sends it.
    m_dirty.set(kTunerBlock);
    if (onChange) onChange();
}

std::string SettingsCodec::tunerString() const {
    return textFromBytes(m_image[kTunerBlock], 0, kTunerLength);
}

bool SettingsCodec::redisplayedState(ControlKind kind, std::string_view tag, bool shown) {
    switch (kind) {
        case ControlKind::Check: {
            const bool on = IsSettingChecked(tag);
            if (on != shown) SetSettingCheck(tag, on ? 1 : 0);
            return on;
        }
        case ControlKind::CheckBit: {
            const bool on = IsSettingBitSet(tag);
            if (on != shown) SetSettingBit(tag, on ? 1 : 0);
            return on;
        }
        case ControlKind::Option: {
            const bool on = IsOptionSelected(tag);
            if (on && !shown) SetSettingOption(tag);
            return on;
        }
        default:
            return shown;
    }
}

std::string foldText(std::string_view text, std::size_t width) {
    if (width == 0) return std::string(text);
    std::string folded;
    for (std::size_t at = 0; at < text.size(); at += width) {
        if (at) folded.push_back('\n');
        folded.append(text.substr(at, width));
    }
    return folded;
}

bool SettingsCodec::writeBytes(int block, int pos, const Bytes& bytes) {
    Bytes& slot = m_image[static_cast<std::uint8_t>(block)];
    if (pos < 1 || static_cast<std::size_t>(pos) - 1 + bytes.size() > slot.size()) return false;
    const auto at = slot.begin() + (pos - 1);
    if (std::equal(bytes.begin(), bytes.end(), at)) return false;
    std::copy(bytes.begin(), bytes.end(), at);
    m_dirty.set(static_cast<std::uint8_t>(block));
    if (onChange) onChange();
    return true;
}

}  // namespace tunalyx
