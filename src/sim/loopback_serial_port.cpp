#include "sim/loopback_serial_port.h"

#include <algorithm>

namespace tunalyx {

bool LoopbackSerialPort::open() {
    if (m_openFails) return false;
    m_open = true;
    m_input.clear();
    return true;
}

void LoopbackSerialPort::close() {
    m_open = false;
    m_input.clear();
}

std::optional<std::size_t> LoopbackSerialPort::bytesAvailable() {
    if (!usable()) return std::nullopt;
    return m_input.arrived(m_clock.nowMicros());
}

bool LoopbackSerialPort::waitForBytes(std::size_t count, std::int64_t timeoutMs) {
    if (!usable()) return false;
    const std::int64_t deadline = m_clock.nowMicros() + timeoutMs * 1000;
    m_clock.sleepUntilMicros(std::min(deadline, m_input.timeAvailable(count)));
    return true;
}

std::optional<Bytes> LoopbackSerialPort::read(std::size_t count) {
    if (!usable() || m_input.arrived(m_clock.nowMicros()) < count) return std::nullopt;
    return m_input.take(count, m_clock.nowMicros());
}

bool LoopbackSerialPort::discardInput() {
    if (!usable()) return false;
    m_input.discardArrived(m_clock.nowMicros());
    return true;
}

bool LoopbackSerialPort::write(const Bytes& bytes) {
    if (!usable()) return false;
    m_line.receive(bytes, m_clock.nowMicros(), m_input);
    return true;
}

}  // namespace tunalyx
