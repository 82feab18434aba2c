#pragma once

#include <cstdio>

#include "ports/user_prompts.h"

namespace tunalyx {

// Prompts for timing runs: messages are printed (a benchmark that shows one went wrong), every
// question is answered Yes, nothing waits.
class QuietPrompts final : public UserPrompts {
public:
    MessageAnswer showMessage(const std::string& text, MessageIcon, MessageButtons) override {
        std::printf("  message: %s\n", text.c_str());
        return MessageAnswer::Yes;
    }
    void showProgress(const std::string&) override {}
    void setProgress(int) override {}
    void hideProgress() override {}
    bool cancelRequested() override { return false; }
    void setBusy(bool) override {}
    void yield() override {}
};

}  // namespace tunalyx
