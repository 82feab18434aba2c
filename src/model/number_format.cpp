#include "model/number_format.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
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

// The magnitude given as scientific text ("1.005e+00"), rounded half away from zero to
// `decimals` places.
std::string roundedFixed(std::string_view sci, bool negativeValue, int decimals, char separator) {
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
        negativeValue && scaled.find_first_not_of('0') != std::string::npos;  // never "-0.0"
    std::string out = negative ? "-" : "";
    const std::size_t intLength = scaled.size() - static_cast<std::size_t>(decimals);
    out.append(scaled, 0, intLength);
    if (decimals > 0) {
        out.push_back(separator);
        out.append(scaled, intLength, std::string::npos);
    }
    return out;
}

}  // namespace

// Fixed-point text of the value, first taken to 15 significant digits so that a value stored as
// 1.00499999... still shows as the 1.005 it was meant to be, then rounded half away from zero.
std::string fixedTextByDigits(double value, int decimals, char separator) {
    constexpr int kSignificant = 15;
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                   std::chars_format::scientific, kSignificant - 1);
    return roundedFixed(std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)), value < 0,
                        decimals, separator);
}

namespace {

// Most values a tune shows are whole multiples of their last decimal (a raw byte times a scale
// that the pattern was chosen for). When value x 10^decimals comes out as a whole number N below
// 10^15, the value is within a rounding error of N / 10^decimals, so its 15 significant digits
// are those of N and the digit rule above would give N back; writing N directly is much cheaper.
std::optional<std::string> wholeMultipleText(double value, int decimals, char separator) {
    static constexpr std::array<double, 10> kPowersOfTen{1e0, 1e1, 1e2, 1e3, 1e4,
                                                         1e5, 1e6, 1e7, 1e8, 1e9};
    if (decimals < 0 || decimals >= static_cast<int>(kPowersOfTen.size())) return std::nullopt;
    const double scaled = value * kPowersOfTen[static_cast<std::size_t>(decimals)];
    if (!(std::fabs(scaled) < 1e15) || scaled != std::trunc(scaled)) return std::nullopt;

    const auto whole = static_cast<std::int64_t>(std::fabs(scaled));
    std::string digits = std::to_string(whole);
    const auto width = static_cast<std::size_t>(decimals) + 1;
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    if (decimals > 0)
        digits.insert(digits.size() - static_cast<std::size_t>(decimals), 1, separator);
    if (scaled < 0) digits.insert(0, 1, '-');  // a whole -0 has scaled == 0: never "-0.0"
    return digits;
}

std::string fixedText(double value, int decimals, char separator, Precision precision) {
    if (auto text = wholeMultipleText(value, decimals, separator)) return std::move(*text);
    if (precision == Precision::Single && std::fabs(value) <= std::numeric_limits<float>::max()) {
        // Rounded from the single's own digits: 0.35 held as a single is 0.3499999940395355 as
        // a double, and 0.4 with one decimal.
        char buf[32];
        const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(static_cast<float>(value)),
                                       std::chars_format::scientific);
        return roundedFixed(std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)),
                            value < 0, decimals, separator);
    }
    return fixedTextByDigits(value, decimals, separator);
}

// "inf", "-inf" or "nan": shown as they are rather than as a number they are not.
std::string nonFiniteText(double value) {
    char buf[16];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
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

constexpr std::array<double, 23> kPowersOfTen = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The rare number the fast path cannot take exactly: the same characters, blanks left out, read
// by from_chars (which, unlike strtod, ignores the C locale).
double slowNumber(const char* first, const char* last, bool negative) {
    std::string clean = negative ? "-" : "";
    bool exponentSign = false;  // a sign is taken only right after the exponent letter
    for (const char* p = first; p != last; ++p) {
        const char c = *p;
        if (c == ' ') continue;
        if (c == '+' || c == '-') {
            if (exponentSign) clean.push_back(c);
            exponentSign = false;
            continue;
        }
        exponentSign = c == 'e' || c == 'E' || c == 'd' || c == 'D';
        clean.push_back(exponentSign ? 'e' : c);
    }
    double value = 0;
    const auto res = std::from_chars(clean.data(), clean.data() + clean.size(), value);
    if (res.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: the sign of the exponent tells which.
        const std::size_t e = clean.find_first_of("eE");
        const bool tiny = e != std::string::npos && e + 1 < clean.size() && clean[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
        if (negative) value = -value;
    }
    return value;
}

}  // namespace

std::string shortestDecimal(double value, Precision precision, LeadingZero zero) {
    if (!std::isfinite(value) || value == 0) return "0";  // also -0
    // The fixed-point text of the largest double: 309 digits, a sign and a point; the smallest
    // subnormal takes 326 characters.
    char buf[400];
    const bool single =
        precision == Precision::Single && std::fabs(value) <= std::numeric_limits<float>::max();
    if (single && static_cast<float>(value) == 0) return "0";
    const auto res = single ? std::to_chars(buf, buf + sizeof buf, static_cast<float>(value),
                                            std::chars_format::fixed)
                            : std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    std::string text(buf, res.ptr);
    const std::size_t sign = text.front() == '-' ? 1 : 0;
    if (zero == LeadingZero::Drop && text.compare(sign, 2, "0.") == 0) text.erase(sign, 1);
    return text;
}

std::string withLeadingBlank(std::string text) {
    if (text.empty() || text.front() != '-') text.insert(text.begin(), ' ');
    return text;
}

std::string formatValue(double value, std::string_view pattern, const NumberLocale& locale,
                        Precision precision) {
    if (!std::isfinite(value)) return nonFiniteText(value);
    if (const std::optional<int> decimals = patternDecimals(pattern))
        return fixedText(value, *decimals, locale.decimalSeparator, precision);
    std::string text = shortestDecimal(value, precision);
    for (char& c : text)
        if (c == '.') c = locale.decimalSeparator;
    return text;
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

namespace {

// The leading-number rule; `stop` is left just after what it read as the number.
double scanLeadingNumber(std::string_view field, const char*& stop) {
    const char* p = field.data();
    const char* const end = p + field.size();
    while (p != end && *p == ' ')
        ++p;
    bool negative = false;
    if (p != end && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        ++p;
    }
    const char* const first = p;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int power = 0;  // value = mantissa x 10^power
    bool anyDigit = false;
    bool point = false;
    bool exact = true;
    constexpr int kMaxDigits = 19;
    for (; p != end; ++p) {
        const char c = *p;
        if (c == ' ') continue;
        if (isDigit(c)) {
            anyDigit = true;
            if (mantissa == 0 && c == '0') {
                if (point) --power;
            } else if (digits < kMaxDigits) {
                mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
                ++digits;
                if (point) --power;
            } else {
                exact = false;
            }
            continue;
        }
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        break;
    }
    stop = p;
    if (!anyDigit) {
        stop = field.data();
        return 0;
    }

    if (p != end && (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D')) {
        const char* q = p + 1;
        while (q != end && *q == ' ')
            ++q;
        bool negativeExponent = false;
        if (q != end && (*q == '-' || *q == '+')) {
            negativeExponent = *q == '-';
            ++q;
        }
        while (q != end && *q == ' ')
            ++q;
        if (q != end && isDigit(*q)) {
            int exponent = 0;
            for (; q != end && (isDigit(*q) || *q == ' '); ++q)
                if (*q != ' ' && exponent < 100000) exponent = exponent * 10 + (*q - '0');
            power += negativeExponent ? -exponent : exponent;
            p = q;
            stop = q;
            exact = false;  // rare enough to leave to from_chars
        }
    }

    constexpr std::uint64_t kExactMantissa = std::uint64_t{1} << 53;
    if (!exact || mantissa > kExactMantissa || power < -22 || power > 22)
        return slowNumber(first, p, negative);
    // Both operands are exact doubles, so the one operation rounds correctly.
    const double m = static_cast<double>(mantissa);
    const double value = power < 0 ? m / kPowersOfTen[static_cast<std::size_t>(-power)]
                                   : m * kPowersOfTen[static_cast<std::size_t>(power)];
    return negative ? -value : value;
}

}  // namespace

double leadingNumber(std::string_view field) {
    const char* stop = nullptr;
    return scanLeadingNumber(field, stop);
}

std::optional<double> wholeLeadingNumber(std::string_view field) {
    const char* stop = nullptr;
    const double value = scanLeadingNumber(field, stop);
    if (stop == field.data() || stop != field.data() + field.size()) return std::nullopt;
    return value;
}

std::string keyFileNumber(double value) {
    return withLeadingBlank(shortestDecimal(value, Precision::Double, LeadingZero::Drop));
}

}  // namespace tunalyx
