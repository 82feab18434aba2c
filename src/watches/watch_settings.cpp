#include "watches/watch_settings.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "model/number_format.h"

namespace tunalyx {

namespace {

std::string key(int i, const std::string& name) {
    return "Watch" + std::to_string(i) + name;
}

// A stored number, or nothing when the key is missing or its text holds no number at all.
std::optional<double> storedNumber(const SettingsStore& store, const std::string& key) {
    const auto text = store.value(key);
    if (!text || !parseUserNumber(*text, NumberLocale{})) return std::nullopt;
    return *parseUserNumber(*text, NumberLocale{});
}

double number(const SettingsStore& store, const std::string& key, double fallback) {
    return storedNumber(store, key).value_or(fallback);
}

long long whole(const SettingsStore& store, const std::string& key, long long fallback) {
    const auto v = storedNumber(store, key);
    return v ? std::llround(*v) : fallback;
}

std::uint32_t colour(const SettingsStore& store, const std::string& key, std::uint32_t fallback) {
    const long long v = whole(store, key, signedColour(fallback));
    return static_cast<std::uint32_t>(v);
}

std::string plain(double v) {
    return formatValue(v, "", NumberLocale{});
}

}  // namespace

int clampColours(long long colours) {
    return static_cast<int>(std::clamp<long long>(colours, 1, 5));
}

int clampDecimalPlaces(long long places) {
    return static_cast<int>(std::clamp<long long>(places, 0, 9));
}

WatchPlace heldOnScreen(WatchPlace place, const WatchPlace& area) {
    const auto held = [](double v, double low, double high, double otherwise) {
        return std::isfinite(v) ? std::clamp(v, low, std::max(low, high)) : otherwise;
    };
    place.width = held(place.width, 0, area.width / 2, 0);
    place.height = held(place.height, 0, area.height / 2, 0);
    place.left = held(place.left, area.left, area.left + area.width - place.width, area.left);
    place.top = held(place.top, area.top, area.top + area.height - place.height, area.top);
    return place;
}

double heldFontSize(double points) {
    if (std::isnan(points)) return kSmallestWatchFontSize;
    return std::clamp(points, kSmallestWatchFontSize, kLargestWatchFontSize);
}

WatchSettings defaultWatch(int i) {
    WatchSettings w;
    w.Left = i * 100;
    w.Top = i * 100;
    w.Caption = "Watch  " + std::to_string(i + 1);
    return w;
}

WatchSet loadWatches(const SettingsStore& store) {
    WatchSet set;
    for (int i = 0; i < kWatchCount; ++i) {
        const WatchSettings d = defaultWatch(i);
        WatchSettings& w = set[static_cast<std::size_t>(i)];
        w.Left = number(store, key(i, "Left"), d.Left);
        w.Top = number(store, key(i, "Top"), d.Top);
        w.Height = number(store, key(i, "Height"), d.Height);
        w.Width = number(store, key(i, "Width"), d.Width);
        w.Caption = store.text(key(i, "Caption"), d.Caption);
        w.BackColour = colour(store, key(i, "BackColour"), d.BackColour);
        w.Colours = clampColours(whole(store, key(i, "Colours"), d.Colours));
        for (std::size_t k = 0; k < w.Colour.size(); ++k)
            w.Colour[k] = colour(store, key(i, "Colour" + std::to_string(k + 1)), 0);
        for (std::size_t k = 0; k < w.MaxValue.size(); ++k)
            w.MaxValue[k] = number(store, key(i, "MaxValue" + std::to_string(k + 1)), 0);
        w.ItemIndex = static_cast<int>(
            std::clamp<long long>(whole(store, key(i, "ItemIndex"), d.ItemIndex), 0, 63));
        w.FontName = store.text(key(i, "FontName"), d.FontName);
        w.FontBold = store.boolean(key(i, "FontBold"), d.FontBold);
        w.FontItalic = store.boolean(key(i, "FontItalic"), d.FontItalic);
        w.FontSize = number(store, key(i, "FontSize"), d.FontSize);
        w.DecimalPlaces = clampDecimalPlaces(whole(store, key(i, "DecimalPlaces"), 0));
        w.Visible = store.boolean(key(i, "Visible"), d.Visible);
    }
    return set;
}

void saveWatches(SettingsStore& store, const WatchSet& watches) {
    for (int i = 0; i < kWatchCount; ++i) {
        const WatchSettings& w = watches[static_cast<std::size_t>(i)];
        store.setValue(key(i, "Left"), plain(w.Left));
        store.setValue(key(i, "Top"), plain(w.Top));
        store.setValue(key(i, "Height"), plain(w.Height));
        store.setValue(key(i, "Width"), plain(w.Width));
        store.setValue(key(i, "Caption"), w.Caption);
        store.setInteger(key(i, "BackColour"), signedColour(w.BackColour));
        store.setInteger(key(i, "Colours"), w.Colours);
        for (std::size_t k = 0; k < w.Colour.size(); ++k)
            store.setInteger(key(i, "Colour" + std::to_string(k + 1)), signedColour(w.Colour[k]));
        for (std::size_t k = 0; k < w.MaxValue.size(); ++k)
            store.setValue(key(i, "MaxValue" + std::to_string(k + 1)), plain(w.MaxValue[k]));
        store.setInteger(key(i, "ItemIndex"), w.ItemIndex);
        store.setBoolean(key(i, "Visible"), w.Visible);
        store.setValue(key(i, "FontName"), w.FontName);
        store.setBoolean(key(i, "FontBold"), w.FontBold);
        store.setBoolean(key(i, "FontItalic"), w.FontItalic);
        store.setValue(key(i, "FontSize"), plain(w.FontSize));
        store.setInteger(key(i, "DecimalPlaces"), w.DecimalPlaces);
    }
}

std::string watchFilePath(const SettingsStore& store, const std::string& programFolder) {
    return store.folder("WatchFilePath", programFolder, "Watchs");
}

void rememberWatchFilePath(SettingsStore& store, const std::string& chosenPath) {
    store.rememberFolderOf("WatchFilePath", chosenPath);
}

}  // namespace tunalyx
