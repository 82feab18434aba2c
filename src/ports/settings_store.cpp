#include "ports/settings_store.h"

#include <cctype>
#include <charconv>

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

}  // namespace tunalyx
