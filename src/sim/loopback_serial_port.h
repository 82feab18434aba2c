#pragma once

#include "ports/clock.h"
#include "ports/serial_port.h"
#include "sim/simulator_line.h"

namespace tunalyx {

// A serial port wired straight to a simulated unit in the same process. Waits sleep on the
// clock until the bytes are due, so a fake clock makes every exchange instant.
class LoopbackSerialPort final : public SerialPort {
public:
    LoopbackSerialPort(SimulatorLine& line, Clock& clock) : m_line(line), m_clock(clock) {}

    void setPortNumber(int n) override { m_number = n; }
    [[nodiscard]] int portNumber() const override { return m_number; }
    [[nodiscard]] std::string deviceName() const override { return "Simulator"; }

    [[nodiscard]] bool open() override;
    void close() override;
    [[nodiscard]] bool isOpen() const override { return m_open; }

    [[nodiscard]] std::optional<std::size_t> bytesAvailable() override;
    [[nodiscard]] bool waitForBytes(std::size_t count, std::int64_t timeoutMs) override;
    [[nodiscard]] std::optional<Bytes> read(std::size_t count) override;
    bool discardInput() override;
    bool write(const Bytes& bytes) override;

    // Makes open() fail, as a port that is missing or in use.
    void setOpenFails(bool fails) { m_openFails = fails; }
    // Makes every operation on the open port fail, as a device that was unplugged.
    void setBroken(bool broken) { m_broken = broken; }

private:
    [[nodiscard]] bool usable() const { return m_open && !m_broken; }

    SimulatorLine& m_line;
    Clock& m_clock;
    TimedInput m_input;
    int m_number = 1;
    bool m_open = false;
    bool m_openFails = false;
    bool m_broken = false;
};

}  // namespace tunalyx
