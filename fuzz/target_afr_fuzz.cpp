// The target A/F file: any text is either a whole table of targets the tune can be held to, or
// refused with a reason that names where; a table taken writes out and reads back the same.
#include <cmath>
#include <cstdlib>

#include "autotune/target_afr.h"
#include "fuzz_doubles.h"

using namespace tunalyx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const TargetAfrRead read = readTargetAfr(fuzz::textOf(data, size));
    if (!read.table) {
        if (read.error.empty()) std::abort();
        return 0;
    }
    if (!read.error.empty()) std::abort();
    for (const auto& row : *read.table)
        for (double afr : row)
            if (!(afr >= kLowestTargetAfr && afr <= kHighestTargetAfr)) std::abort();
    const TargetAfrRead again = readTargetAfr(targetAfrText(*read.table));
    if (!again.table || *again.table != *read.table) std::abort();
    return 0;
}
