#include "monitor/log_numbers.h"

#include <algorithm>

namespace tunalyx {

int truncatedDecimals(std::string_view format) {
    const std::size_t point = format.find('.');
    if (point == std::string_view::npos) return kWholePart;
    return static_cast<int>(format.size() - point - 1);
}

void appendTruncated(std::string& out, double value, int decimals, Precision precision) {
    // Cut from the single a voltage is held in, 1.234 stays 1.234 and does not become the 1.233
    // of the 1.2339999675750732 its double spells out.
    const std::string text = shortestDecimal(value, precision, LeadingZero::Drop);
    const std::string_view digits(text);
    const bool negative = digits.front() == '-';
    const std::size_t point = digits.find('.');
    const std::string_view whole = digits.substr(negative ? 1 : 0, point - (negative ? 1 : 0));
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : digits.substr(point + 1);
    if (decimals == kWholePart) {
        // Below 1 the cut leaves no digit at all; a field of "0" says the same to every reader
        // and no blank cell or lone "-" reaches a spreadsheet.
        if (whole.empty()) {
            out += '0';
            return;
        }
        if (negative) out += '-';
        out += whole;
        return;
    }
    if (negative) out += '-';
    out += whole;
    out += '.';
    const auto wanted = static_cast<std::size_t>(std::max(decimals, 0));
    const std::size_t kept = std::min(wanted, fraction.size());
    out += fraction.substr(0, kept);
    out.append(wanted - kept, '0');
}

std::string FormatTruncated(double value, std::string_view format, Precision precision) {
    std::string out;
    appendTruncated(out, value, truncatedDecimals(format), precision);
    return out;
}

void appendNumberForm(std::string& out, double value) {
    out += withLeadingBlank(shortestDecimal(value, Precision::Double, LeadingZero::Drop));
    out += ' ';
}

std::string logNumberForm(double value) {
    std::string out;
    appendNumberForm(out, value);
    return out;
}

}  // namespace tunalyx
