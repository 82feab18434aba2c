#include "monitor/log_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "model/descriptors.h"
#include "model/number_format.h"
#include "monitor/live_decode.h"
#include "monitor/log_writer.h"
#include "ports/whole_file.h"

namespace tunalyx {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct ColumnTarget {
    int column;
    int item;
};

// Where each group's items are read from: the columns of the groups found in the header and
// the items of the groups that are absent.
struct ReadPlan {
    std::array<bool, kTraceGroupCount> include{};
    std::vector<ColumnTarget> targets;
    std::vector<int> absentItems;
    std::string unknownHeading;

    [[nodiscard]] bool anyGroup() const {
        return std::any_of(include.begin(), include.end(), [](bool on) { return on; });
    }
};

ReadPlan planFromHeader(std::string_view header, const TraceItems& items) {
    const std::vector<std::string_view> fields = splitFields(header, '\t');
    std::array<int, kTraceGroupCount> start{};
    const auto name = [&](int group, int index) -> std::string_view {
        return items.TraceName[static_cast<std::size_t>(items.lookup(group, index))];
    };
    // Column 0 is the time whatever its heading says, so a group starts at column 1 or later.
    for (std::size_t j = 1; j + 1 < fields.size(); ++j) {
        for (int group : kPollOrder) {
            int& at = start[static_cast<std::size_t>(group)];
            if (at != 0) continue;  // the first occurrence wins
            const bool found = group == kGroupMap
                                   ? fields[j] == kLogMapNames[0]
                                   : fields[j] == name(group, 0) && fields[j + 1] == name(group, 1);
            if (found) at = static_cast<int>(j);
        }
    }

    ReadPlan plan;
    std::vector<bool> claimed(fields.size(), false);
    for (int group = 0; group < kTraceGroupCount; ++group) {
        const int at = start[static_cast<std::size_t>(group)];
        plan.include[static_cast<std::size_t>(group)] = at != 0;
        for (int i = 0; i < kGroupItemCount[static_cast<std::size_t>(group)]; ++i) {
            const int item = items.lookup(group, i);
            if (at == 0) {
                plan.absentItems.push_back(item);
                continue;
            }
            plan.targets.push_back({at + i, item});
            if (static_cast<std::size_t>(at + i) < claimed.size())
                claimed[static_cast<std::size_t>(at + i)] = true;
        }
    }
    // Headings outside the groups found that are no item of this layout at all: the log was
    // taken under another version's names.
    const auto isItemName = [&](std::string_view heading) {
        return heading == kLogMapNames[0] || heading == kLogMapNames[1] ||
               std::find(items.TraceName.begin(), items.TraceName.end(), heading) !=
                   items.TraceName.end();
    };
    for (std::size_t j = 1; j < fields.size() && plan.unknownHeading.empty(); ++j)
        if (!claimed[j] && !fields[j].empty() && !isItemName(fields[j]))
            plan.unknownHeading = std::string(fields[j]);
    return plan;
}

void storeRow(const std::vector<double>& values, int sample, const ReadPlan& plan,
              LogStore& store) {
    const auto value = [&](int column) {
        return static_cast<std::size_t>(column) < values.size()
                   ? values[static_cast<std::size_t>(column)]
                   : 0.0;
    };
    store.setLogTime(sample, logMilliseconds(value(0)));
    for (const ColumnTarget& t : plan.targets)
        store.setLogData(t.item, sample, value(t.column));
    for (int item : plan.absentItems)
        store.setLogData(item, sample, 0.0);
}

}  // namespace

LogLines::LogLines(std::string_view text) {
    // An editor may have put a UTF-8 byte-order mark before the first line; it is no text.
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    const std::size_t last = text.find_last_not_of("\r\n");
    const std::size_t end = last == std::string_view::npos ? 0 : last + 1;
    m_endsWithLineEnd = text.find('\n', end) != std::string_view::npos;
    m_rest = text.substr(0, end);

    std::string_view first;
    if (!nextLine(first) || first != kLogFileHeader) return;
    m_isLogFile = true;
    nextLine(m_header);
    const std::vector<std::string_view> headings = splitFields(m_header, '\t');
    m_numeric.resize(headings.size());
    for (std::size_t j = 0; j < headings.size(); ++j)
        m_numeric[j] = j == 0 || !headings[j].empty();
    if (m_numeric.empty()) m_numeric.push_back(true);  // the time, even without headings
}

bool LogLines::nextLine(std::string_view& line) {
    if (m_rest.empty()) return false;
    const void* found = std::memchr(m_rest.data(), '\n', m_rest.size());
    std::size_t length = m_rest.size();
    std::size_t consumed = length;
    if (found != nullptr) {
        length = static_cast<std::size_t>(static_cast<const char*>(found) - m_rest.data());
        consumed = length + 1;
    }
    line = m_rest.substr(0, length);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    m_rest.remove_prefix(consumed);
    ++m_line;
    return true;
}

bool LogLines::nextRow(std::vector<double>& values) {
    std::string_view line;
    if (!m_isLogFile || !nextLine(line)) return false;
    const std::size_t headings = m_numeric.size();
    values.assign(headings, 0.0);
    std::size_t fields = 0;
    bool unreadable = false;
    for (;;) {
        const std::size_t tab = line.find('\t');
        const std::string_view field = line.substr(0, tab);
        if (m_numeric[fields]) {
            if (const auto v = wholeLeadingNumber(field)) {
                values[fields] = *v;
            } else {
                values[fields] = leadingNumber(field);
                unreadable = true;
            }
        }
        ++fields;
        if (tab == std::string_view::npos || fields == headings) break;
        line.remove_prefix(tab + 1);
    }
    // A row the file ends in the middle of has not reached its last TAB.
    if (m_rest.empty() && !m_endsWithLineEnd && fields < headings) {
        m_damage.cutLine = m_line;
        return false;
    }
    bool missing = false;
    for (std::size_t j = fields; j < headings && !missing; ++j)
        missing = m_numeric[j];
    if (missing || unreadable) {
        if (m_damage.firstDamagedLine == 0) m_damage.firstDamagedLine = m_line;
        ++m_damage.damagedLines;
    }
    return true;
}

std::int32_t logMilliseconds(double seconds) {
    // Ties go to even, as everywhere the program rounds.
    const double ms = std::nearbyint(seconds * 1000.0);
    constexpr double kLow = std::numeric_limits<std::int32_t>::min();
    constexpr double kHigh = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(ms, kLow, kHigh));
}

LogReadResult readLogText(std::string_view text, LogStore& store, const TraceItems& items) {
    LogLines lines(text);
    LogReadResult result;
    if (!lines.isLogFile()) return result;
    result.isLogFile = true;
    const ReadPlan plan = planFromHeader(lines.header(), items);
    result.unknownHeading = plan.unknownHeading;
    if (!plan.anyGroup()) return result;
    result.hasItems = true;

    store.IncludeGroup = plan.include;
    std::vector<double> values;
    int rows = 0;
    while (lines.nextRow(values)) {
        if (rows < LogStore::kMaxRunSamples) storeRow(values, rows, plan, store);
        ++rows;
    }
    // A file without rows still leaves one valid sample, all zero, as an empty run does.
    if (rows == 0) storeRow({}, 0, plan, store);
    result.rowsInFile = rows;
    result.damage = lines.damage();
    store.LogLast = std::max(0, std::min(rows, LogStore::kMaxRunSamples) - 1);
    store.LogUnsaved = false;
    return result;
}

std::optional<std::string> readLogContents(UserPrompts& prompts, const std::string& path,
                                           const std::string& shownName) {
    return readWholeFile(
        prompts, path, kLargestLogFile,
        {"Error opening " + shownName, shownName + " is too large to be an SR20DET Log File",
         "Error reading " + shownName});
}

void tellLogDamage(UserPrompts& prompts, const LogDamage& damage, const std::string& shownName) {
    if (const int line = damage.firstDamagedLine; line != 0) {
        const int more = damage.damagedLines - 1;
        prompts.tell(more == 0 ? "Line " + std::to_string(line) + " of " + shownName +
                                     " is not a whole row of numbers; what cannot be read in it "
                                     "shows as 0."
                               : "Line " + std::to_string(line) + " of " + shownName + " and " +
                                     std::to_string(more) + (more == 1 ? " line" : " lines") +
                                     " after it are not whole rows of numbers; what cannot be "
                                     "read in them shows as 0.",
                     MessageIcon::Exclamation);
    }
    if (damage.cutLine != 0)
        prompts.tell("The last line of " + shownName + ", line " + std::to_string(damage.cutLine) +
                         ", ends in the middle of a row; that sample was left out.",
                     MessageIcon::Exclamation);
}

bool openLogFile(LogStore& store, const TraceItems& items, UserPrompts& prompts,
                 const std::string& path, const std::string& shownName) {
    const std::optional<std::string> contents = readLogContents(prompts, path, shownName);
    return contents && openLogContents(store, items, prompts, *contents, shownName);
}

bool openLogContents(LogStore& store, const TraceItems& items, UserPrompts& prompts,
                     std::string_view contents, const std::string& shownName) {
    const LogReadResult result = readLogText(contents, store, items);
    if (!result.isLogFile) {
        prompts.tell("This is not a SR20DET Log File", MessageIcon::Critical);
        return false;
    }
    const std::string unknown = "Line 2 of " + shownName + " names \"" + result.unknownHeading +
                                "\", which is no item of this version: the log was taken under "
                                "another version's layout";
    if (!result.hasItems) {
        prompts.tell(result.unknownHeading.empty()
                         ? "Line 2 of " + shownName +
                               " names no whole group of items, so the log holds nothing to show."
                         : unknown + " and cannot be shown.",
                     MessageIcon::Critical);
        return false;
    }
    if (!result.unknownHeading.empty())
        prompts.tell(unknown + ", and the group of that column is left out.",
                     MessageIcon::Exclamation);
    tellLogDamage(prompts, result.damage, shownName);
    if (result.cut())
        prompts.tell(shownName + " holds " + std::to_string(result.rowsInFile) +
                         " samples; only the first " + std::to_string(LogStore::kMaxRunSamples) +
                         " were opened.",
                     MessageIcon::Exclamation);
    return true;
}

}  // namespace tunalyx
