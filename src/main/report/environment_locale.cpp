// The environment's locale for the time stamp line and the decimal separator.
#include "main/report/environment_locale.h"

#include <langinfo.h>

#include <clocale>
#include <cstdlib>
#include <ctime>

namespace talvex {

namespace {

std::string StampWith(const std::tm& local, locale_t loc) {
    char date[128] = "";
    char time[128] = "";
    strftime_l(date, sizeof date, "%x", &local, loc);
    std::string line = std::string("***") + date;
    if (local.tm_hour != 0 || local.tm_min != 0 || local.tm_sec != 0) {
        strftime_l(time, sizeof time, "%X", &local, loc);
        line += ' ';
        line += time;
    }
    line += "***";
    return line;
}

locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

// The locale the environment names for one category: LC_ALL, then the category's own variable,
// then LANG; "C" when none is set.
std::string_view LocaleName(const char* category_variable) {
    for (const char* var : {"LC_ALL", category_variable, "LANG"}) {
        const char* value = std::getenv(var);
        if (value != nullptr && *value != '\0') return value;
    }
    return "C";
}

// Locales that write dates and numbers exactly as "C" does; loading them would cost more than
// the rest of a replay.
bool FormatsLikeC(std::string_view name) {
    return name == "C" || name == "POSIX" || name == "C.UTF-8" || name == "C.utf8";
}

locale_t LoadEnvironmentLocale() {
    if (FormatsLikeC(LocaleName("LC_NUMERIC")) && FormatsLikeC(LocaleName("LC_TIME")))
        return static_cast<locale_t>(nullptr);
    return newlocale(LC_NUMERIC_MASK | LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
}

}  // namespace

EnvironmentLocale::EnvironmentLocale() : locale_(LoadEnvironmentLocale()) {}

EnvironmentLocale::~EnvironmentLocale() {
    if (locale_ != static_cast<locale_t>(nullptr)) freelocale(locale_);
}

std::string EnvironmentLocale::DecimalSeparator() const {
    if (locale_ == static_cast<locale_t>(nullptr)) return ".";
    const char* point = nl_langinfo_l(RADIXCHAR, locale_);
    return point != nullptr && *point != '\0' ? point : ".";
}

std::string EnvironmentLocale::TimeStampLine(const std::tm& local) const {
    return StampWith(local, locale_ != static_cast<locale_t>(nullptr) ? locale_ : CLocale());
}

std::string TimeStampLine(const std::tm& local) { return StampWith(local, CLocale()); }

std::string CurrentTimeStampLine() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return EnvironmentLocale().TimeStampLine(local);
}

}  // namespace talvex
