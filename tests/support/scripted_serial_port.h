#pragma once

#include <deque>
#include <vector>

#include "ports/clock.h"
#include "ports/serial_port.h"
#include "sim/timed_input.h"

namespace tunalyx::test {

// A piece of a scripted reply: bytes that arrive `afterMs` after the request was written.
struct Chunk {
    double afterMs;
    Bytes bytes;
};

// A serial port that answers each write from a script and moves a manual clock while the link
// waits, so every time-out runs in no time and exactly.
class ScriptedSerialPort final : public SerialPort {
public:
    struct Write {
        std::int64_t atMicros;
        Bytes bytes;
    };

    explicit ScriptedSerialPort(ManualClock& clock) : m_clock(clock) {}

    // The reply to the next write not yet answered (each call scripts one more write).
    void replyNext(std::vector<Chunk> chunks) { m_script.push_back(std::move(chunks)); }
    void replyNext(const Bytes& bytes, double afterMs = 2) { replyNext({{afterMs, bytes}}); }
    void silentNext() { m_script.push_back({}); }
    // Bytes that arrive at an absolute time, whatever is written.
    void deliverAt(double atMs, const Bytes& bytes);

    [[nodiscard]] const std::vector<Write>& writes() const { return m_writes; }
    [[nodiscard]] int waits() const { return m_waits; }
    [[nodiscard]] std::size_t unanswered() const { return m_script.size(); }

    // Open fails, giving `reason` as the port's own explanation.
    void setOpenFails(bool fails, std::string reason = {}) {
        m_openFails = fails;
        m_openFailure = std::move(reason);
    }
    void setBroken(bool broken) { m_broken = broken; }
    [[nodiscard]] int opens() const { return m_opens; }

    void setPortNumber(int n) override { m_number = n; }
    [[nodiscard]] int portNumber() const override { return m_number; }
    [[nodiscard]] std::string deviceName() const override { return "scripted"; }
    void setDevicePath(const std::string& path) override { m_devicePath = path; }
    [[nodiscard]] const std::string& devicePath() const { return m_devicePath; }
    [[nodiscard]] bool open() override;
    [[nodiscard]] std::string openFailureReason() const override {
        return m_openFails ? m_openFailure : std::string();
    }
    void close() override { m_open = false; }
    [[nodiscard]] bool isOpen() const override { return m_open; }
    [[nodiscard]] std::optional<std::size_t> bytesAvailable() override;
    [[nodiscard]] bool waitForBytes(std::size_t count, std::int64_t timeoutMs) override;
    [[nodiscard]] std::optional<Bytes> read(std::size_t count) override;
    bool discardInput() override;
    bool write(const Bytes& bytes) override;

private:
    [[nodiscard]] bool usable() const { return m_open && !m_broken; }

    ManualClock& m_clock;
    TimedInput m_input;
    std::deque<std::vector<Chunk>> m_script;
    std::vector<Write> m_writes;
    int m_number = 1;
    int m_waits = 0;
    int m_opens = 0;
    bool m_open = true;
    bool m_openFails = false;
    bool m_broken = false;
    std::string m_devicePath;
    std::string m_openFailure;
};

}  // namespace tunalyx::test
