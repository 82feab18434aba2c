#pragma once

#include <string>
#include <vector>

namespace tunalyx {

// Which tune the unit held while a log was taken. A segment runs from its first sample to the
// next segment's first; the first segment begins at sample 0. A tune is named by the content hash
// the tune history gives its snapshot (the data-file text); an empty hash means not known (a unit
// never read, a write that stopped half way).
struct TuneSegment {
    int firstSample = 0;
    std::string tuneHash;
    bool operator==(const TuneSegment&) const = default;
};
using LogTunes = std::vector<TuneSegment>;

// The hash of the tune sample `s` ran on; empty when not known.
[[nodiscard]] inline std::string tuneOfSample(const LogTunes& tunes, int s) {
    std::string hash;
    for (const TuneSegment& segment : tunes) {
        if (segment.firstSample > s) break;
        hash = segment.tuneHash;
    }
    return hash;
}

}  // namespace tunalyx
