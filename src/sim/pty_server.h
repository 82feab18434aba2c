#pragma once

#include <atomic>
#include <string>

#include "ports/clock.h"
#include "sim/simulator_line.h"

namespace tunalyx {

// Serves a simulated unit on a new pseudo-terminal, so that any program that opens serial
// devices (ours included) can talk to it by the terminal's path. POSIX only.
class PtyServer {
public:
    PtyServer(SimulatorLine& line, Clock& clock) : m_line(line), m_clock(clock) {}
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the terminal; false with a reason in `error` when that is not possible.
    [[nodiscard]] bool open(std::string& error);
    // Path of the terminal's device side, e.g. /dev/pts/7.
    [[nodiscard]] const std::string& devicePath() const { return m_path; }
    // Answers requests until `stop` becomes true (checked at least every 100 ms).
    void serve(const std::atomic<bool>& stop);

private:
    void sendDue();

    SimulatorLine& m_line;
    Clock& m_clock;
    TimedInput m_toPc;
    int m_master = -1;
    int m_slave = -1;  // kept open so the terminal outlives each client
    std::string m_path;
};

}  // namespace tunalyx
