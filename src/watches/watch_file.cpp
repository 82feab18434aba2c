#include "watches/watch_file.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "model/number_format.h"
#include "ports/whole_file.h"

namespace tunalyx {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr const char* kOpenError = "Error Opening Watch File";

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

// A whole number by the leading-number rule, held to a range no key of the file goes beyond.
long long wholeNumber(std::string_view text) {
    const double v = std::clamp(leadingNumber(text), -4294967296.0, 4294967296.0);
    return std::llround(v);
}

bool truth(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower == "true" || (lower != "false" && leadingNumber(text) != 0);
}

// The reading of one file: the watch the lines are about, the version lines seen so far and the
// group of the item being read.
class WatchFileReader {
public:
    WatchFileReader(WatchSet& watches, const TraceItems& items, WatchFileVersion version,
                    UserPrompts& prompts)
        : m_watches(watches), m_items(items), m_version(version), m_prompts(prompts) {}

    // Nothing while reading goes on; the outcome once it stops.
    std::optional<WatchFileOutcome> apply(std::string_view key, std::string_view value) {
        WatchSettings& w = m_watches[static_cast<std::size_t>(m_watch)];
        if (key == "VerName") {
            m_fileName = value;
        } else if (key == "VerNumber") {
            m_fileNumber = value;
        } else if (key == "Watchs") {
            if (m_fileName != m_version.VerName || m_fileNumber != m_version.VerNumber) {
                const MessageAnswer a = m_prompts.showMessage(
                    "The Watch File does not match the current PFC version.\n"
                    "Some items may not match. Do you want to proceed?",
                    MessageIcon::None, MessageButtons::YesNo);
                if (a != MessageAnswer::Yes) return WatchFileOutcome::Declined;
            }
        } else if (key == "WatchID") {
            const long long id = wholeNumber(value);
            if (id < 0 || id >= kWatchCount) return fail();
            m_watch = static_cast<int>(id);
        } else if (key == "Left") {
            w.Left = leadingNumber(value);
        } else if (key == "Top") {
            w.Top = leadingNumber(value);
        } else if (key == "Height") {
            w.Height = leadingNumber(value);
        } else if (key == "Width") {
            w.Width = leadingNumber(value);
        } else if (key == "Caption") {
            w.Caption = value;
        } else if (key == "BackColour") {
            w.BackColour = static_cast<std::uint32_t>(wholeNumber(value));
        } else if (key == "Colours") {
            w.Colours = clampColours(wholeNumber(value));
        } else if (const int band = numbered(key, "Colour", 5); band >= 0) {
            w.Colour[static_cast<std::size_t>(band)] =
                static_cast<std::uint32_t>(wholeNumber(value));
        } else if (const int limit = numbered(key, "MaxValue", 4); limit >= 0) {
            w.MaxValue[static_cast<std::size_t>(limit)] = leadingNumber(value);
        } else if (key == "ItemIndex") {
            const long long item = wholeNumber(value);
            if (item < 0 || item >= kTraceItemCount) return fail();
            w.ItemIndex = static_cast<int>(item);
        } else if (key == "ItemGroup") {
            m_group = wholeNumber(value);
        } else if (key == "ItemGroupIndex") {
            const long long index = wholeNumber(value);
            if (m_group < 0 || m_group >= kTraceGroupCount || index < 0 ||
                index >= kTraceGroupSlots)
                return fail();
            w.ItemIndex = m_items.TraceLookup[m_group][index];
        } else if (key == "ItemName") {
            findByName(w.ItemIndex, value);
        } else if (key == "Visible") {
            w.Visible = truth(value);
        } else if (key == "FontName") {
            w.FontName = value;
        } else if (key == "FontBold") {
            w.FontBold = truth(value);
        } else if (key == "FontItalic") {
            w.FontItalic = truth(value);
        } else if (key == "FontSize") {
            w.FontSize = leadingNumber(value);
        } else if (key == "DecimalPlaces") {
            w.DecimalPlaces = clampDecimalPlaces(wholeNumber(value));
        }
        return std::nullopt;
    }

    WatchFileOutcome fail() {
        m_prompts.tell(kOpenError, MessageIcon::Critical);
        return WatchFileOutcome::Failed;
    }

private:
    // "Colour3" -> 2 for prefix "Colour" and count 5; -1 for any other key.
    static int numbered(std::string_view key, std::string_view prefix, int count) {
        if (key.size() != prefix.size() + 1 || !key.starts_with(prefix)) return -1;
        const int n = key.back() - '1';
        return n >= 0 && n < count ? n : -1;
    }

    // The name wins over the number when this version's table has the item elsewhere in the
    // same group.
    void findByName(int& itemIndex, std::string_view name) {
        if (m_items.TraceName[static_cast<std::size_t>(itemIndex)] == name) return;
        if (const auto found = m_items.findInGroup(m_group, name))
            itemIndex = *found;
        else
            m_prompts.tell("Item " + std::string(name) + " not found.", MessageIcon::Critical);
    }

    WatchSet& m_watches;
    const TraceItems& m_items;
    WatchFileVersion m_version;
    UserPrompts& m_prompts;
    std::string m_fileName;
    std::string m_fileNumber;
    int m_watch = 0;
    long long m_group = 0;  // none read yet counts as group 0
};

}  // namespace

std::string watchFileText(const WatchSet& watches, const TraceItems& items,
                          WatchFileVersion version) {
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
                          WatchFileVersion version, FileWriter& writer, const std::string& path) {
    return writer.writeWhole(path, watchFileText(watches, items, version));
}

WatchFileOutcome applyWatchFileText(std::string_view text, WatchSet& watches,
                                    const TraceItems& items, WatchFileVersion version,
                                    UserPrompts& prompts) {
    WatchFileReader reader(watches, items, version, prompts);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view row = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
        if (row.empty()) return reader.fail();
        const std::size_t tab = row.find('\t');
        const std::string_view key = row.substr(0, tab);
        std::string_view value;
        if (tab != std::string_view::npos) {
            value = row.substr(tab + 1);
            value = value.substr(0, value.find('\t'));
        }
        if (const auto stop = reader.apply(key, value)) return *stop;
    }
    return WatchFileOutcome::Loaded;
}

WatchFileOutcome openWatchFile(const std::string& path, WatchSet& watches, const TraceItems& items,
                               WatchFileVersion version, UserPrompts& prompts) {
    const WholeFile file = readWholeFile(path, kLargestWatchFile);
    if (file.problem != WholeFile::Problem::None) {
        prompts.tell(kOpenError, MessageIcon::Critical);
        return WatchFileOutcome::Failed;
    }
    return applyWatchFileText(file.contents, watches, items, version, prompts);
}

}  // namespace tunalyx
