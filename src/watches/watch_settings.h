#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "ports/settings_store.h"

namespace tunalyx {

inline constexpr int kWatchCount = 10;
// Colours are 0x00BBGGRR, or a system colour with the top bit set: this one is the face of a
// push button, the back colour a fresh watch takes.
inline constexpr std::uint32_t kButtonFaceColour = 0x8000000F;
inline constexpr const char* kWatchDesignFont = "Comic Sans MS";

// Everything that makes one watch: its window (placement in twips, caption, back colour,
// visibility), the item it shows, its colour bands and the value label's font.
struct WatchSettings {
    double Left = 0;
    double Top = 0;
    double Height = 800;
    double Width = 1500;
    std::string Caption;
    std::uint32_t BackColour = kButtonFaceColour;
    int Colours = 1;  // bands in use, 1..5
    std::array<std::uint32_t, 5> Colour{};
    std::array<double, 4> MaxValue{};  // upper limits of bands 1..4
    int ItemIndex = 0;
    std::string FontName = kWatchDesignFont;
    bool FontBold = false;
    bool FontItalic = false;
    double FontSize = 20;
    int DecimalPlaces = 0;
    bool Visible = false;

    bool operator==(const WatchSettings&) const = default;
};

using WatchSet = std::array<WatchSettings, kWatchCount>;

// Watch i as a first start has it: hidden, cascaded i x 100 twips from the corner, captioned
// "Watch " and its number with a leading blank.
[[nodiscard]] WatchSettings defaultWatch(int i);

// The ten watches from the settings store ("Watch0Left" .. "Watch9Visible"); a key that is
// missing or holds no number gives its default.
[[nodiscard]] WatchSet loadWatches(const SettingsStore& store);
// Writes them back, numbers as plain decimal text and colours as signed 32-bit numbers.
void saveWatches(SettingsStore& store, const WatchSet& watches);

// The folder watch files are opened from and saved to.
[[nodiscard]] std::string watchFilePath(const SettingsStore& store,
                                        const std::string& programFolder);
void rememberWatchFilePath(SettingsStore& store, const std::string& chosenPath);

// Colours as the files and the store write them: system colours come out negative.
[[nodiscard]] inline std::int32_t signedColour(std::uint32_t colour) {
    return static_cast<std::int32_t>(colour);
}
// A watch's window in twips: its place on the desktop and its size.
struct WatchPlace {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;

    bool operator==(const WatchPlace&) const = default;
};
// The place a watch takes within a screen's free area: no more than half the area either way, so
// that the rest of the desktop stays in reach, and moved onto it where it would stand off it,
// even in part. A place that is no number goes to the area's corner.
[[nodiscard]] WatchPlace heldOnScreen(WatchPlace place, const WatchPlace& area);

// The font sizes a watch shows its value in, whatever a file, the store or the font dialog says.
inline constexpr double kSmallestWatchFontSize = 4;
inline constexpr double kLargestWatchFontSize = 144;
[[nodiscard]] double heldFontSize(double points);

// The band and decimal counts a watch can show: 1..5 bands, 0..9 decimals.
[[nodiscard]] int clampColours(long long colours);
[[nodiscard]] int clampDecimalPlaces(long long places);

}  // namespace tunalyx
