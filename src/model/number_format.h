#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tunalyx {

// The user's number conventions: the decimal separator of the locale.
struct NumberLocale {
    char decimalSeparator = '.';
};

// Formats with a display pattern "0", "0.0", "0.00" or "0.000": at least one integer digit,
// exactly as many decimals as zeros after the point, rounded half away from zero after taking
// the value to 15 significant digits (so 1.005 shows as 1.01), a leading minus for negative
// values but never "-0.0". An empty pattern gives the general form: the shortest text that
// reads back as the value (14 shows as "14", 0.1 as "0.1").
[[nodiscard]] std::string formatValue(double value, std::string_view pattern,
                                      const NumberLocale& locale);
// The fixed-pattern rule of formatValue worked digit by digit for any value; formatValue takes
// a shorter way where it gives the same text.
[[nodiscard]] std::string fixedTextByDigits(double value, int decimals, char separator);

// A number typed by the user: optional blanks, an optional sign, digits with at most one
// decimal separator (the locale's, or "." when the text has no other separator), optional
// blanks. Anything else is not a number.
[[nodiscard]] std::optional<double> parseUserNumber(std::string_view text,
                                                    const NumberLocale& locale);

// A number in a descriptor field: "." is always the decimal point, a leading blank is ignored,
// "&H" introduces hexadecimal digits ("&HCB" is 203).
[[nodiscard]] std::optional<double> parseFieldNumber(std::string_view field);
// The same for fields that must be whole numbers.
[[nodiscard]] std::optional<long> parseFieldInteger(std::string_view field);

// The leading-number rule of stored settings, logs and key files: blanks anywhere are skipped,
// then an optional sign, digits with at most one point and an optional exponent; text without
// digits reads as 0. Decimal texts of up to 19 digits are read exactly.
[[nodiscard]] double leadingNumber(std::string_view text);
// A number as key files write it: the shortest fixed-point text that reads back as the value,
// one leading blank when not negative and no zero before the point below 1 (" .5", "-.25").
[[nodiscard]] std::string keyFileNumber(double value);

}  // namespace tunalyx
