// The program's course: options, choosing the processors (pinning to them, or reading the dump),
// building the whole output, writing it. Nothing reaches standard output before the output is
// complete, so a failure leaves it empty.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <vector>

#include "main/cli/cli.h"
#include "main/report/details_cells.h"
#include "main/report/details_json.h"
#include "main/report/details_text.h"
#include "main/report/fleet_json.h"
#include "main/report/fleet_text.h"
#include "main/report/leaves_output.h"
#include "main/report/report.h"
#include "probe/clock/clock.h"
#include "probe/clock/core_clock.h"
#include "probe/details/capture.h"
#include "probe/details/details.h"
#include "probe/dump/dump.h"
#include "probe/dump/dump_write.h"
#include "probe/fleet/fleet.h"
#include "probe/fleet/gcc_flags.h"
#include "probe/platform/pinning.h"
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

// The record's clock, measured pinned to its processor.
void MeasureClock(Platform& platform, ProcessorDetails& d) {
    const PinnedCoreClock pinned = MeasureCoreClockOn(platform, d.cpu, ClockSettingsFor(d));
    if (pinned.status != PinStatus::Stayed)
        throw Failure(kExitFailure, PinStatusText(pinned.status, d.cpu, "measurement"));
    d.measured_clock = pinned.clock;
}

// The details of every processor recorded, or of the one `shown` of them told as all of them tell
// it (who shares its caches, the counts); only the processors shown have their clocks measured.
std::string DescribeDetails(const std::vector<DumpProcessor>& dumps, const std::vector<unsigned>& numbers,
                            const Options& o, Platform* live, std::optional<size_t> shown) {
    std::vector<ProcessorDetails> details = GetRecordedDetails(dumps, numbers, live);
    if (o.measure && live != nullptr) {
        if (shown)
            MeasureClock(*live, details.at(*shown));
        else
            for (ProcessorDetails& d : details) MeasureClock(*live, d);
    }
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
    if (o.leaves) {
        return o.format == OutputFormat::Json ? LeavesJson(dumps, numbers) : LeavesText(dumps, numbers);
    }
    if (o.format == OutputFormat::CpuidRaw) return FormatCpuidRaw(dumps, numbers);
    if (o.format == OutputFormat::Libcpuid) return FormatLibcpuid(dumps);
    ReplayPlatform platform;
    const DumpProcessor& cpu = dumps.at(0);
    const ReplaySource source(cpu);
    return Describe(Probe{source, platform, cpu.reported ? &*cpu.reported : nullptr}, o);
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
    size_t section = 0;
    try {
        cpus = ReadReplay(*o.replay);
        if (o.cpu) section = SectionOf(cpus.size(), *o.cpu, ReplayName(*o.replay));
    } catch (const DumpError& e) {
        throw Failure(kExitUsage, e.what());
    }
    std::vector<unsigned> numbers;
    if (o.cpu) {
        if (o.details) {  // the dump is read whole: the rest of it tells who shares what
            for (unsigned k = 0; k < cpus.size(); ++k) numbers.push_back(k);
            return DescribeDetails(cpus, numbers, o, nullptr, section);
        }
        numbers = {static_cast<unsigned>(section)};
        cpus = {std::move(cpus[section])};
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

// The processor --cpu names on this machine; one that does not exist or lies outside the set this
// process was started on is refused.
unsigned NamedProcessor(const Platform& platform, const Options& o) {
    const unsigned count = platform.ProcessorCount();
    const std::optional<ProcessorNumber> k = ProcessorNumber::FromCounted(*o.cpu);
    if (!k || k->os() >= count) {
        throw Failure(kExitFailure, "there is no processor " + o.cpu_text + " (this machine has "
                                        + std::to_string(count) + ")");
    }
    const AllowedProcessors allowed(platform);
    if (!allowed.Allows(*k)) throw Failure(kExitFailure, allowed.RefusalText(*k));
    return k->os();
}

// The details of one processor of this machine, `shown`, told as every processor this process may run
// on tells it: each is captured (an APIC ID is a leaf, a sharing a cache leaf), and one that cannot be
// pinned to is left out, so the counts say that not every processor was examined.
std::string MachineDetails(LinuxPlatform& platform, const HardwareSource& source, unsigned shown,
                           const Options& o) {
    std::vector<DumpProcessor> dumps;
    std::vector<unsigned> numbers;
    std::optional<size_t> index;
    for (ProcessorCapture& c : CaptureProcessors(platform, source, AllowedProcessors(platform).Numbers())) {
        if (c.status != PinStatus::Stayed) {
            if (c.processor.os() == shown)
                throw Failure(kExitFailure, PinStatusText(c.status, c.processor, "capture"));
            continue;
        }
        if (c.processor.os() == shown) index = dumps.size();
        dumps.push_back(std::move(c.dump));
        numbers.push_back(c.processor.os());
    }
    if (!index)
        throw Failure(kExitFailure, PinStatusText(PinStatus::NotPinned, ProcessorNumber(shown), "capture"));
    return DescribeDetails(dumps, numbers, o, &platform, index);
}

// This machine's processors: the one --cpu names, or those this process was started on.
std::string FromMachine(const Options& o) {
    LinuxPlatform platform;
    std::vector<unsigned> chosen;
    if (o.cpu) {
        chosen = {NamedProcessor(platform, o)};
    } else if (o.all_cpus || o.DumpFormat()) {
        chosen = AllowedProcessors(platform).Numbers();
    } else {
        chosen = {AllowedProcessors(platform).Numbers().front()};
    }

    const HardwareSource source;
    if (o.details && !o.all_cpus) return MachineDetails(platform, source, chosen.front(), o);
    if (!o.details && !o.leaves && !o.DumpFormat()) {
        const ProcessorNumber processor(chosen[0]);
        std::string text;
        const PinStatus pinned = RunPinned(platform, processor, [&] {
            text = Describe(Probe{source, platform}, o);
        });
        if (pinned != PinStatus::Stayed)
            throw Failure(kExitFailure, PinStatusText(pinned, processor, "report"));
        return text;
    }
    std::vector<DumpProcessor> dumps;
    std::vector<unsigned> numbers;
    for (ProcessorCapture& c : CaptureProcessors(platform, source, chosen)) {
        if (c.status != PinStatus::Stayed)
            throw Failure(kExitFailure, PinStatusText(c.status, c.processor, "capture"));
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

// An input of --compare or --baseline: what to read (a dump file, "-" or "live") and how outputs
// name it.
struct Input {
    std::string path;
    std::string name;
};

// The inputs as given, each folder replaced by the dump files in it, named by their file names, in
// bytewise order of name. A dump file is a regular file (or a link to one) whose name does not start
// with '.'; baseline.txt, baseline.json and compare-*.txt are left out too, since the Ansible playbook
// (contrib/ansible/fleet.yml) writes them beside the dumps it gathers.
std::vector<Input> ExpandFolders(const std::vector<std::string>& given) {
    std::vector<Input> inputs;
    for (size_t i = 0; i < given.size(); ++i) {
        const std::string& input = given[i];
        std::error_code ec;
        if (input == "-" || input == "live" || !std::filesystem::is_directory(input, ec)) {
            inputs.push_back({input, ReplayName(input)});
            continue;
        }
        const std::string place =
            " (input " + std::to_string(i + 1) + " of " + std::to_string(given.size()) + ")";
        std::vector<std::string> names;
        std::filesystem::directory_iterator entries(input, ec);
        for (; !ec && entries != std::filesystem::directory_iterator(); entries.increment(ec)) {
            const std::string name = entries->path().filename().string();
            const bool output = name == "baseline.txt" || name == "baseline.json"
                                || (name.starts_with("compare-") && name.ends_with(".txt"));
            std::error_code type_ec;
            if (!name.starts_with('.') && !output && entries->is_regular_file(type_ec)) names.push_back(name);
        }
        if (ec) throw Failure(kExitUsage, input + ": " + ec.message() + place);
        if (names.empty()) throw Failure(kExitUsage, input + " holds no dump files" + place);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names)
            inputs.push_back({(std::filesystem::path(input) / name).string(), name});
    }
    return inputs;
}

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
        try {
            // Standard input is read once, and the same processors serve each time it is named.
            if (input == "-" && !stdin_) stdin_ = ReadReplay(input);
            std::vector<DumpProcessor> read = input == "-" ? std::vector<DumpProcessor>() : ReadReplay(input);
            std::vector<DumpProcessor>& cpus = input == "-" ? *stdin_ : read;
            number = static_cast<unsigned>(SectionOf(cpus.size(), o_.cpu.value_or(1), ReplayName(input)));
            return input == "-" ? cpus[number] : std::move(cpus[number]);
        } catch (const DumpError& e) {
            throw Failure(kExitUsage, e.what() + place);
        }
    }

private:
    DumpProcessor Live(unsigned& number) {
        if (!live_) {
            LinuxPlatform platform;
            const unsigned k =
                o_.cpu ? NamedProcessor(platform, o_) : AllowedProcessors(platform).Numbers().front();
            const HardwareSource source;
            std::vector<ProcessorCapture> captured = CaptureProcessors(platform, source, {k});
            const ProcessorCapture& c = captured.at(0);
            if (c.status != PinStatus::Stayed)
                throw Failure(kExitFailure, PinStatusText(c.status, c.processor, "capture"));
            live_ = std::move(captured[0].dump);
            live_number_ = k;
        }
        number = live_number_;
        return *live_;
    }

    const Options& o_;
    std::optional<DumpProcessor> live_;
    unsigned live_number_ = 0;
    std::optional<std::vector<DumpProcessor>> stdin_;
};

// --compare: status 1 when the processors differ, as diff and cmp say it.
Output Compare(const Options& o) {
    const std::vector<Input> given = ExpandFolders(o.compare);
    if (given.size() != 2) {
        throw Failure(kExitUsage, "--compare takes two inputs, not " + std::to_string(given.size())
                                      + " (a folder stands for every dump file in it)");
    }
    Inputs inputs(o);
    std::vector<ProcessorDetails> records;
    for (size_t i = 0; i < 2; ++i) {
        unsigned number = 0;
        const DumpProcessor cpu = inputs.Load(given[i].path, i, 2, number);
        records.push_back(GetRecordedDetails({cpu}, {number}).at(0));
    }
    const ComparedProcessor a{given[0].name, &records[0]};
    const ComparedProcessor b{given[1].name, &records[1]};
    const ProcessorComparison c = CompareProcessors(records[0], records[1]);
    return {o.format == OutputFormat::Json ? CompareJson(a, b, c) : CompareText(a, b, c),
            c.Same() ? kExitOk : kExitFailure};
}

// --baseline: each machine cut down to what the fleet needs as it is read, so that ten thousand
// dumps take no more memory than their records.
Output BaselineOf(const Options& o) {
    const std::vector<Input> given = ExpandFolders(o.inputs);
    Inputs inputs(o);
    std::vector<FleetMember> members;
    std::vector<std::string> names;
    members.reserve(given.size());
    for (size_t i = 0; i < given.size(); ++i) {
        unsigned number = 0;
        const DumpProcessor cpu = inputs.Load(given[i].path, i, given.size(), number);
        const ReplaySource source(cpu);
        ReplayPlatform platform;
        members.push_back(FleetMemberOf(Probe{source, platform, cpu.reported ? &*cpu.reported : nullptr}));
        names.push_back(given[i].name);
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
