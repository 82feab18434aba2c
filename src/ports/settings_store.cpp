#include "ports/settings_store.h"

#include <cctype>
#include <charconv>
#include <filesystem>
#include <system_error>

namespace tunalyx {

namespace {
std::string trimmed(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}
}  // namespace

std::string SettingsStore::text(const std::string& key, const std::string& fallback) const {
    return value(key).value_or(fallback);
}

long long SettingsStore::integer(const std::string& key, long long fallback) const {
    const auto v = value(key);
    if (!v) return fallback;
    const std::string t = trimmed(*v);
    long long out = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
    if (ec != std::errc() || end != t.data() + t.size() || t.empty()) return fallback;
    return out;
}

bool SettingsStore::boolean(const std::string& key, bool fallback) const {
    const auto v = value(key);
    if (!v) return fallback;
    const std::string t = trimmed(*v);
    if (t == "True" || t == "true" || t == "-1" || t == "1") return true;
    if (t == "False" || t == "false" || t == "0") return false;
    return fallback;
}

std::string SettingsStore::folder(const std::string& key, const std::string& programFolder,
                                  const std::string& subfolder) const {
    return text(key, programFolder + "/" + subfolder + "/");
}

void SettingsStore::rememberFolderOf(const std::string& key, const std::string& chosenPath) {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::absolute(chosenPath, ec).parent_path();
    if (ec) folder = std::filesystem::path(chosenPath).parent_path();
    setValue(key, folder.generic_string() + "/");
}

}  // namespace tunalyx
