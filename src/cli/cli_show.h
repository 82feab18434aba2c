#pragma once

#include <ostream>
#include <string>

#include "compare/comparison_lines.h"
#include "session/session.h"

namespace tunalyx::cli {

// The tune of an identified session as text: identity, then every visible frame of the settings
// pages with its controls and curves, then the maps whose tabs are shown.
void printTune(const Session& session, std::ostream& out);

}  // namespace tunalyx::cli
