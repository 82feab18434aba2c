#pragma once

#include <QMainWindow>
#include <QTimer>

#include "app/main_window_state.h"
#include "app/qt_main_menus.h"
#include "app/session.h"
#include "link/com_port_choice.h"
#include "link/serial_port_selector.h"

class QCheckBox;
class QPushButton;
class QTabWidget;

namespace tunalyx {

class SettingsPageWidget;

// What the main window is wired to. `simulator` is the port of the built-in simulated unit,
// or null when the program runs on the real serial port only.
struct MainWindowPorts {
    SerialPortSelector& selector;
    SerialPort& serial;
    SerialPort* simulator = nullptr;
};

// frmMain: the tabbed pages, the transfer buttons and the menu tree. It binds widgets to the
// session and forwards events; the rules live in core.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kTabCount = 9;
    static constexpr int kFirstSettingsTab = 3;
    static constexpr int kInfoTab = 8;

    MainWindow(Session& session, SettingsStore& store, MainWindowPorts ports,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence; call once after construction.
    void Form_Load();
    // Shows the whole image on the window.
    void DisplayAllData();
    // Enables Update and restarts the auto-update timer from this change.
    void UpdateEnable();
    // Update enabled exactly while some block is flagged.
    void RefreshUpdateEnabled();

    [[nodiscard]] QTabWidget* tabs() const { return m_tabs; }
    [[nodiscard]] QPushButton* updateButton() const { return m_cmdUpdate; }
    [[nodiscard]] QCheckBox* autoUpdateBox() const { return m_optAutoUpdate; }
    [[nodiscard]] const MainMenus& menus() const { return m_menus; }
    [[nodiscard]] SettingsPageWidget* settingsPage(int page) const;
    [[nodiscard]] QTimer& updateTimer() { return m_timerUpdate; }
    [[nodiscard]] int rightClickedFrame() const { return m_popupFrame; }

signals:
    // Update ran (from the button or the auto-update timer).
    void updateRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void buildTabs();
    void buildButtons(QWidget* central);
    void wireMenus();
    void restorePlacement();
    void saveOnUnload();
    void mnuCom_Click(int index);
    void mnuSimulator_Click();
    void showPortChecks();
    void optAutoUpdate_Click();
    void TimerUpdate_Timer();
    void cmdUpdate_Click();
    void FraSettings_MouseUp(int frameIndex, const QPoint& globalPos);
    void focusTabs();
    void setCaption(const QString& fileName);

    Session& m_session;
    SettingsStore& m_store;
    MainWindowPorts m_ports;
    ComPortChoice m_portChoice;
    MainMenus m_menus;
    MainOptions m_options;
    QTabWidget* m_tabs = nullptr;
    QList<SettingsPageWidget*> m_pages;
    QPushButton* m_cmdReadAll = nullptr;
    QPushButton* m_cmdWriteAll = nullptr;
    QPushButton* m_cmdUpdate = nullptr;
    QCheckBox* m_optAutoUpdate = nullptr;
    QTimer m_timerUpdate;
    int m_popupFrame = -1;
    bool m_unloaded = false;
};

}  // namespace tunalyx
