#pragma once

#include <map>

#include "ports/settings_store.h"

namespace tunalyx {

// A settings store that lives only in memory: for tests and for runs that must not touch the
// user's own settings.
class MemorySettingsStore final : public SettingsStore {
public:
    [[nodiscard]] std::optional<std::string> value(const std::string& key) const override {
        const auto it = m_values.find(key);
        if (it == m_values.end()) return std::nullopt;
        return it->second;
    }
    void setValue(const std::string& key, const std::string& v) override { m_values[key] = v; }
    [[nodiscard]] const std::map<std::string, std::string>& all() const { return m_values; }

private:
    std::map<std::string, std::string> m_values;
};

}  // namespace tunalyx
