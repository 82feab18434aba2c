#pragma once

#include <QSettings>

#include "ports/settings_store.h"

namespace tunalyx {

// The per-user store of application "Tunalyx SR20DET", section "Settings": the registry on
// Windows, an INI-style file elsewhere.
class QtSettingsStore final : public SettingsStore {
public:
    QtSettingsStore();
    // A store in a file of its own (tests, throw-away runs).
    explicit QtSettingsStore(const QString& iniPath);

    [[nodiscard]] std::optional<std::string> value(const std::string& key) const override;
    void setValue(const std::string& key, const std::string& value) override;
    void sync() { m_settings.sync(); }

private:
    QSettings m_settings;
};

}  // namespace tunalyx
