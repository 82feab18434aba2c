// Reading a history index of a lifetime of tuning and listing it as `history list` does (every
// tune with its logs), at 25,000, 50,000 and 100,000 lines: the time should grow with the length,
// about doubling with it, never with its square.
#include <chrono>
#include <cstdio>
#include <string>

#include "history/tune_history.h"

using namespace tunalyx;

namespace {

// Three tune lines of distinct tunes to one log line, each log run on two tunes.
std::string indexOf(int lines) {
    std::string text;
    for (int n = 1, id = 1; n <= lines; ++n) {
        const std::string hash = contentHash(std::to_string(id));
        if (n % 4 != 0) {
            text += "tune\t" + std::to_string(id++) +
                    "\t2026-03-01 10:00:00\tUpdate\tSR20DET1\t5.01\t" + "a.dat\t" + hash +
                    "\tnotes\n";
        } else {
            text += "log\t2026-03-01 10:00:00\tLOG.txt\t" + contentHash("log" + std::to_string(n)) +
                    "\t" + std::to_string(id - 1) + "\t0:" + contentHash(std::to_string(id - 2)) +
                    " 100:" + contentHash(std::to_string(id - 1)) + "\n";
        }
    }
    return text;
}

}  // namespace

int main() {
    for (int lines : {25000, 50000, 100000}) {
        const std::string text = indexOf(lines);
        const auto start = std::chrono::steady_clock::now();
        const HistoryIndex index = parseHistoryIndex(text, "index.txt");
        std::size_t logs = 0;
        for (const TuneSnapshot& s : index.snapshots)
            logs += index.logsOf(s.id).size();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        std::printf("%6d lines: read and listed in %8.1f ms (%zu tunes, %zu log links)\n", lines,
                    ms, index.snapshots.size(), logs);
    }
    return 0;
}
