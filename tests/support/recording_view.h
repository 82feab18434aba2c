#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "session/session_view.h"

namespace tunalyx::test {

// Records what the operations ask of the windows, as one line per call ("DisplayAllData",
// "Update off", "Caption default.dat", "cmdReadAll off", ...).
class RecordingView final : public SessionView {
public:
    void DisplayAllData() override { calls.push_back("DisplayAllData"); }
    void showNotes() override { calls.push_back("showNotes"); }
    void GridDisplay(int grid) override { calls.push_back("GridDisplay " + std::to_string(grid)); }
    void GridLabels() override { calls.push_back("GridLabels"); }
    void layoutChanged() override { calls.push_back("layoutChanged"); }
    void UpdateEnable() override { calls.push_back("UpdateEnable"); }
    void RefreshUpdateEnabled() override { calls.push_back("RefreshUpdateEnabled"); }
    void setUpdateEnabled(bool on) override { calls.push_back(on ? "Update on" : "Update off"); }
    void setCaptionFile(const std::string& name) override { calls.push_back("Caption " + name); }
    bool mnuSaveAs_Click() override {
        calls.push_back("SaveAs");
        return true;
    }
    void setCommandEnabled(const std::string& name, bool on) override {
        calls.push_back(name + (on ? " on" : " off"));
    }
    void endCompareMode() override { calls.push_back("endCompareMode"); }

    [[nodiscard]] int count(const std::string& call) const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }
    [[nodiscard]] bool saw(const std::string& call) const { return count(call) > 0; }

    std::vector<std::string> calls;
};

}  // namespace tunalyx::test
