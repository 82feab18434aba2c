#pragma once

#include <QObject>
#include <QPointer>
#include <vector>

#include "ports/user_prompts.h"
#include "ui/progress_dialog.h"

class QWidget;

namespace tunalyx {

// How wide a window must be for its whole title to show in its title bar.
[[nodiscard]] int titleBarWidth(const QWidget& window);

// Message boxes, the progress dialog, the hourglass cursor and the event loop of the window
// program.
class QtUserPrompts final : public QObject, public UserPrompts {
public:
    explicit QtUserPrompts(QWidget* owner = nullptr);
    void setOwner(QWidget* owner) { m_owner = owner; }

    MessageAnswer showMessage(const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override;
    void showProgress(const std::string& status) override;
    void setProgress(int percent) override;
    void hideProgress() override;
    [[nodiscard]] bool cancelRequested() override;
    void setBusy(bool busy) override;
    void yield() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ProgressDialog& progress();
    [[nodiscard]] QWidget* messageOwner() const;

    QPointer<QWidget> m_owner;
    // The windows activated, the latest last: a message belongs to the newest still shown, as
    // the window system may not have given the focus back yet when a file dialog has just gone.
    std::vector<QPointer<QWidget>> m_worked;
    QPointer<ProgressDialog> m_progress;
    bool m_busy = false;
};

}  // namespace tunalyx
