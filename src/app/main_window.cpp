#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

#include "maps/qt_map_tracer.h"
#include "model/settings_page_widget.h"

namespace tunalyx {

namespace {

constexpr int kAutoUpdateMs = 500;

double screenDpi(const QWidget* w) {
    const QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchX() : 96.0;
}

const char* kInfoText =
    "Tunalyx SR20DET\n\n"
    "Tuning and data logging for the Power-FC engine computer on SR20DET engines.\n\n"
    "Read All reads every block of the engine computer into this window; edits on the map and\n"
    "settings pages mark their blocks changed, and Update writes what changed (with Auto Update,\n"
    "half a second after the last edit). Write All sends everything.\n\n"
    "A click on a frame or on the window takes over a value being typed; Enter does the same.\n"
    "Right-click a settings frame to read or write just its blocks.";

}  // namespace

MainWindow::MainWindow(Session& session, SettingsStore& store, MainWindowPorts ports,
                       QWidget* parent)
    : QMainWindow(parent),
      m_session(session),
      m_store(store),
      m_ports(ports),
      m_portChoice(ports.serial, session.link, session.prompts),
      m_transfers(session) {
    setObjectName(QStringLiteral("frmMain"));
    setCaption(QStringLiteral("Untitled.Dat"));
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

    m_timerUpdate.setObjectName(QStringLiteral("TimerUpdate"));
    m_timerUpdate.setSingleShot(true);
    m_timerUpdate.setInterval(kAutoUpdateMs);
    connect(&m_timerUpdate, &QTimer::timeout, this, &MainWindow::TimerUpdate_Timer);
    m_session.codec.onChange = [this] { UpdateEnable(); };
    m_session.maps.onChange = [this] { UpdateEnable(); };
    m_session.setView(this);
    // Values are typed and shown with the user's decimal separator.
    const QString point = QLocale().decimalPoint();
    const NumberLocale numbers{point.isEmpty() ? '.' : point.at(0).toLatin1()};
    m_session.codec.setLocale(numbers);
    m_session.maps.setLocale(numbers);
    wireMenus();
    wireMapMenus();
    wireCommands();
    connect(m_tabs, &QTabWidget::currentChanged, this, &MainWindow::SSTab1_Click);
}

MainWindow::~MainWindow() {
    m_session.codec.onChange = nullptr;
    m_session.maps.onChange = nullptr;
    m_session.setView(nullptr);
}

void MainWindow::buildTabs() {
    for (int m = 0; m < kMapGridCount; ++m)
        m_tabs->addTab(buildMapTab(m), QString::fromLatin1(mapTabCaption(m)));
    for (int p = 1; p <= 5; ++p) {
        auto* page = new SettingsPageWidget(m_session, p);
        connect(page, &SettingsPageWidget::focusToTabsRequested, this, &MainWindow::focusTabs);
        connect(page, &SettingsPageWidget::tunerStringCommitted, this, &MainWindow::DisplayAllData);
        connect(page, &SettingsPageWidget::frameRightClicked, this,
                &MainWindow::FraSettings_MouseUp);
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
    auto* info = new QLabel(QString::fromLatin1(kInfoText));
    info->setObjectName(QStringLiteral("InfoTab"));
    info->setAlignment(Qt::AlignCenter);
    info->setWordWrap(true);
    m_tabs->addTab(info, tr("Tunalyx"));
}

void MainWindow::buildButtons(QWidget* central) {
    auto* row = new QHBoxLayout;
    m_cmdReadAll = new QPushButton(tr("&Read All"), central);
    m_cmdReadAll->setObjectName(QStringLiteral("cmdReadAll"));
    m_cmdWriteAll = new QPushButton(tr("&Write All"), central);
    m_cmdWriteAll->setObjectName(QStringLiteral("cmdWriteAll"));
    m_cmdUpdate = new QPushButton(tr("&Update"), central);
    m_cmdUpdate->setObjectName(QStringLiteral("cmdUpdate"));
    m_optAutoUpdate = new QCheckBox(tr("Auto Update"), central);
    m_optAutoUpdate->setObjectName(QStringLiteral("optAutoUpdate"));
    m_cmdUpdate->setEnabled(false);
    connect(m_cmdReadAll, &QPushButton::clicked, this,
            [this] { runTransfer([this] { m_transfers.cmdReadAll_Click(); }); });
    connect(m_cmdWriteAll, &QPushButton::clicked, this,
            [this] { runTransfer([this] { m_transfers.cmdWriteAll_Click(); }); });
    connect(m_cmdUpdate, &QPushButton::clicked, this, &MainWindow::cmdUpdate_Click);
    connect(m_optAutoUpdate, &QCheckBox::clicked, this, &MainWindow::optAutoUpdate_Click);
    row->addWidget(m_cmdReadAll);
    row->addWidget(m_cmdWriteAll);
    row->addWidget(m_cmdUpdate);
    row->addWidget(m_optAutoUpdate);
    row->addStretch(1);
    static_cast<QVBoxLayout*>(central->layout())->addLayout(row);
}

void MainWindow::wireMenus() {
    connect(m_menus.mnuExit, &QAction::triggered, this, &QWidget::close);
    for (int i = 0; i < m_menus.mnuCom.size(); ++i)
        connect(m_menus.mnuCom[i], &QAction::triggered, this, [this, i] { mnuCom_Click(i); });
    if (m_menus.mnuSimulator)
        connect(m_menus.mnuSimulator, &QAction::triggered, this, &MainWindow::mnuSimulator_Click);
}

SettingsPageWidget* MainWindow::settingsPage(int page) const {
    return page >= 1 && page <= m_pages.size() ? m_pages[page - 1] : nullptr;
}

void MainWindow::setCaption(const QString& fileName) {
    setWindowTitle(QStringLiteral("Tunalyx SR20DET - ") + fileName);
}

void MainWindow::Form_Load() {
    try {
        // The line settings are applied on every open by the port itself.
        m_session.readAllList = startupReadAllList();
        m_session.writeAllList = startupWriteAllList();
        m_session.maps.GridInit();
        GridLabels();
        m_tracer->sizeMarker();
        m_tracer->ShowMapPos(0, 0);
        restorePlacement();
        if (m_ports.simulator) {
            // The simulated unit stands in for the stored port, which is left as it is.
            mnuSimulator_Click();
        } else {
            m_ports.selector.select(m_ports.serial);
            m_portChoice.openStoredPort(m_store.integer("ComPort", 1));
            showPortChecks();
        }
        m_session.link.setSettings(LinkSettings::fromStore(m_store));
        mnuDefault_Click();
        m_options = loadMainOptions(m_store);
        m_tracer->mnuSetupMapTraceSource_Click(std::clamp(m_options.mapTraceSource, 0, 1));
        if (m_options.mapRefLabels) m_menus.mnuMapRefLabels->trigger();
        if (m_options.mapTrace) m_menus.mnuMapTrace->trigger();
        if (m_options.mapTraceGhost) m_menus.mnuMapTraceGhost->trigger();
        if (m_options.mapAutoSelect) m_menus.mnuAutoSelect->trigger();
        // Whatever the image holds is shown, also when there was no default file to open.
        DisplayAllData();
    } catch (const std::exception&) {
        m_session.prompts.tell("Error in frmMain_Load", MessageIcon::Critical);
    }
}

void MainWindow::restorePlacement() {
    const MainPlacement p = loadMainPlacement(m_store, kTabCount - 1);
    const double dpi = screenDpi(this);
    move(twipsToPixels(p.left, dpi), twipsToPixels(p.top, dpi));
    resize(twipsToPixels(p.width, dpi), twipsToPixels(p.height, dpi));
    if (p.windowState == 2)
        setWindowState(Qt::WindowMaximized);
    else if (p.windowState == 1)
        setWindowState(Qt::WindowMinimized);
    m_tabs->setCurrentIndex(std::clamp(p.tab, 0, kTabCount - 1));
}

void MainWindow::mnuCom_Click(int index) {
    if (m_ports.simulator && m_ports.selector.isSelected(*m_ports.simulator)) {
        m_ports.simulator->close();
        m_menus.mnuSimulator->setChecked(false);
    }
    m_ports.selector.select(m_ports.serial);
    m_portChoice.mnuCom_Click(index);
    showPortChecks();
}

void MainWindow::showPortChecks() {
    for (int i = 0; i < m_menus.mnuCom.size(); ++i)
        m_menus.mnuCom[i]->setChecked(m_portChoice.isChecked(i));
}

void MainWindow::mnuSimulator_Click() {
    // Like a Com item: choosing it again while it is in use switches the link off.
    const bool wasInUse =
        m_ports.selector.isSelected(*m_ports.simulator) && m_ports.simulator->isOpen();
    if (m_ports.serial.isOpen()) m_ports.serial.close();
    m_portChoice.uncheckAll();
    showPortChecks();
    m_ports.selector.select(*m_ports.simulator);
    if (wasInUse) {
        m_ports.simulator->close();
        m_menus.mnuSimulator->setChecked(false);
        return;
    }
    const bool opened = m_ports.simulator->open();
    if (opened) m_session.link.SendPacket(Bytes{0xF3});
    m_menus.mnuSimulator->setChecked(opened);
}

void MainWindow::DisplayAllData() {
    for (ControlKind kind :
         {ControlKind::Text, ControlKind::TunerString, ControlKind::Check, ControlKind::CheckBit,
          ControlKind::Option, ControlKind::Label, ControlKind::Caption})
        for (SettingsPageWidget* page : m_pages)
            page->displayKind(kind);
}

void MainWindow::UpdateEnable() {
    m_cmdUpdate->setEnabled(true);
    if (m_optAutoUpdate->isChecked()) {
        // Always count from the latest change.
        m_timerUpdate.stop();
        m_timerUpdate.start();
    }
}

void MainWindow::RefreshUpdateEnabled() {
    m_cmdUpdate->setEnabled(m_session.dirty.any());
}

void MainWindow::setUpdateEnabled(bool enabled) {
    m_cmdUpdate->setEnabled(enabled);
}

void MainWindow::setCaptionFile(const std::string& name) {
    setCaption(QString::fromLatin1(name.c_str()));
}

void MainWindow::optAutoUpdate_Click() {
    if (m_optAutoUpdate->isChecked() && m_cmdUpdate->isEnabled()) UpdateEnable();
}

void MainWindow::TimerUpdate_Timer() {
    m_timerUpdate.stop();
    cmdUpdate_Click();
}

void MainWindow::cmdUpdate_Click() {
    emit updateRequested();
    runTransfer([this] { m_transfers.cmdUpdate_Click(); });
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

void MainWindow::closeEvent(QCloseEvent* event) {
    // A box being edited commits before anything is saved.
    focusTabs();
    saveOnUnload();
    event->accept();
}

void MainWindow::saveOnUnload() {
    if (m_unloaded) return;
    m_unloaded = true;
    if (const int port = m_portChoice.checkedPortNumber(); port > 0)
        m_store.setInteger("ComPort", port);
    MainPlacement p;
    const Qt::WindowStates state = windowState();
    p.windowState = state.testFlag(Qt::WindowMinimized)   ? 1
                    : state.testFlag(Qt::WindowMaximized) ? 2
                                                          : 0;
    const double dpi = screenDpi(this);
    p.left = pixelsToTwips(pos().x(), dpi);
    p.top = pixelsToTwips(pos().y(), dpi);
    p.width = pixelsToTwips(width(), dpi);
    p.height = pixelsToTwips(height(), dpi);
    p.tab = m_tabs->currentIndex();
    saveMainPlacement(m_store, p);
    m_options.mapTraceSource = m_tracer->MapTraceSource();
    m_options.mapRefLabels = m_menus.mnuMapRefLabels->isChecked();
    m_options.mapTrace = m_menus.mnuMapTrace->isChecked();
    m_options.mapTraceGhost = m_menus.mnuMapTraceGhost->isChecked();
    m_options.mapAutoSelect = m_menus.mnuAutoSelect->isChecked();
    saveMainOptions(m_store, m_options);
}

}  // namespace tunalyx
