#include "monitor/log_csv.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "model/descriptors.h"
#include "model/number_format.h"
#include "monitor/log_reader.h"
#include "monitor/log_writer.h"
#include "monitor/sample_source.h"

namespace tunalyx {

namespace {

constexpr std::string_view kCsvTimeHeader = "Time (s)";

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

// The math items that can be computed from the source, each a whole column.
struct MathColumns {
    std::vector<std::string> names;
    std::vector<std::vector<double>> values;

    MathColumns(const DerivedItems* derived, const SampleSource& source) {
        const auto* math = dynamic_cast<const MathItems*>(derived);
        for (int k = 0; derived && k < derived->count(); ++k) {
            if (!derived->available(source, k)) continue;
            names.push_back(derived->name(k));
            if (math) {
                values.push_back(math->evaluateAll(source, k));
                continue;
            }
            std::vector<double>& column = values.emplace_back();
            for (int s = 0; s < source.sampleCount(); ++s)
                column.push_back(derived->value(source, k, s));
        }
    }
    void appendNames(std::string& out) const {
        for (const std::string& name : names) {
            out += ',';
            appendCsvName(out, name);
        }
    }
    // A value that cannot be computed is left empty: "nan" would read as text elsewhere.
    void appendRow(std::string& out, std::size_t row) const {
        for (const std::vector<double>& column : values) {
            out += ',';
            if (row < column.size() && !std::isnan(column[row]))
                out += shortestDecimal(column[row]);
        }
    }
};

// The heading line: the time, the log's columns, then the math items.
void appendHeader(std::string& out, const std::vector<LogColumn>& columns,
                  const MathColumns& extra) {
    out += kCsvTimeHeader;
    for (const LogColumn& c : columns) {
        out += ',';
        appendCsvName(out, c.name);
    }
    extra.appendNames(out);
    out += '\n';
}

}  // namespace

std::string logCsvText(const LogStore& store, const TraceItems& items, const DerivedItems* math) {
    const std::vector<LogColumn> columns = logColumns(store, items);
    const MathColumns extra(math, LogStoreSource(store));
    const int last = std::clamp(store.LogLast, 0, LogStore::kSamples - 1);
    std::string text;
    text.reserve(static_cast<std::size_t>(last + 2) * (columns.size() * 8 + 12));
    appendHeader(text, columns, extra);
    for (int s = 0; s <= last; ++s) {
        appendSeconds(text, store.LogTime(s));
        for (const LogColumn& c : columns) {
            text += ',';
            text += shortestDecimal(store.LogData(c.item, s), c.precision);
        }
        extra.appendRow(text, static_cast<std::size_t>(s));
        text += '\n';
    }
    return text;
}

std::string samplesCsvText(const SampleSource& source, const TraceItems& items,
                           const DerivedItems* math, Precision held) {
    std::array<bool, kTraceGroupCount> include{};
    for (int item = 0; item < kTraceItemCount; ++item)
        if (source.hasItem(item))
            include[static_cast<std::size_t>(items.TraceGroup[static_cast<std::size_t>(item)])] =
                true;
    const std::vector<LogColumn> columns = logColumns(include, items);
    const MathColumns extra(math, source);
    std::string text;
    appendHeader(text, columns, extra);
    for (int s = 0; s < source.sampleCount(); ++s) {
        appendSeconds(text, logMilliseconds(source.timeSeconds(s)));
        for (const LogColumn& c : columns) {
            text += ',';
            const double v = source.value(c.item, s);
            if (!std::isnan(v))
                text += shortestDecimal(v, held == Precision::Single ? held : c.precision);
        }
        extra.appendRow(text, static_cast<std::size_t>(s));
        text += '\n';
    }
    return text;
}

std::optional<LogCsv> logTextAsCsv(std::string_view text, const DerivedItems* math,
                                   const TraceItems& items) {
    LogLines lines(text);
    if (!lines.isLogFile()) return std::nullopt;
    // The math items read the items as the program reads the log; the rows are the same rows.
    const auto store = std::make_unique<LogStore>();
    if (math) (void)readLogText(text, *store, items);
    const MathColumns extra(math, LogStoreSource(*store));
    LogCsv csv;
    csv.text.reserve(text.size());
    std::vector<std::string_view> names = splitFields(lines.header(), '\t');
    // Every field ends with a TAB, so the last one is empty; the first is the time.
    if (!names.empty() && names.back().empty()) names.pop_back();
    const std::size_t columns = names.size();
    csv.text += kCsvTimeHeader;
    for (std::size_t c = 1; c < columns; ++c) {
        csv.text += ',';
        appendCsvName(csv.text, names[c]);
    }
    extra.appendNames(csv.text);
    csv.text += '\n';
    std::vector<double> values;
    for (std::size_t row = 0; lines.nextRow(values); ++row) {
        appendSeconds(csv.text, logMilliseconds(values[0]));
        // The file's text was short; the double it reads as writes it back as it stood.
        for (std::size_t c = 1; c < columns; ++c) {
            csv.text += ',';
            csv.text += shortestDecimal(c < values.size() ? values[c] : 0.0);
        }
        extra.appendRow(csv.text, row);
        csv.text += '\n';
    }
    csv.damage = lines.damage();
    return csv;
}

bool exportLogCsv(const std::string& logPath, const std::string& csvPath, UserPrompts& prompts,
                  FileWriter& writer, const DerivedItems* math, const TraceItems& items) {
    const std::string shownName = std::filesystem::path(logPath).filename().string();
    const std::optional<std::string> contents = readLogContents(prompts, logPath, shownName);
    if (!contents) return false;
    const std::optional<LogCsv> csv = logTextAsCsv(*contents, math, items);
    if (!csv) {
        prompts.tell("This is not a SR20DET Log File", MessageIcon::Critical);
        return false;
    }
    tellLogDamage(prompts, csv->damage, shownName);
    const std::string error = writer.writeWhole(csvPath, csv->text);
    if (!error.empty()) {
        prompts.tell(error, MessageIcon::Critical);
        return false;
    }
    return true;
}

}  // namespace tunalyx
