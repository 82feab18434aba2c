#include "monitor/log_writer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "model/descriptors.h"
#include "monitor/live_decode.h"
#include "monitor/log_groups.h"
#include "monitor/log_numbers.h"
#include "ports/whole_file.h"

namespace tunalyx {

namespace {

constexpr int kSensorVoltages = 8;  // Sensor/Sw items 0..7; the switch bits follow
constexpr int kTimeDecimals = 3;

int lastSample(const LogStore& store) {
    return std::clamp(store.LogLast, 0, LogStore::kSamples - 1);
}

// Whether two folders lie on one disk, so that what goes in either takes the same room.
bool sameFileSystem(const std::filesystem::path& a, const std::filesystem::path& b) {
#ifndef _WIN32
    struct stat sa {
    }, sb{};
    return ::stat(a.string().c_str(), &sa) == 0 && ::stat(b.string().c_str(), &sb) == 0 &&
           sa.st_dev == sb.st_dev;
#else
    return a.root_name() == b.root_name();
#endif
}

// A file of our own beside the target, made and removed again: the one sure test that the
// folder takes new files (permissions, a read-only disk, a quota).
std::string folderRefusal(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::error_code ec;
    fs::path probe;
    int attempt = 0;
    do
        probe =
            folder / (".tunalyx-check-" + std::to_string(stamp) + "-" + std::to_string(attempt++));
    while (fs::exists(probe, ec));
    errno = 0;
    std::FILE* file = std::fopen(probe.string().c_str(), "wb");
    if (!file) {
        const int error = errno;
        return "The log cannot be saved in " + folder.string() + ": " +
               (error ? std::generic_category().message(error) : std::string("it takes no files")) +
               ".";
    }
    std::fclose(file);
    fs::remove(probe, ec);
    return {};
}

}  // namespace

std::vector<LogColumn> logColumns(const LogStore& store, const TraceItems& items) {
    return logColumns(store.IncludeGroup, items);
}

std::vector<LogColumn> logColumns(const std::array<bool, kTraceGroupCount>& include,
                                  const TraceItems& items) {
    std::vector<LogColumn> columns;
    for (int group : kPollOrder) {
        if (!include[static_cast<std::size_t>(group)]) continue;
        for (int i = 0; i < kGroupItemCount[static_cast<std::size_t>(group)]; ++i) {
            const int item = items.lookup(group, i);
            LogColumn c{items.TraceName[static_cast<std::size_t>(item)], item,
                        LogColumn::Form::Truncated, kWholePart, itemPrecision(items, item)};
            c.decimals = itemDecimals(item);
            switch (group) {
                case kGroupSensor:
                    if (i >= kSensorVoltages) c.form = LogColumn::Form::Number;
                    break;
                case kGroupMap:
                    c.name = kLogMapNames[static_cast<std::size_t>(i)];
                    c.form = LogColumn::Form::Number;
                    break;
                default:
                    break;
            }
            columns.push_back(c);
        }
    }
    return columns;
}

std::string logFileHeaderText(const std::vector<LogColumn>& columns) {
    std::string text;
    text += kLogFileHeader;
    text += kLineEnd;
    text += kLogTimeHeader;
    text += '\t';
    for (const LogColumn& c : columns) {
        text += c.name;
        text += '\t';
    }
    text += kLineEnd;
    return text;
}

void appendLogLine(std::string& text, const LogStore& store, const std::vector<LogColumn>& columns,
                   int s) {
    appendTruncated(text, store.LogTime(s) / 1000.0, kTimeDecimals, Precision::Double);
    text += '\t';
    for (const LogColumn& c : columns) {
        const double value = store.LogData(c.item, s);
        if (c.form == LogColumn::Form::Number)
            appendNumberForm(text, value);
        else
            appendTruncated(text, value, c.decimals, c.precision);
        text += '\t';
    }
    text += kLineEnd;
}

std::string logFileText(const LogStore& store, const TraceItems& items) {
    const std::vector<LogColumn> columns = logColumns(store, items);
    const int last = lastSample(store);
    std::string text = logFileHeaderText(columns);
    text.reserve(static_cast<std::size_t>(last + 3) * (columns.size() * 7 + 12));
    for (int s = 0; s <= last; ++s)
        appendLogLine(text, store, columns, s);
    return text;
}

bool logHasGroups(const LogStore& store) {
    return std::any_of(store.IncludeGroup.begin(), store.IncludeGroup.end(),
                       [](bool included) { return included; });
}

std::string saveLogFile(LogStore& store, const TraceItems& items, FileWriter& writer,
                        const std::string& path, const LogSavedHook& saved) {
    if (!logHasGroups(store)) return "The log includes no group, so there is nothing to save.";
    const std::string text = logFileText(store, items);
    std::string error = writer.writeWhole(path, text);
    if (!error.empty()) return error;
    store.LogUnsaved = false;
    if (saved) saved(path, text);
    return error;
}

std::string continuedLogPath(const std::string& path, int part) {
    if (part <= 0) return path;
    const std::filesystem::path p(path);
    std::string number = std::to_string(part);
    if (number.size() < 3) number.insert(0, 3 - number.size(), '0');
    // The folder as it was written: a "/" stays a "/" on Windows too.
    const std::string folder = path.substr(0, path.size() - p.filename().string().size());
    return folder + p.stem().string() + "-" + number + p.extension().string();
}

LogFilePart logFilePartOf(const std::string& path) {
    // The part number sits between the last "-" of the name and its extension.
    const std::filesystem::path p(path);
    const std::string stem = p.stem().string();
    const std::size_t dash = stem.rfind('-');
    if (dash == std::string::npos || stem.size() - dash - 1 < 3) return {path, 0};
    const std::string digits = stem.substr(dash + 1);
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 6)
        return {path, 0};
    const int part = std::stoi(digits);
    const std::string folder = path.substr(0, path.size() - p.filename().string().size());
    const std::string first = folder + stem.substr(0, dash) + p.extension().string();
    if (part < 1 || continuedLogPath(first, part) != path) return {path, 0};
    return {first, part};
}

bool continuesLog(const std::string& previous, const std::string& path) {
    const LogFilePart next = logFilePartOf(path);
    const LogFilePart before = logFilePartOf(previous);
    return next.part >= 1 && before.first == next.first && before.part == next.part - 1;
}

std::uintmax_t logFileSizeBound(const std::array<bool, kTraceGroupCount>& include, int samples) {
    // Widest field and its TAB: a time of "-2147483.648", an item with its decimals; the
    // calibrated aux inputs follow the user's polynomial and may be any size.
    constexpr std::uintmax_t kColumn = 13, kCalibrated = 32, kHeading = 32, kLine = 16;
    std::uintmax_t row = kColumn + 2, header = kHeading;
    for (int group = 0; group < kTraceGroupCount; ++group) {
        if (!include[static_cast<std::size_t>(group)]) continue;
        const auto count =
            static_cast<std::uintmax_t>(kGroupItemCount[static_cast<std::size_t>(group)]);
        row += count * kColumn;
        if (group == kGroupAux) row += 4 * (kCalibrated - kColumn);
        header += count * kHeading;
    }
    return kLine + header + static_cast<std::uintmax_t>(std::max(samples, 1)) * row;
}

std::optional<std::uintmax_t> diskFreeSpace(const std::string& folder) {
    std::error_code ec;
    const std::filesystem::space_info space = std::filesystem::space(folder, ec);
    if (ec) return std::nullopt;
    return space.available;
}

std::string diskSizeText(std::uintmax_t bytes) {
    constexpr std::uintmax_t kMB = 1024 * 1024;
    if (bytes < 10 * kMB) return std::to_string((bytes + 1023) / 1024) + " kB";
    return std::to_string((bytes + kMB / 2) / kMB) + " MB";
}

std::string freeSpaceProblem(std::uintmax_t available, const std::string& folder,
                             std::string_view what, std::uintmax_t needed) {
    return "Only " + diskSizeText(available) + " are free in " + folder + ", and " +
           std::string(what) + " may take up to " + diskSizeText(needed) +
           "; make room or log fewer samples.";
}

namespace {

std::string targetProblem(const std::string& path, std::uintmax_t bytes, std::string_view what,
                          const FreeSpace& freeSpace) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    const fs::file_status folderStatus = fs::status(folder, ec);
    if (!fs::exists(folderStatus))
        return "The folder " + folder.string() + " does not exist, so " + path +
               " cannot be saved.";
    if (!fs::is_directory(folderStatus))
        return folder.string() + " is not a folder, so " + path + " cannot be saved.";
    // Followed through a link: the file it names is the one replaced.
    const fs::file_status targetStatus = fs::status(target, ec);
    const bool exists = fs::exists(targetStatus);
    // Opening a FIFO or a device to try it could wait for ever or disturb it.
    if (exists && !fs::is_regular_file(targetStatus))
        return path +
               " is not a regular file (a folder, a device or a pipe); a log is saved only "
               "as a file.";
    if (std::string refusal = folderRefusal(folder); !refusal.empty()) return refusal;
    if (exists) {
        // Opened to append and closed again: nothing in it changes.
        std::FILE* file = std::fopen(path.c_str(), "ab");
        if (!file) return path + " cannot be replaced: it is not writable.";
        std::fclose(file);
    }
    if (const auto available = freeSpace(folder.string()); available && *available < bytes)
        return freeSpaceProblem(*available, folder.string(), what, bytes);
    return {};
}

}  // namespace

std::string logTargetProblem(const std::string& path, std::uintmax_t bytes,
                             const FreeSpace& freeSpace) {
    return targetProblem(path, bytes, "the log", freeSpace);
}

std::string logRunProblem(const std::string& path, std::uintmax_t bytes,
                          const std::string& journalFolder, const FreeSpace& freeSpace) {
    namespace fs = std::filesystem;
    if (journalFolder.empty()) return logTargetProblem(path, bytes, freeSpace);
    std::error_code ec;
    fs::path journal(journalFolder);
    // The journal's folder is made when the run starts: its nearest folder that exists now.
    while (!journal.empty() && !fs::exists(journal, ec) && journal.has_parent_path() &&
           journal.parent_path() != journal)
        journal = journal.parent_path();
    const fs::path target(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const bool sameDisk = sameFileSystem(folder, journal);
    if (sameDisk) return targetProblem(path, 2 * bytes, "the log and its journal", freeSpace);
    if (std::string problem = logTargetProblem(path, bytes, freeSpace); !problem.empty())
        return problem;
    if (const auto available = freeSpace(journal.string()); available && *available < bytes)
        return freeSpaceProblem(*available, journal.string(), "the log journal", bytes);
    return {};
}

}  // namespace tunalyx
