#include "compare/comparison_lines.h"

#include <sstream>
#include <vector>

#include "ports/closed_serial_port.h"
#include "session/session.h"
#include "transfer/data_file.h"

namespace tunalyx {

namespace {

// The grids' own headings, or none when cells go by number.
struct Headings {
    std::vector<std::string> rows;
    std::vector<std::string> columns;
};

void printTable(const MapDifference& map, const Headings& headings, std::ostream& out) {
    out << mapTabCaption(map.grid) << "\n";
    const bool headed = !headings.rows.empty();
    if (headed) {
        for (const std::string& column : headings.columns)
            out << "\t" << column;
        out << "\n";
    }
    for (std::size_t r = 0; r < map.cells.size(); ++r) {
        const char* separator = "";
        if (headed) {
            out << headings.rows[r];
            separator = "\t";
        }
        for (const CellDifference& cell : map.cells[r]) {
            out << separator << cell.text;
            separator = "\t";
        }
        out << "\n";
    }
}

}  // namespace

std::string printableText(const std::string& bytes) {
    std::string_view s = bytes;
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.remove_suffix(1);
    std::string out;
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            out += '.';
        } else if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

void printComparison(const TuneDocument& document, const Comparison& comparison, bool mapTables,
                     std::ostream& out, CellNames names) {
    for (const SettingDifference& d : comparison.settings) {
        const SettingControl& c = *d.control;
        const SettingControl* frame = document.settings.find(ControlKind::Frame, c.frame);
        out << "setting\tSettings " << c.page << "\t" << (frame ? frame->caption : "") << "\t"
            << c.caption << "\t" << printableText(d.windowText) << "\t" << printableText(d.fileText)
            << "\n";
    }
    if (comparison.notesDiffer) out << "notes\tdiffer\n";
    Headings headings;
    if (names == CellNames::Axes)
        headings = {document.maps.rowLabels(false), document.maps.columnLabels(false)};
    for (const MapDifference& map : comparison.maps) {
        if (mapTables) {
            if (map.differs()) printTable(map, headings, out);
            continue;
        }
        for (int row = 1; row <= kMapRows; ++row)
            for (int col = 1; col <= kMapCols; ++col) {
                const CellDifference& cell = map.at(row, col);
                if (!cell.differs()) continue;
                out << "cell\t" << mapTabCaption(map.grid) << "\t";
                if (names == CellNames::Axes)
                    out << headings.rows[static_cast<std::size_t>(row - 1)] << "\t"
                        << headings.columns[static_cast<std::size_t>(col - 1)];
                else
                    out << row << "\t" << col;
                out << "\t" << cell.text << "\n";
            }
    }
}

FileComparison compareDataFiles(const std::string& pathA, const std::string& shownA,
                                const std::string& pathB, const std::string& shownB, bool mapTables,
                                UserPrompts& prompts, CellNames names) {
    ClosedSerialPort port;
    SteadyClock clock;
    Session a(port, clock, prompts);
    a.maps.GridInit();
    if (!OpenDataFile(a.document(), a.workspace(), pathA, shownA)) return {};
    const auto comparison = compareWithFile(a, prompts, pathB, shownB);
    if (!comparison) return {};
    std::ostringstream lines;
    printComparison(a, *comparison, mapTables, lines, names);
    return {true, comparison->differs(), lines.str()};
}

}  // namespace tunalyx
