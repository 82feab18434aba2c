#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tunalyx {

// The kinds of control on the settings pages.
enum class ControlKind {
    Frame,        // FraSettings(index): a group box; Tag = block descriptor (may be empty)
    Text,         // txtSetting(index): numeric text box; Tag = 6-field numeric descriptor
    Check,        // chkSetting(index): check box on a byte value
    CheckBit,     // chkSettingBit(index): check box on bits of a byte
    Option,       // optSetting(index): option button on a masked value
    Label,        // lblSetting(index): bytes shown as text
    CurveButton,  // cmdEditCurve(index): opens the curve editor; Tag = curve descriptor
    TunerString,  // Text1: the 8-character tuner string of block 0xAD
    Notes,        // txtNotes: the notes of the data file
    Caption,      // lblGeneral(index): a plain caption the version layer may rename
    AirFlowGrid,  // uctAirFlowGrid: the air flow meter curves as a grid
};
inline constexpr std::size_t kControlKindCount = 11;
static_assert(static_cast<std::size_t>(ControlKind::AirFlowGrid) + 1 == kControlKindCount);

// One control of the settings pages. `index` is the control's index in its control array
// (txtSetting(70) has index 70); controls without an array (Text1, txtNotes) have -1.
struct SettingControl {
    ControlKind kind;
    int index;
    int page;   // 1..5: "Settings 1" .. "Settings 5"
    int frame;  // index of the FraSettings holding it; -1 for the frames themselves
    std::string caption;
    std::string tag;
    bool visible = true;  // frames the layout hides (the other of two alternative blocks)
};

// Every control of the settings pages, in display order: each frame comes before its controls.
// The pages are built from this table, and the version layouts rewrite Tags in it by index.
class SettingsTable {
public:
    // The table as the program starts.
    [[nodiscard]] static SettingsTable standard();

    [[nodiscard]] const std::vector<SettingControl>& controls() const { return m_controls; }
    [[nodiscard]] SettingControl* find(ControlKind kind, int index);
    [[nodiscard]] const SettingControl* find(ControlKind kind, int index) const;
    // Rewrites a Tag (or caption); false when there is no such control.
    bool setTag(ControlKind kind, int index, const std::string& tag);
    bool setCaption(ControlKind kind, int index, const std::string& caption);
    bool setFrameVisible(int frameIndex, bool visible);
    // The controls inside one frame, in display order.
    [[nodiscard]] std::vector<const SettingControl*> frameControls(int frameIndex) const;
    // The frames of one page, in display order.
    [[nodiscard]] std::vector<const SettingControl*> pageFrames(int page) const;
    // Whether a page shows any frame under the layout in force.
    [[nodiscard]] bool pageHasVisibleFrame(int page) const;
    // A control shows unless its frame names its blocks and the control's block is not among
    // them (a box the layout left on a block its frame no longer shows).
    [[nodiscard]] bool controlShown(const SettingControl& control) const;

    // Takes over the Tags, captions and visibility of an earlier copy of this table row by row,
    // so pointers to its controls stay valid.
    void restoreFrom(const SettingsTable& copy);

    void add(SettingControl control);

private:
    std::vector<SettingControl> m_controls;
    // Position + 1 in m_controls of each control, by kind and then by index + 1 (Text1 and
    // txtNotes have index -1); 0 where there is none. The layouts look up hundreds of controls
    // on every version change.
    std::array<std::vector<std::uint16_t>, kControlKindCount> m_positions;
};

}  // namespace tunalyx
