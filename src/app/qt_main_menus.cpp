#include "app/qt_main_menus.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace tunalyx {

namespace {

QAction* item(QMenu* menu, const QString& caption, const char* name, bool checkable = false) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    a->setCheckable(checkable);
    a->setEnabled(false);
    return a;
}

struct VersionMenu {
    const char* caption;
    QList<const char*> items;
};

}  // namespace

MainMenus buildMainMenus(QMenuBar* bar, bool withSimulator) {
    MainMenus m;
    m.file = bar->addMenu(QObject::tr("&File"));
    m.mnuDefault = item(m.file, QObject::tr("&Default"), "mnuDefault");
    m.mnuOpen = item(m.file, QObject::tr("&Open"), "mnuOpen");
    m.mnuSaveAs = item(m.file, QObject::tr("Save&As"), "mnuSaveAs");
    m.file->addSeparator();
    m.mnuCompare = item(m.file, QObject::tr("&Compare"), "mnuCompare", true);
    m.mnuHistory = item(m.file, QObject::tr("&History"), "mnuHistory");
    m.file->addSeparator();
    m.mnuExit = item(m.file, QObject::tr("E&xit"), "mnuExit");
    m.mnuExit->setEnabled(true);

    m.edit = bar->addMenu(QObject::tr("&Edit"));
    m.mnuUndo = item(m.edit, QObject::tr("&Undo"), "mnuUndo");
    m.mnuUndo->setShortcut(QKeySequence::Undo);
    m.mnuRedo = item(m.edit, QObject::tr("&Redo"), "mnuRedo");
    m.mnuRedo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    m.edit->addSeparator();
    m.mnuInterpolate = item(m.edit, QObject::tr("&Interpolate"), "mnuInterpolate");
    m.mnuInterpolate->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    m.mnuInterpolateRows = item(m.edit, QObject::tr("Interpolate R&ows"), "mnuInterpolateRows");
    m.mnuInterpolateRows->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I));
    m.mnuInterpolateColumns =
        item(m.edit, QObject::tr("Interpolate &Columns"), "mnuInterpolateColumns");
    m.mnuInterpolateColumns->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_I));
    m.mnuSmooth = item(m.edit, QObject::tr("&Smooth"), "mnuSmooth");
    m.mnuSmooth->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    m.mnuScale = item(m.edit, QObject::tr("Sc&ale..."), "mnuScale");

    m.log = bar->addMenu(QObject::tr("&Log"));
    m.mnuLogStart = item(m.log, QObject::tr("&Start"), "mnuLogStart");
    m.mnuLogEnd = item(m.log, QObject::tr("&End"), "mnuLogEnd");
    m.mnuLogSaveAs = item(m.log, QObject::tr("Save &As"), "mnuLogSaveAs");
    m.log->addSeparator();
    m.mnuLogContinuous = item(m.log, QObject::tr("&Continuous"), "mnuLogContinuous");
    m.mnuLogContinuous->setCheckable(true);

    m.window = bar->addMenu(QObject::tr("&Window"));
    m.mnuMonitor = item(m.window, QObject::tr("&Monitor"), "mnuMonitor", true);
    m.mnuGraph = item(m.window, QObject::tr("&Graph"), "mnuGraph", true);
    m.mnuChart = item(m.window, QObject::tr("&Chart"), "mnuChart", true);
    m.mnuMapWatch = item(m.window, QObject::tr("Ma&p Watch"), "mnuMapWatch", true);
    m.mnuScatter = item(m.window, QObject::tr("&Scatter"), "mnuScatter", true);
    m.mnuAutoTune = item(m.window, QObject::tr("&Auto Tune"), "mnuAutoTune", true);
    m.mnuKnock = item(m.window, QObject::tr("&Knock"), "mnuKnock", true);
    m.window->addSeparator();
    m.mnuAddWatch = item(m.window, QObject::tr("Add &Watch"), "mnuAddWatch");
    m.mnuHideWatches = item(m.window, QObject::tr("&Hide Watchs"), "mnuHideWatchs");
    m.mnuLoadWatches = item(m.window, QObject::tr("&Load Watchs"), "mnuLoadWatchs");
    m.mnuSaveWatches = item(m.window, QObject::tr("&Save Watchs"), "mnuSaveWatchs");

    m.tools = bar->addMenu(QObject::tr("&Tools"));
    m.mnuInitAllData = item(m.tools, QObject::tr("&Initialise Power-FC"), "mnuInitAllData");
    m.mnuReCalcBase = item(m.tools, QObject::tr("ReCalc Base"), "mnuReCalcBase");

    m.setup = bar->addMenu(QObject::tr("&Setup"));
    m.port = m.setup->addMenu(QObject::tr("&Port"));
    for (int i = 1; i <= 8; ++i) {
        QAction* com = item(m.port, QObject::tr("Com&%1").arg(i), "mnuCom", true);
        com->setObjectName(QStringLiteral("mnuCom%1").arg(i - 1));
        com->setEnabled(true);
        m.mnuCom.append(com);
    }
    if (withSimulator) {
        m.port->addSeparator();
        m.mnuSimulator = item(m.port, QObject::tr("Simulator"), "mnuSimulator", true);
        m.mnuSimulator->setEnabled(true);
    }
    m.mnuAuxiliary = item(m.setup, QObject::tr("&Auxiliary"), "mnuAuxiliary");

    m.version = m.setup->addMenu(QObject::tr("&Version"));
    const QList<VersionMenu> versions = {
        {"SR20DET&1", {"&1.70", "&3.13", "&5.0x"}},
        {"SR20DET&2", {"&3.01", "3.&12", "&4.06"}},
        {"SR20DET&3", {"&5.05"}},
        {"SR20DET&5", {"&2.04", "2.0&5", "&3.12"}},
        {"SR20T2-&D", {"5.11A"}},
    };
    for (const VersionMenu& v : versions) {
        QMenu* sub = m.version->addMenu(QString::fromLatin1(v.caption));
        QList<QAction*> items;
        for (const char* caption : v.items)
            items.append(item(sub, QString::fromLatin1(caption), "mnuSetVersion"));
        m.versionMenus.append(sub);
        m.versionItems.append(items);
    }

    m.maps = m.setup->addMenu(QObject::tr("&Maps"));
    m.maps->setObjectName(QStringLiteral("mnuSetupMaps"));
    m.mnuGridCopy = item(m.maps, QObject::tr("&Copy"), "mnuGridCopy");
    m.mnuGridPaste = item(m.maps, QObject::tr("&Paste"), "mnuGridPaste");
    m.tableTools = m.maps->addMenu(QObject::tr("&Table"));
    m.tableTools->setObjectName(QStringLiteral("mnuTableTools"));
    m.tableTools->addActions(
        {m.mnuInterpolate, m.mnuInterpolateRows, m.mnuInterpolateColumns, m.mnuSmooth, m.mnuScale});
    m.mnuSep4 = m.maps->addSeparator();
    // Copy, Paste, the table tools and Ghost Clear belong to the grids' context menu only.
    m.mnuGridCopy->setVisible(false);
    m.mnuGridPaste->setVisible(false);
    m.tableTools->menuAction()->setVisible(false);
    m.mnuSep4->setVisible(false);
    m.mnuMapRefLabels = item(m.maps, QObject::tr("MapRef &Labels"), "mnuMapRefLabels", true);
    m.mnuMapTrace = item(m.maps, QObject::tr("&Map Tracer"), "mnuMapTrace", true);
    m.traceSource = m.maps->addMenu(QObject::tr("&Source"));
    m.traceSource->setObjectName(QStringLiteral("mnuSetupMapTrace"));
    m.mnuSetupMapTraceSource.append(
        item(m.traceSource, QObject::tr("&Advanced"), "mnuSetupMapTraceSource0", true));
    m.mnuSetupMapTraceSource.append(
        item(m.traceSource, QObject::tr("&MapRef"), "mnuSetupMapTraceSource1", true));
    m.mnuAutoSelect = item(m.maps, QObject::tr("&Auto Select"), "mnuAutoSelect", true);
    m.mnuMapTraceGhost = item(m.maps, QObject::tr("&Ghost"), "mnuMapTraceGhost", true);
    m.mnuMapTraceGhostClear = item(m.maps, QObject::tr("Ghost Clear"), "mnuMapTraceGhostClear");
    m.mnuMapTraceGhostClear->setVisible(false);
    m.maps->addSeparator();
    m.mnuHeatColours = item(m.maps, QObject::tr("&Heat Colours"), "mnuHeatColours", true);
    m.setup->addSeparator();
    m.mnuVerifyWrites = item(m.setup, QObject::tr("Verify &Writes"), "mnuVerifyWrites", true);

    m.popup = new QMenu(QObject::tr("Popup"), bar);
    m.popup->setObjectName(QStringLiteral("mnuPopup"));
    m.mnuRead = item(m.popup, QObject::tr("Read"), "mnuRead");
    m.mnuWrite = item(m.popup, QObject::tr("Write"), "mnuWrite");
    return m;
}

}  // namespace tunalyx
