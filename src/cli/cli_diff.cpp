#include "cli/cli_diff.h"

#include "cli/cli_show.h"

namespace tunalyx::cli {

namespace {

void printTable(const MapDifference& map, std::ostream& out) {
    out << mapTabCaption(map.grid) << "\n";
    for (const auto& row : map.cells) {
        const char* separator = "";
        for (const CellDifference& cell : row) {
            out << separator << cell.text;
            separator = "\t";
        }
        out << "\n";
    }
}

}  // namespace

void printComparison(const Session& session, const Comparison& comparison, bool mapTables,
                     std::ostream& out) {
    for (const SettingDifference& d : comparison.settings) {
        const SettingControl& c = *d.control;
        const SettingControl* frame = session.settings.find(ControlKind::Frame, c.frame);
        out << "setting\tSettings " << c.page << "\t" << (frame ? frame->caption : "") << "\t"
            << c.caption << "\t" << printableText(d.windowText) << "\t" << printableText(d.fileText)
            << "\n";
    }
    if (comparison.notesDiffer) out << "notes\tdiffer\n";
    for (const MapDifference& map : comparison.maps) {
        if (mapTables) {
            if (map.differs()) printTable(map, out);
            continue;
        }
        for (int row = 1; row <= kMapRows; ++row)
            for (int col = 1; col <= kMapCols; ++col)
                if (const CellDifference& cell = map.at(row, col); cell.differs())
                    out << "cell\t" << mapTabCaption(map.grid) << "\t" << row << "\t" << col << "\t"
                        << cell.text << "\n";
    }
}

}  // namespace tunalyx::cli
