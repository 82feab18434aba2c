// The log reader and the CSV export take any text. What the reader keeps, saved and read again,
// must come back whole: the same groups, the same number of samples, no row damaged.
#include <cstdlib>

#include "fuzz_doubles.h"
#include "monitor/log_file.h"

using namespace tunalyx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The store is 17 MB; one for the whole run keeps the fuzzer at its speed. A read rewrites
    // every sample it keeps, so what an earlier input left cannot matter.
    static LogStore store;
    static const TraceItems items;
    const std::string_view text = fuzz::textOf(data, size);

    (void)logTextAsCsv(text);
    const LogReadResult read = readLogText(text, store, items);
    if (!read.read()) return 0;
    if (store.LogLast < 0 || store.LogLast >= LogStore::kMaxRunSamples) std::abort();
    if (!logHasGroups(store)) return 0;

    const auto groups = store.IncludeGroup;
    const int last = store.LogLast;
    const LogReadResult again = readLogText(logFileText(store, items), store, items);
    if (!again.read() || again.rowsInFile != last + 1 || store.LogLast != last ||
        store.IncludeGroup != groups || again.damage.firstDamagedLine != 0 ||
        again.damage.cutLine != 0 || !again.unknownHeading.empty())
        std::abort();
    (void)logCsvText(store, items);
    return 0;
}
