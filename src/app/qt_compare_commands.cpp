#include "app/qt_compare_commands.h"

#include <QAction>
#include <QMenu>

#include "app/qt_file_commands.h"
#include "app/settings_page_widget.h"
#include "maps/map_grid_widget.h"
#include "transfer/data_file.h"
#include "ui/qt_cell_colour.h"
#include "ui/qt_text.h"

namespace tunalyx {

namespace {
const char* const kCompareNotesTip = "Double Click to view compare notes";
const char* const kWritingButtons[] = {"cmdWriteAll",  "cmdReadMap0",  "cmdReadMap1", "cmdReadMap2",
                                       "cmdWriteMap0", "cmdWriteMap1", "cmdWriteMap2"};

}  // namespace

QtCompareCommands::QtCompareCommands(QWidget& window, Session& session, const SettingsStore& store,
                                     const MainMenus& menus, QList<SettingsPageWidget*> pages,
                                     const std::array<MapGridWidget*, kMapGridCount>& grids,
                                     std::function<void()> focusTabs)
    : QObject(&window),
      m_window(window),
      m_session(session),
      m_store(store),
      m_menus(menus),
      m_pages(std::move(pages)),
      m_grids(grids),
      m_focusTabs(std::move(focusTabs)) {
    m_menus.mnuCompare->setEnabled(true);
    connect(m_menus.mnuCompare, &QAction::triggered, this, &QtCompareCommands::mnuCompare_Click);
    for (SettingsPageWidget* page : m_pages)
        connect(page, &SettingsPageWidget::notesDoubleClicked, this,
                &QtCompareCommands::txtNotes_DblClick);

    chooseComparePath = [this] {
        return chooseDataFileToRead(m_window, tr("Compare"),
                                    mapPath(m_store, m_session.filesFolder));
    };
}

void QtCompareCommands::mnuCompare_Click() {
    if (m_session.compareMode)
        endCompare();
    else
        startCompare();
    // The item was toggled by the click; it shows the mode, whatever came of it.
    m_menus.mnuCompare->setChecked(m_session.compareMode);
}

void QtCompareCommands::startCompare() {
    // The comparison reads the image: never while a transfer is filling it.
    if (m_session.PortBusy) return;
    m_focusTabs();
    const std::string path = chooseComparePath ? chooseComparePath() : std::string();
    if (path.empty()) return;
    const std::optional<Comparison> comparison =
        compareWithFile(m_session, m_session.prompts, path, fileNameOf(path));
    if (!comparison) return;
    show(*comparison);
    m_session.compareMode = true;
    m_menus.mnuCompare->setChecked(true);
    enableWriting(false);
}

void QtCompareCommands::show(const Comparison& comparison) {
    const QColor red = cellQColor(kCompareRed);
    for (const SettingDifference& d : comparison.settings) {
        if (d.control->page < 1 || d.control->page > m_pages.size()) continue;
        m_pages[d.control->page - 1]->markDifference(d.control->kind, d.control->index, red,
                                                     latin1(d.fileText));
    }
    m_fileNotes = comparison.fileNotes;
    m_fileNotesShown = false;
    if (comparison.notesDiffer)
        if (SettingsPageWidget* page = notesPage())
            page->markDifference(ControlKind::Notes, -1, red, tr(kCompareNotesTip));

    for (const MapDifference& map : comparison.maps) {
        MapGridModel::CellTexts texts;
        for (int row = 1; row <= kMapRows; ++row)
            for (int col = 1; col <= kMapCols; ++col) {
                const CellDifference& cell = map.at(row, col);
                texts[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col - 1)] =
                    latin1(cell.text);
                // Cells without a difference keep the colour they have (the ghost trail).
                if (cell.differs()) m_session.cellColours.set(map.grid, row, col, cell.colour);
            }
        MapGridModel& cells = m_grids[static_cast<std::size_t>(map.grid)]->cells();
        cells.setOverrideTexts(texts);
        cells.coloursChanged(CellRange::all());
    }
}

void QtCompareCommands::endCompare() {
    if (!m_session.compareMode) return;
    m_session.compareMode = false;
    m_menus.mnuCompare->setChecked(false);
    m_session.view().setCommandEnabled("cmdReadAll", true);
    enableWriting(true);

    for (SettingsPageWidget* page : m_pages)
        page->clearDifferences();
    if (SettingsPageWidget* page = notesPage()) page->showNotes();
    m_fileNotes.clear();
    m_fileNotesShown = false;

    for (int grid = 0; grid < kMapGridCount; ++grid) {
        m_session.cellColours.clear(grid);
        m_grids[static_cast<std::size_t>(grid)]->cells().coloursChanged(CellRange::all());
    }
    m_session.view().DisplayAllData();
}

void QtCompareCommands::txtNotes_DblClick() {
    if (!m_session.compareMode) return;
    SettingsPageWidget* page = notesPage();
    if (!page) return;
    m_fileNotesShown = !m_fileNotesShown;
    if (m_fileNotesShown)
        page->showComparedNotes(m_fileNotes);
    else
        page->showNotes();
}

void QtCompareCommands::enableWriting(bool enabled) {
    SessionView& view = m_session.view();
    for (const char* name : kWritingButtons)
        view.setCommandEnabled(name, enabled);
    // Update follows the changed flags again once compare mode ends.
    if (enabled)
        view.RefreshUpdateEnabled();
    else
        view.setCommandEnabled("cmdUpdate", false);
    for (QAction* a : {m_menus.mnuSaveAs, m_menus.mnuInitAllData, m_menus.mnuRead, m_menus.mnuWrite,
                       m_menus.version->menuAction()})
        a->setEnabled(enabled);
    m_menus.mnuReCalcBase->setEnabled(enabled && m_session.layout.reCalcBaseEnabled);
}

SettingsPageWidget* QtCompareCommands::notesPage() const {
    for (SettingsPageWidget* page : m_pages)
        if (page->notesEdit()) return page;
    return nullptr;
}

}  // namespace tunalyx
