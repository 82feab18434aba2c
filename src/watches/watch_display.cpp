#include "watches/watch_display.h"

#include <algorithm>

namespace tunalyx {

std::string watchText(double value, int decimalPlaces, const NumberLocale& locale,
                      Precision precision) {
    const std::string pattern =
        decimalPlaces <= 0 ? "0" : "0." + std::string(static_cast<std::size_t>(decimalPlaces), '0');
    return formatValue(value, pattern, locale, precision);
}

int watchBand(const std::string& shownText, int colours, const std::array<double, 4>& bandMax,
              const NumberLocale& locale) {
    if (colours <= 1) return 0;
    const double v = parseUserNumber(shownText, locale).value_or(0);
    int i = std::min(colours, 5) - 1;
    while (i >= 1 && !(v > bandMax[static_cast<std::size_t>(i - 1)]))
        --i;
    return i;
}

}  // namespace tunalyx
