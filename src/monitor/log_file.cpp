#include "monitor/log_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "model/descriptors.h"
#include "monitor/live_decode.h"
#include "ports/whole_file.h"

namespace tunalyx {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kTimeHeader = "Time(S)";
constexpr std::string_view kCsvTimeHeader = "Time (s)";
constexpr std::array<std::string_view, 2> kMapNames = {"MAPN", "MAPP"};
constexpr int kSensorVoltages = 8;  // Sensor/Sw items 0..7; the switch bits follow
constexpr int kTimeDecimals = 3;
constexpr int kNoPoint = -1;  // a format without "." keeps no decimals and no point

// Fixed-point text of the largest double: 309 digits, a sign and a point.
constexpr std::size_t kTextBuffer = 400;

// The shortest fixed-point text that reads back as the value, as a sign and the digits without
// a leading zero before the point (".25"). Values the monitor held in single precision are
// written as that single, so a voltage of 1.234 stays 1.234 and is not cut from the
// 1.2339999675750732 its double spells out. A value the file cannot carry is written as 0.
struct ShortText {
    bool negative = false;
    std::string_view digits;
    char buf[kTextBuffer];

    ShortText(const ShortText&) = delete;  // `digits` points into `buf`
    ShortText& operator=(const ShortText&) = delete;
    explicit ShortText(double value) {
        if (!std::isfinite(value) || value == 0) {  // also -0
            buf[0] = '0';
            digits = std::string_view(buf, 1);
            return;
        }
        negative = value < 0;
        const double magnitude = std::fabs(value);
        const bool single = magnitude <= std::numeric_limits<float>::max() &&
                            static_cast<double>(static_cast<float>(magnitude)) == magnitude;
        const std::to_chars_result res =
            single ? std::to_chars(buf, buf + kTextBuffer, static_cast<float>(magnitude),
                                   std::chars_format::fixed)
                   : std::to_chars(buf, buf + kTextBuffer, magnitude, std::chars_format::fixed);
        digits = std::string_view(buf, static_cast<std::size_t>(res.ptr - buf));
        if (digits.size() >= 2 && digits[0] == '0' && digits[1] == '.') digits.remove_prefix(1);
    }
};

// Truncates to `decimals` places (kNoPoint: the whole part alone).
void appendTruncated(std::string& out, double value, int decimals) {
    const ShortText t(value);
    const std::size_t point = t.digits.find('.');
    const std::string_view whole = t.digits.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : t.digits.substr(point + 1);
    if (decimals == kNoPoint) {
        // Below 1 the cut leaves no digit at all; a field of "0" says the same to every reader
        // and no blank cell or lone "-" reaches a spreadsheet.
        if (whole.empty()) {
            out += '0';
            return;
        }
        if (t.negative) out += '-';
        out += whole;
        return;
    }
    if (t.negative) out += '-';
    out += whole;
    out += '.';
    const std::size_t wanted = static_cast<std::size_t>(decimals);
    const std::size_t kept = std::min(wanted, fraction.size());
    out += fraction.substr(0, kept);
    out.append(wanted - kept, '0');
}

void appendNumberForm(std::string& out, double value) {
    const ShortText t(value);
    out += t.negative ? '-' : ' ';
    out += t.digits;
    out += ' ';
}

int formatDecimals(std::string_view format) {
    const std::size_t point = format.find('.');
    if (point == std::string_view::npos) return kNoPoint;
    return static_cast<int>(format.size() - point - 1);
}

enum class ValueForm { Truncated, Number };

struct LogColumn {
    std::string_view name;
    int item;
    ValueForm form;
    int decimals;
};

std::string_view displayFormat(int item) {
    const std::vector<std::string_view> fields = splitFields(traceDescriptor(item));
    return fields.size() == 6 ? fields[5] : std::string_view();
}

// The columns after the time, in file order, of the included groups.
std::vector<LogColumn> logColumns(const LogStore& store, const TraceItems& items) {
    std::vector<LogColumn> columns;
    for (int group : kPollOrder) {
        if (!store.IncludeGroup[static_cast<std::size_t>(group)]) continue;
        for (int i = 0; i < kGroupItemCount[static_cast<std::size_t>(group)]; ++i) {
            const int item = items.lookup(group, i);
            LogColumn c{items.TraceName[static_cast<std::size_t>(item)], item, ValueForm::Truncated,
                        kNoPoint};
            switch (group) {
                case kGroupBasic:
                case kGroupAdvanced:
                    c.decimals = formatDecimals(displayFormat(item));
                    break;
                case kGroupSensor:
                    if (i < kSensorVoltages)
                        c.decimals = 2;
                    else
                        c.form = ValueForm::Number;
                    break;
                case kGroupAux:
                    c.decimals = 3;
                    break;
                case kGroupMap:
                    c.name = kMapNames[static_cast<std::size_t>(i)];
                    c.form = ValueForm::Number;
                    break;
                default:
                    break;
            }
            columns.push_back(c);
        }
    }
    return columns;
}

int lastSample(const LogStore& store) {
    return std::clamp(store.LogLast, 0, LogStore::kSamples - 1);
}

// Lines end with LF or CR LF; text after the last line end is a line only when not empty.
class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}

    bool next(std::string_view& line) {
        if (m_text.empty()) return false;
        const void* found = std::memchr(m_text.data(), '\n', m_text.size());
        std::size_t length = m_text.size();
        std::size_t consumed = length;
        if (found != nullptr) {
            length = static_cast<std::size_t>(static_cast<const char*>(found) - m_text.data());
            consumed = length + 1;
        }
        line = m_text.substr(0, length);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        m_text.remove_prefix(consumed);
        return true;
    }

private:
    std::string_view m_text;
};

std::int32_t millisecondsOf(double seconds) {
    // Ties go to even, as everywhere the program rounds.
    const double ms = std::nearbyint(seconds * 1000.0);
    constexpr double kLow = std::numeric_limits<std::int32_t>::min();
    constexpr double kHigh = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(ms, kLow, kHigh));
}

struct ColumnTarget {
    int column;
    int item;
};

// Where each group's items are read from: the columns of the groups found in the header (sorted,
// so a row is read in one pass) and the items of the groups that are absent.
struct ReadPlan {
    std::vector<ColumnTarget> targets;
    std::vector<int> absentItems;
};

ReadPlan planFromHeader(std::string_view header, LogStore& store, const TraceItems& items) {
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
                                   ? fields[j] == kMapNames[0]
                                   : fields[j] == name(group, 0) && fields[j + 1] == name(group, 1);
            if (found) at = static_cast<int>(j);
        }
    }

    ReadPlan plan;
    for (int group = 0; group < kTraceGroupCount; ++group) {
        const int at = start[static_cast<std::size_t>(group)];
        store.IncludeGroup[static_cast<std::size_t>(group)] = at != 0;
        for (int i = 0; i < kGroupItemCount[static_cast<std::size_t>(group)]; ++i) {
            const int item = items.lookup(group, i);
            if (at != 0)
                plan.targets.push_back({at + i, item});
            else
                plan.absentItems.push_back(item);
        }
    }
    std::stable_sort(
        plan.targets.begin(), plan.targets.end(),
        [](const ColumnTarget& a, const ColumnTarget& b) { return a.column < b.column; });
    return plan;
}

void readRow(std::string_view line, int sample, const ReadPlan& plan, LogStore& store) {
    auto target = plan.targets.begin();
    const auto targetsEnd = plan.targets.end();
    int column = 0;
    for (;;) {
        const std::size_t tab = line.find('\t');
        const std::string_view field = line.substr(0, tab);
        if (column == 0) {
            store.setLogTime(sample, millisecondsOf(leadingNumber(field)));
        } else if (target != targetsEnd && target->column == column) {
            const double value = leadingNumber(field);
            for (; target != targetsEnd && target->column == column; ++target)
                store.setLogData(target->item, sample, value);
        }
        if (tab == std::string_view::npos || target == targetsEnd) break;
        line.remove_prefix(tab + 1);
        ++column;
    }
    // A short row leaves its last columns at 0.
    for (; target != targetsEnd; ++target)
        store.setLogData(target->item, sample, 0.0);
    for (int item : plan.absentItems)
        store.setLogData(item, sample, 0.0);
}

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// The whole file, or nothing after a message; the size is checked before anything is read.
std::optional<std::string> readLogContents(UserPrompts& prompts, const std::string& path,
                                           const std::string& shownName) {
    return readWholeFile(
        prompts, path, kLargestLogFile,
        {"Error opening " + shownName, shownName + " is too large to be an SR20DET Log File",
         "Error reading " + shownName});
}

// Full precision for other tools: the shortest text that reads back as the value (as a single
// for values held in single precision), with the leading zero spreadsheets expect.
void appendCsvNumber(std::string& out, double value) {
    if (value == 0) value = 0;  // no "-0"
    char buf[64];
    const double magnitude = std::fabs(value);
    const bool single = std::isfinite(value) && magnitude <= std::numeric_limits<float>::max() &&
                        static_cast<double>(static_cast<float>(value)) == value;
    const std::to_chars_result res =
        single ? std::to_chars(buf, buf + sizeof buf, static_cast<float>(value))
               : std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr);
}

void appendSeconds(std::string& out, std::int32_t ms) {
    const std::int64_t wide = ms;
    const std::int64_t magnitude = wide < 0 ? -wide : wide;
    char buf[32];
    const int n = std::snprintf(buf, sizeof buf, "%s%lld.%03lld", wide < 0 ? "-" : "",
                                static_cast<long long>(magnitude / 1000),
                                static_cast<long long>(magnitude % 1000));
    out.append(buf, static_cast<std::size_t>(std::max(n, 0)));
}

// RFC 4180: a name with a separator, quote or line break, or with blanks at its ends (an aux
// input without a name leaves "AN1 "), is quoted so that it comes back as it was.
void appendCsvName(std::string& out, std::string_view name) {
    const bool quote = name.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!name.empty() && (name.front() == ' ' || name.back() == ' ' ||
                                          name.front() == '\t' || name.back() == '\t'));
    if (!quote) {
        out += name;
        return;
    }
    out += '"';
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

std::string FormatTruncated(double value, std::string_view format) {
    std::string out;
    appendTruncated(out, value, formatDecimals(format));
    return out;
}

std::string logNumberForm(double value) {
    std::string out;
    appendNumberForm(out, value);
    return out;
}

std::string logFileText(const LogStore& store, const TraceItems& items) {
    const std::vector<LogColumn> columns = logColumns(store, items);
    const int last = lastSample(store);
    std::string text;
    text.reserve(static_cast<std::size_t>(last + 3) * (columns.size() * 7 + 12));
    text += kLogFileHeader;
    text += kLineEnd;
    text += kTimeHeader;
    text += '\t';
    for (const LogColumn& c : columns) {
        text += c.name;
        text += '\t';
    }
    text += kLineEnd;
    for (int s = 0; s <= last; ++s) {
        appendTruncated(text, store.LogTime(s) / 1000.0, kTimeDecimals);
        text += '\t';
        for (const LogColumn& c : columns) {
            const double value = store.LogData(c.item, s);
            if (c.form == ValueForm::Number)
                appendNumberForm(text, value);
            else
                appendTruncated(text, value, c.decimals);
            text += '\t';
        }
        text += kLineEnd;
    }
    return text;
}

bool logHasGroups(const LogStore& store) {
    return std::any_of(store.IncludeGroup.begin(), store.IncludeGroup.end(),
                       [](bool included) { return included; });
}

std::string saveLogFile(LogStore& store, const TraceItems& items, FileWriter& writer,
                        const std::string& path) {
    if (!logHasGroups(store)) return "The log includes no group, so there is nothing to save.";
    std::string error = writer.writeWhole(path, logFileText(store, items));
    if (error.empty()) store.LogUnsaved = false;
    return error;
}

LogReadResult readLogText(std::string_view text, LogStore& store, const TraceItems& items) {
    // An editor may have put a UTF-8 byte-order mark before the first line; it is no text.
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    LineReader lines(text);
    std::string_view line;
    if (!lines.next(line) || line != kLogFileHeader) return {};

    std::string_view header;
    if (!lines.next(header)) header = {};
    const ReadPlan plan = planFromHeader(header, store, items);

    LogReadResult result;
    result.isLogFile = true;
    int rows = 0;
    while (lines.next(line)) {
        if (rows < LogStore::kMaxRunSamples) readRow(line, rows, plan, store);
        ++rows;
    }
    // A file without rows still leaves one valid sample, all zero, as an empty run does.
    if (rows == 0) readRow({}, 0, plan, store);
    result.rowsInFile = rows;
    store.LogLast = std::max(0, std::min(rows, LogStore::kMaxRunSamples) - 1);
    store.LogUnsaved = false;
    return result;
}

bool openLogFile(LogStore& store, const TraceItems& items, UserPrompts& prompts,
                 const std::string& path, const std::string& shownName) {
    const std::optional<std::string> contents = readLogContents(prompts, path, shownName);
    if (!contents) return false;
    const LogReadResult result = readLogText(*contents, store, items);
    if (!result.isLogFile) {
        prompts.tell("This is not a SR20DET Log File", MessageIcon::Critical);
        return false;
    }
    if (result.cut())
        prompts.tell(shownName + " holds " + std::to_string(result.rowsInFile) +
                         " samples; only the first " + std::to_string(LogStore::kMaxRunSamples) +
                         " were opened.",
                     MessageIcon::Exclamation);
    return true;
}

std::string logCsvText(const LogStore& store, const TraceItems& items) {
    const std::vector<LogColumn> columns = logColumns(store, items);
    const int last = lastSample(store);
    std::string text;
    text.reserve(static_cast<std::size_t>(last + 2) * (columns.size() * 8 + 12));
    text += kCsvTimeHeader;
    for (const LogColumn& c : columns) {
        text += ',';
        appendCsvName(text, c.name);
    }
    text += '\n';
    for (int s = 0; s <= last; ++s) {
        appendSeconds(text, store.LogTime(s));
        for (const LogColumn& c : columns) {
            text += ',';
            appendCsvNumber(text, store.LogData(c.item, s));
        }
        text += '\n';
    }
    return text;
}

std::optional<std::string> logTextAsCsv(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    LineReader lines(text);
    std::string_view line;
    if (!lines.next(line) || line != kLogFileHeader) return std::nullopt;
    std::string csv;
    csv.reserve(text.size());
    std::string_view header;
    lines.next(header);
    std::vector<std::string_view> names = splitFields(header, '\t');
    // Every field ends with a TAB, so the last one is empty; the first is the time.
    if (!names.empty() && names.back().empty()) names.pop_back();
    const std::size_t columns = names.size();
    csv += kCsvTimeHeader;
    for (std::size_t c = 1; c < columns; ++c) {
        csv += ',';
        appendCsvName(csv, names[c]);
    }
    csv += '\n';
    while (lines.next(line)) {
        const std::vector<std::string_view> fields = splitFields(line, '\t');
        const auto field = [&](std::size_t c) {
            return c < fields.size() ? leadingNumber(fields[c]) : 0.0;
        };
        appendSeconds(csv, millisecondsOf(field(0)));
        for (std::size_t c = 1; c < columns; ++c) {
            csv += ',';
            appendCsvNumber(csv, field(c));
        }
        csv += '\n';
    }
    return csv;
}

bool exportLogCsv(const std::string& logPath, const std::string& csvPath, UserPrompts& prompts,
                  FileWriter& writer) {
    const std::string shownName = fileName(logPath);
    const std::optional<std::string> contents = readLogContents(prompts, logPath, shownName);
    if (!contents) return false;
    const std::optional<std::string> csv = logTextAsCsv(*contents);
    if (!csv) {
        prompts.tell("This is not a SR20DET Log File", MessageIcon::Critical);
        return false;
    }
    const std::string error = writer.writeWhole(csvPath, *csv);
    if (!error.empty()) {
        prompts.tell(error, MessageIcon::Critical);
        return false;
    }
    return true;
}

std::string logPath(const SettingsStore& store, const std::string& programFolder) {
    return store.folder("LogPath", programFolder, "Logs");
}

void rememberLogPath(SettingsStore& store, const std::string& chosenPath) {
    store.rememberFolderOf("LogPath", chosenPath);
}

std::string defaultLogName(const std::tm& when) {
    const int year = when.tm_year + 1900;
    const bool writable = year >= 0 && year <= 9999 && when.tm_mon >= 0 && when.tm_mon <= 11 &&
                          when.tm_mday >= 1 && when.tm_mday <= 31 && when.tm_hour >= 0 &&
                          when.tm_hour <= 23 && when.tm_min >= 0 && when.tm_min <= 59;
    if (!writable) return "Log1.txt";
    char buf[64];  // the ranges above need 22; room for any int keeps compilers quiet
    std::snprintf(buf, sizeof buf, "Log_%04d%02d%02d_%02d%02d.txt", year, when.tm_mon + 1,
                  when.tm_mday, when.tm_hour, when.tm_min);
    return buf;
}

std::string defaultLogName() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    const bool ok = now != static_cast<std::time_t>(-1) && localtime_s(&local, &now) == 0;
#else
    const bool ok = now != static_cast<std::time_t>(-1) && localtime_r(&now, &local) != nullptr;
#endif
    return ok ? defaultLogName(local) : "Log1.txt";
}

}  // namespace tunalyx
