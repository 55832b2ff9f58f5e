// The program's course: options, pinning or reading the dump, building the whole output, writing it.
// Nothing reaches standard output before the output is complete, so a failure leaves it empty.
#include <sched.h>

#include <ctime>
#include <fstream>
#include <iostream>

#include "main/cli/cli.h"
#include "main/report/report.h"
#include "probe/clock.h"
#include "probe/dump/dump.h"
#include "probe/platform.h"

namespace talvex::cli {

namespace {

// The processor a window on this machine would be pinned to, at most 32 of them.
constexpr unsigned kMaxProcessors = 32;

// The processors this process was allowed to run on when it started (`taskset`, a cpuset), as
// --cpu numbers. Widening that set is possible but would override the user's own restriction.
std::string AllowedProcessors(unsigned cpu, bool& allowed) {
    cpu_set_t set;
    CPU_ZERO(&set);
    allowed = true;
    if (sched_getaffinity(0, sizeof set, &set) != 0) return "";
    std::string list;
    for (unsigned k = 0; k < kMaxProcessors; ++k) {
        if (!CPU_ISSET(k, &set)) continue;
        list += (list.empty() ? "" : ",") + std::to_string(k + 1);
    }
    allowed = CPU_ISSET(cpu - 1, &set);
    return list;
}

// The replayed or live processor, described as text or JSON.
std::string Describe(const Probe& probe, const Options& o) {
    const EnvironmentLocale env;
    const std::string sep = env.DecimalSeparator();
    std::string out;
    if (o.format == OutputFormat::Json) return BuildJson(probe, sep, MeasureClock(probe));

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string stamp = env.TimeStampLine(local);
    // The date comes in the locale's own encoding; anything but UTF-8 is shown byte by byte.
    if (IsValidUtf8(stamp)) {
        out = stamp + "\n";
    } else {
        AppendTerminalText(out, stamp);
        out += '\n';
    }
    std::string report;
    BuildReport(probe, report, sep, AppendProcessorText);
    AppendTerminalText(out, report);
    return out;
}

// Flushed here, so a full disk or a closed pipe is reported rather than lost at exit.
int Write(std::string_view text, std::ostream& out, std::ostream& err) {
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (!out) {
        err << "talvex-report: cannot write the output\n";
        return kExitFailure;
    }
    return kExitOk;
}

std::vector<DumpProcessor> ReadReplay(const std::string& file) {
    if (file == "-") return ReadDump(std::cin, "stdin");
    return ReadDumpFile(file);
}

}  // namespace

int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    Options o;
    try {
        o = ParseOptions(argc, argv);
    } catch (const UsageError& e) {
        err << "talvex-report: " << e.what() << "\nTry 'talvex-report --help'.\n";
        return kExitUsage;
    }
    if (o.help || o.version) return Write(o.help ? HelpText() : VersionLine(), out, err);

    std::string text;
    try {
        if (o.replay) {
            std::vector<DumpProcessor> cpus;
            try {
                cpus = ReadReplay(*o.replay);
            } catch (const DumpError& e) {
                err << "talvex-report: " << e.what() << "\n";
                return kExitUsage;
            }
            if (o.cpu > cpus.size()) {
                const std::string name = *o.replay == "-" ? "stdin" : *o.replay;
                err << "talvex-report: " << name << ":" << cpus.back().line << ": no processor section "
                    << o.cpu << ", the dump has " << cpus.size() << "\n";
                return kExitUsage;
            }
            const ReplaySource source(cpus[o.cpu - 1]);
            ReplayPlatform platform;
            text = Describe(Probe{source, platform}, o);
        } else {
            LinuxPlatform platform;
            const unsigned count = platform.ProcessorCount();
            if (o.cpu > count || o.cpu > kMaxProcessors) {
                err << "talvex-report: there is no processor " << o.cpu << " (this machine has " << count
                    << (count > kMaxProcessors ? ", of which the first 32 can be chosen" : "") << ")\n";
                return kExitFailure;
            }
            bool allowed = true;
            const std::string list = AllowedProcessors(o.cpu, allowed);
            if (!allowed) {
                err << "talvex-report: cannot run on processor " << o.cpu << ": this process may run only on "
                    << (list.empty() ? "none of the first 32" : "processor(s) " + list) << "\n";
                return kExitFailure;
            }
            if (!platform.SetThreadAffinityMask(1u << (o.cpu - 1))) {
                err << "talvex-report: cannot run on processor " << o.cpu << "\n";
                return kExitFailure;
            }
            const HardwareSource source;
            text = Describe(Probe{source, platform}, o);
        }
    } catch (const std::exception& e) {
        err << "talvex-report: " << e.what() << "\n";
        return kExitFailure;
    }
    return Write(text, out, err);
}

}  // namespace talvex::cli
