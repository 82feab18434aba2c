#pragma once

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <memory>

#include "app/main_window_state.h"
#include "app/qt_main_menus.h"
#include "app/session.h"
#include "link/com_port_choice.h"
#include "link/serial_port_selector.h"
#include "maps/map_grid_widget.h"
#include "transfer/transfer_operations.h"

class QCheckBox;
class QPushButton;
class QTabWidget;

namespace tunalyx {

class MapTracer;
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
class MainWindow final : public QMainWindow, public SessionView {
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
    // The views the operations ask for (SessionView).
    void DisplayAllData() override;
    void GridDisplay(int grid) override;
    void GridLabels() override;
    void layoutChanged() override;
    void UpdateEnable() override;
    void RefreshUpdateEnabled() override;
    void setUpdateEnabled(bool enabled) override;
    void setCaptionFile(const std::string& name) override;
    bool mnuSaveAs_Click() override;
    void setCommandEnabled(const std::string& name, bool enabled) override;
    void endCompareMode() override {}

    [[nodiscard]] QTabWidget* tabs() const { return m_tabs; }
    [[nodiscard]] QPushButton* updateButton() const { return m_cmdUpdate; }
    [[nodiscard]] QCheckBox* autoUpdateBox() const { return m_optAutoUpdate; }
    [[nodiscard]] const MainMenus& menus() const { return m_menus; }
    [[nodiscard]] SettingsPageWidget* settingsPage(int page) const;
    [[nodiscard]] QTimer& updateTimer() { return m_timerUpdate; }
    [[nodiscard]] int rightClickedFrame() const { return m_popupFrame; }
    [[nodiscard]] MapGridWidget* grid(int index) const {
        return m_grids.at(static_cast<std::size_t>(index));
    }
    [[nodiscard]] MapTracer& tracer() const { return *m_tracer; }
    [[nodiscard]] TransferOperations& transfers() { return m_transfers; }
    // File > Open and Save As ask through these; tests replace them.
    std::function<std::string()> chooseOpenPath;
    std::function<std::string(const std::string& proposedName)> chooseSavePath;

signals:
    // Update ran (from the button or the auto-update timer).
    void updateRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void buildTabs();
    QWidget* buildMapTab(int map);
    void wireMapMenus();
    void wireCommands();
    void mnuOpen_Click();
    void mnuDefault_Click();
    void showLoadedFile();
    void runTransfer(const std::function<void()>& operation);
    [[nodiscard]] std::string mapPath() const;
    void rememberFolder(const std::string& path);
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
    void SSTab1_Click(int tab);

    Session& m_session;
    SettingsStore& m_store;
    MainWindowPorts m_ports;
    ComPortChoice m_portChoice;
    MainMenus m_menus;
    MainOptions m_options;
    QTabWidget* m_tabs = nullptr;
    std::array<MapGridWidget*, kMapGridCount> m_grids{};
    std::unique_ptr<MapTracer> m_tracer;
    TransferOperations m_transfers;
    QList<SettingsPageWidget*> m_pages;
    QPushButton* m_cmdReadAll = nullptr;
    QPushButton* m_cmdWriteAll = nullptr;
    QPushButton* m_cmdUpdate = nullptr;
    QCheckBox* m_optAutoUpdate = nullptr;
    QTimer m_timerUpdate;
    int m_popupFrame = -1;
    int m_popupGrid = 0;
    bool m_unloaded = false;
};

}  // namespace tunalyx
