#include "knock/knock_text.h"

#include <algorithm>
#include <cmath>

namespace tunalyx {

namespace {

constexpr CellColour kWatch = rgb(255, 228, 160);
constexpr CellColour kRetardedAlready = rgb(205, 225, 245);
constexpr CellColour kLeastRetard = rgb(255, 175, 80);
constexpr CellColour kMostRetard = rgb(220, 45, 35);
constexpr CellColour kNoProposal = rgb(230, 230, 230);
constexpr CellColour kAtMinimum = rgb(200, 150, 235);
constexpr CellColour kLeanFrame = rgb(30, 80, 230);

std::string verdictText(const KnockCell& cell, const NumberLocale& locale) {
    switch (cell.verdict) {
        case KnockVerdict::NoData:
            return "never visited";
        case KnockVerdict::Quiet:
            return "no knock";
        case KnockVerdict::Watch:
            return "a single event: watched, not retarded";
        case KnockVerdict::Locked:
            return "locked";
        case KnockVerdict::Retard: {
            const std::string degrees =
                formatValue(std::round((cell.oldValue - cell.newValue) * 10) / 10, "", locale);
            return "retard " + degrees + (degrees == "1" ? " degree: " : " degrees: ") +
                   formatValue(cell.oldValue, "0.0", locale) + " -> " +
                   formatValue(cell.newValue, "0.0", locale);
        }
        case KnockVerdict::AlreadyRetarded:
            return "holds the retard already";
        case KnockVerdict::AtMinimum:
            return "at the map's lowest value";
    }
    return {};
}

int cellsWhere(const KnockAnalysis& a, KnockVerdict verdict) {
    int n = 0;
    for (const auto& row : a.cells)
        n += static_cast<int>(std::count_if(
            row.begin(), row.end(), [&](const KnockCell& c) { return c.verdict == verdict; }));
    return n;
}

std::string counted(long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string knockCellText(const KnockCell& cell, const RawText& valueText,
                          const NumberLocale& locale) {
    if (cell.verdict == KnockVerdict::NoData) return {};
    std::string text = formatValue(cell.events, "0.0", locale);
    // The arrow keeps the cell narrow enough for the whole map to fit a small screen.
    if (cell.changes()) text += "\u2192" + valueText(cell.newRaw);
    return text;
}

std::string knockToolTip(const KnockCell& cell, bool locked, const NumberLocale& locale) {
    if (cell.verdict == KnockVerdict::NoData) return verdictText(cell, locale);
    std::string tip = "Events " + formatValue(cell.events, "0.0", locale);
    if (cell.leanKnock())
        tip += " (lean knock " + formatValue(cell.leanEvents, "0.0", locale) + ")";
    tip += ", samples " + formatValue(cell.samples, "0", locale) + ", peak " +
           formatValue(cell.peak, "0", locale) + ", floor " + formatValue(cell.floor, "0", locale);
    tip += "\n" + verdictText(cell, locale);
    if (cell.leanKnock()) tip += "\nlean knock: fix fuel first";
    if (locked && cell.verdict != KnockVerdict::Locked) tip += "\nlocked";
    return tip;
}

KnockLook knockCellLook(const KnockCell& cell, bool locked, double maxRetard) {
    KnockLook look;
    look.cell.hatched = locked;
    look.leanFrame = cell.leanKnock();
    if (locked) {
        look.cell.background = kNoProposal;
        look.cell.dimmed = true;
        return look;
    }
    switch (cell.verdict) {
        case KnockVerdict::NoData:
        case KnockVerdict::Quiet:
        case KnockVerdict::Locked:
            break;
        case KnockVerdict::Watch:
            look.cell.background = kWatch;
            break;
        // Knocked, and the map holds the retard already: not to be mistaken for a cell to watch.
        case KnockVerdict::AlreadyRetarded:
            look.cell.background = kRetardedAlready;
            break;
        case KnockVerdict::Retard: {
            const double retard = cell.oldValue - cell.newValue;
            // One degree is the least, `maxRetard` the most a pass gives.
            const double share =
                maxRetard > 1 ? std::clamp((retard - 1) / (maxRetard - 1), 0.0, 1.0) : 1;
            look.cell.background = blend(kLeastRetard, kMostRetard, share);
            break;
        }
        case KnockVerdict::AtMinimum:
            look.cell.background = kAtMinimum;
            look.cell.flagged = true;
            break;
    }
    return look;
}

CellColour leanKnockFrame() {
    return kLeanFrame;
}

std::string knockSummary(const KnockAnalysis& analysis, std::size_t logs) {
    if (!analysis.problem.empty()) return analysis.problem;
    std::string line = counted(analysis.eventCount(), "event", "events") + " in " +
                       counted(static_cast<long>(logs), "log", "logs") + "; " +
                       counted(analysis.changedCells(), "cell", "cells") + " to retard, " +
                       std::to_string(cellsWhere(analysis, KnockVerdict::Watch)) + " watched";
    int lean = 0;
    for (const auto& row : analysis.cells)
        lean += static_cast<int>(std::count_if(row.begin(), row.end(),
                                               [](const KnockCell& c) { return c.leanKnock(); }));
    if (lean > 0) line += "; " + std::to_string(lean) + " with lean knock: fix fuel first";
    return line;
}

}  // namespace tunalyx
