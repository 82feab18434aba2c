#pragma once

#include <string>
#include <string_view>

#include "model/number_format.h"

namespace tunalyx {

// The two number forms of a log file.

// A format without "." keeps no decimals and no point.
inline constexpr int kWholePart = -1;
// The decimals a display format keeps when truncated: 3 for "0.000", kWholePart for "0".
[[nodiscard]] int truncatedDecimals(std::string_view format);

// `FormatTruncated`: the shortest decimal text of the value in its precision, without a leading
// zero before the point, padded and cut (never rounded) to the decimals of `format` ("0.00"
// keeps two, "0" none): 3.14159 "0.00" -> "3.14", 0.5 "0.000" -> ".500", -0.25 "0.00" -> "-.25".
[[nodiscard]] std::string FormatTruncated(double value, std::string_view format,
                                          Precision precision = Precision::Double);
void appendTruncated(std::string& out, double value, int decimals, Precision precision);

// The number form of switches and map references: a blank or "-", the shortest text without a
// leading zero, a blank (37 -> " 37 ").
[[nodiscard]] std::string logNumberForm(double value);
void appendNumberForm(std::string& out, double value);

}  // namespace tunalyx
