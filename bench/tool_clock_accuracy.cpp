// Measures the clock of this machine's processor several times and compares the median with the
// kernel's own calibration of the time stamp counter.
// Usage: tool_clock_accuracy [runs]   (default 5)

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "probe/clock/clock.h"
#include "probe/platform/cpuid.h"

namespace {

struct Reference {
    double mhz = 0;
    std::string source;
};

std::string RunCommand(const char* command) {
    std::string text;
    if (FILE* pipe = popen(command, "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
        pclose(pipe);
    }
    return text;
}

std::string ReadFile(const char* path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The last value given after `marker` in the log, e.g. "tsc: Detected " -> "2600.000 MHz".
std::optional<double> LastValueAfter(const std::string& log, const std::string& marker) {
    std::optional<double> value;
    for (size_t at = log.find(marker); at != std::string::npos; at = log.find(marker, at + 1)) {
        char* end = nullptr;
        const double v = std::strtod(log.c_str() + at + marker.size(), &end);
        if (end != log.c_str() + at + marker.size() && v > 0) value = v;
    }
    return value;
}

std::optional<Reference> KernelReference() {
    struct Log {
        const char* name;
        std::string text;
    } logs[] = {
        {"dmesg", RunCommand("dmesg 2>/dev/null")},
        {"journalctl -k", RunCommand("journalctl -k --no-pager 2>/dev/null")},
        {"/var/log/kern.log", ReadFile("/var/log/kern.log")},
    };
    // The refined calibration is the better of the two; look for it in every log first.
    for (const char* marker : {"tsc: Refined TSC clocksource calibration: ", "tsc: Detected "})
        for (const Log& log : logs)
            if (auto mhz = LastValueAfter(log.text, marker))
                return Reference{*mhz, std::string(log.name) + ": \"" + marker + "...\""};

    const std::string cpuinfo = ReadFile("/proc/cpuinfo");
    const size_t flags = cpuinfo.find("\nflags");
    const size_t flags_end = cpuinfo.find('\n', flags + 1);
    if (flags != std::string::npos
        && cpuinfo.substr(flags, flags_end - flags).find(" tsc_known_freq") != std::string::npos)
        if (auto mhz = LastValueAfter(cpuinfo.substr(0, cpuinfo.find("\n\n")), "cpu MHz\t\t: "))
            return Reference{*mhz, "/proc/cpuinfo \"cpu MHz\" (tsc_known_freq)"};
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    talvex::HardwareSource cpu;
    talvex::LinuxPlatform os;
    const talvex::Probe probe{cpu, os};

    std::vector<int64_t> results;
    for (int i = 0; i < runs; ++i) {
        results.push_back(talvex::MeasureClock(probe));
        std::printf("run %d: %lld Hz (%s)\n", i + 1, static_cast<long long>(results.back()),
                    talvex::FormatClock(results.back(), ".").c_str());
    }
    std::sort(results.begin(), results.end());
    const size_t mid = results.size() / 2;
    const double median =
        results.size() % 2
            ? static_cast<double>(results[mid])
            : (static_cast<double>(results[mid - 1]) + static_cast<double>(results[mid])) / 2.0;
    std::printf("median: %.0f Hz\n", median);

    const std::optional<Reference> reference = KernelReference();
    if (!reference) {
        std::printf("no kernel reference readable (dmesg, journalctl -k, kern.log, /proc/cpuinfo)\n");
        return 0;
    }
    const double reference_hz = reference->mhz * 1e6;
    std::printf("reference: %.3f MHz from %s\n", reference->mhz, reference->source.c_str());
    std::printf("error of the median: %+.3f ppm\n", (median - reference_hz) / reference_hz * 1e6);
    for (int64_t r : results)
        std::printf("  %lld Hz: %+.3f ppm\n", static_cast<long long>(r),
                    (static_cast<double>(r) - reference_hz) / reference_hz * 1e6);
    return 0;
}
