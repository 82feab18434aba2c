#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "autotune/autotune.h"
#include "history/tune_history.h"
#include "monitor/log_tunes.h"
#include "ports/user_prompts.h"
#include "versions/tune.h"

namespace tunalyx {

// One map (the Inj Map or the Ign Map, `grid`) of each tune logs ran on, found by the content hash
// the tune history names them by: the host's own (the tune in the window or given on the command
// line) when the hashes match, else the history's snapshot read in the host's layout. Each is read
// once, and a window keeps one across its analyses: `refresh` reads again only what changed since.
class RanOnTunes {
public:
    // `history` may be null: then only the host's own hash is known.
    RanOnTunes(const Tune& host, const TuneHistory* history, UserPrompts& prompts,
               int grid = kInjMap);

    // Before another analysis: the history's index is read again when its file changed (size or
    // time) or another history is given, the host's map and hash when its data changed.
    void refresh(const Tune& host, const TuneHistory* history);

    [[nodiscard]] const TuneMap& hostMap() const { return m_hostMap; }
    // The map of the tune of `hash`; null when not known (no hash, not kept, unreadable).
    [[nodiscard]] const TuneMap* find(const std::string& hash);

    // A log's tunes with their maps. The stretch of a write between two known tunes is taken as
    // the tune before it; any other part whose tune is not known is taken as run on the host;
    // `known` says whether every part's tune was found.
    struct Resolved {
        std::vector<RanOnMap> ranOn;
        bool known = false;
    };
    [[nodiscard]] Resolved resolve(const LogTunes& tunes);

    // The tunes the history links a saved log to, by the content hash of the log file; empty
    // when the log was never saved while the history was kept, or its tune is unknown.
    [[nodiscard]] LogTunes tunesOfLog(std::string_view logHash) const;
    // How a tune is named to the user: "the tune in the window" (`hostName`), "tune 5 (Read
    // All, 2026-12-07 08:00:00)", or "an unknown tune".
    [[nodiscard]] std::string nameOf(const std::string& hash, const std::string& hostName) const;
    // Which tune each part of a log ran on, as one line: "ran on tune 5 (...); from sample 5001
    // on the tune in the window".
    [[nodiscard]] std::string describe(const LogTunes& tunes, const std::string& hostName) const;

private:
    // What the index file was when it was read: an append changes its size.
    struct IndexStamp {
        std::uintmax_t size = 0;
        std::filesystem::file_time_type time;
        bool operator==(const IndexStamp&) const = default;
    };
    [[nodiscard]] std::optional<IndexStamp> indexStamp() const;

    int m_grid;
    const Tune* m_host;
    const TuneHistory* m_history;
    UserPrompts& m_prompts;
    // The host's data the map and hash were taken from, and its identity, which gives the layout
    // snapshots are read in.
    PacketImage m_hostImage;
    std::string m_hostNotes;
    std::string m_hostIdentity;
    TuneMap m_hostMap;
    std::string m_hostHash;
    HistoryIndex m_index;
    std::optional<IndexStamp> m_indexStamp;
    std::map<std::string, std::optional<TuneMap>> m_found;
};

// The tunes a window keeps between its analyses, made on the first and refreshed on the next.
RanOnTunes& refreshedTunes(std::optional<RanOnTunes>& kept, const Tune& host,
                           const TuneHistory* history, UserPrompts& prompts, int grid = kInjMap);

// "the tune LOG ran on is not known: taken as TUNE"
[[nodiscard]] std::string unknownTuneText(const std::string& logName, const std::string& tuneName);

}  // namespace tunalyx
