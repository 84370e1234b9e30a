#include "settings/SettingsValues.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <langinfo.h>
#include <locale.h>

namespace tabulonix {

namespace {

bool IsLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Days since 1970-01-01 (civil calendar arithmetic).
long long DaysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

TDate CivilFromDays(long long z)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int y = static_cast<int>(yoe + era * 400 + (m <= 2));
    return {y, m, d};
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool IsValidDate(const TDate& date)
{
    return date.year >= 1 && date.year <= 9999 && date.month >= 1 && date.month <= 12 &&
           date.day >= 1 && date.day <= DaysInMonth(date.year, date.month);
}

TDate Today()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

TDate AddDays(const TDate& date, int days)
{
    return CivilFromDays(DaysFromCivil(date.year, date.month, date.day) + days);
}

std::string LocaleShortDateFormat()
{
    locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (!loc)
        loc = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
    std::string format = loc ? nl_langinfo_l(D_FMT, loc) : "%m/%d/%y";
    if (loc)
        freelocale(loc);
    if (format.empty())
        format = "%m/%d/%y";
    return format;
}

std::string FormatShortDate(const TDate& date, const std::string& format)
{
    const std::string pattern = format.empty() ? LocaleShortDateFormat() : format;
    std::tm tm{};
    tm.tm_year = date.year - 1900;
    tm.tm_mon = date.month - 1;
    tm.tm_mday = date.day;
    tm.tm_hour = 12;
    tm.tm_wday = static_cast<int>(((DaysFromCivil(date.year, date.month, date.day) % 7) + 11) % 7);
    char buffer[128];
    size_t n = std::strftime(buffer, sizeof buffer, pattern.c_str(), &tm);
    return std::string(buffer, n);
}

bool TryParseShortDate(const std::string& text, TDate& date, const std::string& format)
{
    if (text.empty() || text.size() > 64 || text.find('\0') != std::string::npos)
        return false;
    const std::string pattern = format.empty() ? LocaleShortDateFormat() : format;
    std::tm tm{};
    tm.tm_mday = 0;
    tm.tm_mon = -1;
    tm.tm_year = INT32_MIN;
    const char* end = strptime(text.c_str(), pattern.c_str(), &tm);
    if (!end || *end != '\0' || tm.tm_mday == 0 || tm.tm_mon < 0 || tm.tm_year == INT32_MIN)
        return false;
    TDate parsed{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
    if (!IsValidDate(parsed))
        return false;
    date = parsed;
    return true;
}

bool TryStrToInt(const std::string& text, int& value)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == text.size())
        return false;
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        int digit = hex ? HexDigit(text[i])
                        : (std::isdigit(static_cast<unsigned char>(text[i])) ? text[i] - '0' : -1);
        if (digit < 0)
            return false;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
        if (magnitude > 0xFFFFFFFFull)
            return false;
    }
    int64_t result;
    if (hex) {
        // Up to eight hexadecimal digits are a 32-bit pattern: "$FFFFFFFF" is -1.
        result = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
        if (negative)
            result = -result;
        if (result > INT32_MAX)
            return false;
    } else {
        result = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
        if (result < INT32_MIN || result > INT32_MAX)
            return false;
    }
    value = static_cast<int>(result);
    return true;
}

int StrToIntDef(const std::string& text, int fallback)
{
    int value;
    return TryStrToInt(text, value) ? value : fallback;
}

} // namespace tabulonix
