// Every Tag parser, picked by the first byte; the rest is the Tag, and after a line feed the text
// a user enters. A Tag that parses is decoded and written through the codec against an image
// whose slots have every length, so each bounds check meets slots too short for it.
#include <cstdlib>

#include "curves/curve_edit.h"
#include "fuzz_doubles.h"
#include "maps/map_grids.h"
#include "model/descriptors.h"
#include "model/settings_codec.h"

using namespace tunalyx;

namespace {

// A curve of more points than any screen shows is not worth the memory of reading it.
constexpr int kLargestCurve = 4096;

const PacketImage& imageOfEveryLength() {
    static const PacketImage image = [] {
        PacketImage im;
        for (int b = 0; b < PacketImage::kSlotCount; ++b)
            for (int i = 0; i < b; ++i)
                im[static_cast<std::uint8_t>(b)].push_back(static_cast<std::uint8_t>(b * 7 + i));
        return im;
    }();
    return image;
}

bool isBlock(int b) {
    return b >= 0 && b < PacketImage::kSlotCount;
}

void checkCurve(std::string_view tag, std::string_view entered, PacketImage& image,
                PacketDirty& dirty) {
    const auto d = parseCurveDescriptor(tag);
    if (!d) return;
    if (d->count < 1 || !isBlock(d->y.block) || d->y.scale == 0) std::abort();
    if (d->x.constant ? d->x.values.empty() : !isBlock(d->x.block) || d->x.scale == 0) std::abort();
    if (d->count > kLargestCurve) return;

    CurveEdit edit;
    if (!edit.DisplayCurve(tag, image, false)) std::abort();
    if (edit.XVal().size() != static_cast<std::size_t>(d->count)) std::abort();
    const NumberLocale locale;
    const double x = parseUserNumber(entered, locale).value_or(0);
    (void)edit.pointText(x, x, locale);
    edit.dropPoint(0, x, x);
    edit.dropPoint(d->count - 1, x, -x);
    SettingsCodec codec(image, dirty);
    edit.writeBack(codec);
}

void checkMap(std::string_view tag) {
    const auto d = parseMapDescriptor(tag);
    if (!d) return;
    if (d->width != 1 && d->width != 2) std::abort();
    for (int row = 1; row <= kMapRows; ++row)
        for (int col = 1; col <= kMapCols; ++col) {
            const CellAddress at = cellAddress(*d, row, col);
            if (at.block < d->block || at.byte < 1 || at.byte + d->width - 1 > 100) std::abort();
        }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view rest = fuzz::textOf(data + 1, size - 1);
    const std::size_t newline = rest.find('\n');
    const std::string_view tag = rest.substr(0, newline);
    const std::string_view entered =
        newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);

    PacketImage image = imageOfEveryLength();
    PacketDirty dirty;
    SettingsCodec codec(image, dirty);

    switch (data[0] % 8) {
        case 0:
            if (const auto d = parseParamDescriptor(tag)) {
                if (!isBlock(d->block) || d->pos < 1 || d->scale == 0) std::abort();
                (void)codec.DisplayData(tag);
                codec.UpdateData(tag, entered);
                (void)codec.DisplayData(tag);
            }
            break;
        case 1:
            if (const auto d = parseCheckDescriptor(tag)) {
                if (!isBlock(d->block) || d->pos < 1) std::abort();
                const bool on = codec.IsSettingChecked(tag);
                codec.SetSettingCheck(tag, on ? 0 : 1);
                (void)codec.redisplayedState(ControlKind::Check, tag, on);
            }
            break;
        case 2:
            if (const auto d = parseBitDescriptor(tag)) {
                if (!isBlock(d->block) || d->pos < 1) std::abort();
                const bool on = codec.IsSettingBitSet(tag);
                codec.SetSettingBit(tag, on ? 0 : 1);
                (void)codec.redisplayedState(ControlKind::CheckBit, tag, on);
            }
            break;
        case 3:
            if (const auto d = parseOptionDescriptor(tag)) {
                if (!isBlock(d->block) || d->pos < 1) std::abort();
                const bool on = codec.IsOptionSelected(tag);
                (void)codec.redisplayedState(ControlKind::Option, tag, !on);
                codec.SetSettingOption(tag);
            }
            break;
        case 4:
            if (const auto d = parseLabelDescriptor(tag)) {
                if (!isBlock(d->block) || d->pos < 1 || d->length < 0) std::abort();
                if (codec.SettingText(tag).size() > static_cast<std::size_t>(d->length))
                    std::abort();
            }
            break;
        case 5:
            if (const auto d = parseBlockDescriptor(tag)) {
                if (d->blocks.empty()) std::abort();
            }
            break;
        case 6:
            checkCurve(tag, entered, image, dirty);
            break;
        case 7:
            checkMap(tag);
            break;
    }
    return 0;
}
