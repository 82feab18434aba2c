#include "model/key_value_file.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "model/number_format.h"
#include "ports/whole_file.h"

namespace tunalyx {

namespace {

// Why a line stops the reading; the reader adds the line number.
struct LineProblem {
    std::string what;
};

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

// A value as the message shows it: without the blanks around it, and only the start of a long
// damaged line.
std::string quoted(std::string_view text) {
    constexpr std::size_t kShown = 40;
    text = trimmed(text);
    if (text.size() <= kShown) return "\"" + std::string(text) + "\"";
    return "\"" + std::string(text.substr(0, kShown)) + "...\"";
}

[[noreturn]] void refuse(std::string_view key, std::string_view text, std::string_view need) {
    throw LineProblem{"gives " + std::string(key) + " as " + quoted(text) + ", " +
                      std::string(need)};
}

// Whether the leading-number rule finds any digit at all: a sign may come first and a point
// before the first digit, with blanks anywhere.
bool hasLeadingNumber(std::string_view text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i != std::string_view::npos && (text[i] == '-' || text[i] == '+')) ++i;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (text[i] == ' ') continue;
        if (text[i] == '.' && !point) {
            point = true;
            continue;
        }
        return std::isdigit(static_cast<unsigned char>(text[i])) != 0;
    }
    return false;
}

// The text without blanks around it, in lower case.
std::string lowerWord(std::string_view text) {
    std::string s(trimmed(text));
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

long long roundedWithin(const KeyFileValue& value, std::string_view key, double low, double high,
                        std::string_view need) {
    const double v = std::round(value.number());
    if (v < low || v > high) refuse(key, value.text(), need);
    return static_cast<long long>(v);
}

// One reading of one file: the version lines met so far, the group of the item being read, and
// whether any line set something (the version lines alone set nothing).
class KeyFileReader {
public:
    KeyFileReader(const KeyFileKind& kind, const TraceItems& items, SetupFileVersion version,
                  KeyFileRecords& records, UserPrompts& prompts)
        : m_kind(kind),
          m_items(items),
          m_version(version),
          m_records(records),
          m_prompts(prompts),
          m_group(kind.noGroup) {}

    // False when the user declined a file of another version.
    bool apply(std::string_view key, const KeyFileValue& value) {
        if (key == "VerName") {
            m_fileName = value.text();
            return true;
        }
        if (key == "VerNumber") {
            m_fileNumber = value.text();
            return true;
        }
        if (key == m_kind.groupKey) {
            m_group = value.whole(0, kTraceGroupCount - 1);
        } else if (key == m_kind.groupIndexKey) {
            const int index = value.whole(0, kTraceGroupSlots - 1);
            // Another version's slot may not exist in this table: the item's number then stands.
            if (inTable(index)) m_records.setItem(m_items.lookup(m_group, index));
        } else if (key == m_kind.itemNameKey) {
            findByName(value.text());
        } else {
            if (key == m_kind.versionKey && !versionAccepted()) return false;
            if (!m_records.apply(key, value)) return true;
        }
        m_setAnything = true;
        return true;
    }

    [[nodiscard]] bool setAnything() const { return m_setAnything; }

private:
    bool versionAccepted() {
        if (m_fileName == m_version.VerName && m_fileNumber == m_version.VerNumber) return true;
        return m_prompts.showMessage(std::string(m_kind.versionQuestion), m_kind.questionIcon,
                                     MessageButtons::YesNo) == MessageAnswer::Yes;
    }

    [[nodiscard]] bool inTable(int index) const {
        for (std::size_t i = 0; i < kTraceItemCount; ++i)
            if (m_items.TraceGroup[i] == m_group && m_items.TraceGroupIndex[i] == index)
                return true;
        return false;
    }

    // The name wins over the number when this version's table has the item elsewhere in the
    // same group.
    void findByName(std::string_view name) {
        const int item = m_records.item();
        if (item >= 0 && item < kTraceItemCount &&
            m_items.TraceName[static_cast<std::size_t>(item)] == name)
            return;
        if (const auto found = m_items.findInGroup(m_group, name))
            m_records.setItem(*found);
        else
            m_prompts.tell("Item " + std::string(name) + " not found.", MessageIcon::Critical);
    }

    const KeyFileKind& m_kind;
    const TraceItems& m_items;
    SetupFileVersion m_version;
    KeyFileRecords& m_records;
    UserPrompts& m_prompts;
    std::string m_fileName;
    std::string m_fileNumber;
    int m_group;
    bool m_setAnything = false;
};

}  // namespace

double KeyFileValue::number() const {
    if (!hasLeadingNumber(m_text)) refuse(m_key, m_text, "which is not a number");
    const double v = leadingNumber(m_text);
    if (!std::isfinite(v)) refuse(m_key, m_text, "which is too large a number");
    return v;
}

int KeyFileValue::whole(int low, int high) const {
    return static_cast<int>(roundedWithin(*this, m_key, low, high,
                                          "which must be a whole number from " +
                                              std::to_string(low) + " to " + std::to_string(high)));
}

std::uint32_t KeyFileValue::colour() const {
    return static_cast<std::uint32_t>(
        roundedWithin(*this, m_key, std::numeric_limits<std::int32_t>::min(),
                      std::numeric_limits<std::uint32_t>::max(), "which is not a colour"));
}

bool KeyFileValue::flag() const {
    const std::string word = lowerWord(m_text);
    if (word == "true") return true;
    if (word == "false") return false;
    if (!hasLeadingNumber(m_text)) refuse(m_key, m_text, "which is neither True nor False");
    return number() != 0;
}

KeyFileOutcome readKeyFile(std::string_view text, const KeyFileKind& kind, const TraceItems& items,
                           SetupFileVersion version, KeyFileRecords& records,
                           UserPrompts& prompts) {
    KeyFileReader reader(kind, items, version, records, prompts);
    const auto fail = [&](const std::string& why) {
        prompts.tell(std::string(kind.openError) + "\n" + why + " Nothing was changed.",
                     MessageIcon::Critical);
        return KeyFileOutcome::Failed;
    };
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view row = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
        const std::string at = "Line " + std::to_string(lineNumber);
        if (row.empty()) return fail(at + " is empty.");
        // The value ends at the next TAB, so a caption holding one is cut there; a line without
        // a TAB is a key with an empty value.
        const std::size_t tab = row.find('\t');
        const std::string_view key = row.substr(0, tab);
        std::string_view value;
        if (tab != std::string_view::npos) {
            value = row.substr(tab + 1);
            value = value.substr(0, value.find('\t'));
        }
        try {
            if (!reader.apply(key, KeyFileValue(key, value))) return KeyFileOutcome::Declined;
        } catch (const LineProblem& problem) {
            return fail(at + " " + problem.what + ".");
        }
    }
    if (!reader.setAnything()) return fail("The file holds no " + std::string(kind.holds) + ".");
    return KeyFileOutcome::Loaded;
}

KeyFileOutcome openKeyFile(const std::string& path, std::uintmax_t largest, const KeyFileKind& kind,
                           const TraceItems& items, SetupFileVersion version,
                           KeyFileRecords& records, UserPrompts& prompts) {
    const WholeFile file = readWholeFile(path, largest);
    if (file.problem != WholeFile::Problem::None) {
        prompts.tell(std::string(kind.openError), MessageIcon::Critical);
        return KeyFileOutcome::Failed;
    }
    return readKeyFile(file.contents, kind, items, version, records, prompts);
}

}  // namespace tunalyx
