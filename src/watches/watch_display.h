#pragma once

#include <array>
#include <string>

#include "model/number_format.h"

namespace tunalyx {

// The text a watch shows for a value: fixed point with its decimal places ("0" for none),
// rounded from the digits of the precision the value was held in.
[[nodiscard]] std::string watchText(double value, int decimalPlaces, const NumberLocale& locale,
                                    Precision precision = Precision::Double);

// The colour band of a shown text, 0-based: with `colours` bands, the highest band whose lower
// limit the shown number exceeds (limit k is the upper limit of band k). The rule works on the
// text, so 10.4 shown as "10" is in the band below a limit of 10. Text that is no number is 0.
[[nodiscard]] int watchBand(const std::string& shownText, int colours,
                            const std::array<double, 4>& bandMax, const NumberLocale& locale);

}  // namespace tunalyx
