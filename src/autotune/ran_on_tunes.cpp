#include "autotune/ran_on_tunes.h"

#include <algorithm>

#include "model/settings_codec.h"
#include "versions/tune_file.h"

namespace tunalyx {

RanOnTunes::RanOnTunes(const Tune& host, const TuneHistory* history, UserPrompts& prompts, int grid)
    : m_grid(grid),
      m_host(&host),
      m_history(history),
      m_prompts(prompts),
      m_hostImage(host.image),
      m_hostNotes(host.notes),
      m_hostIdentity(host.VerName + '\n' + host.VerNumber),
      m_hostMap(tuneMapOfTune(host, m_grid)),
      m_hostHash(contentHash(dataFileText(host))) {
    if (m_history) {
        m_indexStamp = indexStamp();
        m_index = m_history->load();
    }
}

std::optional<RanOnTunes::IndexStamp> RanOnTunes::indexStamp() const {
    std::error_code ec;
    const std::string path = m_history->indexPath();
    IndexStamp stamp{std::filesystem::file_size(path, ec), {}};
    if (ec) return std::nullopt;
    stamp.time = std::filesystem::last_write_time(path, ec);
    if (ec) return std::nullopt;
    return stamp;
}

void RanOnTunes::refresh(const Tune& host, const TuneHistory* history) {
    m_host = &host;
    const std::string identity = host.VerName + '\n' + host.VerNumber;
    const bool otherIdentity = identity != m_hostIdentity;
    // Snapshots were read in the layout of the identity before.
    if (otherIdentity) m_found.clear();
    if (otherIdentity || host.image != m_hostImage || host.notes != m_hostNotes) {
        m_hostIdentity = identity;
        m_hostImage = host.image;
        m_hostNotes = host.notes;
        m_hostMap = tuneMapOfTune(host, m_grid);
        m_hostHash = contentHash(dataFileText(host));
    }
    const std::optional<IndexStamp> stamp = history ? indexStamp() : std::nullopt;
    if (history == m_history && stamp == m_indexStamp) return;
    m_history = history;
    m_indexStamp = stamp;
    m_index = history ? history->load() : HistoryIndex{};
    // A tune not found before may have been kept since; one found is found by its contents.
    std::erase_if(m_found, [](const auto& entry) { return !entry.second; });
}

RanOnTunes& refreshedTunes(std::optional<RanOnTunes>& kept, const Tune& host,
                           const TuneHistory* history, UserPrompts& prompts, int grid) {
    if (kept)
        kept->refresh(host, history);
    else
        kept.emplace(host, history, prompts, grid);
    return *kept;
}

const TuneMap* RanOnTunes::find(const std::string& hash) {
    if (hash.empty()) return nullptr;
    if (hash == m_hostHash) return &m_hostMap;
    auto [it, added] = m_found.try_emplace(hash);
    if (added && m_history) {
        const auto snapshot = std::find_if(m_index.snapshots.begin(), m_index.snapshots.end(),
                                           [&](const TuneSnapshot& s) { return s.hash == hash; });
        std::string error;
        if (snapshot != m_index.snapshots.end())
            if (const auto text = m_history->snapshotText(m_index, snapshot->id, error))
                if (const auto tune =
                        tuneFileInLayoutOf(*m_host, *text, "Tune " + std::to_string(snapshot->id),
                                           m_prompts, NotesAs::Written))
                    it->second = tuneMapOfTune(*tune, m_grid);
    }
    return it->second ? &*it->second : nullptr;
}

RanOnTunes::Resolved RanOnTunes::resolve(const LogTunes& tunes) {
    Resolved r;
    r.known = !tunes.empty();
    for (std::size_t k = 0; k < tunes.size(); ++k) {
        const TuneMap* map = find(tunes[k].tuneHash);
        // The samples polled while a write went out are of no one tune; between two known tunes
        // they are the stretch of a write during the run, and taken as the tune before it, which
        // every cell not yet sent still held.
        const bool writeStretch = !map && tunes[k].tuneHash.empty() && k > 0 &&
                                  k + 1 < tunes.size() && r.known && find(tunes[k + 1].tuneHash);
        if (writeStretch) {
            r.ranOn.push_back({tunes[k].firstSample, r.ranOn.back().tune});
            continue;
        }
        r.known = r.known && map;
        r.ranOn.push_back({tunes[k].firstSample, map ? *map : m_hostMap});
    }
    return r;
}

LogTunes RanOnTunes::tunesOfLog(std::string_view logHash) const {
    return logTunesOfHash(m_index, logHash);
}

std::string RanOnTunes::nameOf(const std::string& hash, const std::string& hostName) const {
    if (!hash.empty() && hash == m_hostHash) return hostName;
    const auto s = std::find_if(m_index.snapshots.begin(), m_index.snapshots.end(),
                                [&](const TuneSnapshot& t) { return t.hash == hash; });
    if (hash.empty() || s == m_index.snapshots.end()) return "an unknown tune";
    return "tune " + std::to_string(s->id) + " (" + s->action + ", " + s->time + ")";
}

std::string RanOnTunes::describe(const LogTunes& tunes, const std::string& hostName) const {
    std::string line;
    for (const TuneSegment& segment : tunes)
        line += line.empty() ? "ran on " + nameOf(segment.tuneHash, hostName)
                             : "; from sample " + std::to_string(segment.firstSample + 1) + " on " +
                                   nameOf(segment.tuneHash, hostName);
    return line;
}

std::string unknownTuneText(const std::string& logName, const std::string& tuneName) {
    return "the tune " + logName + " ran on is not known: taken as " + tuneName;
}

}  // namespace tunalyx
