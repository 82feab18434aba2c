#pragma once

#include <string>

namespace tunalyx {

enum class MessageIcon { None, Critical, Question, Exclamation, Information };
// YesNoDefaultNo asks about something that can do harm: No is what Enter gives, and the command
// line answers it Yes only when told to take that risk, never by --yes.
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, YesNoDefaultNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// Everything core needs from the person at the keyboard. The GUI shows boxes and dialogs, the
// CLI prints to stderr and answers from its flags, tests record and answer from a script.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // A modal message; returns the button pressed (Ok for a box with only OK).
    virtual MessageAnswer showMessage(const std::string& text, MessageIcon icon,
                                      MessageButtons buttons) = 0;

    // Progress of a long operation: shown with a status text, updated, hidden.
    virtual void showProgress(const std::string& status) = 0;
    virtual void setProgress(int percent) = 0;
    virtual void hideProgress() = 0;
    // Whether the user pressed Cancel since the progress was shown.
    [[nodiscard]] virtual bool cancelRequested() = 0;

    virtual void setBusy(bool busy) = 0;
    // Lets the window system run between packets of a long operation.
    virtual void yield() = 0;

    // Shorthand for a message with only an OK button.
    void tell(const std::string& text, MessageIcon icon = MessageIcon::None) {
        showMessage(text, icon, MessageButtons::Ok);
    }
};

}  // namespace tunalyx
