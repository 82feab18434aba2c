#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "autotune/autotune.h"
#include "maps/map_axes.h"
#include "maps/map_grids.h"
#include "model/trace_items.h"
#include "monitor/log_store.h"
#include "versions/tune_map.h"

namespace tunalyx {

// What knock analysis takes from the user; the defaults are what it starts with.
struct KnockSettings {
    int knockItem = kKnockItem;
    // The sensor hears more of the engine itself as it turns faster: the floor is learned per
    // band of this many rpm.
    double bandRpm = 500;
    int leastBandReadings = 20;  // a band with fewer borrows its neighbours' readings
    // An event stands this many standard deviations of the noise above its band's floor, and at
    // least `leastMargin` counts: a quiet band often repeats one value, and a few counts of flicker
    // are no knock.
    double marginSigmas = 4;
    double leastMargin = 8;
    // Readings above the margin closer together than this are one event; an event needs
    // `leastHeldReadings` of them, so that a single reading (a glitch of the line or the sensor)
    // is none. Counting readings, not milliseconds, holds at any log rate.
    double holdSeconds = 0.1;
    int leastHeldReadings = 2;
    // Leaner than target by more than this share, at a point whose target asks for more fuel than
    // stoichiometric, is lean knock.
    double leanShare = 0.02;
    double maxRetard = 3;  // degrees per cell and pass
    // How the A/F is read: its item, its range, and the delay from cylinder to sensor, as
    // auto-tune reads it.
    AutoTuneSettings fuel;
};

// The noise floor of one log, per rpm band: where the band's knock readings lie thickest, and
// their spread there. That holds while most of a band's readings are knock (pulls through a band
// that knocks all the way), where a mean, or even a median, would be pulled up by the very events
// they are to find.
class KnockFloors {
public:
    KnockFloors(const LogStore& log, const KnockSettings& settings);
    [[nodiscard]] double floorAt(double rpm) const;
    // The reading an event must exceed at `rpm`.
    [[nodiscard]] double thresholdAt(double rpm) const;

private:
    [[nodiscard]] std::size_t bandOf(double rpm) const;
    double m_bandRpm;
    std::vector<double> m_floor;
    std::vector<double> m_threshold;
};

struct KnockEvent {
    int firstSample = 0;  // of the log, the first reading above the margin
    int peakSample = 0;   // the highest; the event sits at its operating point
    int readings = 0;     // above the margin
    double seconds = 0;   // at the peak
    double rpm = 0;
    double load = 0;
    double peak = 0;
    double floor = 0;
    std::optional<double> afr;  // of the gas burned at the peak, when logged and in range
    bool lean = false;          // lean knock: fix fuel first
};

// The knock events of one log against its own floors, in time order (without the A/F).
[[nodiscard]] std::vector<KnockEvent> findKnockEvents(const LogStore& log,
                                                      const KnockSettings& settings);
// The same against floors learned already.
[[nodiscard]] std::vector<KnockEvent> eventsAbove(const LogStore& log, const KnockFloors& floors,
                                                  const KnockSettings& settings);

// A log to analyse, with the tunes it ran on (none: the tune analysed for). `afrIsAfr` is false
// when AN1 was logged as something else than an A/F (see `an1Refusal`): no event is then lean.
struct KnockLog {
    KnockLog(const LogStore* store, std::vector<RanOnMap> tunes = {},  // NOLINT
             std::string logName = "the log", bool an1IsAfr = true)
        : log(store), ranOn(std::move(tunes)), name(std::move(logName)), afrIsAfr(an1IsAfr) {}
    const LogStore* log;
    std::vector<RanOnMap> ranOn;
    std::string name;  // as messages name it
    bool afrIsAfr;
};

enum class KnockVerdict {
    NoData,           // never visited
    Quiet,            // visited, no knock
    Watch,            // fewer than two events: shown, not acted on
    Locked,           // the user keeps it as it is
    Retard,           // a new, lower value
    AlreadyRetarded,  // the map holds the retard already
    AtMinimum,        // cannot go lower
};

struct KnockCell {
    KnockVerdict verdict = KnockVerdict::NoData;
    double samples = 0;     // readings seen, each by its share of the cell
    double events = 0;      // counted here, each whole in one cell (see analyseKnock)
    double leanEvents = 0;  // of which lean knock
    double peak = 0;        // the highest reading seen
    double floor = 0;       // the readings' floors, weighted by their shares
    double retard = 0;      // degrees the events ask for, at most the largest retard
    std::int32_t oldRaw = 0;
    std::int32_t newRaw = 0;  // equal to oldRaw without a proposal
    double oldValue = 0;
    double newValue = 0;
    [[nodiscard]] bool changes() const { return newRaw != oldRaw; }
    [[nodiscard]] bool leanKnock() const { return leanEvents > 0; }
};

struct KnockAnalysis {
    std::array<std::array<KnockCell, kMapAxisSize>, kMapAxisSize> cells{};  // [row][col]
    std::vector<std::vector<KnockEvent>> events;  // per log, split where a knock crosses cells
    long readings = 0;
    // Why nothing could be read (a log without the items needed), empty otherwise.
    std::string problem;
    [[nodiscard]] int changedCells() const;
    [[nodiscard]] int eventCount() const;
};

// Knock events per Ign Map cell of `tune`: readings are shared over the four cells around their
// point as the unit interpolates, an event counts whole in one of them (the largest share, or a
// neighbour with a quarter of it that knocked more often), and a knock held while the engine
// crosses cells is an event in each. The retard-only proposal: a cell with two or more events gets
// 1 degree per event beyond the first, at most `maxRetard`, from the value it held when the knock
// happened (the tune its sample ran on; the lowest, when its events ran on different tunes),
// stated against `tune`: a cell that holds that or less already keeps it. Locked cells keep theirs.
// Lean knock is retarded too, and flagged: the fuel is to be fixed first. Deterministic.
[[nodiscard]] KnockAnalysis analyseKnock(const std::vector<KnockLog>& logs, const TuneMap& tune,
                                         const MapField& targetAfr, const CellLocks& locks,
                                         const KnockSettings& settings);

// Stores the proposal's retarded cells (all, or those in `only`, 1-based as the grid's selection)
// in the Ign Map, marking each for Update; a cell lowered since the analysis keeps its value. The
// texts the cells then show.
std::vector<CellText> applyRetard(MapGrids& maps, const KnockAnalysis& analysis,
                                  const std::optional<CellRange>& only = std::nullopt);

}  // namespace tunalyx
