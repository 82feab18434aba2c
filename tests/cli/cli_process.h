// Runs of `tunalyx-cli` as child processes for the end-to-end tests: output captured in files,
// waited for with a time limit, stopped or killed on demand.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "transfer/data_file.h"

extern char** environ;

namespace tunalyx::clitest {

namespace fs = std::filesystem;

inline std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline PacketImage imageOf(const fs::path& path) {
    PacketImage image;
    PacketDirty dirty;
    std::string notes;
    readDataFileText(fileText(path), image, dirty, notes);
    return image;
}

inline void writeImage(const fs::path& path, const PacketImage& image) {
    writeText(path, dataFileText(image, ""));
}

// The names in a folder: what a run left behind, temporary files included.
inline std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

struct Finished {
    int exitCode = -1;  // -1: ended by a signal or never started
    int signal = 0;
    std::string out, err;
};

// One run of the CLI, its standard output and error captured in files beside `stem`.
class Cli {
public:
    // `wrapper` runs the CLI under another program (its path and arguments before the CLI's).
    Cli(const std::vector<std::string>& args, const fs::path& stem,
        const std::vector<std::string>& wrapper = {}) {
        static std::atomic<int> count{0};
        const std::string base = stem.string() + "-" + std::to_string(++count);
        m_out = base + ".out";
        m_err = base + ".err";
        posix_spawn_file_actions_t io;
        posix_spawn_file_actions_init(&io);
        posix_spawn_file_actions_addopen(&io, 1, m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&io, 2, m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<std::string> words = wrapper;
        words.push_back(TUNALYX_CLI_PATH);
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &io, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&io);
    }
    ~Cli() {
        signal(SIGKILL);
        (void)finish(5000);
    }
    Cli(const Cli&) = delete;
    Cli& operator=(const Cli&) = delete;

    // The first line printed, waiting at most five seconds.
    [[nodiscard]] std::string firstLine() const {
        for (int tries = 0; tries < 100; ++tries) {
            const std::string out = fileText(m_out);
            if (const auto end = out.find('\n'); end != std::string::npos)
                return out.substr(0, end);
            ::usleep(50'000);
        }
        return "";
    }

    // Whether the process has come to catch signal `number` itself, waiting at most five seconds.
    [[nodiscard]] bool catches(int number) const {
        const std::uint64_t bit = std::uint64_t{1} << (number - 1);
        for (int tries = 0; tries < 1000 && m_pid > 0; ++tries) {
            const std::string status = fileText("/proc/" + std::to_string(m_pid) + "/status");
            if (const auto at = status.find("SigCgt:");
                at != std::string::npos &&
                (std::strtoull(status.c_str() + at + 7, nullptr, 16) & bit) != 0)
                return true;
            ::usleep(5'000);
        }
        return false;
    }

    void signal(int number) const {
        if (m_pid > 0) ::kill(m_pid, number);
    }

    // Waits for the end (killing the process after `timeoutMs`) and collects the output.
    Finished finish(int timeoutMs = 60'000) {
        if (m_pid <= 0) return {};
        int status = 0;
        pid_t ended = 0;
        for (int waited = 0; (ended = ::waitpid(m_pid, &status, WNOHANG)) == 0; waited += 5) {
            if (waited >= timeoutMs) ::kill(m_pid, SIGKILL);
            ::usleep(5'000);
        }
        m_pid = -1;
        Finished f{-1, 0, fileText(m_out), fileText(m_err)};
        if (ended > 0 && WIFEXITED(status)) f.exitCode = WEXITSTATUS(status);
        if (ended > 0 && WIFSIGNALED(status)) f.signal = WTERMSIG(status);
        return f;
    }

private:
    pid_t m_pid = -1;
    std::string m_out, m_err;
};

inline double number(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);  // the log writes ".008" for 0.008
}

inline std::vector<std::string> fields(const std::string& line, char separator) {
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, separator);)
        out.push_back(field);
    return out;
}

// A log file read back, its layout checked on the way.
struct Log {
    std::vector<std::string> headings;
    std::vector<std::vector<double>> samples;

    [[nodiscard]] std::size_t column(const std::string& heading) const {
        const auto it = std::find(headings.begin(), headings.end(), heading);
        if (it == headings.end()) ADD_FAILURE() << "no column " << heading;
        return it == headings.end() ? 0 : static_cast<std::size_t>(it - headings.begin());
    }
    [[nodiscard]] std::vector<double> series(const std::string& heading) const {
        std::vector<double> values;
        const std::size_t c = column(heading);
        for (const auto& s : samples)
            values.push_back(s[c]);
        return values;
    }
    [[nodiscard]] std::vector<double> times() const { return series("Time(S)"); }
};

inline Log readLog(const fs::path& path) {
    const std::string text = fileText(path);
    Log log;
    EXPECT_TRUE(text.starts_with("[SR20DET]\r\nTime(S)\t")) << path;
    EXPECT_TRUE(text.ends_with("\r\n")) << path;
    std::size_t from = text.find("\r\n") + 2;
    for (std::size_t end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2) {
        const std::string line = text.substr(from, end - from);
        EXPECT_EQ(line.find('\n'), std::string::npos) << "a line ends in LF alone in " << path;
        auto cells = fields(line, '\t');
        if (log.headings.empty()) {
            log.headings = std::move(cells);
            continue;
        }
        EXPECT_EQ(cells.size(), log.headings.size()) << line;
        cells.resize(log.headings.size());
        std::vector<double> values;
        for (const auto& cell : cells)
            values.push_back(number(cell));
        log.samples.push_back(std::move(values));
    }
    return log;
}

// A running `simulate` and the device path it serves; stopped with SIGTERM, it writes what the
// unit holds to `dump`.
class Sim {
public:
    Sim(std::vector<std::string> args, const fs::path& dump, const fs::path& stem)
        : m_cli(withDump(std::move(args), dump), stem), m_port(m_cli.firstLine()) {}

    [[nodiscard]] const std::string& port() const { return m_port; }
    [[nodiscard]] bool serving() const { return m_port.rfind("/dev/", 0) == 0; }
    Finished stop() {
        m_cli.signal(SIGTERM);
        return m_cli.finish(10'000);
    }

private:
    static std::vector<std::string> withDump(std::vector<std::string> args, const fs::path& dump) {
        args.insert(args.begin(), "simulate");
        args.insert(args.end(), {"--dump-on-exit", dump.string()});
        return args;
    }

    Cli m_cli;
    std::string m_port;
};

// A scratch folder of this process, the CLI's HOME and files folder so the user's settings,
// logs and journals stay out of it.
inline const fs::path& scratch() {
    static const fs::path path = [] {
        const fs::path p =
            fs::temp_directory_path() / ("tunalyx-cli-fault-" + std::to_string(::getpid()));
        fs::create_directories(p);
        ::setenv("HOME", p.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (p / ".config").c_str(), 1);
        ::setenv("TUNALYX_FILES_FOLDER", (p / "files").c_str(), 1);
        return p;
    }();
    return path;
}

}  // namespace tunalyx::clitest
