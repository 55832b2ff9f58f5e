// Command line of talvex-report.
#include <cstdlib>

#include "main/cli/cli.h"
#include "version/build_version.h"

namespace talvex::cli {

namespace {

// 1..4294967295 in decimal, nothing else.
unsigned ParseCount(std::string_view name, std::string_view text) {
    unsigned long long v = 0;
    if (text.empty() || text.size() > 10) throw UsageError(std::string(name) + " needs a number from 1 up");
    for (char c : text) {
        if (c < '0' || c > '9') throw UsageError(std::string(name) + " needs a number from 1 up");
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v == 0 || v > 0xFFFFFFFFull) throw UsageError(std::string(name) + " needs a number from 1 up");
    return static_cast<unsigned>(v);
}

}  // namespace

Options ParseOptions(int argc, const char* const* argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
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
        if (name == "--help" || name == "-h") {
            o.help = true;
        } else if (name == "--version") {
            o.version = true;
        } else if (name == "--cpu") {
            o.cpu = ParseCount(name, take_value());
        } else if (name == "--replay") {
            const std::string_view file = take_value();
            if (file.empty()) throw UsageError("--replay needs a file name");
            o.replay = std::string(file);
        } else if (name == "--format") {
            const std::string_view f = take_value();
            if (f == "text") {
                o.format = OutputFormat::Text;
            } else if (f == "json") {
                o.format = OutputFormat::Json;
            } else {
                throw UsageError("unknown format '" + std::string(f) + "' (text or json)");
            }
        } else {
            throw UsageError("unknown argument '" + std::string(arg) + "'");
        }
        if (value && (name == "--help" || name == "-h" || name == "--version"))
            throw UsageError(std::string(name) + " takes no value");
    }
    return o;
}

const char* HelpText() {
    return "Usage: talvex-report [--cpu N] [--replay FILE] [--format text|json]\n"
           "Describes the processor as Talvex's copy command does, on standard output.\n"
           "\n"
           "  --cpu N          examine processor N (1 = the first; default 1); with --replay,\n"
           "                   the N-th processor section of the dump\n"
           "  --replay FILE    describe the processor recorded in FILE ('-': standard input):\n"
           "                   a Talvex report, cpuid -r output, a libcpuid raw dump or an\n"
           "                   InstLatx64/AIDA64/EVEREST CPUID listing\n"
           "  --format json    the window's fields, flags, clock and caches as one JSON object\n"
           "  --help           show this text\n"
           "  --version        show the version\n"
           "\n"
           "Exit status: 0 success, 1 runtime failure, 2 bad usage or bad input.\n";
}

std::string VersionLine() { return std::string("talvex-report ") + kBuildVersionText + "\n"; }

}  // namespace talvex::cli
