#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "airflow/air_flow_grid_widget.h"
#include "app/settings_page_widget.h"
#include "auxinputs/aux_calibration.h"
#include "charts/chart_window_compare.h"
#include "curves/curve_editor_dialog.h"
#include "history/restore_tune.h"
#include "maps/scale_dialog.h"
#include "mapwatch/scatter_window.h"
#include "monitor/live_decode.h"
#include "monitor/log_file.h"
#include "monitor/log_journal.h"
#include "monitor/marker_note_widget.h"
#include "monitor/monitor_settings.h"
#include "ports/whole_file.h"
#include "program_version.h"
#include "transfer/data_file.h"
#include "ui/qt_window_placement.h"

namespace tunalyx {

namespace {

const char* kInfoText =
    "Tunalyx SR20DET\n"
    "Version %1\n\n"
    "Tuning and data logging for the Power-FC engine computer on SR20DET engines.\n\n"
    "Read All reads every block of the engine computer into this window; edits on the map and\n"
    "settings pages mark their blocks changed, and Update writes what changed (with Auto Update,\n"
    "half a second after the last edit). Write All sends everything.\n\n"
    "A click on a frame or on the window takes over a value being typed; Enter does the same.\n"
    "Right-click a settings frame to read or write just its blocks.";

// A log of a whole run is a few megabytes; a larger file is not looked up.
constexpr std::uintmax_t kLargestLogForHistory = 256ull * 1024 * 1024;

}  // namespace

MainWindow::MainWindow(Session& session, LiveRun& live, SettingsStore& store, MainWindowPorts ports,
                       FileWriter& files, QWidget* parent)
    : QMainWindow(parent), m_session(session), m_live(live), m_store(store), m_fileWriter(files) {
    setObjectName(QStringLiteral("frmMain"));
    setCaptionFile("Untitled.Dat");
    m_menus = buildMainMenus(menuBar(), ports.simulator != nullptr);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    m_tabs = new QTabWidget(central);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_tabs->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(m_tabs, 1);
    buildTabs();
    buildButtons(central);
    setCentralWidget(central);

    // Values are typed and shown with the user's decimal separator.
    const QString point = QLocale().decimalPoint();
    const NumberLocale numbers{point.isEmpty() ? '.' : point.at(0).toLatin1()};
    m_session.codec.setLocale(numbers);
    m_session.maps.setLocale(numbers);
    m_session.codec.onChange = [this] { UpdateEnable(); };
    m_session.maps.onChange = [this] { UpdateEnable(); };
    m_session.setView(this);

    connect(m_menus.mnuExit, &QAction::triggered, this, &QWidget::close);
    bindCommands(ports, files);
    bindWindows(files);
    buildEditMenu();
    bindOptions();
    connect(m_tabs, &QTabWidget::currentChanged, this,
            [this](int tab) { m_maps->tracer().SSTab1_Click(tab); });
}

void MainWindow::bindCommands(MainWindowPorts ports, FileWriter& files) {
    const auto commitEdit = [this] { focusTabs(); };
    m_ports = new QtPortMenu(m_session, m_store, m_menus, ports, this);
    m_ports->beforeChange = [this] {
        if (m_monitor) m_monitor->cmdLogStop_Click();
    };
    m_files = new QtFileCommands(*this, m_session, m_store, files, m_menus, commitEdit);
    m_transfers = new QtTransferCommands(
        *this, m_session, m_menus, {m_cmdReadAll, m_cmdWriteAll, m_cmdUpdate, m_optAutoUpdate},
        commitEdit, [this] { return m_popupFrame; });
    connect(m_transfers, &QtTransferCommands::updateRequested, this, &MainWindow::updateRequested);
    m_transfers->afterCommand = [this](UnitCommand command, const std::string& action, bool ok) {
        // Whatever went, failed or not: a block without its flag holds what the unit holds.
        m_unsaved.settle(m_session.tune());
        if (m_recorder)
            m_recorder->afterUnitCommand(m_session.tune(), m_session.captionFile, command, action,
                                         ok, m_transfers->operations().acceptedRisks());
        if (m_history) m_history->historyChanged();
    };
    m_transfers->afterStoppedWrite = [this](const Tune& held, const std::string& action) {
        // The blocks that went out are safe in the unit; the rest keep their flags.
        m_unsaved.settle(m_session.tune());
        if (m_recorder)
            m_recorder->afterUnitCommand(held, m_session.captionFile, UnitCommand::Write, action,
                                         true, m_transfers->operations().acceptedRisks());
        if (m_history) m_history->historyChanged();
    };
    m_files->tuneTaken = [this](const char* action) {
        if (std::string_view(action) == "Save")
            m_unsaved.saved(m_session.tune());
        else
            m_unsaved.settle(m_session.tune());
        if (m_recorder) m_recorder->snapshot(m_session.tune(), m_session.captionFile, action);
        if (m_history) m_history->historyChanged();
    };
    for (int map = 0; map < kMapGridCount; ++map)
        m_transfers->bindMapButtons(map, m_mapButtons[static_cast<std::size_t>(map)][0],
                                    m_mapButtons[static_cast<std::size_t>(map)][1]);
    m_maps = new QtMapCommands(m_session, m_grids, *m_tabs, m_menus, this);
    m_compare =
        new QtCompareCommands(*this, m_session, m_store, m_menus, m_pages, m_grids, commitEdit);
}

void MainWindow::bindWindows(FileWriter& files) {
    m_monitorToggle = new WindowToggle(
        m_menus.mnuMonitor, [this] { return &monitor(); }, this);
    m_chartToggle = new WindowToggle(
        m_menus.mnuChart, [this] { return &chart(); }, this);
    m_mapWatchToggle = new WindowToggle(
        m_menus.mnuMapWatch, [this] { return &mapWatch(); }, this);
    m_autoTuneToggle = new WindowToggle(
        m_menus.mnuAutoTune, [this] { return &autoTune(); }, this);
    m_knockToggle = new WindowToggle(
        m_menus.mnuKnock, [this] { return &knock(); }, this);
    m_graphToggle = new WindowToggle(
        m_menus.mnuGraph, [this] { return &graph(); }, this);
    bindScatterWindow(
        m_menus.mnuScatter, *this, m_session, m_live, m_store,
        [this] { return m_tuneHistory.get(); }, [this] { return shownSession(); });
    m_watches = new WatchWindows(m_session, m_live, m_store, files, this);
    m_watches->currentSample = [this] { return m_chart ? m_chart->LookupIndex() : 0; };
    const std::pair<QAction*, void (WatchWindows::*)()> watchItems[] = {
        {m_menus.mnuAddWatch, &WatchWindows::mnuWatch_Click},
        {m_menus.mnuHideWatches, &WatchWindows::HideWatchs},
        {m_menus.mnuLoadWatches, &WatchWindows::WatchsLoad},
        {m_menus.mnuSaveWatches, &WatchWindows::WatchsSave}};
    for (const auto& [action, command] : watchItems) {
        action->setEnabled(true);
        connect(action, &QAction::triggered, m_watches, command);
    }
    connect(m_watches, &WatchWindows::addWatchEnabledChanged, m_menus.mnuAddWatch,
            &QAction::setEnabled);
    for (QAction* a : {m_menus.mnuLogStart, m_menus.mnuLogEnd, m_menus.mnuLogSaveAs})
        a->setEnabled(true);
    connect(m_menus.mnuLogStart, &QAction::triggered, this, [this] {
        focusTabs();
        monitor().cmdLogStart_Click();
    });
    connect(m_menus.mnuLogEnd, &QAction::triggered, this, [this] { monitor().cmdLogStop_Click(); });
    connect(m_menus.mnuLogSaveAs, &QAction::triggered, this, [this] { monitor().cmdSave_Click(); });
    new MarkerKey(m_live, m_session.prompts, *this, m_menus.log);
}

void MainWindow::bindOptions() {
    m_menus.mnuHeatColours->setEnabled(true);
    connect(m_menus.mnuHeatColours, &QAction::toggled, this, [this](bool on) {
        for (MapGridWidget* g : m_grids)
            g->cells().setHeat(on);
    });
    m_menus.mnuVerifyWrites->setEnabled(true);
    m_menus.mnuVerifyWrites->setChecked(m_transfers->operations().verifyWrites());
    connect(m_menus.mnuVerifyWrites, &QAction::toggled, this,
            [this](bool on) { m_transfers->operations().setVerifyWrites(on); });
    m_menus.mnuAuxiliary->setEnabled(true);
    connect(m_menus.mnuAuxiliary, &QAction::triggered, this, &MainWindow::mnuAuxilary_Click);
    m_menus.mnuLogContinuous->setEnabled(true);
    m_menus.mnuLogContinuous->setChecked(loadLogContinuous(m_store));
    connect(m_menus.mnuLogContinuous, &QAction::toggled, this,
            [this](bool on) { monitor().setContinuous(on); });
}

MainWindow::~MainWindow() {
    // Each window stops following the live run as it goes; the monitor, which started the run,
    // goes last.
    if (m_recorder) m_live.removeConsumer(m_recorder.get());
    if (m_history) m_live.removeConsumer(m_history);
    delete m_watches;
    delete m_mapWatch;
    delete findChild<ScatterWindow*>();
    delete m_autoTune;
    delete m_knock;
    delete m_chart;
    delete m_monitor;
    m_session.codec.onChange = nullptr;
    m_session.maps.onChange = nullptr;
    m_session.setView(nullptr);
}

void MainWindow::useTuneHistory(const std::string& folder) {
    m_tuneHistory = std::make_unique<TuneHistory>(folder, m_fileWriter);
    if (m_recorder) m_live.removeConsumer(m_recorder.get());
    m_recorder = std::make_unique<TuneRecorder>(*m_tuneHistory, m_session.prompts);
    m_live.addConsumer(m_recorder.get());
    // A write before anything was read this session is weighed against the history's last tune
    // of the unit, else a read of its maps.
    m_transfers->operations().unitTuneWhenUnknown = [this](const Tune& identified) {
        return lastUnitTune(*m_tuneHistory, identified, m_session.prompts);
    };
    m_menus.mnuHistory->setEnabled(true);
    connect(m_menus.mnuHistory, &QAction::triggered, this, [this] {
        HistoryWindow& w = historyWindow();
        w.show();
        w.raise();
        w.activateWindow();
    });
}

HistoryWindow& MainWindow::historyWindow() {
    if (!m_history) {
        m_history = new HistoryWindow(m_session, *m_tuneHistory, this);
        // After the recorder, which links each saved log to its tune.
        m_live.addConsumer(m_history);
        connect(m_history, &HistoryWindow::restored, this, [this] {
            DisplayAllData();
            showNotes();
            afterHistoryStep();
        });
    }
    return *m_history;
}

void MainWindow::analysisApplied(const char* action) {
    if (m_recorder) m_recorder->snapshot(m_session.tune(), m_session.captionFile, action);
    if (m_history) m_history->historyChanged();
}

void MainWindow::buildTabs() {
    for (int m = 0; m < kMapGridCount; ++m)
        m_tabs->addTab(buildMapTab(m, m_mapButtons[static_cast<std::size_t>(m)]),
                       QString::fromLatin1(mapTabCaption(m)));
    for (int p = 1; p <= 5; ++p) {
        auto* page = new SettingsPageWidget(m_session, p);
        connect(page, &SettingsPageWidget::focusToTabsRequested, this, &MainWindow::focusTabs);
        connect(page, &SettingsPageWidget::tunerStringCommitted, this, &MainWindow::DisplayAllData);
        connect(page, &SettingsPageWidget::frameRightClicked, this,
                &MainWindow::FraSettings_MouseUp);
        connect(page, &SettingsPageWidget::curveEditRequested, this,
                &MainWindow::cmdEditCurve_Click);
        connect(page, &SettingsPageWidget::settingCommitted, this, [this] {
            // The axis labels follow the map reference as soon as a breakpoint is taken over.
            if (m_session.dirty.isSet(m_session.maps.MapRefBlock)) GridLabels();
        });
        connect(page, &SettingsPageWidget::labelCopied, this, [](const QString& text) {
            QClipboard* clip = QGuiApplication::clipboard();
            clip->clear();
            clip->setText(text);
        });
        m_pages.append(page);
        m_tabs->addTab(page, tr("Settings %1").arg(p));
    }
    auto* info = new QLabel(QString::fromLatin1(kInfoText).arg(QLatin1String(kProgramVersion)));
    info->setObjectName(QStringLiteral("InfoTab"));
    info->setAlignment(Qt::AlignCenter);
    info->setWordWrap(true);
    m_tabs->addTab(info, tr("Tunalyx"));
}

QWidget* MainWindow::buildMapTab(int map, std::array<QPushButton*, 2>& buttons) {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("MapTab%1").arg(map));
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(4, 4, 4, 4);
    auto* grid = new MapGridWidget(m_session, map, page);
    m_grids[static_cast<std::size_t>(map)] = grid;
    v->addWidget(grid, 1);
    auto* row = new QHBoxLayout;
    buttons[0] = new QPushButton(tr("Read"), page);
    buttons[0]->setObjectName(QStringLiteral("cmdReadMap%1").arg(map));
    buttons[1] = new QPushButton(tr("Write"), page);
    buttons[1]->setObjectName(QStringLiteral("cmdWriteMap%1").arg(map));
    row->addStretch(1);
    row->addWidget(buttons[0]);
    row->addWidget(buttons[1]);
    v->addLayout(row);
    return page;
}

void MainWindow::buildButtons(QWidget* central) {
    auto* row = new QHBoxLayout;
    // Alt+W belongs to the Window menu, so Write All answers to Alt+A.
    m_cmdReadAll = new QPushButton(tr("&Read All"), central);
    m_cmdReadAll->setObjectName(QStringLiteral("cmdReadAll"));
    m_cmdWriteAll = new QPushButton(tr("Write &All"), central);
    m_cmdWriteAll->setObjectName(QStringLiteral("cmdWriteAll"));
    m_cmdUpdate = new QPushButton(tr("&Update"), central);
    m_cmdUpdate->setObjectName(QStringLiteral("cmdUpdate"));
    m_optAutoUpdate = new QCheckBox(tr("Auto Update"), central);
    m_optAutoUpdate->setObjectName(QStringLiteral("optAutoUpdate"));
    row->addWidget(m_cmdReadAll);
    row->addWidget(m_cmdWriteAll);
    row->addWidget(m_cmdUpdate);
    row->addWidget(m_optAutoUpdate);
    row->addStretch(1);
    static_cast<QVBoxLayout*>(central->layout())->addLayout(row);
}

SettingsPageWidget* MainWindow::settingsPage(int page) const {
    return page >= 1 && page <= m_pages.size() ? m_pages[page - 1] : nullptr;
}

void MainWindow::Form_Load() {
    try {
        // The line settings are applied on every open by the port itself.
        m_session.layout.readAllList = startupReadAllList();
        m_session.layout.writeAllList = startupWriteAllList();
        m_session.maps.GridInit();
        GridLabels();
        tracer().sizeMarker();
        tracer().ShowMapPos(0, 0);
        restorePlacement();
        m_ports->openAtStart(m_store.integer("ComPort", 1), m_store.text("ComPortDevice", ""));
        m_session.link.setSettings(LinkSettings::fromStore(m_store));
        // InitAux: the user's aux calibration, and the item names that carry its names.
        m_aux = auxCalibrationOf(loadAuxSettings(m_store));
        m_session.trace.InitTraceItemLookup(m_aux.names);
        // The math items serve every window from the start, not only once the chart is open.
        ChartConfig chartSetup;
        loadChartSettings(m_store, chartSetup);
        m_session.mathItems = compileChartMath(chartSetup, m_session.trace);
        m_watches->WatchsRestore();
        m_files->mnuDefault_Click();
        const MainOptions options = loadMainOptions(m_store);
        tracer().mnuSetupMapTraceSource_Click(std::clamp(options.mapTraceSource, 0, 1));
        if (options.mapRefLabels) m_menus.mnuMapRefLabels->trigger();
        if (options.mapTrace) m_menus.mnuMapTrace->trigger();
        if (options.mapTraceGhost) m_menus.mnuMapTraceGhost->trigger();
        if (options.mapAutoSelect) m_menus.mnuAutoSelect->trigger();
        if (options.mapHeatColours) m_menus.mnuHeatColours->trigger();
        m_menus.mnuVerifyWrites->setChecked(options.verifyWrites);
        if (options.chartVisible) m_menus.mnuChart->trigger();
        if (options.mapWatchVisible) m_menus.mnuMapWatch->trigger();
        // Whatever the image holds is shown, also when there was no default file to open.
        DisplayAllData();
        m_unsaved.settle(m_session.tune());
    } catch (const std::exception&) {
        m_session.prompts.tell("Error in frmMain_Load", MessageIcon::Critical);
    }
}

void MainWindow::restorePlacement() {
    const MainPlacement p = loadMainPlacement(m_store, kTabCount - 1);
    applyPlacement(*this, {p.left, p.top, p.height, p.width, p.windowState});
    m_tabs->setCurrentIndex(std::clamp(p.tab, 0, kTabCount - 1));
}

void MainWindow::DisplayAllData() {
    for (ControlKind kind :
         {ControlKind::Text, ControlKind::TunerString, ControlKind::Check, ControlKind::CheckBit,
          ControlKind::Option, ControlKind::Label, ControlKind::Caption})
        for (SettingsPageWidget* page : m_pages)
            page->displayKind(kind);
    for (int g = 0; g < kMapGridCount; ++g)
        GridDisplay(g);
    for (SettingsPageWidget* page : m_pages)
        page->displayKind(ControlKind::AirFlowGrid);
}

void MainWindow::showNotes() {
    for (SettingsPageWidget* page : m_pages)
        page->showNotes();
}

void MainWindow::GridDisplay(int g) {
    if (g >= 0 && g < kMapGridCount) grid(g)->GridDisplay();
}

void MainWindow::GridLabels() {
    m_maps->GridLabels();
}

void MainWindow::layoutChanged() {
    // Decided before the tab goes: hiding the active tab would move to a neighbour of Qt's choice.
    const int activeTab = m_session.layout.activeTabAfterSwitch(m_tabs->currentIndex());
    m_tabs->setCurrentIndex(activeTab);
    m_tabs->setTabVisible(kBaseMap, m_session.layout.baseMapTabVisible);
    // Keyboard tab switching would still land on a hidden tab unless it is disabled too.
    m_tabs->setTabEnabled(kBaseMap, m_session.layout.baseMapTabVisible);
    m_menus.mnuReCalcBase->setEnabled(m_session.layout.reCalcBaseEnabled);
    for (SettingsPageWidget* page : m_pages)
        page->refreshFrameVisibility();
    GridLabels();
    if (m_monitor) m_monitor->showCaptions();
}

void MainWindow::UpdateEnable() {
    m_transfers->UpdateEnable();
}

void MainWindow::RefreshUpdateEnabled() {
    m_transfers->RefreshUpdateEnabled();
}

void MainWindow::setUpdateEnabled(bool enabled) {
    m_transfers->setUpdateEnabled(enabled);
}

void MainWindow::cmdEditCurve_Click(int index) {
    const SettingControl* button = m_session.settings.find(ControlKind::CurveButton, index);
    if (!button) return;
    focusTabs();
    CurveEditorDialog editor(m_session, button->tag, this);
    if (showCurveEditor)
        showCurveEditor(editor);
    else
        editor.exec();
}

void MainWindow::endCompareMode() {
    m_compare->endCompare();
}

void MainWindow::setCaptionFile(const std::string& name) {
    setWindowTitle(QString::fromLatin1(windowCaption(name).c_str()));
}

bool MainWindow::mnuSaveAs_Click() {
    return m_files->mnuSaveAs_Click();
}

void MainWindow::setCommandEnabled(const std::string& name, bool enabled) {
    m_transfers->setCommandEnabled(name, enabled);
}

void MainWindow::buildEditMenu() {
    const MainMenus& m = m_menus;
    for (QAction* a : m.edit->actions())
        a->setEnabled(true);
    connect(m.edit, &QMenu::aboutToShow, this, &MainWindow::refreshEditMenu);
    // The menu greys what cannot be done now; the keys stay live, their handlers decide.
    connect(m.edit, &QMenu::aboutToHide, this, [this] {
        for (QAction* a : m_menus.edit->actions())
            a->setEnabled(true);
    });
    connect(m.mnuUndo, &QAction::triggered, this, &MainWindow::mnuUndo_Click);
    connect(m.mnuRedo, &QAction::triggered, this, &MainWindow::mnuRedo_Click);
    const std::pair<QAction*, InterpolateMode> fills[] = {
        {m.mnuInterpolate, InterpolateMode::Block},
        {m.mnuInterpolateRows, InterpolateMode::Rows},
        {m.mnuInterpolateColumns, InterpolateMode::Columns}};
    // The air flow grid takes the tools along its rows while it has the focus.
    const auto airFlow = [] {
        return qobject_cast<AirFlowGridWidget*>(QApplication::focusWidget());
    };
    for (const auto& [action, mode] : fills)
        connect(action, &QAction::triggered, this, [this, airFlow, mode = mode] {
            if (AirFlowGridWidget* a = airFlow())
                a->interpolateRows();
            else if (MapGridWidget* g = currentGrid())
                g->interpolate(mode);
        });
    connect(m.mnuSmooth, &QAction::triggered, this, [this, airFlow] {
        if (AirFlowGridWidget* a = airFlow())
            a->smoothRows();
        else if (MapGridWidget* g = currentGrid())
            g->smooth();
    });
    connect(m.mnuScale, &QAction::triggered, this, [this, airFlow] {
        AirFlowGridWidget* a = airFlow();
        MapGridWidget* g = currentGrid();
        if ((!a && !g) || m_session.compareMode) return;
        const auto answer = askScale();
        if (!answer) return;
        if (a)
            a->scale(answer->first, answer->second);
        else
            g->scale(answer->first, answer->second);
    });
    askWaitingChanges = [this](const std::string& text) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Tunalyx SR20DET"),
                        QString::fromLatin1(text.c_str()), QMessageBox::NoButton, this);
        box.setInformativeText(
            tr("Send them to the unit, save them in a data file, or give them up?"));
        QPushButton* send = box.addButton(tr("Send to Unit"), QMessageBox::AcceptRole);
        QPushButton* save = box.addButton(tr("Save As..."), QMessageBox::AcceptRole);
        QPushButton* discard = box.addButton(tr("Discard"), QMessageBox::DestructiveRole);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(send);
        box.exec();
        if (box.clickedButton() == send) return WaitingAnswer::Send;
        if (box.clickedButton() == save) return WaitingAnswer::Save;
        if (box.clickedButton() == discard) return WaitingAnswer::Discard;
        return WaitingAnswer::Cancel;
    };
    askScale = [this]() -> std::optional<std::pair<double, double>> {
        ScaleDialog dialog(m_session.codec.locale(), this);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return std::pair{dialog.percent(), dialog.offset()};
    };
}

MapGridWidget* MainWindow::currentGrid() const {
    const int tab = m_tabs->currentIndex();
    return tab >= 0 && tab < kMapGridCount ? grid(tab) : nullptr;
}

void MainWindow::refreshEditMenu() {
    const EditHistory& history = m_session.history;
    const bool blocked = m_session.compareMode;
    m_menus.mnuUndo->setText(history.canUndo() ? QString::fromLatin1("&" + history.undoText())
                                               : tr("&Undo"));
    m_menus.mnuRedo->setText(history.canRedo() ? QString::fromLatin1("&" + history.redoText())
                                               : tr("&Redo"));
    m_menus.mnuUndo->setEnabled(history.canUndo() && !blocked);
    m_menus.mnuRedo->setEnabled(history.canRedo() && !blocked);
    const bool onTable = currentGrid() != nullptr ||
                         qobject_cast<AirFlowGridWidget*>(QApplication::focusWidget()) != nullptr;
    for (QAction* a : m_menus.tableTools->actions())
        a->setEnabled(onTable && !blocked);
}

void MainWindow::mnuUndo_Click() {
    historyStep([this] { return m_session.history.undo(); });
}

void MainWindow::mnuRedo_Click() {
    historyStep([this] { return m_session.history.redo(); });
}

void MainWindow::historyStep(const std::function<bool()>& step) {
    if (m_session.compareMode) return;
    // A value being typed is an edit of its own, taken over first; then the focus goes back
    // where it was, so that the table tools still follow the air flow grid, say.
    const QPointer<QWidget> focused = QApplication::focusWidget();
    focusTabs();
    if (step()) DisplayAllData();
    afterHistoryStep();
    if (focused && focused->isVisible() && focused->isEnabled()) focused->setFocus();
}

void MainWindow::afterHistoryStep() {
    // Back at what the unit holds, there is nothing left to send.
    if (m_session.dirty.any())
        UpdateEnable();
    else
        RefreshUpdateEnabled();
}

void MainWindow::focusTabs() {
    m_tabs->setFocus(Qt::OtherFocusReason);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    focusTabs();
    QMainWindow::mousePressEvent(event);
}

void MainWindow::FraSettings_MouseUp(int frameIndex, const QPoint& globalPos) {
    m_popupFrame = frameIndex;
    m_menus.popup->popup(globalPos);
}

void MainWindow::offerLogRecovery() {
    offerJournalRecovery(
        journalFolderOf(m_session.filesFolder), logPath(m_store, m_session.filesFolder),
        m_session.prompts, m_fileWriter,
        [this](const std::string& path, std::string_view contents, const LogTunes& tunes) {
            if (m_recorder) m_recorder->logSaved(path, contents, tunes);
            if (m_history) m_history->historyChanged();
        });
}

MonitorWindow& MainWindow::monitor() {
    if (!m_monitor) {
        m_monitor = new MonitorWindow(m_session, m_live, m_aux, m_store, this);
        connect(m_monitor, &MonitorWindow::closed, this,
                [this] { m_menus.mnuMonitor->setChecked(false); });
    }
    return *m_monitor;
}

ChartWindow& MainWindow::chart() {
    if (!m_chart) {
        m_chart = new ChartWindow(m_session, m_live, monitor(), m_store, m_fileWriter, this);
        connect(m_chart, &ChartWindow::closed, this,
                [this] { m_menus.mnuChart->setChecked(false); });
        // The sample under the chart's cursor and a newly opened log reach the map watch.
        connect(m_chart, &ChartWindow::sampleShown, this, [this](int s) {
            m_watches->showSampleOf(m_chart->shownSource(), s);
            if (m_mapWatch) m_mapWatch->ShowPos(s);
        });
        connect(m_chart, &ChartWindow::shownSourceChanged, this, [this] {
            if (m_mapWatch) m_mapWatch->followSession(m_chart->shownSource(), m_chart->timeline());
            if (auto* scatter = findChild<ScatterWindow*>()) scatter->setSource(shownSession());
        });
        m_chart->watchCommands = {
            [this] { m_watches->mnuWatch_Click(); }, [this] { m_watches->HideWatchs(); },
            [this] { m_watches->WatchsLoad(); }, [this] { m_watches->WatchsSave(); }};
        m_chart->setAddWatchEnabled(m_watches->addWatchEnabled());
        connect(m_watches, &WatchWindows::addWatchEnabledChanged, m_chart,
                &ChartWindow::setAddWatchEnabled);
        m_chart->showAuxSetup = [this] { mnuAuxilary_Click(); };
        m_chart->tuneOfLog = [this](const std::string& path) -> ChartWindow::RanOn {
            if (!m_tuneHistory) return {};
            const WholeFile log = readWholeFile(path, kLargestLogForHistory);
            if (log.problem != WholeFile::Problem::None) return {};
            const HistoryIndex index = m_tuneHistory->load();
            return {logTuneText(index, log.contents), logTunesOf(index, log.contents)};
        };
        m_chart->compare().previousTuneLog = [this](const std::string& shown) {
            if (!m_tuneHistory) return PreviousTuneLog{};
            return findLogOfPreviousTune(m_tuneHistory->load(), shown,
                                         logPath(m_store, m_session.filesFolder));
        };
        m_chart->showMapWatch = [this] {
            if (!m_menus.mnuMapWatch->isChecked()) m_menus.mnuMapWatch->trigger();
        };
    }
    return *m_chart;
}

const SampleSource* MainWindow::shownSession() const {
    return m_chart && m_chart->timeline() ? &m_chart->shownSource() : nullptr;
}

void MainWindow::mnuAuxilary_Click() {
    SetupAuxDialog dialog(loadAuxSettings(m_store), m_session.codec.locale(), m_session.prompts,
                          this);
    const bool confirmed = showAuxSetup ? showAuxSetup(dialog) : dialog.exec() == QDialog::Accepted;
    if (!confirmed) return;
    saveAuxSettings(m_store, dialog.settings());
    m_aux = auxCalibrationOf(dialog.settings());
    m_session.trace.InitTraceItemLookup(m_aux.names);
    if (dialog.reCalcLog()) {
        recalculateAuxLog(m_live.log(), m_session.trace, m_aux);
        if (m_chart) m_chart->initTraces();
        if (m_mapWatch) m_mapWatch->RecalculateMap();
    }
}

GraphWindow& MainWindow::graph() {
    if (!m_graph) {
        m_graph = new GraphWindow(m_session, m_store, this);
        connect(m_graph, &GraphWindow::closed, this,
                [this] { m_menus.mnuGraph->setChecked(false); });
    }
    return *m_graph;
}

MapWatchWindow& MainWindow::mapWatch() {
    if (!m_mapWatch) {
        m_mapWatch = new MapWatchWindow(
            m_session, m_live, m_store, [this](double x, double y) { tracer().ShowMapPos(x, y); },
            this);
        connect(m_mapWatch, &MapWatchWindow::closed, this,
                [this] { m_menus.mnuMapWatch->setChecked(false); });
        m_mapWatch->openLog = [this] { chart().mnuOpen_Click(); };
        m_mapWatch->saveLog = [this] { monitor().cmdSave_Click(); };
        m_mapWatch->startLog = [this] { monitor().cmdLogStart_Click(); };
        m_mapWatch->endLog = [this] { monitor().cmdLogStop_Click(); };
        m_mapWatch->showMonitor = [this] {
            if (!m_menus.mnuMonitor->isChecked()) m_menus.mnuMonitor->trigger();
        };
        m_mapWatch->history = [this] { return m_tuneHistory.get(); };
        m_mapWatch->showChart = [this] {
            if (!m_menus.mnuChart->isChecked()) m_menus.mnuChart->trigger();
        };
        connect(m_mapWatch->findChild<QAction*>(QStringLiteral("mnuScatter")), &QAction::triggered,
                this, [this] {
                    if (!m_menus.mnuScatter->isChecked()) m_menus.mnuScatter->trigger();
                });
        if (m_chart && m_chart->timeline())
            m_mapWatch->followSession(m_chart->shownSource(), m_chart->timeline());
    }
    return *m_mapWatch;
}

AutoTuneWindow& MainWindow::autoTune() {
    if (!m_autoTune) {
        m_autoTune = new AutoTuneWindow(m_session, m_live, m_store, m_fileWriter, this);
        connect(m_autoTune, &AutoTuneWindow::closed, this,
                [this] { m_menus.mnuAutoTune->setChecked(false); });
        // The Update button's own handler, which is enabled by the cells just applied.
        m_autoTune->update = [this] { m_cmdUpdate->click(); };
        m_autoTune->applied = [this] { analysisApplied("Auto Tune"); };
        m_autoTune->history = [this] { return m_tuneHistory.get(); };
    }
    return *m_autoTune;
}

KnockWindow& MainWindow::knock() {
    if (!m_knock) {
        m_knock = new KnockWindow(m_session, m_live, m_store, this);
        connect(m_knock, &KnockWindow::closed, this,
                [this] { m_menus.mnuKnock->setChecked(false); });
        m_knock->applied = [this] { analysisApplied("Knock"); };
        m_knock->history = [this] { return m_tuneHistory.get(); };
    }
    return *m_knock;
}

WaitingChanges MainWindow::waitingChanges() const {
    return m_unsaved.waiting(m_session.tune());
}

bool MainWindow::keepOrGiveUpWaitingChanges() {
    // A value still being typed is an edit like the others.
    focusTabs();
    for (WaitingChanges waiting = waitingChanges(); waiting.any(); waiting = waitingChanges()) {
        switch (askWaitingChanges(waitingChangesText(waiting))) {
            case WaitingAnswer::Send:
                // Compare mode holds writes back; the program is closing, so it ends.
                if (m_session.compareMode) endCompareMode();
                m_cmdUpdate->setEnabled(true);
                m_cmdUpdate->click();
                break;
            case WaitingAnswer::Save:
                mnuSaveAs_Click();
                break;
            case WaitingAnswer::Discard:
                return true;
            case WaitingAnswer::Cancel:
                return false;
        }
    }
    return true;
}

void MainWindow::closeUnattended() {
    // A transfer going on (it shows the busy cursor) finishes first, within reason: the signal
    // may have come in while it lets the window system run between two packets.
    constexpr int kRetryMs = 50;
    constexpr int kMostRetries = 200;
    // A write stops after the packet being sent, what it did not send kept marked.
    if (m_transfers->running()) m_transfers->operations().requestStop();
    if ((m_session.PortBusy || QApplication::overrideCursor()) &&
        m_unattendedRetries++ < kMostRetries) {
        QTimer::singleShot(kRetryMs, this, &MainWindow::closeUnattended);
        return;
    }
    m_unattended = true;
    // A dialog open at the time is answered with Cancel; its loop would outlive the window.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        if (QApplication::activeModalWidget() == modal) break;
    }
    // The main window is the last primary window: the program ends with it.
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_unattended) {
        if (m_monitor) m_monitor->endRunUnattended();
        // Nobody can be asked: edits not sent are kept in the history, and nothing goes out. A
        // history that cannot take them has nobody to tell either.
        focusTabs();
        if (m_tuneHistory && waitingChanges().any())
            (void)m_tuneHistory->recordSnapshot(m_session.tune(), "Exit (not sent)",
                                                m_session.captionFile);
    } else {
        // A transfer running asks first; stopped, it closes the window once its packet is
        // through, and what it did not send is among the changes waiting.
        if (!m_transfers->mayCloseWindow() || !keepOrGiveUpWaitingChanges()) {
            event->ignore();
            return;
        }
        // Form_QueryUnload: a log not yet saved may keep the program open.
        if (m_monitor && m_monitor->CheckUnsavedLog() == MessageAnswer::Cancel) {
            event->ignore();
            return;
        }
    }
    // A box being edited commits before anything is saved.
    focusTabs();
    // Whether the chart is open is kept for the next start, before its window goes.
    saveOnUnload();
    if (m_graph) m_graph->close();
    if (m_mapWatch) m_mapWatch->close();
    if (auto* scatter = findChild<ScatterWindow*>()) scatter->close();
    if (m_autoTune) m_autoTune->close();
    if (m_knock) m_knock->close();
    if (m_chart) m_chart->close();
    if (m_monitor) m_monitor->close();
    event->accept();
}

void MainWindow::saveOnUnload() {
    if (m_unloaded) return;
    m_unloaded = true;
    // A port chosen by its device path is remembered beside ComPort, which keeps its number.
    if (const int port = m_ports->checkedPortNumber(); port > 0) {
        m_store.setInteger("ComPort", port);
        m_store.setValue("ComPortDevice", "");
    } else if (const std::string& device = m_ports->checkedDevice(); !device.empty()) {
        m_store.setValue("ComPortDevice", device);
    }
    const WindowPlacement w = placementOf(*this);
    saveMainPlacement(m_store,
                      {w.left, w.top, w.height, w.width, w.windowState, m_tabs->currentIndex()});
    const MapTracer::Options& trace = m_session.tracer.options();
    MainOptions options;
    options.chartVisible = m_chart && m_chart->isVisible();
    options.mapWatchVisible = m_mapWatch && m_mapWatch->isVisible();
    options.mapTraceSource = trace.source;
    options.mapRefLabels = m_menus.mnuMapRefLabels->isChecked();
    options.mapTrace = trace.trace;
    options.mapTraceGhost = trace.ghost;
    options.mapAutoSelect = trace.autoSelect;
    options.mapHeatColours = m_menus.mnuHeatColours->isChecked();
    options.verifyWrites = m_menus.mnuVerifyWrites->isChecked();
    saveMainOptions(m_store, options);
    m_watches->saveAndUnload();
}

}  // namespace tunalyx
