#pragma once

#include "monitor/sample_source.h"

namespace tunalyx::bench {

// The parts of the log analysis benchmark that time other windows; each lives in its own file.

// Milliseconds for the scatter over the map to redraw every sample of `source` (500,000 points
// or so), the median of a few redraws.
double scatterRedrawMs(const SampleSource& source);
// How many samples the automatic alignment of two simulated pulls is off, the worst of a few.
double alignErrorSamples();

}  // namespace tunalyx::bench
