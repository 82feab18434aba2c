#include "cli/cli_common.h"

#include <cerrno>
#include <cstdlib>
#include <iostream>

#include "link/port_names.h"
#include "sim/fuel_requirement.h"
#include "sim/knock_limit.h"
#include "transfer/data_file.h"
#include "transfer/qt_file_writer.h"

namespace tunalyx::cli {

int usage(const std::string& problem) {
    std::cerr << "tunalyx-cli: " << problem << "\n" << usageText();
    return kExitUsage;
}

int failed(const std::string& problem) {
    std::cerr << "tunalyx-cli: " << problem << std::endl;
    return kExitFailed;
}

std::string shownName(const std::string& path) {
    return fileNameOf(path);
}

std::string familyName(std::optional<LayoutFamily> family) {
    return family ? familyLayout(*family).name : "unsupported";
}

std::string trimmedRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    return s;
}

std::optional<long> positiveNumber(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text->c_str(), &end, 10);
    // strtol gives the largest long for a number beyond it: that is no count the user meant.
    if (end == text->c_str() || *end != '\0' || errno == ERANGE || n < 1) return std::nullopt;
    return n;
}

std::optional<long> countUpTo(const std::optional<std::string>& text, long most) {
    const auto n = positiveNumber(text);
    if (!n || *n > most) return std::nullopt;
    return n;
}

UnitSession::UnitSession(CliContext& ctx, const std::string& device)
    : m_port(makeSystemSerialPort(ctx.settings)),
      m_device(device),
      m_session(*m_port, ctx.clock, ctx.prompts, LinkSettings::fromStore(ctx.settings)) {
    m_port->setDevicePath(device);
    m_session.maps.GridInit();
}

bool UnitSession::open(UserPrompts& prompts) {
    if (!m_port->open()) {
        const int n = comPortNumber(m_device);
        prompts.tell(openFailedText(n > 0 ? "Com" + std::to_string(n) : m_device,
                                    m_port->openFailureReason()),
                     MessageIcon::Critical);
        return false;
    }
    m_session.link.wakeUp();
    return true;
}

FileSession::FileSession(CliContext& ctx)
    : m_session(m_port, ctx.clock, ctx.prompts, LinkSettings::fromStore(ctx.settings)) {
    m_session.maps.GridInit();
}

bool openFile(Session& session, const std::string& path) {
    return OpenDataFile(session.document(), session.workspace(), path, shownName(path));
}

int save(const Session& session, const std::string& path) {
    QtFileWriter writer;
    if (const std::string error = saveDataFile(session, writer, path); !error.empty())
        return failed(error);
    return kExitOk;
}

std::atomic<bool> g_stop{false};
extern "C" void onStopSignal(int) {
    g_stop.store(true);
}

StopSignals::StopSignals() {
    g_stop.store(false);
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        m_previous[i] = std::signal(kSignals[i], onStopSignal);
#ifdef SIGPIPE
    m_previousPipe = std::signal(SIGPIPE, SIG_IGN);
#endif
}

StopSignals::~StopSignals() {
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        std::signal(kSignals[i], m_previous[i]);
#ifdef SIGPIPE
    std::signal(SIGPIPE, m_previousPipe);
#endif
}

std::string engineOptionsFrom(const CliArgs& args, EngineOptions& engine) {
    if (const auto drive = args.option("--drive"))
        if (auto problem = setDriveOption(*drive, engine); !problem.empty()) return problem;
    if (const auto seed = args.option("--seed"))
        if (auto problem = setSeedOption(*seed, engine); !problem.empty()) return problem;
    if (const auto requirement = args.option("--requirement"))
        if (auto problem = setRequirementOption(*requirement, engine); !problem.empty())
            return problem;
    if (const auto limit = args.option("--knock-limit"))
        if (auto problem = setKnockLimitOption(*limit, engine); !problem.empty()) return problem;
    if (const auto spikes = args.option("--knock-spikes"))
        if (auto problem = setKnockSpikesOption(*spikes, engine); !problem.empty()) return problem;
    if (const auto celsius = args.option("--cold-start"))
        if (auto problem = setColdStartOption(*celsius, engine); !problem.empty()) return problem;
    if (const auto scale = args.option("--sensor-delay-scale"))
        if (auto problem = setSensorDelayScaleOption(*scale, engine); !problem.empty())
            return problem;
    return {};
}

std::string writeRequirement(LayoutFamily family, const EngineOptions& engine,
                             const std::string& path) {
    QtFileWriter writer;
    return writer.writeWhole(path, FuelRequirement::forFamily(family, engine).text());
}

std::string writeKnockLimit(LayoutFamily family, const EngineOptions& engine,
                            const std::string& path) {
    QtFileWriter writer;
    return writer.writeWhole(path, KnockLimit::forFamily(family, engine).text());
}

std::string writeEngineDumps(const CliArgs& args, LayoutFamily family,
                             const EngineOptions& engine) {
    if (const auto dump = args.option("--dump-requirement"))
        if (auto problem = writeRequirement(family, engine, *dump); !problem.empty())
            return problem;
    if (const auto dump = args.option("--dump-knock-limit"))
        if (auto problem = writeKnockLimit(family, engine, *dump); !problem.empty()) return problem;
    return {};
}

}  // namespace tunalyx::cli
