#pragma once

#include <memory>
#include <string>

#include "ports/user_prompts.h"
#include "session/session_view.h"

namespace tunalyx {

class DerivedItems;

// Where a session meets its user: the prompts, the folders the files go to and the view that
// shows the tune (the windows, or nothing for the command line and tests).
class Workspace {
public:
    explicit Workspace(UserPrompts& userPrompts) : prompts(userPrompts) {}
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    UserPrompts& prompts;
    std::string programFolder = ".";  // where default.dat lives
    // Base of the folders the file dialogs start in (Maps, Logs, Watchs, Charts) until the
    // user has chosen one.
    std::string filesFolder = ".";
    // The user's math items, kept with the chart set-up and offered wherever items are chosen
    // (chart, map watch, scatter, CSV export). Replaced whole when they change; null for none.
    std::shared_ptr<const DerivedItems> mathItems;

    [[nodiscard]] SessionView& view() { return m_view ? *m_view : m_noView; }
    void setView(SessionView* v) { m_view = v; }

private:
    SessionView m_noView;
    SessionView* m_view = nullptr;
};

}  // namespace tunalyx
