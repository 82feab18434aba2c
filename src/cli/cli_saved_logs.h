#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "autotune/ran_on_tunes.h"
#include "cli/cli_commands.h"
#include "history/tune_history.h"
#include "monitor/log_store.h"
#include "session/session.h"
#include "transfer/qt_file_writer.h"
#include "versions/tune_map.h"

// What the commands that read saved logs against a tune share (autotune, knock, mapwatch): the
// logs in the order of their runs, the tune each ran on, the names of cells and numbers.
namespace tunalyx::cli {

// A log file given on the command line, read.
struct GivenLog {
    std::string path;
    std::string contents;
    std::unique_ptr<LogStore> store;
    bool continuesRun = false;
};

// The logs in the order of their runs' parts (LOG.txt, LOG-001.txt, ...), each once: a log given
// twice (the same contents) is read once. A part goes on with the run of the log before it when
// its name says so and its times carry on. Nothing after a message when one cannot be read.
std::optional<std::vector<GivenLog>> readLogs(std::vector<std::string> paths, const Session& s,
                                              CliContext& ctx);

// Map `grid` of the tune the session opened, on the axes of its map reference.
[[nodiscard]] TuneMap mapOfSession(const Session& s, int grid);

// The tunes the logs ran on, for map `grid`: the one --log-tune names for every log, else those
// the command line's history links each log to, else the tune given (`--tune`).
class RanOnReader {
public:
    RanOnReader(const CliArgs& args, const Session& s, CliContext& ctx, int grid);
    // False after a message when --log-tune cannot be read.
    [[nodiscard]] bool ok() const { return m_ok; }

    struct Found {
        std::vector<RanOnMap> ranOn;
        bool known = true;
        // "d.txt ran on tune 5 (Drive, ...)", "d.txt ran on T0.dat", or when not known, "the tune
        // d.txt ran on is not known: taken as T.dat".
        std::string line;
    };
    [[nodiscard]] Found of(const GivenLog& log);

private:
    QtFileWriter m_writer;
    TuneHistory m_history;
    RanOnTunes m_tunes;
    std::string m_tuneName;
    std::optional<TuneMap> m_given;
    std::string m_givenName;
    bool m_ok = true;
};

// "N07 TAB P12" (0-based row 11, column 6), two digits each as the grids head them; in a
// sentence, a space between.
[[nodiscard]] std::string cellName(int row, int col, char between = '\t');
// A number above 0 in any form the fields take, or nothing.
[[nodiscard]] std::optional<double> numberAbove0(const std::optional<std::string>& text);

}  // namespace tunalyx::cli
