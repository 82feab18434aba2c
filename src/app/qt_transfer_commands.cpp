#include "app/qt_transfer_commands.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>

#include "versions/version_identification.h"

namespace tunalyx {

QtTransferCommands::QtTransferCommands(QWidget& window, Session& session, const MainMenus& menus,
                                       TransferButtons buttons, std::function<void()> commitEdit,
                                       std::function<int()> popupFrame)
    : QObject(&window),
      m_window(window),
      m_session(session),
      m_buttons(buttons),
      m_commitEdit(std::move(commitEdit)),
      m_popupFrame(std::move(popupFrame)),
      m_operations(session) {
    m_clock.start();
    m_timerUpdate.setObjectName(QStringLiteral("TimerUpdate"));
    m_timerUpdate.setSingleShot(true);
    connect(&m_timerUpdate, &QTimer::timeout, this, &QtTransferCommands::TimerUpdate_Timer);

    TransferOperations& ops = m_operations;
    connect(m_buttons.readAll, &QPushButton::clicked, this, [this, &ops] {
        run([&ops] { return ops.cmdReadAll_Click(); }, UnitCommand::ReadWhole, "Read All");
    });
    connect(m_buttons.writeAll, &QPushButton::clicked, this, [this, &ops] {
        run([&ops] { return ops.cmdWriteAll_Click(); }, UnitCommand::Write, "Write All");
    });
    connect(m_buttons.update, &QPushButton::clicked, this, &QtTransferCommands::cmdUpdate_Click);
    connect(m_buttons.autoUpdate, &QCheckBox::clicked, this,
            &QtTransferCommands::optAutoUpdate_Click);
    showUpdateState();

    for (QAction* a : {menus.mnuInitAllData, menus.mnuRead, menus.mnuWrite})
        a->setEnabled(true);
    connect(menus.mnuInitAllData, &QAction::triggered, this, [this, &ops] {
        run([&ops] { return ops.mnuInitAllData_Click(); }, UnitCommand::Initialise, "");
    });
    connect(menus.mnuRead, &QAction::triggered, this, [this, &ops] {
        run([this, &ops] { return ops.mnuRead_Click(m_popupFrame()); }, UnitCommand::ReadPart, "");
    });
    connect(menus.mnuWrite, &QAction::triggered, this, [this, &ops] {
        run([this, &ops] { return ops.mnuWrite_Click(m_popupFrame()); }, UnitCommand::Write,
            "Write");
    });
    for (int menu = 0; menu < menus.versionItems.size(); ++menu)
        for (int item = 0; item < menus.versionItems[menu].size(); ++item) {
            QAction* a = menus.versionItems[menu][item];
            a->setEnabled(true);
            connect(a, &QAction::triggered, this,
                    [this, menu, item] { mnuSetVersion_Click(m_session, menu, item); });
        }
}

void QtTransferCommands::bindMapButtons(int map, QPushButton* read, QPushButton* write) {
    TransferOperations& ops = m_operations;
    connect(read, &QPushButton::clicked, this, [this, &ops, map] {
        run([&ops, map] { return ops.cmdReadMap_Click(map); }, UnitCommand::ReadPart, "");
    });
    connect(write, &QPushButton::clicked, this, [this, &ops, map] {
        run([&ops, map] { return ops.cmdWriteMap_Click(map); }, UnitCommand::Write, "Write Map");
    });
}

void QtTransferCommands::run(const std::function<bool()>& operation, UnitCommand command,
                             const char* action) {
    // A value still being typed is taken over before anything is sent.
    m_commitEdit();
    const bool succeeded = operation();
    if (afterCommand) afterCommand(command, action, succeeded);
}

void QtTransferCommands::showUpdateState() {
    m_buttons.update->setEnabled(m_autoUpdate.updateEnabled());
    if (m_autoUpdate.dueAtMs() && !m_timerUpdate.isActive())
        m_timerUpdate.start(static_cast<int>(
            std::max<std::int64_t>(0, *m_autoUpdate.dueAtMs() - m_clock.elapsed())));
}

void QtTransferCommands::UpdateEnable() {
    const auto dueBefore = m_autoUpdate.dueAtMs();
    m_autoUpdate.UpdateEnable(m_clock.elapsed());
    // The timer counts afresh from every change.
    if (m_autoUpdate.dueAtMs() != dueBefore) m_timerUpdate.stop();
    showUpdateState();
}

void QtTransferCommands::RefreshUpdateEnabled() {
    setUpdateEnabled(m_session.dirty.any());
}

void QtTransferCommands::setUpdateEnabled(bool enabled) {
    m_autoUpdate.setUpdateEnabled(enabled);
    showUpdateState();
}

void QtTransferCommands::setCommandEnabled(const std::string& name, bool enabled) {
    if (auto* w = m_window.findChild<QWidget*>(QString::fromStdString(name)))
        w->setEnabled(enabled);
}

void QtTransferCommands::optAutoUpdate_Click() {
    m_autoUpdate.optAutoUpdate_Click(m_buttons.autoUpdate->isChecked(), m_clock.elapsed());
    showUpdateState();
}

void QtTransferCommands::TimerUpdate_Timer() {
    // Nothing is written while compare mode is on; the update stays due until it ends.
    if (m_session.compareMode) return;
    if (m_autoUpdate.TimerUpdate_Timer()) cmdUpdate_Click();
}

void QtTransferCommands::cmdUpdate_Click() {
    emit updateRequested();
    run([this] { return m_operations.cmdUpdate_Click(); }, UnitCommand::Write, "Update");
}

}  // namespace tunalyx
