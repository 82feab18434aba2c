// Opening a full log (32767 samples of every group) with the log reader, against a plain
// getline / split / strtod reader of the same file. Opening a long log must not make the chart
// window wait: the reader should stay well ahead of the plain one.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "quiet_prompts.h"

#include "monitor/live_decode.h"
#include "monitor/log_file.h"

using namespace tunalyx;

namespace {

constexpr int kRuns = 7;

// Values of each group's kind, as the monitor stores them.
void fillLog(LogStore& store) {
    std::mt19937 rng(42);
    for (int s = 0; s < LogStore::kMaxRunSamples; ++s) {
        store.setLogTime(s, s * 23 + static_cast<std::int32_t>(rng() % 10));
        for (int item = 0; item < kTraceItemCount; ++item) {
            double v = static_cast<float>(static_cast<double>(rng() % 65536) * 0.001);
            if (item >= 38 && item <= 53) v = rng() % 2;
            if (item >= 62) v = rng() % 256;
            store.setLogData(item, s, v);
        }
    }
    store.LogLast = LogStore::kMaxRunSamples - 1;
    store.IncludeGroup = {true, true, true, true, true};
}

// What a general-purpose delimited-text reader does: a line at a time, each split into strings,
// each field converted with strtod. Columns map to items in file order.
bool plainRead(const std::string& path, LogStore& store, const std::vector<int>& columnItems) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line.rfind("[SR20DET]", 0) != 0) return false;
    std::getline(in, line);  // the header
    std::vector<std::string> fields;
    int row = 0;
    while (row < LogStore::kMaxRunSamples && std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        fields.clear();
        std::size_t from = 0;
        for (;;) {
            const std::size_t tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab - from));
            if (tab == std::string::npos) break;
            from = tab + 1;
        }
        store.setLogTime(row, static_cast<std::int32_t>(
                                  std::lround(std::strtod(fields[0].c_str(), nullptr) * 1000)));
        for (std::size_t c = 0; c < columnItems.size() && c + 1 < fields.size(); ++c)
            store.setLogData(columnItems[c], row, std::strtod(fields[c + 1].c_str(), nullptr));
        ++row;
    }
    store.LogLast = std::max(0, row - 1);
    return true;
}

template <typename F>
double medianMs(F&& body) {
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        body();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

}  // namespace

int main() {
    const TraceItems items;
    QuietPrompts prompts;
    LogStore store;
    fillLog(store);
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "tunalyx_log_bench.txt";

    std::string text;
    const double writeMs = medianMs([&] { text = logFileText(store, items); });
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    std::vector<int> columnItems;
    for (int g : kPollOrder)
        for (int i = 0; i < kGroupItemCount[static_cast<std::size_t>(g)]; ++i)
            columnItems.push_back(items.lookup(g, i));

    const double oursMs = medianMs([&] {
        if (!openLogFile(store, items, prompts, path.string(), "bench")) std::abort();
    });
    const double plainMs = medianMs([&] {
        if (!plainRead(path.string(), store, columnItems)) std::abort();
    });
    std::error_code ignored;
    std::filesystem::remove(path, ignored);

    const double mb = static_cast<double>(text.size()) / 1e6;
    std::printf("log of %d samples x %zu columns, %.1f MB, median of %d runs\n",
                LogStore::kMaxRunSamples, columnItems.size() + 1, mb, kRuns);
    std::printf("%-36s %8.1f ms\n", "write (logFileText)", writeMs);
    std::printf("%-36s %8.1f ms  %6.0f MB/s\n", "open (openLogFile)", oursMs, mb / oursMs * 1e3);
    std::printf("%-36s %8.1f ms  %6.0f MB/s\n", "plain getline/split/strtod", plainMs,
                mb / plainMs * 1e3);
    std::printf("%-36s %8.2f x\n", "plain / ours", plainMs / oursMs);
    return 0;
}
