// Journal recovery: whatever a journal holds, the log it recovers reads back through the log
// reader as exactly the samples recovery counted, none damaged or cut, and its tunes name only
// those samples.
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_doubles.h"
#include "monitor/log_journal.h"
#include "monitor/log_reader.h"

using namespace tunalyx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string journal(fuzz::textOf(data, size));
    const RecoveredLog recovered = recoverJournalText(journal, "journal.tlj");
    if (!recovered.problem.empty()) {
        if (!recovered.text.empty() || recovered.samples != 0) std::abort();
        return 0;
    }
    LogLines lines(recovered.text);
    if (!lines.isLogFile()) std::abort();
    std::vector<double> row;
    long rows = 0;
    while (lines.nextRow(row))
        ++rows;
    const LogDamage& damage = lines.damage();
    if (rows != recovered.samples || damage.damagedLines != 0 || damage.cutLine != 0) std::abort();
    int previous = -1;
    for (const TuneSegment& t : recovered.tunes) {
        if (t.firstSample <= previous || t.firstSample >= recovered.samples) std::abort();
        previous = t.firstSample;
    }
    return 0;
}
