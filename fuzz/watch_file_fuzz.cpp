// The watch file reader: the first byte answers the version question, the rest is the file. A file
// not read whole leaves the watches as they were; every watch must stay one the windows can show.
#include <cstdlib>

#include "fuzz_doubles.h"
#include "watches/watch_display.h"
#include "watches/watch_file.h"

using namespace tunalyx;

namespace {

constexpr SetupFileVersion kVersion{"SR20DET1", "5.01 "};

bool showable(const WatchSettings& w) {
    return w.ItemIndex >= 0 && w.ItemIndex < kTraceItemCount && w.Colours >= 1 && w.Colours <= 5 &&
           w.DecimalPlaces >= 0 && w.DecimalPlaces <= 9;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const TraceItems items;
    fuzz::BitPrompts prompts(data[0]);
    WatchSet before;
    for (int i = 0; i < kWatchCount; ++i)
        before[static_cast<std::size_t>(i)] = defaultWatch(i);
    WatchSet watches = before;

    if (applyWatchFileText(fuzz::textOf(data + 1, size - 1), watches, items, kVersion, prompts) !=
            KeyFileOutcome::Loaded &&
        !(watches == before))
        std::abort();

    const NumberLocale locale;
    for (const WatchSettings& w : watches) {
        if (!showable(w)) std::abort();
        for (double value : w.MaxValue) {
            const int band =
                watchBand(watchText(value, w.DecimalPlaces, locale), w.Colours, w.MaxValue, locale);
            if (band < 0 || band >= w.Colours) std::abort();
        }
    }
    return 0;
}
