#pragma once

#include "ports/user_prompts.h"

namespace tunalyx::cli {

// Messages go to stderr one per line with their exact texts; a question is printed with the
// answer taken (--yes answers Yes, otherwise No). A question whose default is No is answered Yes
// only when the command was told to take that risk (--accept-risk).
class CliPrompts final : public UserPrompts {
public:
    explicit CliPrompts(bool answerYes) : m_answerYes(answerYes) {}

    MessageAnswer showMessage(const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override;
    void showProgress(const std::string& status) override;
    void setProgress(int) override {}
    void hideProgress() override {}
    [[nodiscard]] bool cancelRequested() override { return false; }
    void setBusy(bool) override {}
    void yield() override {}
    void acceptRisks(bool yes) { m_acceptRisks = yes; }

private:
    bool m_answerYes;
    bool m_acceptRisks = false;
};

}  // namespace tunalyx::cli
