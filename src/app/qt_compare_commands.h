#pragma once

#include <QList>
#include <QObject>
#include <array>
#include <functional>
#include <string>

#include "app/qt_main_menus.h"
#include "compare/compare.h"
#include "ports/settings_store.h"
#include "session/session.h"

class QWidget;

namespace tunalyx {

class MapGridWidget;
class SettingsPageWidget;

// File > "&Compare": paints what differs in a data file against the window's data, and shows
// the window's data again when it ends. The window's data are never touched by it.
class QtCompareCommands final : public QObject {
public:
    // `focusTabs` takes over a value still being typed.
    QtCompareCommands(QWidget& window, Session& session, const SettingsStore& store,
                      const MainMenus& menus, QList<SettingsPageWidget*> pages,
                      const std::array<MapGridWidget*, kMapGridCount>& grids,
                      std::function<void()> focusTabs);

    // Starts compare mode with a file the user chooses, or ends it.
    void mnuCompare_Click();
    // Ends compare mode; Read All and Open call it before they replace the data.
    void endCompare();
    // In compare mode: the compared file's notes, or the window's again.
    void txtNotes_DblClick();

    // The file dialog; tests replace it. An empty path means the user cancelled.
    std::function<std::string()> chooseComparePath;

private:
    void startCompare();
    void show(const Comparison& comparison);
    // The commands that write the data to the unit or to a file, and those that change it.
    void enableWriting(bool enabled);
    [[nodiscard]] SettingsPageWidget* notesPage() const;

    QWidget& m_window;
    Session& m_session;
    const SettingsStore& m_store;
    const MainMenus& m_menus;
    QList<SettingsPageWidget*> m_pages;
    std::array<MapGridWidget*, kMapGridCount> m_grids;
    std::function<void()> m_focusTabs;
    std::string m_fileNotes;
    bool m_fileNotesShown = false;
};

}  // namespace tunalyx
