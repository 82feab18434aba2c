#include "monitor/qt_polling_thread.h"

namespace tunalyx {

QtPollingThread::~QtPollingThread() {
    join();
}

void QtPollingThread::start(std::function<bool()> cycle) {
    join();
    m_thread = QThread::create([cycle = std::move(cycle)] {
        while (cycle()) {
        }
    });
    m_thread->setObjectName(QStringLiteral("live data"));
    m_thread->start(QThread::TimeCriticalPriority);
}

void QtPollingThread::join() {
    if (!m_thread) return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

}  // namespace tunalyx
