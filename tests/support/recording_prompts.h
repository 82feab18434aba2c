#pragma once

#include <deque>
#include <string>
#include <vector>

#include "ports/user_prompts.h"

namespace tunalyx::test {

// Records every message and answers questions from a script (No, or Ok, when it runs dry).
class RecordingPrompts final : public UserPrompts {
public:
    struct Message {
        std::string text;
        MessageIcon icon;
        MessageButtons buttons;
    };

    void answerNext(MessageAnswer a) { m_answers.push_back(a); }
    void cancelAfterProgressSteps(int steps) { m_cancelAfter = steps; }

    MessageAnswer showMessage(const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override {
        m_messages.push_back({text, icon, buttons});
        if (!m_answers.empty()) {
            const MessageAnswer a = m_answers.front();
            m_answers.pop_front();
            return a;
        }
        return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
    }
    void showProgress(const std::string& status) override {
        m_progressShown.push_back(status);
        m_progressVisible = true;
    }
    void setProgress(int percent) override { m_percents.push_back(percent); }
    void hideProgress() override { m_progressVisible = false; }
    [[nodiscard]] bool cancelRequested() override {
        return m_cancelAfter >= 0 && static_cast<int>(m_percents.size()) >= m_cancelAfter;
    }
    void setBusy(bool busy) override { m_busy = busy; }
    void yield() override { ++m_yields; }

    [[nodiscard]] const std::vector<Message>& messages() const { return m_messages; }
    [[nodiscard]] std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& m : m_messages)
            out.push_back(m.text);
        return out;
    }
    [[nodiscard]] const std::vector<std::string>& progressShown() const { return m_progressShown; }
    [[nodiscard]] const std::vector<int>& percents() const { return m_percents; }
    [[nodiscard]] bool progressVisible() const { return m_progressVisible; }
    [[nodiscard]] bool busy() const { return m_busy; }
    [[nodiscard]] int yields() const { return m_yields; }
    void clear() { m_messages.clear(); }

private:
    std::deque<MessageAnswer> m_answers;
    std::vector<Message> m_messages;
    std::vector<std::string> m_progressShown;
    std::vector<int> m_percents;
    int m_cancelAfter = -1;
    int m_yields = 0;
    bool m_progressVisible = false;
    bool m_busy = false;
};

}  // namespace tunalyx::test
