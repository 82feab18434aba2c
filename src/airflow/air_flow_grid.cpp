#include "airflow/air_flow_grid.h"

#include <algorithm>
#include <optional>

#include "maps/table_tools.h"
#include "model/descriptors.h"
#include "model/number_format.h"
#include "ports/bytes.h"

namespace tunalyx {

namespace {

// The descriptor tail, the step of "+" and "-", and the pattern a stepped value is written in
// (exact at the step's resolution, so the text names the intended raw value).
struct RowRule {
    const char* tail;
    double step;
    const char* pattern;
};
constexpr RowRule kVoltage{",2,.005,0,0.000", 0.005, "0.000"};
constexpr RowRule kAirflow{",2,1,0,0", 1, "0"};

const RowRule& ruleOf(int row) {
    return row == kAirFlowVoltageRow ? kVoltage : kAirflow;
}

// The shown curves as a table for the table tools, each cell through its own descriptor.
class CurvesTable final : public ToolTable {
public:
    CurvesTable(AirFlowGrid& grid, const NumberLocale& locale) : m_grid(grid), m_locale(locale) {}
    int rows() const override { return kAirFlowRows; }
    int cols() const override { return kAirFlowCols; }
    std::optional<double> value(int row, int col) const override {
        return parseUserNumber(m_grid.cellText(row, col), m_locale);
    }
    void store(int row, int col, double value) override {
        m_grid.writeCell(row, col, formatValue(value, "", m_locale));
    }

private:
    AirFlowGrid& m_grid;
    const NumberLocale& m_locale;
};

template <typename Fn>
void forEachCell(const CellRange& range, Fn&& fn) {
    const CellRange r = cellsWithin(range, kAirFlowRows, kAirFlowCols);
    for (int row = r.top(); row <= r.bottom(); ++row)
        for (int col = r.left(); col <= r.right(); ++col)
            fn(row, col);
}

}  // namespace

const char* airFlowRowCaption(int row) {
    static constexpr const char* kCaptions[kAirFlowRows] = {"Voltage", "Airflow 1", "Airflow 2"};
    return row >= 1 && row <= kAirFlowRows ? kCaptions[row - 1] : "";
}

std::string airFlowColumnCaption(int col) {
    return (col < 10 ? "0" : "") + std::to_string(col);
}

std::string airFlowDescriptor(int row, int col) {
    if (row < 1 || row > kAirFlowWritableRows || col < 1 || col > kAirFlowCols) return {};
    const unsigned block = kAirFlowFirstBlock + static_cast<unsigned>(row - 1);
    // Word k starts at byte 2k - 1; the Tag writes it after a blank, which the parser skips.
    return "&H" + hexText(block) + ", " + std::to_string(2 * col - 1) + ruleOf(row).tail;
}

GridAction AirFlow_KeyDown(GridKey key, int digit, int shift, bool compareMode) {
    GridAction action = Grid_KeyDown(key, digit, shift, compareMode);
    // The map grids' steps (1 and 10) are step counts here; Delete clears to 0, not 1.000.
    if (action.kind == GridAction::Kind::SetRange) action.value = 0;
    return action;
}

std::string AirFlowGrid::cellText(int row, int col) const {
    const std::string tag = airFlowDescriptor(row, col);
    return tag.empty() ? std::string() : m_codec.DisplayData(tag);
}

bool AirFlowGrid::writeCell(int row, int col, std::string_view text) {
    const std::string tag = airFlowDescriptor(row, col);
    return !tag.empty() && m_codec.UpdateData(tag, text);
}

void AirFlowGrid::setRange(const CellRange& selection, std::string_view text) {
    forEachCell(selection, [&](int row, int col) { writeCell(row, col, text); });
}

void AirFlowGrid::step(const CellRange& selection, int steps) {
    const NumberLocale& locale = m_codec.locale();
    forEachCell(selection, [&](int row, int col) {
        // An empty cell (block never read) has no value to step from.
        const auto value = parseUserNumber(cellText(row, col), locale);
        if (!value) return;
        const RowRule& rule = ruleOf(row);
        writeCell(row, col, formatValue(*value + steps * rule.step, rule.pattern, locale));
    });
}

std::string AirFlowGrid::clipText(const CellRange& selection) const {
    std::string clip;
    const CellRange r = cellsWithin(selection, kAirFlowRows, kAirFlowCols);
    for (int row = r.top(); row <= r.bottom(); ++row) {
        if (row != r.top()) clip.push_back('\r');
        for (int col = r.left(); col <= r.right(); ++col) {
            if (col != r.left()) clip.push_back('\t');
            clip += cellText(row, col);
        }
    }
    return clip;
}

void AirFlowGrid::interpolateRows(const CellRange& selection) {
    CurvesTable table{*this, m_codec.locale()};
    interpolate(table, selection, InterpolateMode::Rows);
}

void AirFlowGrid::smoothRows(const CellRange& selection) {
    CurvesTable table{*this, m_codec.locale()};
    smooth(table, selection, Neighbours::Row);
}

void AirFlowGrid::scale(const CellRange& selection, double percent, double offset) {
    CurvesTable table{*this, m_codec.locale()};
    tunalyx::scale(table, selection, percent, offset);
}

void AirFlowGrid::paste(const CellRange& selection, std::string_view clip) {
    const auto rows = splitClip(clip);
    const CellRange r = cellsWithin(selection, kAirFlowRows, kAirFlowCols);
    forEachCell(r, [&](int row, int col) {
        const auto i = static_cast<std::size_t>(row - r.top());
        const auto j = static_cast<std::size_t>(col - r.left());
        if (i < rows.size() && j < rows[i].size()) writeCell(row, col, rows[i][j]);
    });
}

}  // namespace tunalyx
