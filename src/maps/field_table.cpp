#include "maps/field_table.h"

#include <charconv>
#include <vector>

namespace tunalyx {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The values of a line: split at TABs and commas.
std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == '\t' || line[i] == ',') {
            fields.push_back(trimmed(line.substr(start, i - start)));
            start = i + 1;
        }
    }
    return fields;
}

}  // namespace

std::string fieldTableText(const MapField& field, std::string_view comment,
                           std::optional<int> decimals) {
    std::string out;
    std::size_t start = 0;
    while (start < comment.size()) {
        const std::size_t end = std::min(comment.find('\n', start), comment.size());
        out += "# " + std::string(comment.substr(start, end - start)) + "\n";
        start = end + 1;
    }
    for (const auto& row : field) {
        for (std::size_t col = 0; col < row.size(); ++col) {
            // Not printf: the user's locale must not turn the point into a comma.
            char cell[32];
            const auto end = decimals ? std::to_chars(cell, cell + sizeof cell, row[col],
                                                      std::chars_format::fixed, *decimals)
                                      : std::to_chars(cell, cell + sizeof cell, row[col]);
            out += (col == 0 ? "" : "\t") + std::string(cell, end.ptr);
        }
        out += "\n";
    }
    return out;
}

FieldTableRead readFieldTable(std::string_view text, const FieldValueCheck& valueProblem) {
    MapField field{};
    std::size_t rows = 0;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = trimmed(text.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (line.empty() || line.front() == '#') continue;
        const std::string where = "line " + std::to_string(lineNumber);
        if (rows == kMapAxisSize)
            return {std::nullopt, where + ": more than " + std::to_string(kMapAxisSize) + " rows"};
        const auto fields = fieldsOf(line);
        if (fields.size() != kMapAxisSize)
            return {std::nullopt, where + " has " + std::to_string(fields.size()) +
                                      " values, not " + std::to_string(kMapAxisSize)};
        for (std::size_t col = 0; col < fields.size(); ++col) {
            const std::string_view f = fields[col];
            double value = 0;
            const auto [at, ec] = std::from_chars(f.data(), f.data() + f.size(), value);
            const std::string problem = f.empty() || ec != std::errc() || at != f.data() + f.size()
                                            ? "'" + std::string(f) + "' is not a number"
                                        : valueProblem ? valueProblem(value, f)
                                                       : std::string();
            if (!problem.empty())
                return {std::nullopt,
                        where + ", value " + std::to_string(col + 1) + ": " + problem};
            field[rows][col] = value;
        }
        ++rows;
    }
    if (rows < kMapAxisSize)
        return {std::nullopt, "only " + std::to_string(rows) + " rows of values, not " +
                                  std::to_string(kMapAxisSize)};
    return {field, {}};
}

}  // namespace tunalyx
