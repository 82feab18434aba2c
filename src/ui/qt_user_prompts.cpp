#include "ui/qt_user_prompts.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QStyle>

namespace tunalyx {

namespace {
QMessageBox::Icon toIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toButtons(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MessageButtons::YesNo:
        case MessageButtons::YesNoDefaultNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MessageButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MessageButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}
}  // namespace

int titleBarWidth(const QWidget& window) {
    // Title bars draw their text in bold beside the window's icon and three buttons.
    QFont bold = window.font();
    bold.setBold(true);
    const int buttons =
        4 * window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
    return QFontMetrics(bold).horizontalAdvance(window.windowTitle()) + buttons;
}

QtUserPrompts::QtUserPrompts(QWidget* owner) : m_owner(owner) {
    if (qApp) qApp->installEventFilter(this);
}

bool QtUserPrompts::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::WindowActivate || !watched->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(watched);
    if (!w->isWindow()) return false;
    std::erase_if(m_worked, [w](const QPointer<QWidget>& p) { return !p || p == w; });
    m_worked.emplace_back(w);
    return false;
}

QWidget* QtUserPrompts::messageOwner() const {
    // A message belongs to the window it came from (a chart, a dialog): it comes up over that
    // window and goes with it.
    for (auto it = m_worked.rbegin(); it != m_worked.rend(); ++it)
        if (*it && (*it)->isVisible()) return *it;
    return m_owner;
}

MessageAnswer QtUserPrompts::showMessage(const std::string& text, MessageIcon icon,
                                         MessageButtons buttons) {
    // A message must be readable even while an operation shows the hourglass.
    const bool busy = m_busy;
    if (busy) QApplication::restoreOverrideCursor();
    QMessageBox box(toIcon(icon), QStringLiteral("Tunalyx SR20DET"),
                    QString::fromLatin1(text.c_str()), toButtons(buttons), messageOwner());
    if (buttons == MessageButtons::YesNoDefaultNo) box.setDefaultButton(QMessageBox::No);
    // A short message would leave the box narrower than its title bar needs.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(titleBarWidth(box), 0), grid->rowCount(), 0, 1,
                      grid->columnCount());
    const int answer = box.exec();
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    switch (answer) {
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        default:
            return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
    }
}

ProgressDialog& QtUserPrompts::progress() {
    if (!m_progress) m_progress = new ProgressDialog(m_owner);
    return *m_progress;
}

void QtUserPrompts::showProgress(const std::string& status) {
    progress().start(QString::fromLatin1(status.c_str()));
}

void QtUserPrompts::setProgress(int percent) {
    progress().setPercent(percent);
}

void QtUserPrompts::hideProgress() {
    if (m_progress) m_progress->hide();
}

bool QtUserPrompts::cancelRequested() {
    // A Cancel pressed in a dialog that has gone since is no request of the next operation's.
    return m_progress && m_progress->isVisible() && m_progress->cancelRequested();
}

void QtUserPrompts::setBusy(bool busy) {
    if (busy == m_busy) return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtUserPrompts::yield() {
    QCoreApplication::processEvents();
}

}  // namespace tunalyx
