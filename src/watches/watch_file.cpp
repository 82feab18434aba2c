#include "watches/watch_file.h"

#include <algorithm>

#include "model/number_format.h"
#include "ports/whole_file.h"

namespace tunalyx {

namespace {

void line(std::string& out, std::string_view key, std::string_view value) {
    out += key;
    out += '\t';
    out += value;
    out += kLineEnd;
}

void line(std::string& out, std::string_view key, double value) {
    line(out, key, keyFileNumber(value));
}

void flagLine(std::string& out, std::string_view key, bool value) {
    line(out, key, value ? "True" : "False");
}

constexpr KeyFileKind kWatchFileKind{
    "Error Opening Watch File",
    "watches",
    "Watchs",
    "The Watch File does not match the current PFC version.\n"
    "Some items may not match. Do you want to proceed?",
    MessageIcon::None,
    "ItemGroup",
    "ItemGroupIndex",
    "ItemName",
    0,  // an index before any group is one of group 0
};

// "Colour3" -> 2 for prefix "Colour" and count 5; -1 for any other key.
int numbered(std::string_view key, std::string_view prefix, int count) {
    if (key.size() != prefix.size() + 1 || !key.starts_with(prefix)) return -1;
    const int n = key.back() - '1';
    return n >= 0 && n < count ? n : -1;
}

// The file's own keys, read into a copy of the watches so that nothing of a file that stops
// part way reaches them.
class WatchRecords final : public KeyFileRecords {
public:
    explicit WatchRecords(const WatchSet& watches) : m_watches(watches) {}

    bool apply(std::string_view key, const KeyFileValue& v) override {
        WatchSettings& w = m_watches[static_cast<std::size_t>(m_watch)];
        if (key == "Watchs") {
            // The count of visible watches only marks where the version is checked.
        } else if (key == "WatchID") {
            m_watch = v.whole(0, kWatchCount - 1);
        } else if (key == "Left") {
            w.Left = v.number();
        } else if (key == "Top") {
            w.Top = v.number();
        } else if (key == "Height") {
            w.Height = v.number();
        } else if (key == "Width") {
            w.Width = v.number();
        } else if (key == "Caption") {
            w.Caption = v.text();
        } else if (key == "BackColour") {
            w.BackColour = v.colour();
        } else if (key == "Colours") {
            w.Colours = v.whole(1, 5);
        } else if (const int band = numbered(key, "Colour", 5); band >= 0) {
            w.Colour[static_cast<std::size_t>(band)] = v.colour();
        } else if (const int limit = numbered(key, "MaxValue", 4); limit >= 0) {
            w.MaxValue[static_cast<std::size_t>(limit)] = v.number();
        } else if (key == "ItemIndex") {
            w.ItemIndex = v.whole(0, kTraceItemCount - 1);
        } else if (key == "Visible") {
            w.Visible = v.flag();
        } else if (key == "FontName") {
            w.FontName = v.text();
        } else if (key == "FontBold") {
            w.FontBold = v.flag();
        } else if (key == "FontItalic") {
            w.FontItalic = v.flag();
        } else if (key == "FontSize") {
            w.FontSize = v.number();
        } else if (key == "DecimalPlaces") {
            w.DecimalPlaces = v.whole(0, 9);
        } else {
            return false;
        }
        return true;
    }

    [[nodiscard]] int item() const override {
        return m_watches[static_cast<std::size_t>(m_watch)].ItemIndex;
    }
    void setItem(int item) override {
        m_watches[static_cast<std::size_t>(m_watch)].ItemIndex = item;
    }

    [[nodiscard]] const WatchSet& watches() const { return m_watches; }

private:
    WatchSet m_watches;
    int m_watch = 0;
};

}  // namespace

std::string watchFileText(const WatchSet& watches, const TraceItems& items,
                          SetupFileVersion version) {
    std::string out;
    out += kWatchFileHeader;
    out += kLineEnd;
    line(out, "VerName", version.VerName);
    line(out, "VerNumber", version.VerNumber);
    const auto visible = std::count_if(watches.begin(), watches.end(),
                                       [](const WatchSettings& w) { return w.Visible; });
    line(out, "Watchs", static_cast<double>(visible));
    for (int i = 0; i < kWatchCount; ++i) {
        const WatchSettings& w = watches[static_cast<std::size_t>(i)];
        const auto item = static_cast<std::size_t>(std::clamp(w.ItemIndex, 0, kTraceItemCount - 1));
        line(out, "WatchID", static_cast<double>(i));
        line(out, "Left", w.Left);
        line(out, "Top", w.Top);
        line(out, "Height", w.Height);
        line(out, "Width", w.Width);
        line(out, "Caption", w.Caption);
        line(out, "BackColour", static_cast<double>(signedColour(w.BackColour)));
        line(out, "Colours", static_cast<double>(w.Colours));
        for (std::size_t k = 0; k < w.Colour.size(); ++k)
            line(out, "Colour" + std::to_string(k + 1),
                 static_cast<double>(signedColour(w.Colour[k])));
        for (std::size_t k = 0; k < w.MaxValue.size(); ++k)
            line(out, "MaxValue" + std::to_string(k + 1), w.MaxValue[k]);
        line(out, "ItemIndex", static_cast<double>(item));
        line(out, "ItemGroup", static_cast<double>(items.TraceGroup[item]));
        line(out, "ItemGroupIndex", static_cast<double>(items.TraceGroupIndex[item]));
        line(out, "ItemName", items.TraceName[item]);
        flagLine(out, "Visible", w.Visible);
        line(out, "FontName", w.FontName);
        flagLine(out, "FontBold", w.FontBold);
        flagLine(out, "FontItalic", w.FontItalic);
        line(out, "FontSize", w.FontSize);
        line(out, "DecimalPlaces", static_cast<double>(w.DecimalPlaces));
    }
    return out;
}

std::string saveWatchFile(const WatchSet& watches, const TraceItems& items,
                          SetupFileVersion version, FileWriter& writer, const std::string& path) {
    return writer.writeWhole(path, watchFileText(watches, items, version));
}

KeyFileOutcome applyWatchFileText(std::string_view text, WatchSet& watches, const TraceItems& items,
                                  SetupFileVersion version, UserPrompts& prompts) {
    WatchRecords records(watches);
    const KeyFileOutcome outcome =
        readKeyFile(text, kWatchFileKind, items, version, records, prompts);
    if (outcome == KeyFileOutcome::Loaded) watches = records.watches();
    return outcome;
}

KeyFileOutcome openWatchFile(const std::string& path, WatchSet& watches, const TraceItems& items,
                             SetupFileVersion version, UserPrompts& prompts) {
    WatchRecords records(watches);
    const KeyFileOutcome outcome =
        openKeyFile(path, kLargestWatchFile, kWatchFileKind, items, version, records, prompts);
    if (outcome == KeyFileOutcome::Loaded) watches = records.watches();
    return outcome;
}

}  // namespace tunalyx
