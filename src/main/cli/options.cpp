// Command line of talvex-report.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "main/cli/cli.h"
#include "version/build_version.h"

namespace talvex::cli {

namespace {

// A processor number from 1 up, in decimal. One too large for 64 bits names no processor either,
// so it is kept (as the largest) for the "no such processor" message rather than refused here.
uint64_t ParseProcessor(std::string_view text) {
    if (text.empty()) throw UsageError("--cpu needs a number from 1 up, or all");
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') throw UsageError("--cpu needs a number from 1 up, or all");
        const auto digit = static_cast<uint64_t>(c - '0');
        v = v > (UINT64_MAX - digit) / 10 ? UINT64_MAX : v * 10 + digit;
    }
    if (v == 0) throw UsageError("--cpu needs a number from 1 up, or all");
    return v;
}

OutputFormat ParseFormat(std::string_view f) {
    if (f == "text") return OutputFormat::Text;
    if (f == "json") return OutputFormat::Json;
    if (f == "cpuid-r") return OutputFormat::CpuidRaw;
    if (f == "libcpuid") return OutputFormat::Libcpuid;
    throw UsageError("unknown format '" + std::string(f) + "' (text, json, cpuid-r or libcpuid)");
}

}  // namespace

Options ParseOptions(int argc, const char* const* argv) {
    Options o;
    std::vector<std::string_view> given;  // each option once: a second value would silently win
    bool options_end = false;             // after "--", every argument is an input
    bool compare = false;                 // --compare: its inputs are among the arguments
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (options_end || arg == "-" || !arg.starts_with("-")) {
            o.inputs.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            options_end = true;
            continue;
        }
        std::string_view name = arg;
        std::optional<std::string_view> value;
        if (arg.starts_with("--")) {
            if (const size_t eq = arg.find('='); eq != arg.npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
            }
        }
        auto take_value = [&]() -> std::string_view {
            if (value) return *value;
            if (i + 1 >= argc) throw UsageError(std::string(name) + " needs a value");
            return argv[++i];
        };
        const bool flag = name == "--help" || name == "-h" || name == "--version" || name == "--details"
                          || name == "--measure" || name == "--baseline" || name == "--compare"
                          || name == "--leaves";
        if (value && flag) throw UsageError(std::string(name) + " takes no value");
        const std::string_view option = name == "-h" ? "--help" : name;
        if (std::find(given.begin(), given.end(), option) != given.end())
            throw UsageError(std::string(option) + " is given twice");
        if (option.starts_with("--")) given.push_back(option);
        if (name == "--help" || name == "-h") {
            o.help = true;
        } else if (name == "--version") {
            o.version = true;
        } else if (name == "--details") {
            o.details = true;
        } else if (name == "--leaves") {
            o.leaves = true;
        } else if (name == "--measure") {
            o.measure = true;
        } else if (name == "--cpu") {
            const std::string_view text = take_value();
            o.all_cpus = text == "all";
            o.cpu = o.all_cpus ? std::nullopt : std::optional<uint64_t>(ParseProcessor(text));
            o.cpu_text = text;
        } else if (name == "--replay") {
            const std::string_view file = take_value();
            if (file.empty()) throw UsageError("--replay needs a file name");
            o.replay = std::string(file);
        } else if (name == "--format") {
            o.format = ParseFormat(take_value());
        } else if (name == "--compare") {
            compare = true;
        } else if (name == "--baseline") {
            o.baseline = true;
        } else if (name == "--gcc") {
            const std::string_view program = take_value();
            if (program.empty()) throw UsageError("--gcc needs a program name");
            o.gcc = std::string(program);
        } else {
            throw UsageError("unknown argument '" + std::string(arg) + "'");
        }
    }
    if (o.help || o.version) return o;
    if (compare && o.baseline) throw UsageError("--compare and --baseline go separately");
    if (compare) {  // their number is known once folders are replaced by their files
        if (o.inputs.empty()) throw UsageError("--compare needs two inputs (dump files or live)");
        o.compare = std::move(o.inputs);
        o.inputs.clear();
    }
    if (!o.inputs.empty() && !o.baseline) throw UsageError("unknown argument '" + o.inputs.front() + "'");
    if (o.baseline && o.inputs.empty())
        throw UsageError("--baseline needs at least one input (dump files or live)");
    if (std::find(given.begin(), given.end(), "--gcc") != given.end() && !o.baseline)
        throw UsageError("--gcc goes with --baseline");
    if (o.Fleet()) {
        const char* what = o.baseline ? "--baseline" : "--compare";
        if (o.details || o.leaves || o.measure || o.replay || o.all_cpus || o.DumpFormat())
            throw UsageError(std::string(what) + " takes inputs of its own and prints text or json");
    }
    if (o.details && o.DumpFormat()) throw UsageError("--details prints text or json, not a dump");
    if (o.leaves && o.DumpFormat()) throw UsageError("--leaves prints text or json, not a dump");
    if (o.leaves && o.details) throw UsageError("--leaves and --details go separately");
    if (o.measure && !o.details) throw UsageError("--measure goes with --details");
    if (o.measure && o.replay) throw UsageError("--measure measures this machine's processors, not a dump");
    if (o.all_cpus && !o.details && !o.leaves && !o.DumpFormat())
        throw UsageError("--cpu all goes with --details, --leaves or a dump format (cpuid-r, libcpuid)");
    return o;
}

const char* HelpText() {
    return "Usage: talvex-report [--cpu N|all] [--replay FILE] [--details [--measure] | --leaves]\n"
           "                     [--format text|json|cpuid-r|libcpuid]\n"
           "       talvex-report --compare INPUT INPUT [--cpu N] [--format text|json]\n"
           "       talvex-report --baseline INPUT... [--cpu N] [--gcc PROGRAM] [--format text|json]\n"
           "Describes the processor as Talvex's copy command does, on standard output.\n"
           "\n"
           "  --cpu N          examine processor N (1 = the machine's first); default: the first\n"
           "                   this process may run on; with --replay, the N-th processor\n"
           "                   section of the dump (default: the first)\n"
           "  --cpu all        every processor this process may run on, or every section of the\n"
           "                   dump (with --details, --leaves, cpuid-r and libcpuid)\n"
           "  --replay FILE    describe the processors recorded in FILE ('-': standard input):\n"
           "                   a Talvex report, cpuid -r output, a libcpuid raw dump or an\n"
           "                   InstLatx64/AIDA64/EVEREST CPUID listing\n"
           "  --details        the processor details: caches, topology, core type, hypervisor,\n"
           "                   x86-64 level, microarchitecture and every feature flag\n"
           "  --leaves         every leaf and sub-leaf recorded, its registers and each of its\n"
           "                   fields decoded (with --format json: as JSON)\n"
           "  --measure        with --details: measure each processor's clock as it runs now\n"
           "                   (about 20 ms a processor); not with --replay\n"
           "  --format json    the window's fields, flags, clock and caches as one JSON object\n"
           "                   (with --details: the details as JSON)\n"
           "  --format cpuid-r every leaf and sub-leaf, in the layout of 'cpuid -r'; without\n"
           "                   --cpu, every processor (a capture, or a conversion with --replay)\n"
           "  --format libcpuid the same in libcpuid's raw layout (cpuid_tool --load)\n"
           "  --compare A B    what differs between two processors: identity, caches, topology,\n"
           "                   x86-64 level and features; exit status 1 when they differ\n"
           "  --baseline INPUT...  what every machine has in common: features, x86-64 level and\n"
           "                   the GCC flags whose code runs on all of them (checked with GCC)\n"
           "  --gcc PROGRAM    the compiler --baseline asks (default gcc)\n"
           "                   An INPUT of --compare or --baseline is a dump file ('-': standard\n"
           "                   input), a folder (every dump file in it) or 'live' (this machine);\n"
           "                   --cpu N takes the N-th processor of each (default the first)\n"
           "  --help           show this text\n"
           "  --version        show the version\n"
           "\n"
           "Exit status: 0 success, 1 runtime failure (--compare: the processors differ),\n"
           "2 bad usage or bad input.\n";
}

std::string VersionLine() { return std::string("talvex-report ") + kBuildVersionText + "\n"; }

}  // namespace talvex::cli
