#pragma once
// The user's locale, as the environment names it (LC_ALL, LC_TIME/LC_NUMERIC, LANG), for the
// report's time stamp line and decimal separator: one place, for the window and talvex-report.

#include <locale.h>

#include <ctime>
#include <string>

namespace talvex {

// The environment's locale for the date, the time and the decimal separator, held privately:
// the process's own locale stays "C" for every formatting routine.
class EnvironmentLocale {
public:
    EnvironmentLocale();
    ~EnvironmentLocale();
    EnvironmentLocale(const EnvironmentLocale&) = delete;
    EnvironmentLocale& operator=(const EnvironmentLocale&) = delete;

    // "." when the environment names no usable locale.
    std::string DecimalSeparator() const;
    // "***" + short date + " " + long time + "***" ("%x", "%X"); the time is left out at exactly
    // midnight. No line end.
    std::string TimeStampLine(const std::tm& local) const;

private:
    locale_t locale_;  // (locale_t)0 when the environment's could not be loaded: then "C"
};

// TimeStampLine in the "C" locale (dates as mm/dd/yy).
std::string TimeStampLine(const std::tm& local);

// The time stamp line of this moment in the environment's locale: what the copy command and
// talvex-report put above the report.
std::string CurrentTimeStampLine();

}  // namespace talvex
