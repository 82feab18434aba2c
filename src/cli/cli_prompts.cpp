#include "cli/cli_prompts.h"

#include <iostream>

namespace tunalyx::cli {

MessageAnswer CliPrompts::showMessage(const std::string& text, MessageIcon /*icon*/,
                                      MessageButtons buttons) {
    std::string shown = text;
    // Line breaks inside a box become separate lines; CR LF pairs must not leave stray CRs.
    for (std::size_t p; (p = shown.find('\r')) != std::string::npos;)
        shown.erase(p, 1);
    if (buttons == MessageButtons::Ok) {
        std::cerr << shown << std::endl;
        return MessageAnswer::Ok;
    }
    const bool yesNo = buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel;
    MessageAnswer answer;
    if (buttons == MessageButtons::YesNoDefaultNo)
        answer = m_acceptRisks ? MessageAnswer::Yes : MessageAnswer::No;
    else if (yesNo)
        answer = m_answerYes ? MessageAnswer::Yes : MessageAnswer::No;
    else
        answer = m_answerYes ? MessageAnswer::Ok : MessageAnswer::Cancel;
    const char* word = answer == MessageAnswer::Yes  ? "Yes"
                       : answer == MessageAnswer::No ? "No"
                       : answer == MessageAnswer::Ok ? "OK"
                                                     : "Cancel";
    std::cerr << shown << " [" << word << "]" << std::endl;
    return answer;
}

void CliPrompts::showProgress(const std::string& status) {
    std::cerr << status << std::endl;
}

}  // namespace tunalyx::cli
