#include "model/settings_table.h"

namespace tunalyx {

SettingControl* SettingsTable::find(ControlKind kind, int index) {
    for (auto& c : m_controls)
        if (c.kind == kind && c.index == index) return &c;
    return nullptr;
}

const SettingControl* SettingsTable::find(ControlKind kind, int index) const {
    return const_cast<SettingsTable*>(this)->find(kind, index);
}

bool SettingsTable::setTag(ControlKind kind, int index, const std::string& tag) {
    SettingControl* c = find(kind, index);
    if (!c) return false;
    c->tag = tag;
    return true;
}

bool SettingsTable::setCaption(ControlKind kind, int index, const std::string& caption) {
    SettingControl* c = find(kind, index);
    if (!c) return false;
    c->caption = caption;
    return true;
}

bool SettingsTable::setFrameVisible(int frameIndex, bool visible) {
    SettingControl* c = find(ControlKind::Frame, frameIndex);
    if (!c) return false;
    c->visible = visible;
    return true;
}

std::vector<const SettingControl*> SettingsTable::frameControls(int frameIndex) const {
    std::vector<const SettingControl*> out;
    for (const auto& c : m_controls)
        if (c.kind != ControlKind::Frame && c.frame == frameIndex) out.push_back(&c);
    return out;
}

std::vector<const SettingControl*> SettingsTable::pageFrames(int page) const {
    std::vector<const SettingControl*> out;
    for (const auto& c : m_controls)
        if (c.kind == ControlKind::Frame && c.page == page) out.push_back(&c);
    return out;
}

}  // namespace tunalyx
