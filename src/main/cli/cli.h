#pragma once
// talvex-report: the clipboard report (or the data load as JSON) on standard output, for this
// processor or one recorded in a dump. Everything but main() lives here so tests can call it.

#include <locale.h>

#include <cstdint>
#include <ctime>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "main/report/output_text.h"
#include "probe/cpuid.h"

namespace talvex::cli {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // runtime failure: pinning, writing
inline constexpr int kExitUsage = 2;    // bad usage or bad input

enum class OutputFormat { Text, Json };

struct Options {
    OutputFormat format = OutputFormat::Text;
    unsigned cpu = 1;                   // 1-based: the processor to pin to, or the dump's processor section
    std::optional<std::string> replay;  // "-" for standard input
    bool help = false;
    bool version = false;
};

// Bad command line; the message is one line without the program name.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Options ParseOptions(int argc, const char* const* argv);
const char* HelpText();
std::string VersionLine();

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

// The data load and what the window shows beside it, as one JSON object and a line end.
// `hz` is the clock measured once by the caller.
std::string BuildJson(const Probe& probe, std::string_view decimal_separator, int64_t hz);

// The whole program: returns the exit status.
int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace talvex::cli
