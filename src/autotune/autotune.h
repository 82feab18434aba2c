#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "autotune/log_samples.h"
#include "autotune/sensor_delay.h"
#include "maps/map_axes.h"
#include "maps/map_grids.h"
#include "model/trace_items.h"
#include "monitor/log_store.h"
#include "versions/tune_map.h"

namespace tunalyx {

// What auto-tune takes from the user; the defaults are what it starts with.
struct AutoTuneSettings {
    int afrItem = kAn1Item;        // the calibrated wide-band A/F
    double maxChangePercent = 10;  // per cell and pass
    double minSamples = 10;        // effective samples a cell needs for a proposal
    double maxSpreadPercent = 3;   // and the most its corrections may scatter
    double delayScale = 1;         // the assumed transport delay as a share of the default
    // The delay the logs were found to have; where it has no measure, the assumed one.
    std::optional<MeasuredDelay> measuredDelay;
    bool alignDelay = true;   // pair each reading with the point one delay earlier
    double lowestAfr = 10.5;  // readings outside are a railed or cold sensor
    double highestAfr = 19.5;
    double coldBelowC = 70;
    double startOfRunSeconds = 30;
    double afterFuelCutSeconds = 1;  // beyond the delay
    double enrichmentSeconds = 0.5;  // a tip-in's extra fuel lasts this long
    double transientRpmPerSecond = 1500;
    double transientLoadPerSecond = 3000;
    double transientThrottleVoltsPerSecond = 1;
    double outlierMads = 3.5;  // of the cell's median
    // When each cell was last written to the unit while logging, in the log's seconds. Readings
    // that share the cell up to the delay plus `afterFuelCutSeconds` after it are left out: they
    // measured the old value (the gas burned before the write is still on its way), and learning
    // from them again would add the same change twice. Never, by default.
    std::array<std::array<double, kMapAxisSize>, kMapAxisSize> writtenAtSeconds = neverWritten();

    static std::array<std::array<double, kMapAxisSize>, kMapAxisSize> neverWritten();
};

// Why a reading was not learned from.
enum class Rejection { StartOfRun, Cold, Railed, OffMap, FuelCut, Transient, Rewritten, Outlier };
inline constexpr std::size_t kRejectionCount = 8;
// "start of run", "cold engine", "A/F out of range", "off the map", "fuel cut", "transient",
// "cell rewritten", "outlier"
[[nodiscard]] const char* rejectionName(Rejection reason);

struct ReadingCounts {
    long total = 0;
    long accepted = 0;
    std::array<long, kRejectionCount> rejected{};
    [[nodiscard]] long count(Rejection r) const { return rejected[static_cast<std::size_t>(r)]; }
    // "Rejected: start of run 3750, cold engine 0, ..." on one line.
    [[nodiscard]] std::string line() const;
};

enum class CellVerdict {
    NoData,      // never visited
    TooFew,      // fewer effective samples than needed
    TooSpread,   // corrections scatter too much to trust
    Locked,      // the user keeps it as it is
    NoChange,    // less than one display step to change
    Proposed,    // a new value
    OutOfRange,  // the change it asks for reaches beyond the map's range
};

struct CellResult {
    CellVerdict verdict = CellVerdict::NoData;
    double samples = 0;  // readings counted by the cell's share of each
    long readings = 0;   // readings it holds the largest share of
    // The commonest reason readings taken mostly in it were left out, and how many it left out
    // for that reason.
    Rejection mostlyRejectedAs = Rejection::StartOfRun;
    long rejected = 0;
    // What the readings ask of the cell's value in the map proposed for, over that value: the
    // values that make every reading's interpolated fuel right, fitted over all cells together.
    double correction = 1;
    // Weighted standard deviation of what its readings ask of it alone (the value the cell had
    // when read x measured / target A/F), in % of their mean.
    double spreadPercent = 0;
    std::int32_t oldRaw = 0;
    std::int32_t newRaw = 0;  // as the grid stores it; equal to oldRaw without a proposal
    double oldValue = 0;
    double newValue = 0;
    [[nodiscard]] double changePercent() const { return (newValue / oldValue - 1) * 100; }
    [[nodiscard]] bool changes() const { return newRaw != oldRaw; }
};

using CellLocks = std::array<std::array<bool, kMapAxisSize>, kMapAxisSize>;

struct AutoTuneProposal {
    std::array<std::array<CellResult, kMapAxisSize>, kMapAxisSize> cells{};  // [row][col]
    ReadingCounts readings;
    // A cause for the whole map ("the whole map reads 11 % lean: ..."), empty when there is none.
    std::string diagnosis;
    // Why nothing could be read at all (a log without the items needed), empty otherwise.
    std::string problem;
    [[nodiscard]] int changedCells() const;
};

// Stores the proposal's changed cells (all, or those in `only`, 1-based as the grid's selection)
// in the Inj Map, marking each for Update; the texts the cells then show.
std::vector<CellText> applyProposal(MapGrids& maps, const AutoTuneProposal& proposal,
                                    const std::optional<CellRange>& only = std::nullopt);

// A log to learn from. One that goes on from the log before it (the next part of a run too long
// for one log) has no start of run of its own. Each reading is taken against the tune its
// sample ran on (none given: the tune proposed for); a reading whose gas may have burned under
// the tune before a change is left out as rewritten.
struct AutoTuneLog {
    AutoTuneLog(const LogStore* store, bool continues = false,  // NOLINT: a log alone is common
                std::vector<RanOnMap> tunes = {}, std::string logName = "the log")
        : log(store), continuesRun(continues), ranOn(std::move(tunes)), name(std::move(logName)) {}
    const LogStore* log;
    bool continuesRun;
    std::vector<RanOnMap> ranOn;
    std::string name;  // as messages name it
};

// Why a log named `logName` cannot be read by `analysis` for want of the Advanced group or the
// group of `item` ("Auto-tune needs Aux A/D, and d.txt was logged without it: tick Aux A/D in the
// Monitor before logging"), empty when it has both.
[[nodiscard]] std::string missingGroupsProblem(const LogStore& log, int item,
                                               const std::string& logName,
                                               const std::string& analysis = "Auto-tune");
// Whether AN1's heading in a log ("AN1 Wide Band", "AN1-AN2 AFR") names an A/F or a lambda by
// any common name: A/F, AFR, air/fuel, lambda, wide band, WB O2, UEGO, LC-1.
[[nodiscard]] bool namesAnAfr(std::string_view heading);
// Why AN1 of the log `logName`, headed `heading`, is no A/F to tune from: it is set up as
// something else ("AN1 Boost psi"), or it is the uncalibrated voltage ("AN1 raw"). Empty when it
// names an A/F.
[[nodiscard]] std::string an1Refusal(std::string_view heading, const std::string& logName);
// The heading a log file's text gives the item AN1 is calibrated into; empty without the Aux
// group.
[[nodiscard]] std::string an1HeadingOf(std::string_view logText);

// The transient limits of `settings`, as a steady reading must keep them.
[[nodiscard]] inline SteadyLimits steadyLimits(const AutoTuneSettings& settings) {
    return {settings.transientRpmPerSecond, settings.transientLoadPerSecond,
            settings.transientThrottleVoltsPerSecond};
}

// The delay from cylinder to sensor the analysis takes at a point: measured where it was, else
// assumed.
[[nodiscard]] double delaySecondsOf(const AutoTuneSettings& settings, double rpm, double load);

// Proposes Inj Map corrections from logs of the calibrated wide-band A/F. A cell's new value is
// what it held when read times the correction, held to the largest change from that value, and
// stated against `tune`: a cell that holds it already proposes nothing. Readings outside the
// axes of `tune` are left out. Deterministic: the same logs, tune and settings give the same
// proposal.
[[nodiscard]] AutoTuneProposal proposeCorrections(const std::vector<AutoTuneLog>& logs,
                                                  const TuneMap& tune, const MapField& target,
                                                  const CellLocks& locks,
                                                  const AutoTuneSettings& settings);

}  // namespace tunalyx
