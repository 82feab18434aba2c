#pragma once

#include <ostream>
#include <string>

#include "compare/compare.h"

namespace tunalyx {

// Bytes of the image shown as text: trailing blanks and NULs dropped, other control bytes as
// '.', bytes above 0x7F taken as Latin-1 and written as UTF-8.
[[nodiscard]] std::string printableText(const std::string& bytes);

// How the printed lines name a map's rows and columns: by number, or as the grids head them
// ("P03" for a row, "N12" for a column).
enum class CellNames { Numbers, Axes };

// What compare mode marks, one TAB-separated line each: "setting" lines (page, frame, control,
// the window's text, the file's text), "notes differ", then "cell" lines (map, row, column,
// difference) for every cell that differs; with `mapTables` each map that differs is printed
// whole as a 20 x 20 table under its caption instead, headed by its column and row names when
// cells are named by the axes.
void printComparison(const TuneDocument& document, const Comparison& comparison, bool mapTables,
                     std::ostream& out, CellNames names = CellNames::Numbers);

// Data file B against data file A as `printComparison` prints it, B converted to A's layout
// first. Not compared when either cannot be read or compared; the reason has been shown then.
struct FileComparison {
    bool compared = false;
    bool differs = false;
    std::string lines;
};
[[nodiscard]] FileComparison compareDataFiles(const std::string& pathA, const std::string& shownA,
                                              const std::string& pathB, const std::string& shownB,
                                              bool mapTables, UserPrompts& prompts,
                                              CellNames names = CellNames::Numbers);

}  // namespace tunalyx
