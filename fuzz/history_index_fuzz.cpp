// The history index: any text loads what its whole lines say and names every other line, each
// line at most once, and every log it links points at no tune or at one it listed.
#include <cstdlib>

#include "fuzz_doubles.h"
#include "history/tune_history.h"

using namespace tunalyx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::textOf(data, size);
    const HistoryIndex index = parseHistoryIndex(text, "index.txt");
    std::size_t lines = 0;
    for (char c : text)
        lines += c == '\n';
    if (!text.empty() && text.back() != '\n') ++lines;
    if (index.snapshots.size() + index.logs.size() + index.problems.size() > lines) std::abort();
    for (const TuneSnapshot& s : index.snapshots)
        if (s.id < 1 || s.hash.size() != 16 || index.find(s.id) != &s) std::abort();
    for (const LogLink& l : index.logs)
        if (l.tune < 0 || l.hash.size() != 16) std::abort();
    for (const std::string& p : index.problems)
        if (!p.starts_with("index.txt line ")) std::abort();
    (void)logTuneText(index, text);
    return 0;
}
