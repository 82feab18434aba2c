#include "model/number_format.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tunalyx {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Decimals of a pattern "0", "0.0", "0.00"...; nullopt for anything else (general form).
std::optional<int> patternDecimals(std::string_view pattern) {
    pattern = trimBlanks(pattern);
    if (pattern.empty() || pattern.front() != '0') return std::nullopt;
    if (pattern.size() == 1) return 0;
    if (pattern[1] != '.') return std::nullopt;
    for (char c : pattern.substr(2))
        if (c != '0') return std::nullopt;
    return static_cast<int>(pattern.size() - 2);
}

// Adds one unit in the last place of a string of decimal digits.
void incrementDigits(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

// Fixed-point text of the value, first taken to 15 significant digits so that a value stored as
// 1.00499999... still shows as the 1.005 it was meant to be, then rounded half away from zero.
std::string fixedText(double value, int decimals, char separator) {
    constexpr int kSignificant = 15;
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                   std::chars_format::scientific, kSignificant - 1);
    const std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
    const std::size_t e = sci.find('e');
    std::string mantissa;
    for (char c : sci.substr(0, e))
        if (isDigit(c)) mantissa.push_back(c);
    int exponent = 0;
    std::string_view expText = sci.substr(e + 1);
    if (!expText.empty() && expText.front() == '+') expText.remove_prefix(1);
    std::from_chars(expText.data(), expText.data() + expText.size(), exponent);

    // `scaled` holds |value| x 10^decimals as a whole number.
    const long kept = static_cast<long>(exponent) + 1 + decimals;
    const long available = static_cast<long>(mantissa.size());
    std::string scaled;
    if (kept >= available) {
        scaled = mantissa + std::string(static_cast<std::size_t>(kept - available), '0');
    } else if (kept >= 0) {
        scaled = mantissa.substr(0, static_cast<std::size_t>(kept));
        if (scaled.empty()) scaled = "0";
        if (mantissa[static_cast<std::size_t>(kept)] >= '5') incrementDigits(scaled);
    } else {
        scaled = "0";
    }
    const std::size_t width = static_cast<std::size_t>(decimals) + 1;
    if (scaled.size() < width) scaled.insert(0, width - scaled.size(), '0');
    std::size_t lead = 0;
    while (lead + width < scaled.size() && scaled[lead] == '0')
        ++lead;
    scaled.erase(0, lead);

    const bool negative =
        value < 0 && scaled.find_first_not_of('0') != std::string::npos;  // never "-0.0"
    std::string out = negative ? "-" : "";
    const std::size_t intLength = scaled.size() - static_cast<std::size_t>(decimals);
    out.append(scaled, 0, intLength);
    if (decimals > 0) {
        out.push_back(separator);
        out.append(scaled, intLength, std::string::npos);
    }
    return out;
}

std::string generalText(double value, char separator) {
    if (value == 0) value = 0;  // no "-0"
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    std::string out(buf, res.ptr);
    for (char& c : out)
        if (c == '.') c = separator;
    return out;
}

// Blanks, an optional sign, digits with at most one of the accepted decimal separators,
// blanks. The digits go through from_chars, which is independent of the C locale.
std::optional<double> parseDecimal(std::string_view text, char separator) {
    std::string_view s = trimBlanks(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    std::string normal = negative ? "-" : "";
    bool haveDigit = false;
    bool havePoint = false;
    for (char c : s) {
        if (isDigit(c)) {
            haveDigit = true;
            normal.push_back(c);
        } else if ((c == separator || c == '.') && !havePoint) {
            havePoint = true;
            normal.push_back('.');
        } else {
            return std::nullopt;
        }
    }
    if (!haveDigit) return std::nullopt;
    double value = 0;
    const char* first = normal.data();
    const char* last = first + normal.size();
    const auto res = std::from_chars(first, last, value, std::chars_format::fixed);
    if (res.ec != std::errc{} || res.ptr != last) return std::nullopt;
    return value;
}

// "&H" followed by hexadecimal digits, the program's literal syntax for block numbers.
std::optional<unsigned long long> parseHex(std::string_view s) {
    if (s.size() < 3 || s[0] != '&' || (s[1] != 'H' && s[1] != 'h')) return std::nullopt;
    s.remove_prefix(2);
    unsigned long long value = 0;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), value, 16);
    if (res.ec != std::errc{} || res.ptr != s.data() + s.size()) return std::nullopt;
    return value;
}

bool isHexLiteral(std::string_view s) {
    return !s.empty() && s.front() == '&';
}

}  // namespace

std::string formatValue(double value, std::string_view pattern, const NumberLocale& locale) {
    const std::optional<int> decimals = patternDecimals(pattern);
    if (!decimals || !std::isfinite(value)) return generalText(value, locale.decimalSeparator);
    return fixedText(value, *decimals, locale.decimalSeparator);
}

std::optional<double> parseUserNumber(std::string_view text, const NumberLocale& locale) {
    return parseDecimal(text, locale.decimalSeparator);
}

std::optional<double> parseFieldNumber(std::string_view field) {
    field = trimBlanks(field);
    if (isHexLiteral(field)) {
        const auto hex = parseHex(field);
        if (!hex) return std::nullopt;
        return static_cast<double>(*hex);
    }
    return parseDecimal(field, '.');
}

std::optional<long> parseFieldInteger(std::string_view field) {
    field = trimBlanks(field);
    if (isHexLiteral(field)) {
        const auto hex = parseHex(field);
        if (!hex || *hex > static_cast<unsigned long long>(std::numeric_limits<long>::max()))
            return std::nullopt;
        return static_cast<long>(*hex);
    }
    const auto value = parseDecimal(field, '.');
    // -min is a power of two, so the bounds are exact in double.
    constexpr double kLow = static_cast<double>(std::numeric_limits<long>::min());
    if (!value || *value != std::trunc(*value) || *value < kLow || *value >= -kLow)
        return std::nullopt;
    return static_cast<long>(*value);
}

}  // namespace tunalyx
