#pragma once

#include <array>
#include <atomic>
#include <csignal>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_commands.h"
#include "link/system_serial_port.h"
#include "ports/closed_serial_port.h"
#include "session/session.h"
#include "sim/engine_options.h"
#include "versions/layout_family.h"

// What the commands share: their two ways of failing, the sessions they work in, the numbers
// they parse, the stop that signals ask for and the engine options of drive and simulate.
namespace tunalyx::cli {

// Bad usage: the problem, then the usage text.
int usage(const std::string& problem);
// The command's own problems (not the program's messages) carry the program name.
int failed(const std::string& problem);

// The file name without its folder, as the program's messages name a file.
std::string shownName(const std::string& path);
std::string familyName(std::optional<LayoutFamily> family);
std::string trimmedRight(std::string s);
// A whole number above 0 written whole, or nothing (one too large for a long too).
std::optional<long> positiveNumber(const std::optional<std::string>& text);
// The same, at most `most`.
std::optional<long> countUpTo(const std::optional<std::string>& text, long most);

// The session of the unit behind --port, with the grids set up as the window sets them up.
class UnitSession {
public:
    UnitSession(CliContext& ctx, const std::string& device);

    bool open(UserPrompts& prompts);
    Session& session() { return m_session; }

private:
    std::unique_ptr<SerialPort> m_port;
    std::string m_device;
    Session m_session;
};

// A session that only works on files.
class FileSession {
public:
    explicit FileSession(CliContext& ctx);

    Session& session() { return m_session; }

private:
    ClosedSerialPort m_port;
    Session m_session;
};

bool openFile(Session& session, const std::string& path);
int save(const Session& session, const std::string& path);

// Set by onStopSignal: a log run or the simulated unit ends at the next chance and still saves.
extern std::atomic<bool> g_stop;
extern "C" void onStopSignal(int);

// While a log runs or a write goes out, what would end the program sets g_stop instead: Ctrl+C,
// SIGTERM, and a terminal closed or a connection dropped (SIGHUP). The run ends and saves, the
// write stops after the packet in flight. A reader of stderr that has gone away must not end the
// program either (SIGPIPE) before the log or the history is written.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    using Handler = void (*)(int);
#ifdef SIGHUP
    static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
#else
    static constexpr std::array<int, 2> kSignals = {SIGINT, SIGTERM};
#endif
    std::array<Handler, kSignals.size()> m_previous{};
#ifdef SIGPIPE
    Handler m_previousPipe = SIG_DFL;
#endif
};

// --drive, --seed, --requirement, --knock-limit and --knock-spikes: what is wrong with them,
// empty when they are all taken.
std::string engineOptionsFrom(const CliArgs& args, EngineOptions& engine);
// The engine's hidden fuel requirement, as a map in a text file; what went wrong, or empty.
std::string writeRequirement(LayoutFamily family, const EngineOptions& engine,
                             const std::string& path);
// The engine's hidden knock limit, the same way.
std::string writeKnockLimit(LayoutFamily family, const EngineOptions& engine,
                            const std::string& path);
// --dump-requirement and --dump-knock-limit when given; the first thing that went wrong, or empty.
std::string writeEngineDumps(const CliArgs& args, LayoutFamily family, const EngineOptions& engine);

}  // namespace tunalyx::cli
