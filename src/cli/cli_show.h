#pragma once

#include <ostream>
#include <string>

#include "session/session.h"

namespace tunalyx::cli {

// The tune of an identified session as text: identity, then every visible frame of the settings
// pages with its controls and curves, then the maps whose tabs are shown.
void printTune(const Session& session, std::ostream& out);

// Bytes of the image shown as text: trailing blanks and NULs dropped, other control bytes as
// '.', bytes above 0x7F taken as Latin-1 and written as UTF-8.
[[nodiscard]] std::string printableText(const std::string& bytes);

}  // namespace tunalyx::cli
