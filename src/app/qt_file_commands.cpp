#include "app/qt_file_commands.h"

#include <QAction>
#include <QFileDialog>

#include "transfer/data_file.h"

namespace tunalyx {

namespace {
const char* const kDataFileFilter = "All Files (*.*);;Data Files (*.dat)";
const char* const kDataFilesEntry = "Data Files (*.dat)";
}  // namespace

std::string chooseDataFileToRead(QWidget& parent, const QString& title, const std::string& folder) {
    QString selected = QString::fromLatin1(kDataFilesEntry);
    return QFileDialog::getOpenFileName(&parent, title, QString::fromStdString(folder),
                                        QString::fromLatin1(kDataFileFilter), &selected)
        .toStdString();
}

QtFileCommands::QtFileCommands(QWidget& window, Session& session, SettingsStore& store,
                               FileWriter& files, const MainMenus& menus,
                               std::function<void()> commitEdit)
    : QObject(&window),
      m_window(window),
      m_session(session),
      m_store(store),
      m_files(files),
      m_commitEdit(std::move(commitEdit)) {
    for (QAction* a : {menus.mnuDefault, menus.mnuOpen, menus.mnuSaveAs})
        a->setEnabled(true);
    // The default file opened at every start is no news; chosen from the menu, it is an Open.
    connect(menus.mnuDefault, &QAction::triggered, this, [this] {
        if (mnuDefault_Click() && tuneTaken) tuneTaken("Open");
    });
    connect(menus.mnuOpen, &QAction::triggered, this, &QtFileCommands::mnuOpen_Click);
    connect(menus.mnuSaveAs, &QAction::triggered, this, [this] { mnuSaveAs_Click(); });

    chooseOpenPath = [this] {
        return chooseDataFileToRead(m_window, tr("Open"), mapPath(m_store, m_session.filesFolder));
    };
    chooseSavePath = [this](const std::string& proposed) -> std::string {
        QString selected = QString::fromLatin1(kDataFilesEntry);
        const QString start =
            QString::fromStdString(mapPath(m_store, m_session.filesFolder) + proposed);
        return QFileDialog::getSaveFileName(&m_window, tr("Save As"), start,
                                            QString::fromLatin1(kDataFileFilter), &selected)
            .toStdString();
    };
}

bool QtFileCommands::mnuDefault_Click() {
    m_commitEdit();
    return openDefaultDataFile(m_session.document(), m_session.workspace());
}

void QtFileCommands::mnuOpen_Click() {
    m_commitEdit();
    const std::string path = chooseOpenPath ? chooseOpenPath() : std::string();
    if (path.empty()) return;
    rememberMapPath(m_store, path);
    if (OpenDataFile(m_session.document(), m_session.workspace(), path, fileNameOf(path)) &&
        tuneTaken)
        tuneTaken("Open");
}

bool QtFileCommands::mnuSaveAs_Click() {
    m_commitEdit();
    const std::string path = chooseSavePath ? chooseSavePath(m_session.captionFile) : std::string();
    if (path.empty()) return false;
    rememberMapPath(m_store, path);
    const bool saved = saveDataFileAs(m_session.document(), m_session.workspace(), m_files, path);
    if (saved && tuneTaken) tuneTaken("Save");
    return saved;
}

}  // namespace tunalyx
