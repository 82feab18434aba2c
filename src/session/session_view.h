#pragma once

#include <string>

namespace tunalyx {

// What core operations ask of the windows while they run: redisplay, the Update button, the
// caption, the Save As dialog. The window program implements it; tests and the command line
// use a recorder or nothing.
class SessionView {
public:
    virtual ~SessionView() = default;

    // Every setting control, grid and the air flow grid from the image.
    virtual void DisplayAllData() {}
    // The notes box from the session's notes (after a file was opened or put back).
    virtual void showNotes() {}
    // The 400 cells of one map grid from the image.
    virtual void GridDisplay(int /*grid*/) {}
    // Axis labels of the grids (they may follow the map reference).
    virtual void GridLabels() {}
    // Tabs, frames, captions and Tags were re-pointed by a layout switch.
    virtual void layoutChanged() {}
    // Update enabled by an edit (the auto-update timer restarts from it).
    virtual void UpdateEnable() {}
    // Update enabled exactly while some block is flagged; or forced on or off.
    virtual void RefreshUpdateEnabled() {}
    virtual void setUpdateEnabled(bool /*enabled*/) {}
    // The caption's file name ("Untitled.Dat", "default.dat", "scan SR20DET2 v4.07 .dat").
    virtual void setCaptionFile(const std::string& /*name*/) {}
    // File > Save As, as the user would choose it; false when cancelled or failed.
    virtual bool mnuSaveAs_Click() { return false; }
    // A command's button ("cmdReadAll", "cmdWriteAll", "cmdUpdate", "cmdReadMap0".."cmdReadMap2",
    // "cmdWriteMap0".."cmdWriteMap2") is disabled while its operation runs.
    virtual void setCommandEnabled(const std::string& /*name*/, bool /*enabled*/) {}
    // Compare mode ended by an operation that needs the real display (Read All, Open).
    virtual void endCompareMode() {}
};

}  // namespace tunalyx
