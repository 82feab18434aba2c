#pragma once

#include <QPointer>

#include "app/progress_dialog.h"
#include "ports/user_prompts.h"

class QWidget;

namespace tunalyx {

// Message boxes, the progress dialog, the hourglass cursor and the event loop of the window
// program.
class QtUserPrompts final : public UserPrompts {
public:
    explicit QtUserPrompts(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }

    MessageAnswer showMessage(const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override;
    void showProgress(const std::string& status) override;
    void setProgress(int percent) override;
    void hideProgress() override;
    [[nodiscard]] bool cancelRequested() override;
    void setBusy(bool busy) override;
    void yield() override;

private:
    ProgressDialog& progress();

    QPointer<QWidget> m_owner;
    QPointer<ProgressDialog> m_progress;
    bool m_busy = false;
};

}  // namespace tunalyx
