#include "support/scripted_serial_port.h"

#include <algorithm>
#include <cmath>

namespace tunalyx::test {

namespace {
std::int64_t micros(double ms) {
    return static_cast<std::int64_t>(std::llround(ms * 1000.0));
}
}  // namespace

void ScriptedSerialPort::deliverAt(double atMs, const Bytes& bytes) {
    m_input.schedule(micros(atMs), bytes);
}

bool ScriptedSerialPort::open() {
    ++m_opens;
    if (m_openFails) return false;
    m_open = true;
    return true;
}

std::optional<std::size_t> ScriptedSerialPort::bytesAvailable() {
    if (!usable()) return std::nullopt;
    return m_input.arrived(m_clock.nowMicros());
}

bool ScriptedSerialPort::waitForBytes(std::size_t count, std::int64_t timeoutMs) {
    if (!usable()) return false;
    ++m_waits;
    const std::int64_t deadline = m_clock.nowMicros() + timeoutMs * 1000;
    m_clock.sleepUntilMicros(std::min(deadline, m_input.timeAvailable(count)));
    return true;
}

std::optional<Bytes> ScriptedSerialPort::read(std::size_t count) {
    if (!usable() || m_input.arrived(m_clock.nowMicros()) < count) return std::nullopt;
    return m_input.take(count, m_clock.nowMicros());
}

bool ScriptedSerialPort::discardInput() {
    if (!usable()) return false;
    m_input.discardArrived(m_clock.nowMicros());
    return true;
}

bool ScriptedSerialPort::write(const Bytes& bytes) {
    if (!usable()) return false;
    const std::int64_t now = m_clock.nowMicros();
    m_writes.push_back({now, bytes});
    if (m_script.empty()) return true;
    for (const Chunk& c : m_script.front())
        m_input.schedule(now + micros(c.afterMs), c.bytes);
    m_script.pop_front();
    return true;
}

}  // namespace tunalyx::test
