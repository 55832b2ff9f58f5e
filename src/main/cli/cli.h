#pragma once
// talvex-report: the clipboard report (or the data load as JSON), the processor details, or a
// complete dump, on standard output, for this machine's processors or those recorded in a dump.
// Everything but main() lives here so tests can call it.

#include <cstdint>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "main/report/environment_locale.h"
#include "main/report/output_text.h"
#include "probe/platform/cpuid.h"

namespace talvex::cli {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // runtime failure: pinning, writing; --compare: they differ
inline constexpr int kExitUsage = 2;    // bad usage or bad input

enum class OutputFormat { Text, Json, CpuidRaw, Libcpuid };

struct Options {
    OutputFormat format = OutputFormat::Text;
    // 1-based: the processor to pin to, or the dump's processor section. Unset: the first for the
    // report and the details, every one for the dump formats. A number too large for 64 bits is
    // kept as the largest, with its text for the message.
    std::optional<uint64_t> cpu;
    std::string cpu_text;
    bool all_cpus = false;  // --cpu all
    bool details = false;
    bool leaves = false;                // --leaves: every recorded leaf decoded field by field
    bool measure = false;               // --measure: each processor's clock, with --details
    std::optional<std::string> replay;  // "-" for standard input
    bool help = false;
    bool version = false;
    // --compare A B: two inputs; --baseline INPUT...: any number. An input is a dump file, "-" for
    // standard input, or "live" for this machine.
    std::vector<std::string> compare;
    bool baseline = false;
    std::vector<std::string> inputs;
    std::string gcc = "gcc";  // --gcc: the compiler --baseline asks

    bool Fleet() const { return !compare.empty() || baseline; }

    bool DumpFormat() const { return format == OutputFormat::CpuidRaw || format == OutputFormat::Libcpuid; }
};

// Bad command line; the message is one line without the program name.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Options ParseOptions(int argc, const char* const* argv);
const char* HelpText();
std::string VersionLine();

// The data load and what the window shows beside it, as one JSON object and a line end.
// `hz` is the clock measured once by the caller.
std::string BuildJson(const Probe& probe, std::string_view decimal_separator, int64_t hz);

// The whole program, writing to the file descriptors `out` and `err`: returns the exit status.
int Run(int argc, const char* const* argv, int out, int err);

}  // namespace talvex::cli
