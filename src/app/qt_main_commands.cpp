// The main window's commands: map tabs and the Maps menu, the transfers, the File menu, the
// version menu and the views the operations ask for.
#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/main_window.h"
#include "maps/qt_map_tracer.h"
#include "model/settings_page_widget.h"
#include "transfer/data_file.h"
#include "versions/version_identification.h"

namespace tunalyx {

namespace {
const char* const kDataFileFilter = "All Files (*.*);;Data Files (*.dat)";
const char* const kDataFilesEntry = "Data Files (*.dat)";
}  // namespace

QWidget* MainWindow::buildMapTab(int map) {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("MapTab%1").arg(map));
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(4, 4, 4, 4);
    auto* grid = new MapGridWidget(m_session, map, page);
    m_grids[static_cast<std::size_t>(map)] = grid;
    v->addWidget(grid, 1);
    auto* buttons = new QHBoxLayout;
    auto* read = new QPushButton(tr("Read"), page);
    read->setObjectName(QStringLiteral("cmdReadMap%1").arg(map));
    auto* write = new QPushButton(tr("Write"), page);
    write->setObjectName(QStringLiteral("cmdWriteMap%1").arg(map));
    connect(read, &QPushButton::clicked, this,
            [this, map] { runTransfer([this, map] { m_transfers.cmdReadMap_Click(map); }); });
    connect(write, &QPushButton::clicked, this,
            [this, map] { runTransfer([this, map] { m_transfers.cmdWriteMap_Click(map); }); });
    buttons->addStretch(1);
    buttons->addWidget(read);
    buttons->addWidget(write);
    v->addLayout(buttons);
    connect(grid, &MapGridWidget::contextMenuRequested, this, [this](int g, const QPoint& at) {
        // Copy, Paste and Ghost Clear show only in the grids' own menu, Source only on the bar.
        m_popupGrid = g;
        for (QAction* a : {m_menus.mnuGridCopy, m_menus.mnuGridPaste, m_menus.mnuSep4,
                           m_menus.mnuMapTraceGhostClear})
            a->setVisible(true);
        m_menus.traceSource->menuAction()->setVisible(false);
        m_menus.maps->exec(at);
        for (QAction* a : {m_menus.mnuGridCopy, m_menus.mnuGridPaste, m_menus.mnuSep4,
                           m_menus.mnuMapTraceGhostClear})
            a->setVisible(false);
        m_menus.traceSource->menuAction()->setVisible(true);
    });
    return page;
}

void MainWindow::wireMapMenus() {
    m_tracer = std::make_unique<MapTracer>(m_grids, *m_tabs, m_menus);
    const MainMenus& m = m_menus;
    for (QAction* a : {m.mnuGridCopy, m.mnuGridPaste, m.mnuMapRefLabels, m.mnuMapTrace,
                       m.mnuAutoSelect, m.mnuMapTraceGhost})
        a->setEnabled(true);
    for (QAction* a : m.mnuSetupMapTraceSource)
        a->setEnabled(true);
    // Each handler sets the check itself, so the automatic toggle is taken back first.
    auto handler = [this](QAction* a, std::function<void()> f) {
        connect(a, &QAction::triggered, this, [a, f] {
            if (a->isCheckable()) a->setChecked(!a->isChecked());
            f();
        });
    };
    handler(m.mnuGridCopy, [this] { grid(m_popupGrid)->copySelection(); });
    handler(m.mnuGridPaste, [this] { grid(m_popupGrid)->pasteClipboard(); });
    handler(m.mnuMapRefLabels, [this] {
        m_menus.mnuMapRefLabels->setChecked(!m_menus.mnuMapRefLabels->isChecked());
        GridLabels();
    });
    handler(m.mnuMapTrace, [this] { m_tracer->mnuMapTrace_Click(); });
    handler(m.mnuAutoSelect, [this] { m_tracer->mnuAutoSelect_Click(); });
    handler(m.mnuMapTraceGhost, [this] { m_tracer->mnuMapTraceGhost_Click(); });
    handler(m.mnuMapTraceGhostClear, [this] { m_tracer->mnuMapTraceGhostClear_Click(); });
    for (int i = 0; i < m.mnuSetupMapTraceSource.size(); ++i)
        handler(m.mnuSetupMapTraceSource[i],
                [this, i] { m_tracer->mnuSetupMapTraceSource_Click(i); });
    handler(m.mnuReCalcBase, [this] {
        m_session.maps.ReCalcBase();
        GridDisplay(kInjMap);
        GridDisplay(kBaseMap);
        UpdateEnable();
    });
}

void MainWindow::wireCommands() {
    const MainMenus& m = m_menus;
    for (QAction* a :
         {m.mnuDefault, m.mnuOpen, m.mnuSaveAs, m.mnuInitAllData, m.mnuRead, m.mnuWrite})
        a->setEnabled(true);
    connect(m.mnuDefault, &QAction::triggered, this, &MainWindow::mnuDefault_Click);
    connect(m.mnuOpen, &QAction::triggered, this, &MainWindow::mnuOpen_Click);
    connect(m.mnuSaveAs, &QAction::triggered, this, [this] { mnuSaveAs_Click(); });
    connect(m.mnuInitAllData, &QAction::triggered, this,
            [this] { runTransfer([this] { m_transfers.mnuInitAllData_Click(); }); });
    connect(m.mnuRead, &QAction::triggered, this,
            [this] { runTransfer([this] { m_transfers.mnuRead_Click(m_popupFrame); }); });
    connect(m.mnuWrite, &QAction::triggered, this,
            [this] { runTransfer([this] { m_transfers.mnuWrite_Click(m_popupFrame); }); });
    for (int menu = 0; menu < m.versionItems.size(); ++menu)
        for (int item = 0; item < m.versionItems[menu].size(); ++item) {
            QAction* a = m.versionItems[menu][item];
            a->setEnabled(true);
            connect(a, &QAction::triggered, this,
                    [this, menu, item] { mnuSetVersion_Click(m_session, menu, item); });
        }

    chooseOpenPath = [this]() -> std::string {
        QString selected = QString::fromLatin1(kDataFilesEntry);
        const QString path =
            QFileDialog::getOpenFileName(this, tr("Open"), QString::fromStdString(mapPath()),
                                         QString::fromLatin1(kDataFileFilter), &selected);
        return path.toStdString();
    };
    chooseSavePath = [this](const std::string& proposed) -> std::string {
        QString selected = QString::fromLatin1(kDataFilesEntry);
        const QString start = QString::fromStdString(mapPath()) + QString::fromStdString(proposed);
        const QString path = QFileDialog::getSaveFileName(
            this, tr("Save As"), start, QString::fromLatin1(kDataFileFilter), &selected);
        return path.toStdString();
    };
}

std::string MainWindow::mapPath() const {
    return m_store.text("MapPath", m_session.programFolder + "/Maps/");
}

void MainWindow::rememberFolder(const std::string& path) {
    m_store.setValue("MapPath",
                     QFileInfo(QString::fromStdString(path)).absolutePath().toStdString() + "/");
}

void MainWindow::mnuDefault_Click() {
    focusTabs();
    openDefaultDataFile(m_session);
}

void MainWindow::mnuOpen_Click() {
    focusTabs();
    const std::string path = chooseOpenPath ? chooseOpenPath() : std::string();
    if (path.empty()) return;
    rememberFolder(path);
    OpenDataFile(m_session, path, QFileInfo(QString::fromStdString(path)).fileName().toStdString());
}

bool MainWindow::mnuSaveAs_Click() {
    focusTabs();
    const std::string path = chooseSavePath ? chooseSavePath(m_session.captionFile) : std::string();
    if (path.empty()) return false;
    rememberFolder(path);
    if (const std::string error = saveDataFile(m_session, path); !error.empty()) {
        m_session.prompts.tell(error, MessageIcon::Critical);
        return false;
    }
    m_session.captionFile = QFileInfo(QString::fromStdString(path)).fileName().toStdString();
    setCaptionFile(m_session.captionFile);
    return true;
}

void MainWindow::runTransfer(const std::function<void()>& operation) {
    // A value still being typed is taken over before anything is sent.
    focusTabs();
    operation();
}

void MainWindow::setCommandEnabled(const std::string& name, bool enabled) {
    if (auto* w = findChild<QWidget*>(QString::fromStdString(name))) w->setEnabled(enabled);
}

void MainWindow::GridDisplay(int g) {
    if (g >= 0 && g < kMapGridCount) grid(g)->GridDisplay();
}

void MainWindow::GridLabels() {
    for (MapGridWidget* g : m_grids)
        g->GridLabels(m_menus.mnuMapRefLabels->isChecked());
}

void MainWindow::layoutChanged() {
    const bool wasOnBase = m_tabs->currentIndex() == kBaseMap;
    m_tabs->setTabVisible(kBaseMap, m_session.baseMapTabVisible);
    // Keyboard tab switching would still land on a hidden tab unless it is disabled too.
    m_tabs->setTabEnabled(kBaseMap, m_session.baseMapTabVisible);
    if (wasOnBase && !m_session.baseMapTabVisible) m_tabs->setCurrentIndex(kIgnMap);
    m_menus.mnuReCalcBase->setEnabled(m_session.reCalcBaseEnabled);
    for (SettingsPageWidget* page : m_pages)
        page->refreshFrameVisibility();
    GridLabels();
}

void MainWindow::SSTab1_Click(int tab) {
    m_tracer->SSTab1_Click(tab);
}

}  // namespace tunalyx
