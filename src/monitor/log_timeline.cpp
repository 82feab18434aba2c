#include "monitor/log_timeline.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <limits>
#include <memory>
#include <thread>

#include "monitor/log_reader.h"
#include "monitor/log_writer.h"
#include "ports/whole_file.h"

namespace tunalyx {

namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

// Keeps a worker's messages until the caller's thread tells them, part by part in order.
class HeldPrompts final : public UserPrompts {
public:
    struct Message {
        std::string text;
        MessageIcon icon;
    };
    MessageAnswer showMessage(const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override {
        messages.push_back({text, icon});
        return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
    }
    void showProgress(const std::string&) override {}
    void setProgress(int) override {}
    void hideProgress() override {}
    [[nodiscard]] bool cancelRequested() override { return false; }
    void setBusy(bool) override {}
    void yield() override {}

    std::vector<Message> messages;
};

struct PartRead {
    bool taken = false;
    HeldPrompts prompts;
    std::array<bool, kTraceGroupCount> include{};
    std::vector<double> times;
    std::array<std::vector<float>, kTraceItemCount> values;
};

// One part, read by the rules of File > Open into a store of the worker's own.
void readPart(const std::string& path, const TraceItems& items, LogStore& store, PartRead& out) {
    const std::string name = fileNameOf(path);
    {
        const std::optional<std::string> contents = readLogContents(out.prompts, path, name);
        if (!contents || !openLogContents(store, items, out.prompts, *contents, name)) return;
    }
    out.taken = true;
    out.include = store.IncludeGroup;
    const int n = store.sampleCount();
    out.times.resize(static_cast<std::size_t>(n));
    for (int s = 0; s < n; ++s)
        out.times[static_cast<std::size_t>(s)] = static_cast<double>(store.LogTime(s)) / 1000.0;
    for (int item = 0; item < kTraceItemCount; ++item) {
        if (!store.IncludeGroup[static_cast<std::size_t>(
                items.TraceGroup[static_cast<std::size_t>(item)])])
            continue;
        const double* row = store.itemRow(item);
        auto& column = out.values[static_cast<std::size_t>(item)];
        column.resize(static_cast<std::size_t>(n));
        std::transform(row, row + n, column.begin(),
                       [](double v) { return static_cast<float>(v); });
    }
}

}  // namespace

bool LogTimeline::open(const std::vector<std::string>& paths, const TraceItems& items,
                       UserPrompts& prompts, const TunesOfLog& tunesOf) {
    std::vector<PartRead> reads(paths.size());
    {
        // Each worker takes the next part to read until none is left; a log store each (they
        // are large, so one per worker, not per part).
        std::atomic<std::size_t> next = 0;
        const auto work = [&] {
            auto store = std::make_unique<LogStore>();
            for (std::size_t i = next++; i < paths.size(); i = next++)
                readPart(paths[i], items, *store, reads[i]);
        };
        const std::size_t threads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1,
                                                            std::max<std::size_t>(1, paths.size()));
        std::vector<std::jthread> workers;
        for (std::size_t t = 1; t < threads; ++t)
            workers.emplace_back(work);
        work();
    }

    m_parts.clear();
    m_time.clear();
    m_gaps.clear();
    for (auto& column : m_columns)
        column.clear();

    std::size_t total = 0;
    std::array<bool, kTraceItemCount> present{};
    for (std::size_t i = 0; i < reads.size(); ++i) {
        PartRead& r = reads[i];
        for (const HeldPrompts::Message& m : r.prompts.messages)
            prompts.tell(m.text, m.icon);
        if (!r.taken) {
            prompts.tell(fileNameOf(paths[i]) + " was left out of the session.",
                         MessageIcon::Exclamation);
            continue;
        }
        total += r.times.size();
        for (int item = 0; item < kTraceItemCount; ++item)
            present[static_cast<std::size_t>(item)] =
                present[static_cast<std::size_t>(item)] ||
                !r.values[static_cast<std::size_t>(item)].empty();
    }
    m_time.reserve(total);
    for (int item = 0; item < kTraceItemCount; ++item)
        if (present[static_cast<std::size_t>(item)])
            m_columns[static_cast<std::size_t>(item)].reserve(total);

    for (std::size_t i = 0; i < reads.size(); ++i) {
        PartRead& r = reads[i];
        if (!r.taken) continue;
        TimelinePart part;
        part.path = paths[i];
        part.firstSample = static_cast<int>(m_time.size());
        part.sampleCount = static_cast<int>(r.times.size());
        // A part of a continuous run carries on in time; another run starts again near 0 and
        // is moved to follow, with a gap the chart draws no line across.
        if (!m_time.empty() && r.times.front() < m_time.back()) {
            part.timeShift = m_time.back() + kGapSeconds - r.times.front();
            m_gaps.push_back(part.firstSample);
        }
        for (double t : r.times)
            m_time.push_back(t + part.timeShift);
        for (int item = 0; item < kTraceItemCount; ++item) {
            auto& column = m_columns[static_cast<std::size_t>(item)];
            if (!present[static_cast<std::size_t>(item)]) continue;
            const auto& values = r.values[static_cast<std::size_t>(item)];
            if (values.empty())
                column.insert(column.end(), r.times.size(), kNoValue);
            else
                column.insert(column.end(), values.begin(), values.end());
        }
        if (tunesOf) part.tunes = tunesOf(part.path);
        m_parts.push_back(std::move(part));
        r = PartRead{};  // its memory goes back before the next part is copied
    }
    return !m_parts.empty();
}

double LogTimeline::value(int item, int s) const {
    if (item < 0 || item >= kTraceItemCount) return std::numeric_limits<double>::quiet_NaN();
    const auto& column = m_columns[static_cast<std::size_t>(item)];
    return column.empty() ? std::numeric_limits<double>::quiet_NaN()
                          : static_cast<double>(column[static_cast<std::size_t>(s)]);
}

bool LogTimeline::hasItem(int item) const {
    return item >= 0 && item < kTraceItemCount &&
           !m_columns[static_cast<std::size_t>(item)].empty();
}

int LogTimeline::partOf(int s) const {
    const auto after =
        std::upper_bound(m_parts.begin(), m_parts.end(), s,
                         [](int sample, const TimelinePart& p) { return sample < p.firstSample; });
    return std::max(0, static_cast<int>(after - m_parts.begin()) - 1);
}

std::string LogTimeline::tuneOf(int s) const {
    if (m_parts.empty()) return {};
    const TimelinePart& p = m_parts[static_cast<std::size_t>(partOf(s))];
    return tuneOfSample(p.tunes, s - p.firstSample);
}

LogTunes LogTimeline::tunes() const {
    LogTunes all;
    const auto add = [&all](int first, const std::string& hash) {
        // A part that goes on with the tune before it starts no segment of its own.
        if (all.empty() || all.back().tuneHash != hash) all.push_back({first, hash});
    };
    for (const TimelinePart& p : m_parts) {
        // A part the history knows nothing of ran on a tune not known.
        if (p.tunes.empty() || p.tunes.front().firstSample > 0) add(p.firstSample, {});
        for (const TuneSegment& segment : p.tunes)
            add(p.firstSample + segment.firstSample, segment.tuneHash);
    }
    return all;
}

std::vector<std::string> sessionPartsOf(const std::string& path) {
    const LogFilePart chosen = logFilePartOf(path);
    std::vector<std::string> parts;
    std::error_code ignored;
    // Past the part chosen, the run ends at the first part missing.
    for (int n = 0;; ++n) {
        const std::string part = continuedLogPath(chosen.first, n);
        if (std::filesystem::is_regular_file(part, ignored))
            parts.push_back(part);
        else if (n > chosen.part)
            break;
    }
    return parts;
}

}  // namespace tunalyx
