#pragma once
#include <string>

namespace tabulonix {

// A calendar date (proleptic Gregorian), as the settings file keeps it.
struct TDate {
    int year = 1899;
    int month = 12;
    int day = 30;
    friend bool operator==(const TDate&, const TDate&) = default;
    friend auto operator<=>(const TDate&, const TDate&) = default;
};

bool IsValidDate(const TDate& date);
TDate Today(); // local time
TDate AddDays(const TDate& date, int days);
// The "Last checked" default.
inline TDate Yesterday()
{
    return AddDays(Today(), -1);
}

// The short date format of the user's locale (LC_TIME from the environment), as an
// strftime pattern such as "%m/%d/%Y" or "%d.%m.%Y".
std::string LocaleShortDateFormat();
// Formats with `format` (the locale's when empty).
std::string FormatShortDate(const TDate& date, const std::string& format = {});
// Parses text written in `format` (the locale's when empty); the whole text must match
// and the date must exist.
bool TryParseShortDate(const std::string& text, TDate& date, const std::string& format = {});

// Integer text as the settings file reads it: optional sign, then decimal digits, or
// "$", "0x" or "0X" and hexadecimal digits (up to 32 bits, wrapping into the signed range).
// Decimal values outside the 32-bit range and any other text fail.
bool TryStrToInt(const std::string& text, int& value);
int StrToIntDef(const std::string& text, int fallback);

} // namespace tabulonix
