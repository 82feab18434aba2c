#include "autotune/proposal_text.h"

#include <algorithm>
#include <cmath>

namespace tunalyx {

namespace {

constexpr CellColour kWhite = rgb(255, 255, 255);
constexpr CellColour kLean = rgb(235, 95, 60);
constexpr CellColour kRich = rgb(70, 125, 235);
constexpr CellColour kNoProposal = rgb(230, 230, 230);
constexpr CellColour kBeyondRange = rgb(200, 150, 235);
// Even a change of one step must show against the white of an unchanged cell.
constexpr double kFaintest = 0.2;

std::string signedPercent(double percent, const NumberLocale& locale) {
    const std::string text = formatValue(percent, "0.0", locale);
    const bool zero = text.find_first_of("123456789") == std::string::npos;
    return zero || text.front() == '-' ? text : "+" + text;
}

// What the readings ask of the cell, in %.
double askedPercent(const CellResult& cell) {
    return (cell.correction - 1) * 100;
}

bool proposes(CellVerdict v) {
    return v == CellVerdict::Proposed || v == CellVerdict::NoChange || v == CellVerdict::OutOfRange;
}

}  // namespace

std::string cellChangeText(const CellResult& cell, const NumberLocale& locale) {
    if (cell.verdict == CellVerdict::NoData) return {};
    return signedPercent(proposes(cell.verdict) ? cell.changePercent() : askedPercent(cell),
                         locale);
}

std::string verdictText(const CellResult& cell, const AutoTuneSettings& settings,
                        const MapDescriptor& codec, const RawText& valueText,
                        const NumberLocale& locale) {
    switch (cell.verdict) {
        case CellVerdict::NoData:
            return "no readings";
        case CellVerdict::TooFew:
            // Rounded down: 9.6 effective samples are not yet 10.
            return "not enough data: " + std::to_string(static_cast<long>(cell.samples)) + " of " +
                   formatValue(settings.minSamples, "", locale) + " samples";
        case CellVerdict::TooSpread:
            return "spread " + formatValue(cell.spreadPercent, "0.0", locale) + " % above " +
                   formatValue(settings.maxSpreadPercent, "", locale) + " %";
        case CellVerdict::Locked:
            return "locked";
        case CellVerdict::NoChange:
            return "change below one step";
        case CellVerdict::Proposed:
            return "proposed";
        case CellVerdict::OutOfRange:
            return "beyond the map's range " + valueText(static_cast<std::int32_t>(codec.min)) +
                   "-" + valueText(static_cast<std::int32_t>(codec.max));
    }
    return {};
}

std::string cellToolTip(const CellResult& cell, bool locked, const AutoTuneSettings& settings,
                        const MapDescriptor& codec, const RawText& valueText,
                        const NumberLocale& locale) {
    std::string tip;
    if (cell.verdict != CellVerdict::NoData) {
        const double asked = askedPercent(cell);
        std::string correction = "Correction " + formatValue(cell.correction, "0.000", locale);
        if (const std::string shown = formatValue(std::abs(asked), "0.0", locale);
            shown.find_first_of("123456789") != std::string::npos)
            correction += " (" + shown + " % " + (asked > 0 ? "lean" : "rich") + ")";
        tip = "Samples " + formatValue(cell.samples, "0.0", locale) + "\nSpread " +
              formatValue(cell.spreadPercent, "0.0", locale) + " %\n" + correction + "\n";
    }
    tip += cell.changes() ? valueText(cell.oldRaw) + " -> " + valueText(cell.newRaw) + " (" +
                                signedPercent(cell.changePercent(), locale) + " %)"
                          : "Value " + valueText(cell.oldRaw);
    tip += "\n" + verdictText(cell, settings, codec, valueText, locale);
    if (locked && cell.verdict != CellVerdict::Locked) tip += "\nlocked";
    return tip;
}

CellLook cellLook(const CellResult& cell, bool locked, double maxChangePercent) {
    CellLook look;
    look.hatched = locked;
    switch (cell.verdict) {
        case CellVerdict::NoData:
        case CellVerdict::TooFew:
        case CellVerdict::TooSpread:
        case CellVerdict::Locked:
            look.background = kNoProposal;
            look.dimmed = true;
            break;
        case CellVerdict::NoChange:
            break;
        case CellVerdict::OutOfRange:
            look.background = kBeyondRange;
            look.flagged = true;
            break;
        case CellVerdict::Proposed: {
            const double change = cell.changePercent();
            const double share =
                maxChangePercent > 0 ? std::min(1.0, std::abs(change) / maxChangePercent) : 1;
            look.background =
                blend(kWhite, change > 0 ? kLean : kRich, kFaintest + (1 - kFaintest) * share);
            break;
        }
    }
    return look;
}

CellLook predictedLook(const CellPrediction& p, bool locked, double maxChangePercent) {
    CellResult as;
    as.verdict = p.changes() ? CellVerdict::Proposed : CellVerdict::NoChange;
    as.oldValue = p.oldValue;
    as.newValue = p.newValue;
    CellLook look = cellLook(as, locked, maxChangePercent);
    look.predicted = true;
    return look;
}

std::string predictedChangeText(const CellPrediction& p, const NumberLocale& locale) {
    return signedPercent((p.newValue / p.oldValue - 1) * 100, locale);
}

std::string predictedToolTip(const CellPrediction& p, double leastConfidence,
                             const RawText& valueText, const NumberLocale& locale) {
    std::string tip = "Predicted " + valueText(p.oldRaw) + " -> " + valueText(p.newRaw) + " (" +
                      predictedChangeText(p, locale) + " %)\nConfidence " +
                      formatValue(p.confidence, "0.00", locale);
    if (p.changes())
        tip += p.confidence >= leastConfidence ? "\nwritten by Apply Predictions"
                                               : "\ntoo uncertain to write: below " +
                                                     formatValue(leastConfidence, "0.0", locale);
    return tip;
}

std::array<std::string, 6> curvePointRow(const CurvePointResult& point, CurveKind kind,
                                         const NumberLocale& locale) {
    const bool warmUp = kind == CurveKind::WarmUp;
    std::string why = point.why;
    if (why.empty()) why = point.changes() ? "proposed" : "no change";
    return {formatValue(point.x, "", locale),
            formatValue(point.oldValue, "0.000", locale),
            formatValue(point.newValue, "0.000", locale),
            point.changes() ? signedPercent((point.newValue / point.oldValue - 1) * 100, locale)
                            : std::string(),
            std::to_string(warmUp ? point.coldStarts : point.events),
            why};
}

std::string curveUsedLine(const CurveProposal& proposal) {
    const bool warmUp = proposal.kind == CurveKind::WarmUp;
    const char* what = warmUp ? " cold start" : " tip-in";
    std::string line =
        "From " + std::to_string(proposal.used) + what + (proposal.used == 1 ? "." : "s.");
    if (const std::string rejected = proposal.rejectedLine(); !rejected.empty())
        line += " " + rejected;
    return line;
}

std::string locksText(const CellLocks& locks) {
    std::string text;
    text.reserve(kMapAxisSize * kMapAxisSize);
    for (const auto& row : locks)
        for (bool locked : row)
            text += locked ? '1' : '0';
    return text;
}

CellLocks locksOf(std::string_view text) {
    CellLocks locks{};
    if (text.size() != kMapAxisSize * kMapAxisSize ||
        text.find_first_not_of("01") != std::string_view::npos)
        return locks;
    for (std::size_t k = 0; k < text.size(); ++k)
        locks[k / kMapAxisSize][k % kMapAxisSize] = text[k] == '1';
    return locks;
}

CellColour blend(CellColour from, CellColour to, double share) {
    CellColour out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double a = (from >> shift) & 0xFF;
        const double b = (to >> shift) & 0xFF;
        out |= static_cast<CellColour>(std::lround(a + (b - a) * share)) << shift;
    }
    return out;
}

}  // namespace tunalyx
