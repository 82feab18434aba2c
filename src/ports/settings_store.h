#pragma once

#include <optional>
#include <string>

namespace tunalyx {

// Text values by key in the "Settings" section of the per-user store.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    [[nodiscard]] virtual std::optional<std::string> value(const std::string& key) const = 0;
    virtual void setValue(const std::string& key, const std::string& value) = 0;

    [[nodiscard]] std::string text(const std::string& key, const std::string& fallback) const;
    // The stored number, or the default when the key is missing or does not hold an integer.
    [[nodiscard]] long long integer(const std::string& key, long long fallback) const;
    // "True"/"False" as the store keeps booleans; anything else gives the default.
    [[nodiscard]] bool boolean(const std::string& key, bool fallback) const;
    void setInteger(const std::string& key, long long v) { setValue(key, std::to_string(v)); }
    void setBoolean(const std::string& key, bool v) { setValue(key, v ? "True" : "False"); }

    // A folder the file dialogs start in ("MapPath", "LogPath", ...): the stored one, or
    // `subfolder` of the program's folder until one is used.
    [[nodiscard]] std::string folder(const std::string& key, const std::string& programFolder,
                                     const std::string& subfolder) const;
    // Keeps the folder of a chosen file under the key, with a closing "/".
    void rememberFolderOf(const std::string& key, const std::string& chosenPath);
};

}  // namespace tunalyx
