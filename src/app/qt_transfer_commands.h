#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

#include "app/qt_main_menus.h"
#include "history/tune_history.h"
#include "session/auto_update.h"
#include "session/session.h"
#include "transfer/transfer_operations.h"

class QCheckBox;
class QPushButton;
class QWidget;

namespace tunalyx {

class ProgressDialog;

// The main window's buttons that move blocks.
struct TransferButtons {
    QPushButton* readAll;
    QPushButton* writeAll;
    QPushButton* update;
    QCheckBox* autoUpdate;
};

// Read All, Write All and Update with its auto-update timer, the map tabs' Read and Write, the
// settings frames' popup Read and Write, Initialise Power-FC and the Version menu.
class QtTransferCommands final : public QObject {
    Q_OBJECT
public:
    // `commitEdit` takes over a value still being typed before anything is sent; `popupFrame`
    // tells which settings frame was right-clicked last.
    QtTransferCommands(QWidget& window, Session& session, const MainMenus& menus,
                       TransferButtons buttons, std::function<void()> commitEdit,
                       std::function<int()> popupFrame);

    void bindMapButtons(int map, QPushButton* read, QPushButton* write);

    // The Update button: enabled by an edit (restarting the timer), from the flags, or forced.
    void UpdateEnable();
    void RefreshUpdateEnabled();
    void setUpdateEnabled(bool enabled);
    // A command's button ("cmdReadAll", "cmdReadMap0", ...) is off while its operation runs.
    void setCommandEnabled(const std::string& name, bool enabled);

    [[nodiscard]] TransferOperations& operations() { return m_operations; }

    // The main window is closing. While a transfer runs that is not to be left half done, the
    // user is asked first; on yes the transfer stops after the packet being sent and the window
    // closes then. Returns whether the window may close now.
    [[nodiscard]] bool mayCloseWindow();
    // Whether a command with the unit is running.
    [[nodiscard]] bool running() const { return m_running; }
    [[nodiscard]] QTimer& updateTimer() { return m_timerUpdate; }
    // Told after every command with the unit, whether it succeeded: the tune history.
    std::function<void(UnitCommand command, const std::string& action, bool succeeded)>
        afterCommand;
    // Told instead after a write that was stopped: the tune the unit now holds (what was written,
    // and where it was not, what the unit answers), and the action to keep it under.
    std::function<void(const Tune& held, const std::string& action)> afterStoppedWrite;

signals:
    // Update ran (from the button or the auto-update timer).
    void updateRequested();

private:
    void run(const std::function<bool()>& operation, UnitCommand command, const char* action,
             const char* status);
    void cmdUpdate_Click();
    void optAutoUpdate_Click();
    void TimerUpdate_Timer();
    void showUpdateState();
    // The pages and grids mark what the last command's read-back found not kept.
    void showNotKept();

    QWidget& m_window;
    Session& m_session;
    TransferButtons m_buttons;
    std::function<void()> m_commitEdit;
    std::function<int()> m_popupFrame;
    QAction* m_mapRefLabels;  // whether the grids head their cells by the map reference
    TransferOperations m_operations;
    AutoUpdate m_autoUpdate;
    QTimer m_timerUpdate;
    QElapsedTimer m_clock;
    ProgressDialog* m_progress;  // the running command's, with Cancel
    bool m_running = false;
    bool m_writing = false;        // the running command sends to the unit
    bool m_closeWhenDone = false;  // the window asked to close while it ran
};

}  // namespace tunalyx
