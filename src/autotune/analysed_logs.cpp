#include "autotune/analysed_logs.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <tuple>

#include "autotune/delay_measurement.h"
#include "autotune/target_afr.h"
#include "history/tune_history.h"
#include "monitor/log_file.h"
#include "monitor/log_reader.h"
#include "monitor/log_writer.h"
#include "ports/whole_file.h"

namespace tunalyx {

namespace {

const char* const kTargetFileKey = "AutoTuneTargetFile";

// A message that stands alone: a capital first, a full stop last.
std::string sentence(std::string clause) {
    if (!clause.empty()) clause.front() = static_cast<char>(std::toupper(clause.front()));
    return clause + ".";
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string out;
    for (const std::string& p : parts)
        out += (out.empty() ? "" : separator) + p;
    return out;
}

}  // namespace

std::string LogsToRead::logsLine() const {
    return shown.empty() ? "No log to analyse: log a run or open log files."
                         : "Logs: " + joined(shown, ", ");
}

std::string LogsToRead::notesText() const {
    return joined(notes, "\n");
}

AnalysedLogs::AnalysedLogs(Session& session, LiveRun& live, int grid, An1NotAfr an1NotAfr)
    : m_session(session), m_live(live), m_grid(grid), m_an1NotAfr(an1NotAfr) {}

std::string AnalysedLogs::open(std::vector<std::string> paths) {
    // The parts of a long run in their order (a dialog sorts LOG-001.txt before LOG.txt).
    std::stable_sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        const LogFilePart pa = logFilePartOf(a);
        const LogFilePart pb = logFilePartOf(b);
        return std::tie(pa.first, pa.part) < std::tie(pb.first, pb.part);
    });
    std::string status;
    for (const std::string& path : paths) {
        const std::string name = fileNameOf(path);
        const auto contents = readLogContents(m_session.prompts, path, name);
        if (!contents) continue;
        const std::string hash = contentHash(*contents);
        if (std::any_of(m_opened.begin(), m_opened.end(),
                        [&](const Opened& o) { return o.hash == hash; })) {
            status = name + " is open already: it is read once.";
            continue;
        }
        bool an1IsAfr = true;
        if (const std::string an1 = an1HeadingOf(*contents); !an1.empty()) {
            if (const std::string refused = an1Refusal(an1, name); !refused.empty()) {
                if (m_an1NotAfr == An1NotAfr::Refused) {
                    m_session.prompts.tell(sentence(refused), MessageIcon::Exclamation);
                    continue;
                }
                an1IsAfr = false;
            }
        }
        auto log = std::make_unique<LogStore>();
        if (!openLogContents(*log, m_session.trace, m_session.prompts, *contents, name)) continue;
        // A part goes on with the run before it when its name says so and its times carry on.
        const bool continues =
            !m_opened.empty() && continuesLog(m_opened.back().path, path) &&
            log->LogTime(0) >= m_opened.back().log->LogTime(m_opened.back().log->LogLast);
        m_opened.push_back({std::move(log), name, path, hash, continues, an1IsAfr});
    }
    return status;
}

void AnalysedLogs::clear() {
    m_opened.clear();
    m_assumed.clear();
}

std::vector<RanOnMap> AnalysedLogs::ranOnOf(RanOnTunes& tunes, const LogTunes& known,
                                            const std::string& key, const std::string& logName,
                                            std::vector<std::string>& notes) {
    RanOnTunes::Resolved r = tunes.resolve(known);
    if (r.known) return std::move(r.ranOn);
    notes.push_back(unknownTuneText(logName, fileNameOf(m_session.captionFile)));
    // A log goes on being taken as run on the tune it was first taken as: analysed again after
    // an Apply, it is still the log of the tune before.
    if (key.empty()) return std::move(r.ranOn);
    const TuneMap& assumed = m_assumed.try_emplace(key, tunes.hostMap()).first->second;
    if (r.ranOn.empty()) return {{0, assumed}};
    for (std::size_t k = 0; k < known.size(); ++k)
        if (!tunes.find(known[k].tuneHash)) r.ranOn[k].tune = assumed;
    return std::move(r.ranOn);
}

LogsToRead AnalysedLogs::collect(LiveAutoTune& liveRun, const TuneHistory* history) {
    LogsToRead out;
    RanOnTunes& tunes =
        refreshedTunes(m_tunes, m_session.tune(), history, m_session.prompts, m_grid);
    const LogStore& memory = m_live.log();
    const std::string memoryName =
        m_live.logName().empty() ? std::string("the log in memory") : fileNameOf(m_live.logName());
    const std::string memoryKey = "memory " + std::to_string(liveRun.logGeneration());
    const std::string an1Refused = memory.IncludeGroup[kGroupAux]
                                       ? an1Refusal(m_session.trace.TraceName[kAn1Item], memoryName)
                                       : std::string();
    // The log in memory as a file: the same log opened from the disk is read once.
    std::string memoryHash;
    bool memoryRead = false;
    if (liveRun.running()) {
        if (const std::optional<AutoTuneLog> run = liveRun.runSoFar()) {
            // Written to while it runs: what it wrote is known by when (writtenAt).
            out.logs.push_back({run->log, run->continuesRun,
                                ranOnOf(tunes, m_live.tunes(), {}, memoryName, out.notes),
                                memoryName, an1Refused.empty()});
            out.shown.push_back("the run being logged (" + std::to_string(run->log->sampleCount()) +
                                " samples)");
            memoryRead = true;
        }
    } else if (memory.LogLast > 0) {
        if (!an1Refused.empty() && m_an1NotAfr == An1NotAfr::Refused) {
            out.notes.push_back(sentence(an1Refused));
        } else {
            out.logs.push_back({&memory, false,
                                ranOnOf(tunes, m_live.tunes(), memoryKey, memoryName, out.notes),
                                memoryName, an1Refused.empty()});
            out.shown.push_back("the log in memory (" + std::to_string(memory.sampleCount()) +
                                " samples)");
            memoryRead = true;
            if (!m_opened.empty()) memoryHash = memoryLogHash(liveRun.logGeneration());
        }
    }
    for (const Opened& o : m_opened) {
        if (memoryRead && o.hash == memoryHash) {
            out.notes.push_back(o.name + " is the log in memory: it is read once.");
            continue;
        }
        out.logs.push_back({o.log.get(), o.continues,
                            ranOnOf(tunes, tunes.tunesOfLog(o.hash), o.hash, o.name, out.notes),
                            o.name, o.an1IsAfr});
        out.shown.push_back(o.name);
    }
    return out;
}

const std::string& AnalysedLogs::memoryLogHash(int generation) {
    const LogStore& memory = m_live.log();
    const int samples = memory.sampleCount();
    if (generation != m_memoryHash.generation || samples != m_memoryHash.samples)
        m_memoryHash = {generation, samples, contentHash(logFileText(memory, m_session.trace))};
    return m_memoryHash.hash;
}

std::string targetAfrFile(const SettingsStore& store) {
    return store.text(kTargetFileKey, "");
}

std::optional<MapField> openKeptTargetAfr(const std::string& file, UserPrompts& prompts) {
    std::error_code absent;
    if (file.empty() || !std::filesystem::exists(file, absent)) return std::nullopt;
    return openTargetAfr(prompts, file, fileNameOf(file));
}

void rememberTargetAfrFile(SettingsStore& store, const std::string& path) {
    store.setValue(kTargetFileKey, path);
}

AutoTuneAnalysis analyseAutoTune(const std::vector<AutoTuneLog>& logs, const Tune& tune,
                                 const TuneMap& map, const MapField& target, const CellLocks& locks,
                                 AutoTuneSettings settings, CurvesAsked curves) {
    AutoTuneAnalysis out;
    settings.measuredDelay = measureSensorDelay(logs, settings);
    out.settings = settings;
    out.map = proposeCorrections(logs, map, target, locks, settings);
    out.predictions = predictUnmeasured(out.map, map, locks, settings);
    out.driveNext = cellsToDriveNext(out.map, map, 10, settings.minSamples);
    if (!curves.warmUp && !curves.pump) return out;

    const FamilyLayout* layout = tune.layout.family ? &familyLayout(*tune.layout.family) : nullptr;
    const std::optional<FuelCurves> held =
        layout ? fuelCurvesOf(tune.image, *layout) : std::nullopt;
    const auto unreadable = [&](CurveKind kind, const char* name) {
        CurveProposal p;
        p.kind = kind;
        p.name = name;
        p.problem = layout ? std::string(name) +
                                 " cannot be read from the tune: a block is "
                                 "missing or short, or its points do not rise"
                           : "the tune's version is not known, so its curves cannot be found";
        return p;
    };
    if (curves.warmUp)
        out.warmUp = held ? proposeWarmUp(logs, map, *held, target, out.map, settings, *layout)
                          : unreadable(CurveKind::WarmUp, "Water Temp Correction, Corr 1");
    if (curves.pump)
        out.pump = held ? proposePump(logs, map, *held, target, settings, *layout, &out.map)
                        : unreadable(CurveKind::Pump, "Accelerate Injector, Accel A");
    return out;
}

}  // namespace tunalyx
