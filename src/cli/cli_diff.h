#pragma once

#include <ostream>

#include "compare/compare.h"

namespace tunalyx::cli {

// What compare mode marks, one TAB-separated line each: "setting" lines (page, frame, control,
// the window's text, the file's text), "notes differ", then "cell" lines (map, row, column,
// difference) for every cell that differs; with `mapTables` each map that differs is printed
// whole as a 20 x 20 table under its caption instead.
void printComparison(const Session& session, const Comparison& comparison, bool mapTables,
                     std::ostream& out);

}  // namespace tunalyx::cli
