#include "app/qt_transfer_commands.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QPointer>
#include <QPushButton>

#include "app/settings_page_widget.h"
#include "maps/map_grid_widget.h"
#include "ui/progress_dialog.h"
#include "versions/version_identification.h"

namespace tunalyx {

namespace {
constexpr int kUpdateRetryMs = 500;
}  // namespace

QtTransferCommands::QtTransferCommands(QWidget& window, Session& session, const MainMenus& menus,
                                       TransferButtons buttons, std::function<void()> commitEdit,
                                       std::function<int()> popupFrame)
    : QObject(&window),
      m_window(window),
      m_session(session),
      m_buttons(buttons),
      m_commitEdit(std::move(commitEdit)),
      m_popupFrame(std::move(popupFrame)),
      m_mapRefLabels(menus.mnuMapRefLabels),
      m_operations(session),
      m_progress(new ProgressDialog(&window)) {
    m_clock.start();
    connect(m_progress, &ProgressDialog::cancelPressed, this,
            [this] { m_operations.requestStop(); });
    m_timerUpdate.setObjectName(QStringLiteral("TimerUpdate"));
    m_timerUpdate.setSingleShot(true);
    connect(&m_timerUpdate, &QTimer::timeout, this, &QtTransferCommands::TimerUpdate_Timer);

    TransferOperations& ops = m_operations;
    connect(m_buttons.readAll, &QPushButton::clicked, this, [this, &ops] {
        run([&ops] { return ops.cmdReadAll_Click(); }, UnitCommand::ReadWhole, "Read All",
            "Reading all data");
    });
    connect(m_buttons.writeAll, &QPushButton::clicked, this, [this, &ops] {
        run([&ops] { return ops.cmdWriteAll_Click(); }, UnitCommand::Write, "Write All",
            "Writing all data");
    });
    connect(m_buttons.update, &QPushButton::clicked, this, &QtTransferCommands::cmdUpdate_Click);
    connect(m_buttons.autoUpdate, &QCheckBox::clicked, this,
            &QtTransferCommands::optAutoUpdate_Click);
    showUpdateState();

    for (QAction* a : {menus.mnuInitAllData, menus.mnuRead, menus.mnuWrite})
        a->setEnabled(true);
    connect(menus.mnuInitAllData, &QAction::triggered, this, [this, &ops] {
        run([&ops] { return ops.mnuInitAllData_Click(); }, UnitCommand::Initialise, "", nullptr);
    });
    connect(menus.mnuRead, &QAction::triggered, this, [this, &ops] {
        run([this, &ops] { return ops.mnuRead_Click(m_popupFrame()); }, UnitCommand::ReadPart, "",
            "Reading");
    });
    connect(menus.mnuWrite, &QAction::triggered, this, [this, &ops] {
        run([this, &ops] { return ops.mnuWrite_Click(m_popupFrame()); }, UnitCommand::Write,
            "Write", "Writing");
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
        run([&ops, map] { return ops.cmdReadMap_Click(map); }, UnitCommand::ReadPart, "",
            "Reading map");
    });
    connect(write, &QPushButton::clicked, this, [this, &ops, map] {
        run([&ops, map] { return ops.cmdWriteMap_Click(map); }, UnitCommand::Write, "Write Map",
            "Writing map");
    });
}

void QtTransferCommands::run(const std::function<bool()>& operation, UnitCommand command,
                             const char* action, const char* status) {
    // One command at a time: the window runs between packets, and a click then must not start a
    // second one in the middle of the first.
    if (m_running) return;
    m_running = true;
    m_writing = command == UnitCommand::Write;
    m_closeWhenDone = false;
    // A value still being typed is taken over before anything is sent.
    m_commitEdit();
    // The window repaints and takes the close box while the command runs, but no other input:
    // an edit or another command in its middle would change what it is sending. The other
    // windows that change the tune (a Restore, an Apply) wait as well.
    const QPointer<QWidget> focus = QApplication::focusWidget();
    std::vector<QPointer<QWidget>> disabled;
    const auto disable = [&disabled](QWidget* w) {
        if (!w->isEnabled()) return;
        w->setEnabled(false);
        disabled.emplace_back(w);
    };
    for (QWidget* child : m_window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow()) disable(child);
    for (QWidget* other : QApplication::topLevelWidgets())
        if (other != &m_window && other->windowType() == Qt::Window) disable(other);
    // The progress dialog stays up for the whole command, with Cancel.
    if (status) m_progress->start(QString::fromLatin1(status));
    m_operations.onProgress = [this](std::size_t done, std::size_t planned) {
        if (planned > 0) m_progress->setPercent(static_cast<int>(100 * done / planned));
        // Between packets of a write: repaints, Cancel and the close box. A read, which leaves
        // nothing half done, repaints here; its yields between blocks let queued work run, but
        // every window that could change the tune is off meanwhile.
        if (m_writing) {
            QApplication::processEvents();
        } else {
            m_window.repaint();
            m_progress->repaint();
        }
    };
    // A cell the unit did not keep is named by the headings its grid shows.
    m_operations.setMapReferenceHeadings(m_mapRefLabels && m_mapRefLabels->isChecked());
    const bool succeeded = operation();
    m_operations.onProgress = nullptr;
    showNotKept();
    m_progress->hide();
    for (const QPointer<QWidget>& child : disabled)
        if (child) child->setEnabled(true);
    if (focus && focus->isEnabled()) focus->setFocus();
    m_running = false;
    m_writing = false;
    if (command == UnitCommand::Write && m_operations.stopped() && afterStoppedWrite) {
        // The unit holds part of each tune: that one is what the history keeps.
        m_progress->start(QStringLiteral("Reading what the unit now holds"));
        m_progress->repaint();
        const auto held = m_operations.unitImageAfterStop();
        m_progress->hide();
        if (held) {
            Tune tune = m_session.tune();
            tune.image = *held;
            afterStoppedWrite(tune, std::string(action) + " (stopped)");
        } else if (afterCommand) {
            afterCommand(command, action, false);
        }
    } else if (afterCommand) {
        const bool heldBack = command == UnitCommand::Write && m_operations.heldBack();
        afterCommand(heldBack ? UnitCommand::HeldBack : command, action, succeeded);
    }
    if (m_closeWhenDone) QTimer::singleShot(0, &m_window, [this] { m_window.close(); });
}

bool QtTransferCommands::mayCloseWindow() {
    if (!m_running) return true;
    if (m_closeWhenDone) return false;  // already stopping
    if (m_writing && m_session.prompts.showMessage(
                         "A write to the unit is in progress. Stop it after the packet being "
                         "sent and close? You will be asked about what was not sent.",
                         MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
        return false;
    // A read leaves nothing half done: it just stops.
    m_closeWhenDone = true;
    m_operations.requestStop();
    return false;
}

void QtTransferCommands::showNotKept() {
    const std::vector<UnkeptValue>& values = m_operations.unkeptValues();
    for (auto* page : m_window.findChildren<SettingsPageWidget*>())
        page->showNotKept(values);
    for (auto* grid : m_window.findChildren<MapGridWidget*>())
        grid->cells().setNotKept(values);
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
    // A command running now would take no Update: it stays due and is tried again shortly.
    if (m_running) {
        m_timerUpdate.start(kUpdateRetryMs);
        return;
    }
    if (m_autoUpdate.TimerUpdate_Timer()) cmdUpdate_Click();
}

void QtTransferCommands::cmdUpdate_Click() {
    emit updateRequested();
    run([this] { return m_operations.cmdUpdate_Click(); }, UnitCommand::Write, "Update",
        "Updating");
}

}  // namespace tunalyx
