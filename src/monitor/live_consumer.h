#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "monitor/live_decode.h"
#include "monitor/log_markers.h"
#include "monitor/log_store.h"
#include "monitor/log_tunes.h"

namespace tunalyx {

// A sample of a live run, whole, as it is handed on.
struct PublishedSample {
    int index;            // its number in the log of its part
    int part;             // the part of the run: 0, then 1, 2, ... as full logs are saved
    std::int32_t timeMs;  // from the run's first sample, across parts
    const LiveSample& values;
    bool refresh;  // the first sample of a part, and the first of each new second of the run
};

// A log the run wrote to a file: a full part, the last one, or the user's Save.
struct SavedLog {
    const std::string& path;
    std::string_view contents;  // as written
    const LogStore& log;
    int part;
    bool runGoesOn;         // a part saved while the run polls on into the next
    const LogTunes& tunes;  // which tune the unit held for each of its samples
};

// Where whoever knows what the unit holds (the tune history) tells the run, after every command
// with the unit: the samples polled from then on ran on that tune.
class UnitTuneSink {
public:
    virtual ~UnitTuneSink() = default;
    // The unit holds the tune of this content hash now; empty when it is not known.
    virtual void unitHolds(const std::string& tuneHash) = 0;
    [[nodiscard]] virtual bool running() const = 0;
};

// What everyone who follows a live run receives: the journal, the monitor's fields, the chart,
// the map watch, the watches, auto-tune and the tune history. Everything is told on the thread
// that presents the run (the window's, the command line's main thread), in order: samples only
// once they are whole, each once.
class LiveConsumer {
public:
    virtual ~LiveConsumer() = default;

    // A run begins; its log starts from sample 0.
    virtual void runStarted() {}
    // A continuous run goes on in its next part: the log starts from sample 0 again, its times
    // go on from the run's first sample. To most it is a new log; what follows the run as a
    // whole carries on.
    virtual void partStarted(int /*part*/) { runStarted(); }
    virtual void samplePublished(const PublishedSample& /*sample*/) {}
    // The samples new since the last frame have all been told: the moment to paint.
    virtual void framePresented() {}
    virtual void runEnded() {}
    virtual void logSaved(const SavedLog& /*saved*/) {}
    // A marker was set in the part being logged, or given its note (the same number again).
    virtual void markerSet(const LogMarker& /*marker*/) {}
    // The log in memory was replaced by a file that was opened, or recalculated: its samples
    // are no longer those of a run.
    virtual void logReplaced() {}
    // The run this consumer was added to (nullptr once it is removed), for a consumer that tells
    // it what the unit holds.
    virtual void followRun(UnitTuneSink* /*run*/) {}
};

}  // namespace tunalyx
