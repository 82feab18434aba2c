#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "autotune/cell_prediction.h"
#include "autotune/curve_tune.h"
#include "autotune/live_auto_tune.h"
#include "autotune/ran_on_tunes.h"
#include "monitor/live_run.h"
#include "ports/settings_store.h"
#include "session/session.h"

namespace tunalyx {

// One log an analysis window reads, with the tunes it ran on.
struct LogToRead {
    const LogStore* log = nullptr;
    bool continuesRun = false;  // goes on with the run of the log before it
    std::vector<RanOnMap> ranOn;
    std::string name;      // as messages name it
    bool an1IsAfr = true;  // AN1 was logged as an A/F, or not logged at all
};

struct LogsToRead {
    std::vector<LogToRead> logs;
    std::vector<std::string> shown;  // "the log in memory (5000 samples)", "run.txt"
    std::vector<std::string> notes;  // a tune not known, a log read once, AN1 refused
    // "Logs: the log in memory (5000 samples), run.txt", or that there is none.
    [[nodiscard]] std::string logsLine() const;
    [[nodiscard]] std::string notesText() const;  // one a line
};

// The logs the analysis windows (Auto Tune, Knock) read: the run being logged or the log in
// memory, and the log files opened, each with the tunes of map `grid` it ran on. A file that is
// the log in memory is read once; a log whose tune is not known goes on being taken as the map
// the window held when it was first read, so that an Apply since does not change its readings.
class AnalysedLogs {
public:
    // A log whose AN1 is no A/F is left out (auto-tune learns from it) or read without its A/F.
    enum class An1NotAfr { Refused, Read };

    AnalysedLogs(Session& session, LiveRun& live, int grid, An1NotAfr an1NotAfr);

    // Opens the files at `paths` after those open already, the parts of a long run in their
    // order. A file that cannot be read or is refused is named in a message. What the status
    // bar says, empty when nothing.
    std::string open(std::vector<std::string> paths);
    void clear();
    [[nodiscard]] bool empty() const { return m_opened.empty(); }

    // Every log to read now: `liveRun`'s copy of the run while one is logged, else the log in
    // memory, and the files opened. `history` names the tunes; may be null.
    [[nodiscard]] LogsToRead collect(LiveAutoTune& liveRun, const TuneHistory* history);

private:
    struct Opened {
        std::unique_ptr<LogStore> log;
        std::string name;
        std::string path;
        std::string hash;  // of its contents
        bool continues = false;
        bool an1IsAfr = true;
    };
    // The tunes a log ran on; one not known is taken as the map it was first read on.
    std::vector<RanOnMap> ranOnOf(RanOnTunes& tunes, const LogTunes& known, const std::string& key,
                                  const std::string& logName, std::vector<std::string>& notes);
    // The log in memory as a file would hold it, hashed again only when it has other samples.
    [[nodiscard]] const std::string& memoryLogHash(int generation);

    Session& m_session;
    LiveRun& m_live;
    int m_grid;
    An1NotAfr m_an1NotAfr;
    std::vector<Opened> m_opened;
    std::map<std::string, TuneMap> m_assumed;  // by log
    std::optional<RanOnTunes> m_tunes;         // kept between analyses
    struct MemoryHash {
        int generation = -1;
        int samples = -1;
        std::string hash;
    } m_memoryHash;
};

// Which curves an analysis proposes for besides the Inj Map.
struct CurvesAsked {
    bool warmUp = false;
    bool pump = false;
};

// What one analysis of the logs makes, in its order: the sensor delay measured from the logs,
// then the Inj Map proposal on it (with predictions for the cells not measured and the cells to
// drive next), then the curves asked for, on the map proposal.
struct AutoTuneAnalysis {
    AutoTuneSettings settings;  // as given, with the delay measured
    AutoTuneProposal map;
    CellPredictions predictions{};
    std::vector<CellToDrive> driveNext;
    std::optional<CurveProposal> warmUp;
    std::optional<CurveProposal> pump;
    [[nodiscard]] const MeasuredDelay& delay() const { return *settings.measuredDelay; }
};
// Predictions less sure than this are shown, never written.
inline constexpr double kLeastPredictedConfidence = 0.5;

// `map` is the Inj Map of `tune` the logs are read against; the curves are those `tune` holds in
// its layout. A tune whose curves cannot be read gets a curve proposal that says so.
[[nodiscard]] AutoTuneAnalysis analyseAutoTune(const std::vector<AutoTuneLog>& logs,
                                               const Tune& tune, const TuneMap& map,
                                               const MapField& target, const CellLocks& locks,
                                               AutoTuneSettings settings, CurvesAsked curves);

// The target A/F file Auto Tune keeps, empty when none is, and its table: nothing when none is
// kept or it is gone; a damaged file is named in a message.
[[nodiscard]] std::string targetAfrFile(const SettingsStore& store);
[[nodiscard]] std::optional<MapField> openKeptTargetAfr(const std::string& file,
                                                        UserPrompts& prompts);
void rememberTargetAfrFile(SettingsStore& store, const std::string& path);

}  // namespace tunalyx
