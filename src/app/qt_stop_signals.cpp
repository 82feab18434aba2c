#include "app/qt_stop_signals.h"

#include <QtGlobal>

#ifndef Q_OS_UNIX
#include <QGuiApplication>
#include <QSessionManager>
#endif

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#endif

namespace tunalyx {

#ifdef Q_OS_UNIX
namespace {

int g_pipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGHUP};

extern "C" void onStopSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a stop; nothing is lost.
    [[maybe_unused]] const auto written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

QtStopSignals::QtStopSignals(std::function<void()> stop, QObject* parent)
    : QObject(parent), m_stop(std::move(stop)) {
    if (::pipe(g_pipe) != 0) return;
    for (int fd : g_pipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
        }
        if (m_stop) m_stop();
    });
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals)
        ::sigaction(s, &action, nullptr);
}

QtStopSignals::~QtStopSignals() {
    for (int s : kSignals)
        std::signal(s, SIG_DFL);
    for (int& fd : g_pipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}
#else
QtStopSignals::QtStopSignals(std::function<void()> stop, QObject* parent)
    : QObject(parent), m_stop(std::move(stop)) {
    // The session ends only after this returns: the log and the journal are closed by then.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
        if (m_stop) m_stop();
    });
}

QtStopSignals::~QtStopSignals() = default;
#endif

}  // namespace tunalyx
