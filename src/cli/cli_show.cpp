#include "cli/cli_show.h"

#include <algorithm>
#include <array>
#include <iomanip>
#include <string_view>
#include <vector>

#include "curves/curve_descriptor.h"
#include "model/number_format.h"

namespace tunalyx::cli {

namespace {

constexpr int kFirstPage = 1;
constexpr int kLastPage = 5;

const char* onOff(bool on) {
    return on ? "on" : "off";
}

void printCurve(const Session& s, const SettingControl& c, std::ostream& out) {
    out << c.caption << ":\n";
    const auto d = parseCurveDescriptor(c.tag);
    if (!d) return;
    const NumberLocale& locale = s.codec.locale();
    for (int i = 0; i < d->count; ++i)
        out << "  " << formatValue(d->x.value(s.image, i), d->x.format, locale) << ", "
            << formatValue(d->y.value(s.image, i), d->y.format, locale) << "\n";
}

void printNotes(const Session& s, const SettingControl& c, std::ostream& out) {
    out << c.caption << ":\n";
    std::string_view rest = s.notes;
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        out << "  " << printableText(std::string(rest.substr(0, end))) << "\n";
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 2);
    }
}

void printControl(const Session& s, const SettingControl& c, std::ostream& out) {
    const SettingsCodec& codec = s.codec;
    switch (c.kind) {
        case ControlKind::Text:
            out << c.caption << ": " << codec.DisplayData(c.tag) << "\n";
            break;
        case ControlKind::Check:
            out << c.caption << ": " << onOff(codec.IsSettingChecked(c.tag)) << "\n";
            break;
        case ControlKind::CheckBit:
            out << c.caption << ": " << onOff(codec.IsSettingBitSet(c.tag)) << "\n";
            break;
        case ControlKind::Option:
            out << c.caption << ": "
                << (codec.IsOptionSelected(c.tag) ? "selected" : "not selected") << "\n";
            break;
        case ControlKind::Label:
        case ControlKind::TunerString:
            out << c.caption << ": " << printableText(codec.SettingText(c.tag)) << "\n";
            break;
        case ControlKind::CurveButton:
            printCurve(s, c, out);
            break;
        case ControlKind::Notes:
            printNotes(s, c, out);
            break;
        case ControlKind::Caption:
            if (!c.caption.empty()) out << c.caption << "\n";
            break;
        case ControlKind::Frame:
        case ControlKind::AirFlowGrid:  // its curves are printed with the curve buttons
            break;
    }
}

// Right-aligned columns as wide as the widest text of the table.
void printMap(const MapGrids& maps, int grid, std::ostream& out) {
    const std::vector<std::string> columns = maps.columnLabels(true);
    const std::vector<std::string> rows = maps.rowLabels(true);
    std::vector<std::vector<std::string>> cells(kMapRows);
    std::size_t width = 1;
    for (const auto& label : columns)
        width = std::max(width, label.size());
    for (const auto& label : rows)
        width = std::max(width, label.size());
    for (int row = 1; row <= kMapRows; ++row) {
        auto& line = cells[static_cast<std::size_t>(row - 1)];
        for (int col = 1; col <= kMapCols; ++col) {
            line.push_back(maps.cellText(grid, row, col));
            width = std::max(width, line.back().size());
        }
    }
    const auto field = static_cast<int>(width);
    out << std::setw(field) << "";
    for (const auto& label : columns)
        out << " " << std::setw(field) << label;
    out << "\n";
    for (std::size_t r = 0; r < cells.size(); ++r) {
        out << std::setw(field) << rows[r];
        for (const auto& text : cells[r])
            out << " " << std::setw(field) << text;
        out << "\n";
    }
}

}  // namespace

void printTune(const Session& s, std::ostream& out) {
    out << "Program name: " << printableText(s.VerName) << "\n"
        << "Version text: " << printableText(s.VerNumber) << "\n"
        << "Version key: " << versionKey(s.VerName, s.VerNumber) << "\n"
        << "Layout family: "
        << (s.layout.family ? familyLayout(*s.layout.family).name : "unsupported") << "\n";

    for (int page = kFirstPage; page <= kLastPage; ++page) {
        out << "\n== Settings " << page << " ==\n";
        for (const SettingControl* frame : s.settings.pageFrames(page)) {
            if (!frame->visible) continue;
            out << "[" << frame->caption << "]\n";
            for (const SettingControl* c : s.settings.frameControls(frame->index))
                printControl(s, *c, out);
        }
    }

    for (int grid = 0; grid < kMapGridCount; ++grid) {
        if (grid == kBaseMap && !s.layout.baseMapTabVisible) continue;
        out << "\n== " << mapTabCaption(grid) << " ==\n";
        printMap(s.maps, grid, out);
    }
}

}  // namespace tunalyx::cli
