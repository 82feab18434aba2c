#pragma once

#include <QList>

class QAction;
class QMenu;
class QMenuBar;

namespace tunalyx {

// The main window's menu tree, each item under the name its handler goes by.
struct MainMenus {
    QMenu* file = nullptr;
    QAction* mnuDefault = nullptr;
    QAction* mnuOpen = nullptr;
    QAction* mnuSaveAs = nullptr;
    QAction* mnuCompare = nullptr;
    QAction* mnuHistory = nullptr;  // the tune history, when one is kept
    QAction* mnuExit = nullptr;

    // Undo and redo, and the table tools on the selection of the map shown.
    QMenu* edit = nullptr;
    QAction* mnuUndo = nullptr;
    QAction* mnuRedo = nullptr;
    QAction* mnuInterpolate = nullptr;
    QAction* mnuInterpolateRows = nullptr;
    QAction* mnuInterpolateColumns = nullptr;
    QAction* mnuSmooth = nullptr;
    QAction* mnuScale = nullptr;

    QMenu* log = nullptr;
    QAction* mnuLogStart = nullptr;
    QAction* mnuLogEnd = nullptr;
    QAction* mnuLogSaveAs = nullptr;
    QAction* mnuLogContinuous = nullptr;

    QMenu* window = nullptr;
    QAction* mnuMonitor = nullptr;
    QAction* mnuGraph = nullptr;
    QAction* mnuChart = nullptr;
    QAction* mnuMapWatch = nullptr;
    QAction* mnuScatter = nullptr;
    QAction* mnuAutoTune = nullptr;
    QAction* mnuKnock = nullptr;
    QAction* mnuAddWatch = nullptr;
    QAction* mnuHideWatches = nullptr;
    QAction* mnuLoadWatches = nullptr;
    QAction* mnuSaveWatches = nullptr;

    QMenu* tools = nullptr;
    QAction* mnuInitAllData = nullptr;
    QAction* mnuReCalcBase = nullptr;

    QMenu* setup = nullptr;
    QMenu* port = nullptr;
    QList<QAction*> mnuCom;           // Com1 .. Com8
    QAction* mnuSimulator = nullptr;  // only with --simulate
    QAction* mnuAuxiliary = nullptr;
    QMenu* version = nullptr;
    QList<QMenu*> versionMenus;           // SR20DET1, SR20DET2, SR20DET3, SR20DET5, SR20T2-D
    QList<QList<QAction*>> versionItems;  // the items of each, in menu order
    QMenu* maps = nullptr;                // mnuSetupMaps, also the grids' context menu
    QAction* mnuGridCopy = nullptr;
    QAction* mnuGridPaste = nullptr;
    QAction* mnuSep4 = nullptr;
    QMenu* tableTools = nullptr;  // the Edit menu's table tools, in the grids' context menu
    QAction* mnuMapRefLabels = nullptr;
    QAction* mnuMapTrace = nullptr;
    QMenu* traceSource = nullptr;            // mnuSetupMapTrace
    QList<QAction*> mnuSetupMapTraceSource;  // Advanced, MapRef
    QAction* mnuAutoSelect = nullptr;
    QAction* mnuMapTraceGhost = nullptr;
    QAction* mnuMapTraceGhostClear = nullptr;
    QAction* mnuHeatColours = nullptr;  // cell backgrounds by value, off unless chosen
    // Every block written is read back and compared; on unless chosen off.
    QAction* mnuVerifyWrites = nullptr;

    QMenu* popup = nullptr;  // right-click on a settings frame
    QAction* mnuRead = nullptr;
    QAction* mnuWrite = nullptr;
};

// Builds the tree on `bar` with its captions and access keys. Every item starts disabled
// except Exit and the ports; the window enables what it has built.
MainMenus buildMainMenus(QMenuBar* bar, bool withSimulator);

}  // namespace tunalyx
