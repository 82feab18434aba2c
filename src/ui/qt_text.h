#pragma once

#include <QString>
#include <string>

namespace tunalyx {

// Program texts are Latin-1, as the tune files they come with.
[[nodiscard]] inline QString latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// The same up to the first NUL, as a text read from the unit's bytes ends there.
[[nodiscard]] inline QString latin1UpToNul(const std::string& s) {
    return QString::fromLatin1(s.c_str());
}

// The file dialogs that open a log offer these.
inline constexpr const char* kLogFileFilter = "All Files (*.*);;Txt Files (*.txt)";

}  // namespace tunalyx
