#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace tunalyx {

PtyServer::~PtyServer() {
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
}

bool PtyServer::open(std::string& error) {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    const char* name = ::ptsname(m_master);
    if (!name) {
        error = "cannot name the pseudo-terminal";
        return false;
    }
    m_path = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0) {
        error = std::string("cannot open ") + m_path + ": " + std::strerror(errno);
        return false;
    }
    // Raw bytes both ways: no echo, no line editing, no CR/LF translation.
    termios tio{};
    if (::tcgetattr(m_slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_slave, TCSANOW, &tio);
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    return true;
}

void PtyServer::serve(const std::atomic<bool>& stop) {
    std::uint8_t buffer[512];
    while (!stop.load()) {
        // To the microsecond: a reply byte sent a whole millisecond late would cost every
        // transaction of a paced line most of a byte time.
        const std::int64_t waitMicros = sleepBeforeNextByte(m_toPc, m_clock.nowMicros(), 100'000);
        const timespec wait{static_cast<time_t>(waitMicros / 1'000'000),
                            static_cast<long>(waitMicros % 1'000'000) * 1000};
        pollfd pfd{m_master, POLLIN, 0};
        const int ready = ::ppoll(&pfd, 1, &wait, nullptr);
        if (ready > 0 && (pfd.revents & POLLIN)) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0) m_line.receive(Bytes(buffer, buffer + n), m_clock.nowMicros(), m_toPc);
        }
        sendDue();
    }
}

void PtyServer::sendDue() {
    const Bytes due = m_toPc.take(m_toPc.arrived(m_clock.nowMicros()), m_clock.nowMicros());
    std::size_t done = 0;
    while (done < due.size()) {
        const ssize_t n = ::write(m_master, due.data() + done, due.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        } else {
            pollfd pfd{m_master, POLLOUT, 0};
            ::poll(&pfd, 1, 10);
        }
    }
}

}  // namespace tunalyx
