#include "model/settings_table.h"

#include <algorithm>

#include "model/descriptors.h"
#include "model/number_format.h"

namespace tunalyx {

void SettingsTable::add(SettingControl control) {
    const auto slot = static_cast<std::size_t>(control.index + 1);
    auto& positions = m_positions.at(static_cast<std::size_t>(control.kind));
    if (positions.size() <= slot) positions.resize(slot + 1, 0);
    // The first of two controls with one kind and index is the one found, as before.
    if (positions[slot] == 0) positions[slot] = static_cast<std::uint16_t>(m_controls.size() + 1);
    m_controls.push_back(std::move(control));
}

SettingControl* SettingsTable::find(ControlKind kind, int index) {
    if (index < -1) return nullptr;
    const auto& positions = m_positions[static_cast<std::size_t>(kind)];
    const auto slot = static_cast<std::size_t>(index + 1);
    if (slot >= positions.size() || positions[slot] == 0) return nullptr;
    return &m_controls[positions[slot] - 1];
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

bool SettingsTable::pageHasVisibleFrame(int page) const {
    for (const auto& c : m_controls)
        if (c.kind == ControlKind::Frame && c.page == page && c.visible) return true;
    return false;
}

bool SettingsTable::controlShown(const SettingControl& control) const {
    if (control.kind == ControlKind::Frame) return control.visible;
    const SettingControl* frame = find(ControlKind::Frame, control.frame);
    if (!frame || frame->tag.empty()) return true;
    const auto blocks = parseBlockDescriptor(frame->tag);
    // The block of a control is the first field of its descriptor; a curve's is its Y axis's.
    std::string_view tag = control.tag;
    if (const std::size_t semicolon = tag.rfind(';'); semicolon != std::string_view::npos)
        tag.remove_prefix(semicolon + 1);
    const auto block = parseFieldInteger(splitFields(tag).front());
    if (!blocks || !block) return true;
    return std::any_of(blocks->blocks.begin(), blocks->blocks.end(),
                       [&](const ListedBlock& b) { return b.command == *block; });
}

void SettingsTable::restoreFrom(const SettingsTable& copy) {
    for (std::size_t i = 0; i < m_controls.size() && i < copy.m_controls.size(); ++i) {
        m_controls[i].tag = copy.m_controls[i].tag;
        m_controls[i].caption = copy.m_controls[i].caption;
        m_controls[i].visible = copy.m_controls[i].visible;
    }
}

std::vector<const SettingControl*> SettingsTable::pageFrames(int page) const {
    std::vector<const SettingControl*> out;
    for (const auto& c : m_controls)
        if (c.kind == ControlKind::Frame && c.page == page) out.push_back(&c);
    return out;
}

}  // namespace tunalyx
