#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "model/number_format.h"
#include "model/packet_image.h"
#include "model/settings_table.h"

namespace tunalyx {

// Decodes and encodes the settings controls' Tag descriptors against the packet image. An
// encoder writes only bytes that change; each write sets the block's changed flag and calls
// onChange (the window's UpdateEnable). A descriptor that cannot be applied changes nothing:
// decoders give the empty text or false.
// A long label text folded into lines of `width` characters for a label box.
[[nodiscard]] std::string foldText(std::string_view text, std::size_t width);

class SettingsCodec {
public:
    SettingsCodec(PacketImage& image, PacketDirty& dirty) : m_image(image), m_dirty(dirty) {}

    void setLocale(const NumberLocale& locale) { m_locale = locale; }
    [[nodiscard]] const NumberLocale& locale() const { return m_locale; }
    // Called after every change of a byte of the image through this codec.
    std::function<void()> onChange;

    // Text boxes: the display text of a numeric descriptor, empty if it cannot be decoded.
    [[nodiscard]] std::string DisplayData(std::string_view tag) const;
    // Encodes an entered text; true when bytes changed.
    bool UpdateData(std::string_view tag, std::string_view text);

    [[nodiscard]] bool IsSettingChecked(std::string_view tag) const;
    [[nodiscard]] bool IsSettingBitSet(std::string_view tag) const;
    [[nodiscard]] bool IsOptionSelected(std::string_view tag) const;
    [[nodiscard]] std::string SettingText(std::string_view tag) const;

    // checkValue is 0 (cleared) or 1 (checked). Each returns true when the byte changed.
    bool SetSettingCheck(std::string_view tag, int checkValue);
    bool SetSettingBit(std::string_view tag, int checkValue);
    bool SetSettingOption(std::string_view tag);

    // The tuner string: padded with blanks or cut to 8 characters, it becomes the whole of
    // slot 0xAD, which is flagged even when nothing changed.
    void setTunerString(std::string_view text);
    [[nodiscard]] std::string tunerString() const;

    // Redisplay of a check box, bit check box or option button that shows `shown`: the state it
    // must show now. Setting a control that changes its state raises its click event, so the
    // encoder runs then: a byte holding neither of a check box's values is rewritten (and its
    // block flagged), and a newly selected option writes its whole byte.
    bool redisplayedState(ControlKind kind, std::string_view tag, bool shown);

private:
    bool writeBytes(int block, int pos, const Bytes& bytes);

    PacketImage& m_image;
    PacketDirty& m_dirty;
    NumberLocale m_locale;
};

}  // namespace tunalyx
