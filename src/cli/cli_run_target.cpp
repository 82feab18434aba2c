#include "cli/cli_run_target.h"

#include "transfer/block_names.h"

#include <QLockFile>
#include <QString>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "cli/cli_common.h"
#include "monitor/live_decode.h"
#include "monitor/log_store.h"
#include "monitor/log_writer.h"

namespace tunalyx::cli {

namespace {

// A byte on the wire at 57600 baud, ten bits with start and stop.
constexpr double kByteSeconds = 10.0 / 57600;
// A logged value and its TAB take about this much, the time and the line end a little more.
constexpr std::uintmax_t kColumnBytes = 6;
constexpr std::uintmax_t kLineBytes = 12;

std::string folderOf(const std::string& path) {
    const std::filesystem::path p(path);
    return p.has_parent_path() ? p.parent_path().string() : std::string(".");
}

// The files of a run into `path` that are there already: the first and those it goes on in.
std::vector<std::string> existingFiles(const std::string& path) {
    std::vector<std::string> names;
    std::error_code ec;
    for (int part = 0; part < 1000; ++part) {
        const std::string file = continuedLogPath(path, part);
        if (std::filesystem::exists(file, ec))
            names.push_back(shownName(file));
        else if (part > 0)
            break;
    }
    return names;
}

}  // namespace

std::uintmax_t expectedRunBytes(const RunSize& run) {
    std::uintmax_t lineBytes = kLineBytes;
    int dataBytes = 0;
    for (int group = 0; group < kTraceGroupCount; ++group) {
        if (!run.include[static_cast<std::size_t>(group)]) continue;
        lineBytes += kColumnBytes *
                     static_cast<std::uintmax_t>(kGroupItemCount[static_cast<std::size_t>(group)]);
        dataBytes += kLiveLength[static_cast<std::size_t>(group)];
    }
    if (dataBytes == 0) return 0;
    const double perSecond = 1 / (dataBytes * kByteSeconds);
    const long seconds = std::min(run.seconds.value_or(kLongestRunSeconds), kLongestRunSeconds);
    double samples = perSecond * static_cast<double>(seconds);
    if (run.samples) samples = std::min(samples, static_cast<double>(*run.samples));
    const auto files = static_cast<std::uintmax_t>(samples) / LogStore::kMaxRunSamples + 1;
    return static_cast<std::uintmax_t>(samples) * lineBytes +
           files * logFileSizeBound(run.include, 0);
}

RunTarget::RunTarget() = default;
RunTarget::~RunTarget() = default;

std::string RunTarget::claim(const std::string& path, const RunSize& run, bool replace,
                             const std::string& journalFolder) {
    // The folder and the first file, as any save of a log checks them, with the journal the run
    // keeps of it.
    if (std::string problem = logRunProblem(
            path,
            logFileSizeBound(run.include, static_cast<int>(std::min<long>(
                                              run.samples.value_or(LogStore::kMaxRunSamples),
                                              LogStore::kMaxRunSamples))),
            journalFolder);
        !problem.empty())
        return problem;

    auto lock = std::make_unique<QLockFile>(QString::fromStdString(path + ".lock"));
    // Held as long as the run goes, however long: only a lock whose run has died is stale.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError)
            return path + " is being written by another run; it is left to that run.";
        return "The lock file " + path + ".lock cannot be made (" +
               (lock->error() == QLockFile::PermissionError ? "the folder takes no new file"
                                                            : "an unknown error") +
               "), so " + path + " is not written.";
    }
    if (!replace) {
        // Asked as any question of the command line, answered No without --yes.
        const std::vector<std::string> existing = existingFiles(path);
        if (existing.size() == 1) return existing.front() + " already exists. Replace it? [No]";
        if (!existing.empty()) return listedNames(existing) + " already exist. Replace them? [No]";
    }

    std::error_code ec;
    const std::filesystem::space_info space = std::filesystem::space(folderOf(path), ec);
    const std::uintmax_t needed = expectedRunBytes(run);
    if (!ec && space.available < needed)
        return freeSpaceProblem(space.available, folderOf(path), "the run's logs", needed);
    m_lock = std::move(lock);
    return {};
}

}  // namespace tunalyx::cli
