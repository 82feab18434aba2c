// The markers reader: whatever a markers file holds, the markers read are written back as a file
// that reads as the same markers, with nothing skipped.
#include <cstdlib>
#include <string>

#include "fuzz_doubles.h"
#include "monitor/log_markers.h"

using namespace tunalyx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(fuzz::textOf(data, size));
    const LogMarkersRead read = readLogMarkersText(text, "LOG.markers");
    for (std::size_t i = 1; i < read.markers.size(); ++i)
        if (read.markers[i - 1].number >= read.markers[i].number) std::abort();
    const LogMarkersRead again = readLogMarkersText(logMarkersText(read.markers), "LOG.markers");
    if (!again.problem.empty() || again.markers.size() != read.markers.size()) std::abort();
    for (std::size_t i = 0; i < read.markers.size(); ++i)
        if (again.markers[i].number != read.markers[i].number ||
            again.markers[i].note != read.markers[i].note)
            std::abort();
    return 0;
}
