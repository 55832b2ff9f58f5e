// The program's course: options, choosing the processors (pinning to them, or reading the dump),
// building the whole output, writing it. Nothing reaches standard output before the output is
// complete, so a failure leaves it empty.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include "main/cli/cli.h"
#include "main/report/details_cells.h"
#include "main/report/details_json.h"
#include "main/report/details_text.h"
#include "main/report/fleet_json.h"
#include "main/report/fleet_text.h"
#include "main/report/report.h"
#include "probe/clock/clock.h"
#include "probe/clock/core_clock.h"
#include "probe/details/capture.h"
#include "probe/details/details.h"
#include "probe/dump/dump.h"
#include "probe/dump/dump_write.h"
#include "probe/fleet/fleet.h"
#include "probe/fleet/gcc_flags.h"
#include "probe/platform/platform.h"
#include "probe/platform/processor_number.h"
#include "probe/text/text.h"

namespace talvex::cli {

namespace {

// A failure with its exit status; the message is one line without the program name.
class Failure : public std::runtime_error {
public:
    Failure(int status, const std::string& what) : std::runtime_error(what), status_(status) {}
    int status() const { return status_; }

private:
    int status_;
};

// The report (or the data load as JSON) of the processor `probe` reaches.
std::string Describe(const Probe& probe, const Options& o) {
    const EnvironmentLocale env;
    const std::string sep = env.DecimalSeparator();
    if (o.format == OutputFormat::Json) return BuildJson(probe, sep, MeasureClock(probe));

    std::string out;
    const std::string stamp = CurrentTimeStampLine();
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

// Each record's clock, measured pinned to its processor.
void MeasureClocks(Platform& platform, std::vector<ProcessorDetails>& details) {
    for (ProcessorDetails& d : details) {
        const PinnedCoreClock pinned = MeasureCoreClockOn(platform, d.cpu, ClockSettingsFor(d));
        switch (pinned.state) {
        case PinnedClockState::Measured: break;
        case PinnedClockState::NotPinned: throw Failure(kExitFailure, NotPinnedText(d.cpu));
        case PinnedClockState::Moved: throw Failure(kExitFailure, MovedText(d.cpu, "measurement"));
        }
        d.measured_clock = pinned.clock;
    }
}

// The details of every processor recorded, or of the one `shown` of them told as all of them tell
// it (who shares its caches, the counts).
std::string DescribeDetails(const std::vector<DumpProcessor>& dumps, const std::vector<unsigned>& numbers,
                            const Options& o, Platform* live, std::optional<size_t> shown) {
    std::vector<ProcessorDetails> details = GetRecordedDetails(dumps, numbers, live);
    if (o.measure && live != nullptr) MeasureClocks(*live, details);
    if (shown)
        return o.format == OutputFormat::Json ? DetailsJson(details, *shown) : DetailsText(details, *shown);
    return o.format == OutputFormat::Json ? DetailsJson(details) : DetailsText(details);
}

// The details, the dump, or the report of the chosen processors: `dumps[i]` is processor
// `numbers[i]` (0-based, as the operating system or the dump's sections count).
// `live`: this machine, whose processors --measure measures.
std::string DescribeAll(const std::vector<DumpProcessor>& dumps, const std::vector<unsigned>& numbers,
                        const Options& o, Platform* live = nullptr) {
    if (o.details) return DescribeDetails(dumps, numbers, o, live, std::nullopt);
    if (o.format == OutputFormat::CpuidRaw) return FormatCpuidRaw(dumps, numbers);
    if (o.format == OutputFormat::Libcpuid) return FormatLibcpuid(dumps);
    ReplayPlatform platform;
    const ReplaySource source(dumps.at(0));
    return Describe(Probe{source, platform}, o);
}

// The replay's file as messages name it: "-" on the command line is standard input.
std::string ReplayName(const std::string& file) { return file == "-" ? "stdin" : file; }

std::vector<DumpProcessor> ReadReplay(const std::string& file) {
    if (file == "-") return ReadDumpDescriptor(STDIN_FILENO, ReplayName(file));
    return ReadDumpFile(file);
}

// The processors recorded in the dump: the one --cpu names, or all of them.
std::string FromDump(const Options& o) {
    std::vector<DumpProcessor> cpus;
    try {
        cpus = ReadReplay(*o.replay);
    } catch (const DumpError& e) {
        throw Failure(kExitUsage, e.what());
    }
    std::vector<unsigned> numbers;
    if (o.cpu) {
        if (*o.cpu > cpus.size()) {
            throw Failure(kExitUsage, ReplayName(*o.replay) + " holds " + std::to_string(cpus.size())
                                          + (cpus.size() == 1 ? " processor" : " processors"));
        }
        const ProcessorNumber section = ProcessorNumber::FromCounted(*o.cpu);
        if (o.details) {  // the dump is read whole: the rest of it tells who shares what
            for (unsigned k = 0; k < cpus.size(); ++k) numbers.push_back(k);
            return DescribeDetails(cpus, numbers, o, nullptr, section.os());
        }
        numbers = {section.os()};
        cpus = {std::move(cpus[section.os()])};
    } else if (o.all_cpus || o.DumpFormat()) {
        for (unsigned k = 0; k < cpus.size(); ++k) numbers.push_back(k);
    } else if (o.details) {
        for (unsigned k = 0; k < cpus.size(); ++k) numbers.push_back(k);
        return DescribeDetails(cpus, numbers, o, nullptr, 0);
    } else {
        numbers = {0};
        cpus.resize(1);
    }
    return DescribeAll(cpus, numbers, o);
}

// The processors this process was started on (`taskset`, a cpuset); every configured one when the
// system will not say (`said` false).
std::vector<unsigned> AllowedProcessors(const Platform& platform, bool& said) {
    std::vector<unsigned> allowed = platform.ThreadAffinity();
    said = !allowed.empty();
    if (!said)
        for (unsigned k = 0; k < platform.ProcessorCount(); ++k) allowed.push_back(k);
    return allowed;
}

// The processor --cpu names on this machine; one that does not exist or lies outside the allowed set
// is refused. Widening that set is possible but would override the user's own restriction.
unsigned NamedProcessor(const Platform& platform, const Options& o) {
    bool said = false;
    const std::vector<unsigned> allowed = AllowedProcessors(platform, said);
    const unsigned count = platform.ProcessorCount();
    if (*o.cpu > count) {
        throw Failure(kExitFailure, "there is no processor " + o.cpu_text + " (this machine has "
                                        + std::to_string(count) + ")");
    }
    const unsigned k = ProcessorNumber::FromCounted(*o.cpu).os();
    if (said && std::find(allowed.begin(), allowed.end(), k) == allowed.end()) {
        throw Failure(kExitFailure, "cannot run on processor " + o.cpu_text
                                        + ": this process may run only on processor(s) "
                                        + ProcessorList(OsProcessors(allowed)));
    }
    return k;
}

// This machine's processors: the one --cpu names, or those this process was started on.
std::string FromMachine(const Options& o) {
    LinuxPlatform platform;
    bool said = false;
    std::vector<unsigned> chosen;
    if (o.cpu) {
        chosen = {NamedProcessor(platform, o)};
    } else if (o.all_cpus || o.DumpFormat()) {
        chosen = AllowedProcessors(platform, said);
    } else {
        chosen = {AllowedProcessors(platform, said).front()};
    }

    const HardwareSource source;
    if (!o.details && !o.DumpFormat()) {
        if (!platform.SetThreadAffinity(chosen))
            throw Failure(kExitFailure, NotPinnedText(ProcessorNumber(chosen[0])));
        return Describe(Probe{source, platform}, o);
    }
    std::vector<DumpProcessor> dumps;
    std::vector<unsigned> numbers;
    for (ProcessorCapture& c : CaptureProcessors(platform, source, chosen)) {
        if (c.status != CaptureStatus::Captured) throw Failure(kExitFailure, CaptureStatusText(c));
        dumps.push_back(std::move(c.dump));
        numbers.push_back(c.processor.os());
    }
    return DescribeAll(dumps, numbers, o, &platform);
}

// What a run prints, and its exit status when the output is written.
struct Output {
    std::string text;
    int status = kExitOk;
};

// One processor of each input of --compare or --baseline: the one --cpu names, else the first. This
// machine's ("live") is captured once, however often it is named.
class Inputs {
public:
    explicit Inputs(const Options& o) : o_(o) {}

    // The processor of input `index` of `count` and its number (the dump's section, or this machine's
    // processor). An input that cannot be read is named with its place among the inputs.
    DumpProcessor Load(const std::string& input, size_t index, size_t count, unsigned& number) {
        const std::string place =
            " (input " + std::to_string(index + 1) + " of " + std::to_string(count) + ")";
        if (input == "live") return Live(number);
        std::vector<DumpProcessor> cpus;
        try {
            cpus = ReadReplay(input);
        } catch (const DumpError& e) {
            throw Failure(kExitUsage, e.what() + place);
        }
        const uint64_t n = o_.cpu.value_or(1);
        if (n > cpus.size()) {
            throw Failure(kExitUsage, ReplayName(input) + " holds " + std::to_string(cpus.size())
                                          + (cpus.size() == 1 ? " processor" : " processors") + place);
        }
        number = ProcessorNumber::FromCounted(n).os();
        return std::move(cpus[number]);
    }

    // How outputs name the input.
    static std::string Name(const std::string& input) { return ReplayName(input); }

private:
    DumpProcessor Live(unsigned& number) {
        if (!live_) {
            LinuxPlatform platform;
            bool said = false;
            const unsigned k =
                o_.cpu ? NamedProcessor(platform, o_) : AllowedProcessors(platform, said).front();
            const HardwareSource source;
            std::vector<ProcessorCapture> captured = CaptureProcessors(platform, source, {k});
            if (captured.at(0).status != CaptureStatus::Captured)
                throw Failure(kExitFailure, CaptureStatusText(captured[0]));
            live_ = std::move(captured[0].dump);
            live_number_ = k;
        }
        number = live_number_;
        return *live_;
    }

    const Options& o_;
    std::optional<DumpProcessor> live_;
    unsigned live_number_ = 0;
};

// --compare: status 1 when the processors differ, as diff and cmp say it.
Output Compare(const Options& o) {
    Inputs inputs(o);
    std::vector<ProcessorDetails> records;
    for (size_t i = 0; i < 2; ++i) {
        unsigned number = 0;
        const DumpProcessor cpu = inputs.Load(o.compare[i], i, 2, number);
        records.push_back(GetRecordedDetails({cpu}, {number}).at(0));
    }
    const ComparedProcessor a{Inputs::Name(o.compare[0]), &records[0]};
    const ComparedProcessor b{Inputs::Name(o.compare[1]), &records[1]};
    const ProcessorComparison c = CompareProcessors(records[0], records[1]);
    return {o.format == OutputFormat::Json ? CompareJson(a, b, c) : CompareText(a, b, c),
            c.Same() ? kExitOk : kExitFailure};
}

// --baseline: each machine cut down to what the fleet needs as it is read, so that ten thousand
// dumps take no more memory than their records.
Output BaselineOf(const Options& o) {
    Inputs inputs(o);
    std::vector<FleetMember> members;
    std::vector<std::string> names;
    members.reserve(o.inputs.size());
    for (size_t i = 0; i < o.inputs.size(); ++i) {
        unsigned number = 0;
        const DumpProcessor cpu = inputs.Load(o.inputs[i], i, o.inputs.size(), number);
        const ReplaySource source(cpu);
        ReplayPlatform platform;
        members.push_back(FleetMemberOf(Probe{source, platform}));
        names.push_back(Inputs::Name(o.inputs[i]));
    }
    const FleetBaseline fleet = Baseline(members);
    // The same flags in both forms, so GCC is asked for the JSON too.
    const GccFlags flags = SuggestGccFlags(fleet, o.gcc);
    return {o.format == OutputFormat::Json ? BaselineJson(fleet, names, flags)
                                           : BaselineText(fleet, names, flags)};
}

// All of `text`, or false (a full disk, a closed pipe): reported rather than lost at exit.
bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

int Write(std::string_view text, int out, int err) {
    if (!WriteAll(out, text)) {
        WriteAll(err, "talvex-report: cannot write the output\n");
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

int Run(int argc, const char* const* argv, int out, int err) {
    Options o;
    try {
        o = ParseOptions(argc, argv);
    } catch (const UsageError& e) {
        WriteAll(err, "talvex-report: " + std::string(e.what()) + "\nTry 'talvex-report --help'.\n");
        return kExitUsage;
    }
    if (o.help || o.version) return Write(o.help ? HelpText() : VersionLine(), out, err);

    Output output;
    try {
        if (!o.compare.empty())
            output = Compare(o);
        else if (o.baseline)
            output = BaselineOf(o);
        else
            output.text = o.replay ? FromDump(o) : FromMachine(o);
    } catch (const Failure& e) {
        WriteAll(err, "talvex-report: " + std::string(e.what()) + "\n");
        return e.status();
    } catch (const std::exception& e) {
        WriteAll(err, "talvex-report: " + std::string(e.what()) + "\n");
        return kExitFailure;
    }
    const int written = Write(output.text, out, err);
    return written != kExitOk ? written : output.status;
}

}  // namespace talvex::cli
