#pragma once

#include "ports/user_prompts.h"

namespace tunalyx::cli {

// Messages go to stderr one per line with their exact texts; a question is printed with the
// answer taken (--yes answers Yes, otherwise No).
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

    // Messages (not questions) shown so far, and those of them with the critical icon: an
    // operation that reports its failure only by such a message.
    [[nodiscard]] int messagesShown() const { return m_messages; }
    [[nodiscard]] int criticalMessagesShown() const { return m_critical; }

private:
    bool m_answerYes;
    int m_messages = 0;
    int m_critical = 0;
};

}  // namespace tunalyx::cli
