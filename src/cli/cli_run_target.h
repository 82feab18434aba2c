#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "model/trace_items.h"

class QLockFile;

// Where the logs of a run (log, drive) go, settled before the run starts: how long a run may be,
// whether the files may be replaced, whether they fit on the disk, and that no other run writes
// them meanwhile.
namespace tunalyx::cli {

// The log's times are whole milliseconds in 31 bits: 24 days; a run stops a little short of it.
inline constexpr long kLongestRunSeconds = 2'000'000;
inline constexpr long kMostRunSamples = 1'000'000'000;

// What a run will write: its samples, if it goes the whole way.
struct RunSize {
    std::array<bool, kTraceGroupCount> include{};
    std::optional<long> samples;
    std::optional<long> seconds;
};

// About how many bytes the run's logs take, LOG.txt, LOG-001.txt, ... together. A run of a time
// counts the samples the groups give at the line's speed, the most any unit can give.
[[nodiscard]] std::uintmax_t expectedRunBytes(const RunSize& run);

// The files of a run held for it alone, from before its first request until it is over: a lock
// file beside the first (LOG.txt.lock). One left by a run that has died is taken over.
class RunTarget {
public:
    RunTarget();
    ~RunTarget();
    RunTarget(const RunTarget&) = delete;
    RunTarget& operator=(const RunTarget&) = delete;

    // Why the run may not write to `path`: another run is writing it, or it (or a file it would
    // go on in) exists and `replace` was not given; the folder's own problems; too little room
    // for the run, and for its journal in `journalFolder` beside it. Empty once the files are held.
    [[nodiscard]] std::string claim(const std::string& path, const RunSize& run, bool replace,
                                    const std::string& journalFolder = {});

private:
    std::unique_ptr<QLockFile> m_lock;
};

}  // namespace tunalyx::cli
