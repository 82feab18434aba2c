#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "app/qt_main_menus.h"
#include "ports/file_writer.h"
#include "ports/settings_store.h"
#include "session/session.h"

class QWidget;

namespace tunalyx {

// The file dialog that picks a data file to read, starting in `folder`; empty when cancelled.
[[nodiscard]] std::string chooseDataFileToRead(QWidget& parent, const QString& title,
                                               const std::string& folder);

// File > Default, Open and Save As: the file dialogs, "MapPath", and the data file operations.
class QtFileCommands final : public QObject {
public:
    // `commitEdit` takes over a value still being typed before a file replaces the data.
    QtFileCommands(QWidget& window, Session& session, SettingsStore& store, FileWriter& files,
                   const MainMenus& menus, std::function<void()> commitEdit);

    // True when the file was taken.
    bool mnuDefault_Click();
    void mnuOpen_Click();
    // True when the file was written.
    bool mnuSaveAs_Click();

    // The dialogs; tests replace them. An empty path means the user cancelled.
    std::function<std::string()> chooseOpenPath;
    std::function<std::string(const std::string& proposedName)> chooseSavePath;
    // Told of a file opened or saved ("Open", "Save"): the tune history.
    std::function<void(const char* action)> tuneTaken;

private:
    QWidget& m_window;
    Session& m_session;
    SettingsStore& m_store;
    FileWriter& m_files;
    std::function<void()> m_commitEdit;
};

}  // namespace tunalyx
