#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tunalyx {

// The user's number conventions: the decimal separator of the locale.
struct NumberLocale {
    char decimalSeparator = '.';
};

// The type a value is held in. The live items the unit sends are singles; their texts are those
// of the single, not the longer ones of the double that carries it.
enum class Precision { Double, Single };
// Whether 0.25 is written "0.25" or ".25" (as the log and watch files have it).
enum class LeadingZero { Keep, Drop };

// The shortest decimal text that reads back as the value in its own precision (std::to_chars on
// that type): 14.2 held as a single is "14.2", not the "14.199999809265137" of its double.
// Fixed-point with "." as the point, never "-0"; a value that is not finite is "0", since no
// file the program writes can carry one.
[[nodiscard]] std::string shortestDecimal(double value, Precision precision = Precision::Double,
                                          LeadingZero zero = LeadingZero::Keep);
// The leading-blank rule of stored numbers: one blank before a text that is not negative.
[[nodiscard]] std::string withLeadingBlank(std::string text);

// Formats with a display pattern "0", "0.0", "0.00" or "0.000": at least one integer digit,
// exactly as many decimals as zeros after the point, rounded half away from zero after taking
// the value to 15 significant digits (so 1.005 shows as 1.01), or to the shortest digits of a
// single (0.35 as 0.4), a leading minus for negative values but never "-0.0". An empty pattern
// gives the general form, the shortest decimal text of the value in its precision (14 shows as
// "14", 0.1 as "0.1", 14.2 held as a single as "14.2").
[[nodiscard]] std::string formatValue(double value, std::string_view pattern,
                                      const NumberLocale& locale,
                                      Precision precision = Precision::Double);
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
// The same rule, also telling whether the whole text was one number (blanks around it allowed):
// nothing for text without digits or with anything after its number.
[[nodiscard]] std::optional<double> wholeLeadingNumber(std::string_view text);
// A number as key files write it: the shortest decimal text, one leading blank when not negative
// and no zero before the point below 1 (" .5", "-.25").
[[nodiscard]] std::string keyFileNumber(double value);

}  // namespace tunalyx
