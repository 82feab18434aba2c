#include "cli/cli_saved_logs.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <tuple>

#include "cli/cli_common.h"
#include "cli/cli_folders.h"
#include "model/number_format.h"
#include "monitor/log_reader.h"
#include "monitor/log_writer.h"
#include "ports/whole_file.h"
#include "transfer/data_file.h"
#include "versions/tune_file.h"

namespace tunalyx::cli {

std::optional<std::vector<GivenLog>> readLogs(std::vector<std::string> paths, const Session& s,
                                              CliContext& ctx) {
    std::stable_sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        const LogFilePart pa = logFilePartOf(a);
        const LogFilePart pb = logFilePartOf(b);
        return std::tie(pa.first, pa.part) < std::tie(pb.first, pb.part);
    });
    std::vector<GivenLog> logs;
    std::map<std::string, std::string> byHash;
    for (const std::string& path : paths) {
        auto contents = readLogContents(ctx.prompts, path, shownName(path));
        if (!contents) return std::nullopt;
        const auto [same, added] = byHash.try_emplace(contentHash(*contents), path);
        if (!added) {
            std::cerr << shownName(path) << " is the same log as " << shownName(same->second)
                      << ": it is read once." << std::endl;
            continue;
        }
        GivenLog log{path, std::move(*contents), std::make_unique<LogStore>()};
        if (!openLogContents(*log.store, s.trace, ctx.prompts, log.contents, shownName(path)))
            return std::nullopt;
        if (!logs.empty()) {
            const LogStore& before = *logs.back().store;
            log.continuesRun = continuesLog(logs.back().path, path) &&
                               log.store->LogTime(0) >= before.LogTime(before.LogLast);
        }
        logs.push_back(std::move(log));
    }
    return logs;
}

TuneMap mapOfSession(const Session& s, int grid) {
    return tuneMapOf(s.maps, grid, LoadMapAxes(s.codec, s.maps.MapRefBlock));
}

RanOnReader::RanOnReader(const CliArgs& args, const Session& s, CliContext& ctx, int grid)
    : m_history(historyFolderOf(cliFilesFolder()), m_writer),
      m_tunes(s.tune(), &m_history, ctx.prompts, grid),
      m_tuneName(shownName(args.option("--tune").value_or(""))) {
    const auto path = args.option("--log-tune");
    if (!path) return;
    m_givenName = shownName(*path);
    const auto text = readWholeFile(
        ctx.prompts, *path, kLargestDataFile,
        {"Error opening " + m_givenName, m_givenName + " is too large to be an SR20DET Data file",
         "Error reading " + m_givenName});
    const auto tune =
        text ? tuneFileInLayoutOf(s.tune(), *text, m_givenName, ctx.prompts) : std::nullopt;
    m_ok = tune.has_value();
    if (tune) m_given = tuneMapOfTune(*tune, grid);
}

RanOnReader::Found RanOnReader::of(const GivenLog& log) {
    const std::string name = shownName(log.path);
    if (m_given) return {{{0, *m_given}}, true, name + " ran on " + m_givenName};
    const LogTunes linked = m_tunes.tunesOfLog(contentHash(log.contents));
    RanOnTunes::Resolved resolved = m_tunes.resolve(linked);
    return {std::move(resolved.ranOn), resolved.known,
            resolved.known ? name + " " + m_tunes.describe(linked, m_tuneName)
                           : unknownTuneText(name, m_tuneName)};
}

std::string cellName(int row, int col, char between) {
    const auto two = [](int n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    return "N" + two(col + 1) + between + "P" + two(row + 1);
}

std::optional<double> numberAbove0(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    const auto value = parseFieldNumber(*text);
    if (!value || !(*value > 0)) return std::nullopt;
    return value;
}

}  // namespace tunalyx::cli
