#include "platform/linux/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace pagelith::platform {
namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0;
}

std::u16string_view Trim(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

char16_t Lower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

ParseStatus ParseRadix(std::u16string_view digits, unsigned radix, bool negative, ParsedNumber& out) {
    if (digits.empty()) return ParseStatus::Invalid;
    UInt128 value = 0;
    for (char16_t c : digits) {
        unsigned d;
        if (IsDigit(c))
            d = c - u'0';
        else if (Lower(c) >= u'a' && Lower(c) <= u'f')
            d = Lower(c) - u'a' + 10;
        else
            return ParseStatus::Invalid;
        if (d >= radix) return ParseStatus::Invalid;
        value = value * radix + d;
        if (value > 0xFFFFFFFFFFFFFFFFull) return ParseStatus::Overflow;
    }
    out.isInteger = true;
    out.integer = negative ? -static_cast<Int128>(value) : static_cast<Int128>(value);
    out.real = static_cast<double>(out.integer);
    return ParseStatus::Ok;
}

// Days since 1899-12-30 of a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468 + 25569;
}

void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468 - 25569;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

bool ValidDay(long long y, unsigned m, unsigned d) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= kDays[m - 1] + (m == 2 && leap ? 1u : 0u);
}

// Reads an unsigned decimal field of 1 to 4 digits.
bool ReadField(std::u16string_view& s, unsigned& value) {
    std::size_t n = 0;
    value = 0;
    while (n < s.size() && n < 5 && IsDigit(s[n])) value = value * 10 + (s[n++] - u'0');
    if (n == 0 || n == 5) return false;
    s.remove_prefix(n);
    return true;
}

bool Take(std::u16string_view& s, char16_t c) {
    if (s.empty() || s.front() != c) return false;
    s.remove_prefix(1);
    return true;
}

// "h:mm[:ss] [AM|PM]" to a fraction of a day.
bool ParseTime(std::u16string_view s, double& fraction) {
    unsigned h, mi, sec = 0;
    if (!ReadField(s, h) || !Take(s, u':') || !ReadField(s, mi)) return false;
    if (Take(s, u':') && !ReadField(s, sec)) return false;
    s = Trim(s);
    if (!s.empty()) {
        const bool pm = EqualsNoCase(s, u"PM");
        if (!pm && !EqualsNoCase(s, u"AM")) return false;
        if (h < 1 || h > 12) return false;
        h = (h % 12) + (pm ? 12 : 0);
    }
    if (h > 23 || mi > 59 || sec > 59) return false;
    fraction = (h * 3600.0 + mi * 60.0 + sec) / 86400.0;
    return true;
}

} // namespace

ParseStatus ParseNumberText(std::u16string_view text, ParsedNumber& out) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    if (text.size() >= 2 && text[0] == u'&') {
        const char16_t kind = Lower(text[1]);
        if (kind == u'h') return ParseRadix(text.substr(2), 16, negative, out);
        if (kind == u'o') return ParseRadix(text.substr(2), 8, negative, out);
        return ParseStatus::Invalid;
    }
    std::string canonical = negative ? "-" : "";
    std::size_t i = 0, mantissaDigits = 0;
    bool fraction = false, exponent = false;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (IsDigit(c)) {
            canonical += static_cast<char>(c);
            ++mantissaDigits;
        } else if (c == u',' && !fraction && mantissaDigits > 0 && i + 1 < text.size() &&
                   IsDigit(text[i + 1])) {
            continue; // thousands separator
        } else if (c == u'.' && !fraction) {
            fraction = true;
            canonical += '.';
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) return ParseStatus::Invalid;
    if (i < text.size()) {
        const char16_t e = Lower(text[i]);
        if (e != u'e' && e != u'd') return ParseStatus::Invalid;
        exponent = true;
        canonical += 'e';
        ++i;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
            canonical += static_cast<char>(text[i++]);
        std::size_t expDigits = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i, ++expDigits) canonical += static_cast<char>(text[i]);
        if (expDigits == 0 || i != text.size()) return ParseStatus::Invalid;
    }
    if (!fraction && !exponent && mantissaDigits <= 36) {
        Int128 value = 0;
        for (char c : canonical)
            if (c != '-') value = value * 10 + (c - '0');
        out.isInteger = true;
        out.integer = negative ? -value : value;
        out.real = static_cast<double>(out.integer);
        return ParseStatus::Ok;
    }
    double value = 0;
    const auto result = std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Underflow reads as zero; only magnitudes too large overflow.
        if (std::fabs(value) < 1.0)
            value = negative ? -0.0 : 0.0;
        else
            return ParseStatus::Overflow;
    } else if (result.ec != std::errc() || result.ptr != canonical.data() + canonical.size()) {
        return ParseStatus::Invalid;
    }
    out.isInteger = false;
    out.real = value;
    return ParseStatus::Ok;
}

std::optional<bool> ParseBoolText(std::u16string_view text) {
    text = Trim(text);
    if (EqualsNoCase(text, u"True")) return true;
    if (EqualsNoCase(text, u"False")) return false;
    return std::nullopt;
}

std::optional<DATE> ParseDateText(std::u16string_view text) {
    text = Trim(text);
    std::u16string_view s = text;
    unsigned a, b, c;
    long long day = 0;
    bool haveDate = false;
    if (ReadField(s, a) && !s.empty() && (s.front() == u'/' || s.front() == u'-')) {
        const char16_t sep = s.front();
        s.remove_prefix(1);
        if (!ReadField(s, b) || !Take(s, sep) || !ReadField(s, c)) return std::nullopt;
        long long y;
        unsigned m, d;
        if (sep == u'-') { // ISO order
            y = a, m = b, d = c;
        } else {
            m = a, d = b, y = c;
            if (y < 100) y += y < 30 ? 2000 : 1900;
        }
        if (!ValidDay(y, m, d)) return std::nullopt;
        day = DaysFromCivil(y, m, d);
        haveDate = true;
        if (!s.empty() && !IsBlank(s.front()) && s.front() != u'T') return std::nullopt;
        if (!s.empty()) s.remove_prefix(1);
        s = Trim(s);
    } else {
        s = text;
    }
    double fraction = 0;
    if (!s.empty() && !ParseTime(s, fraction)) return std::nullopt;
    if (!haveDate && s.empty()) return std::nullopt;
    // Before 1899-12-30 the time counts away from zero.
    return day < 0 ? static_cast<double>(day) - fraction : static_cast<double>(day) + fraction;
}

std::string FormatInteger(Int128 value) {
    const bool negative = value < 0;
    UInt128 magnitude = negative ? -static_cast<UInt128>(value) : value;
    char buffer[48];
    int pos = sizeof buffer;
    do {
        buffer[--pos] = static_cast<char>('0' + static_cast<int>(magnitude % 10));
        magnitude /= 10;
    } while (magnitude);
    if (negative) buffer[--pos] = '-';
    return std::string(buffer + pos, sizeof buffer - pos);
}

std::string FormatReal(double value, int significantDigits) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, significantDigits);
    std::string text(buffer, result.ptr);
    for (char& c : text)
        if (c == 'e') c = 'E';
    return text;
}

std::string FormatCurrency(LONGLONG scaled) {
    const bool negative = scaled < 0;
    const unsigned long long magnitude =
        negative ? 0ull - static_cast<unsigned long long>(scaled) : static_cast<unsigned long long>(scaled);
    std::string text(negative ? 1 : 0, '-');
    text += std::to_string(magnitude / 10000);
    unsigned fraction = static_cast<unsigned>(magnitude % 10000);
    if (fraction) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04u", fraction);
        std::string f(digits);
        while (f.back() == '0') f.pop_back();
        text += '.' + f;
    }
    return text;
}

std::string FormatDate(DATE value) {
    if (!std::isfinite(value)) return "";
    double whole = std::trunc(value);
    long long seconds = std::llround(std::fabs(value - whole) * 86400.0);
    if (seconds >= 86400) { // the time rounded up into the next day
        seconds -= 86400;
        whole += value < 0 ? -1 : 1;
    }
    const long long day = static_cast<long long>(whole);
    std::string text;
    if (day != 0) {
        long long y;
        unsigned m, d;
        CivilFromDays(day, y, m, d);
        text = std::to_string(m) + '/' + std::to_string(d) + '/' + std::to_string(y);
    }
    if (seconds != 0 || day == 0) {
        const long long h = seconds / 3600, mi = seconds / 60 % 60, s = seconds % 60;
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld %s", h % 12 == 0 ? 12 : h % 12, mi, s,
                      h < 12 ? "AM" : "PM");
        if (!text.empty()) text += ' ';
        text += buffer;
    }
    return text;
}

} // namespace pagelith::platform
