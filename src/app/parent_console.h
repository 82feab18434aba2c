#pragma once

namespace tunalyx {

// A window program on Windows has no console of its own: what it prints (--help, --version, a
// bad option) goes to the console it was started from, unless its output is already redirected.
// Does nothing elsewhere.
void useParentConsole();

}  // namespace tunalyx
