#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ports/file_writer.h"
#include "ports/serial_port.h"
#include "ports/user_prompts.h"

namespace tunalyx::fuzz {

inline std::string_view textOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Answers questions Yes or No from the bits of one input byte, so the fuzzer walks both ways
// through every question a reader may ask.
class BitPrompts final : public UserPrompts {
public:
    explicit BitPrompts(std::uint8_t answers = 0) : m_answers(answers) {}

    MessageAnswer showMessage(const std::string&, MessageIcon, MessageButtons buttons) override {
        ++m_messages;
        if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
        const bool yes = (m_answers >> (m_asked++ % 8)) & 1;
        return yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    void showProgress(const std::string&) override {}
    void setProgress(int) override {}
    void hideProgress() override {}
    [[nodiscard]] bool cancelRequested() override { return false; }
    void setBusy(bool) override {}
    void yield() override {}

    [[nodiscard]] int messages() const { return m_messages; }

private:
    std::uint8_t m_answers;
    unsigned m_asked = 0;
    int m_messages = 0;
};

// Keeps the last file written in memory.
class MemoryWriter final : public FileWriter {
public:
    [[nodiscard]] std::string writeWhole(const std::string&, std::string_view contents) override {
        written.assign(contents);
        return {};
    }
    std::string written;
};

}  // namespace tunalyx::fuzz
