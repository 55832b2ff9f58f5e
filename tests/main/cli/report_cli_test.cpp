#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "main/cli/cli.h"
#include "main/cli/cli_support.h"
#include "main/report/report.h"
#include "support/dumps.h"

namespace talvex {
namespace {

using namespace testing;  // talvex::testing: the runner and the dumps

const std::string kData = std::string(TALVEX_TESTS_DIR) + "/main/cli/data";

// The report of one dump section as BuildReport writes it ("\r\n" line ends).
std::string ReportOf(const DumpProcessor& cpu) {
    std::string out;
    BuildReport(Replayed(cpu).probe, out, ".");
    return out;
}

std::string ReportOfText(const std::string& text, size_t section = 0) {
    std::istringstream in(text);
    return ReportOf(ReadDump(in, "report").at(section));
}

std::string WithoutFirstLine(const std::string& s) { return s.substr(s.find('\n') + 1); }

// What a report records of a processor: sub-leaf 0 of each leaf. The name and cache lines of a
// processor that needs leaf 4's or 0x8000001D's further sub-leaves come back as sub-leaf 0 alone
// gives them.
DumpProcessor SubLeafZero(DumpProcessor cpu) {
    std::erase_if(cpu.leaves, [](const DumpLeaf& leaf) { return leaf.subleaf != 0; });
    return cpu;
}

// Both families of raw files (libcpuid arrays, InstLatx64 listings) describe the same processor
// as their normalized twins; and a report, with either line end, replays to the report of what it
// records.
TEST(ReportCli, RawDumpsTwinsAndReportsReplayToTheSameReport) {
    const auto names = DumpNames();
    size_t libcpuid = 0;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string raw = Slurp(kDumps + "/" + name);
        libcpuid += raw.starts_with("basic_cpuid[0]=");
        const std::string report = ReportOf(ReadDumpFile(kDumps + "/" + name).front());
        EXPECT_EQ(report, ReportOf(Normalized(name)));
        const std::string recorded = ReportOf(SubLeafZero(Normalized(name)));
        EXPECT_EQ(ReportOfText(report), recorded);
        std::string lf;
        AppendTerminalText(lf, report);
        EXPECT_EQ(ReportOfText(lf), recorded);
    }
    EXPECT_EQ(libcpuid, 12u);
}

TEST(ReportCli, ProgramOutputReplaysToTheSameOutput) {
    TempDir dir;
    for (const char* name :
         {"intel-core-i7-920-bloomfield.txt", "amd-ryzen-9-9950x-granite-ridge.txt", "via-c3-nehemiah.txt"}) {
        SCOPED_TRACE(name);
        const Result first = Exec({"--replay", kDumps + "/" + name});
        ASSERT_EQ(first.status, 0) << first.err;
        EXPECT_TRUE(IsValidUtf8(first.out));
        EXPECT_EQ(first.out.find('\r'), std::string::npos);
        Spill(dir / "first.txt", first.out);
        const Result second = Exec({"--replay", (dir / "first.txt").string()});
        ASSERT_EQ(second.status, 0) << second.err;
        // The registers come back as they were; the output of a report replays to itself.
        const std::string_view registers = "***CPUID Register Data***";
        EXPECT_EQ(second.out.substr(second.out.find(registers)), first.out.substr(first.out.find(registers)));
        Spill(dir / "second.txt", second.out);
        const Result third = Exec({"--replay", (dir / "second.txt").string()});
        EXPECT_EQ(WithoutFirstLine(third.out), WithoutFirstLine(second.out));
        const Result piped = Exec({"--replay", "-"}, second.out);
        EXPECT_EQ(WithoutFirstLine(piped.out), WithoutFirstLine(second.out));
        EXPECT_THAT(first.out, ::testing::StartsWith("***"));
        EXPECT_THAT(first.out, ::testing::HasSubstr("***\nCPU Name: "));
        EXPECT_THAT(first.out, ::testing::HasSubstr("\nClock: .000MHz\n"));
    }
}

// Written by hand from the Pentium 4 640 dump: report text around it, mixed case, TAB and blank
// separators, [SL xx] markers, annotations, MSR lines, two processors.
TEST(ReportCli, HandWrittenListingMatchesTheRealDump) {
    const auto sample = ReadDumpFile(kData + "/everest-pentium-4-640-two-cpus.txt");
    const auto shared = ReadDumpFile(kDumps + "/intel-pentium-4-640-prescott-2m.txt");
    ASSERT_EQ(sample.size(), 2u);
    ASSERT_EQ(shared.size(), 2u);
    for (size_t i = 0; i < 2; ++i)
        EXPECT_EQ(ReportOf(sample[i]), ReportOf(shared[i])) << "processor " << i + 1;
    const std::string second = ReportOf(sample[1]);
    EXPECT_THAT(second, ::testing::HasSubstr("APIC ID : 01\r\n"));
    EXPECT_THAT(second, ::testing::HasSubstr("80000008h\r\nEAX: 00003024\r\n"));

    const Result cpu2 = Exec({"--replay", kData + "/everest-pentium-4-640-two-cpus.txt", "--cpu", "2"});
    ASSERT_EQ(cpu2.status, 0) << cpu2.err;
    EXPECT_THAT(cpu2.out, ::testing::HasSubstr("\nAPIC ID : 01\n"));
}

TEST(ReportCli, BadInputAndUsageSayWhereAndExitTwo) {
    TempDir dir;
    const std::string leaf0 = "CPUID 00000000: 00000001-756E6547-6C65746E-49656E69\n";
    struct Case {
        const char* what;
        std::string content;  // written to the file "d.txt"
        std::vector<std::string> args;
        std::string message;  // start of stderr after "talvex-report: "
    } cases[] = {
        {"not a dump", "Hello\nworld\n", {}, "d.txt:1: not a CPUID dump"},
        {"malformed line",
         leaf0 + "CPUID 00000001: 00000001-00000000\n",
         {},
         "d.txt:2: malformed CPUID line"},
        {"register not 8 hex digits",
         "CPU 0:\n   0x00000000 0x00: eax=0x0001 ebx=0x00000000 "
         "ecx=0x00000000 edx=0x00000000\n",
         {},
         "d.txt:2: not a line"},
        {"duplicate leaf, other values",
         leaf0
             + "CPUID 00000001: 00000001-00000000-00000000-00000000 [SL 00]\n"
               "CPUID 00000001: 00000002-00000000-00000000-00000000 [SL 00]\n",
         {},
         "d.txt:3: leaf 00000001 sub-leaf 0 repeated with different values"},
        {"section that does not exist",
         leaf0,
         {"--cpu", "3"},
         "d.txt: no processor 3; the dump holds 1 processor"},
        {"empty file", "", {}, "d.txt:1: empty file"},
        {"line too long", leaf0 + std::string(100000, 'x') + "\n", {}, "d.txt:2: line longer than"},
        {"missing file",
         "",
         {"--replay", "/nonexistent/d.txt"},
         "/nonexistent/d.txt: No such file or directory"},
        {"unknown option", "", {"--colour"}, "unknown argument '--colour'"},
        {"processor 0", leaf0, {"--cpu", "0"}, "--cpu needs a number from 1 up"},
        {"processor not a number", leaf0, {"--cpu", "two"}, "--cpu needs a number from 1 up"},
        {"unknown format", leaf0, {"--format", "xml"}, "unknown format 'xml'"},
        {"value missing", "", {"--replay"}, "--replay needs a value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Spill(dir / "d.txt", c.content);
        std::vector<std::string> args = c.args;
        if (std::find(args.begin(), args.end(), "--replay") == args.end()) {
            args.insert(args.begin(), {"--replay", (dir / "d.txt").string()});
        }
        const Result r = Exec(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        const std::string err = r.err.substr(0, r.err.find('\n'));
        EXPECT_THAT(err, ::testing::HasSubstr(c.message)) << r.err;
        if (c.message.starts_with("d.txt")) {
            EXPECT_THAT(err, ::testing::HasSubstr((dir / c.message).string()));
        }
    }
}

TEST(ReportCli, ProcessorAndDumpBytesCannotDriveTheTerminal) {
    // Vendor "Gen\x1b[2Jne\x7f" + 0xE9, brand with a bell, a bare line feed and 0xFF.
    const std::string dump =
        "CPU 0:\n"
        "   0x00000000 0x00: eax=0x00000001 ebx=0x1b6e6547 ecx=0x00e97f65 edx=0x6e4a325b\n"
        "   0x00000001 0x00: eax=0x00000f43 ebx=0x00000000 ecx=0x00000000 edx=0x00000000\n"
        "   0x80000000 0x00: eax=0x80000004 ebx=0x00000000 ecx=0x00000000 edx=0x00000000\n"
        "   0x80000002 0x00: eax=0x0a074142 ebx=0x000000ff ecx=0x00000000 edx=0x00000000\n";
    const Result r = Exec({"--replay", "-"}, dump);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(IsValidUtf8(r.out));
    EXPECT_THAT(r.out, ::testing::HasSubstr("\nVendorID: Gen\\x1B[2Jne\\x7F\xC3\xA9\n"));
    for (unsigned char c : r.out) EXPECT_TRUE(c >= 0x20 || c == '\n') << int{c};
}

TEST(ReportCli, TextAndJsonEscapes) {
    struct Case {
        std::string bytes, terminal, json;
    } cases[] = {
        {"plain", "plain", "\"plain\""},
        {"a\r\nb", "a\nb", "\"a\\u000D\\u000Ab\""},
        {"bare\nlf", "bare\\x0Alf", "\"bare\\u000Alf\""},
        {std::string("\x1b[0m\x7f", 5), "\\x1B[0m\\x7F", "\"\\u001B[0m\\u007F\""},
        {std::string("\0", 1), "\\x00", "\"\\u0000\""},
        {"\xe9\xff\x80", "\xC3\xA9\xC3\xBF\xC2\x80", "\"\xC3\xA9\xC3\xBF\xC2\x80\""},
        {"q\"\\", "q\"\\", "\"q\\\"\\\\\""},
    };
    for (const Case& c : cases) {
        std::string t, j;
        AppendTerminalText(t, c.bytes);
        AppendJsonString(j, c.bytes);
        EXPECT_EQ(t, c.terminal);
        EXPECT_EQ(j, c.json);
        EXPECT_TRUE(IsValidUtf8(t));
    }
}

TEST(ReportCli, TimeStampLeavesTheTimeOutAtMidnight) {
    struct Case {
        int hour, min, sec;
        const char* line;
    } cases[] = {{0, 0, 0, "***01/31/24***"},
                 {0, 0, 1, "***01/31/24 00:00:01***"},
                 {23, 59, 59, "***01/31/24 23:59:59***"},
                 {12, 0, 0, "***01/31/24 12:00:00***"}};
    for (const Case& c : cases) {
        std::tm t{};
        t.tm_year = 124, t.tm_mon = 0, t.tm_mday = 31, t.tm_hour = c.hour, t.tm_min = c.min, t.tm_sec = c.sec;
        EXPECT_EQ(TimeStampLine(t), c.line);  // the C locale: %x is mm/dd/yy
        // C.UTF-8 is not loaded, and a locale that does not exist falls back to C.
        for (const char* name : {"C.UTF-8", "xx_YY.UTF-8"}) {
            setenv("LC_ALL", name, 1);
            const EnvironmentLocale env;
            EXPECT_EQ(env.TimeStampLine(t), c.line) << name;
            EXPECT_EQ(env.DecimalSeparator(), ".") << name;
            unsetenv("LC_ALL");
        }
    }
}

TEST(ReportCli, HelpAndVersion) {
    const Result v = Exec({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "talvex-report 0.3.11.63\n");
    const Result h = Exec({"--help"});
    EXPECT_EQ(h.status, 0);
    EXPECT_THAT(h.out, ::testing::HasSubstr("--replay FILE"));
    // Output that cannot be written is a runtime failure, not a silent success.
    for (const std::string& args : {std::string("--version"), "--replay " + kDumps + "/via-c3-samuel.txt"}) {
        const std::string cmd = std::string(TALVEX_REPORT_EXE) + " " + args + " >/dev/full 2>/dev/null";
        const int raw = std::system(cmd.c_str());
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << args;
    }
}

std::string ApicLine(const std::string& report) {
    const size_t at = report.find("\nAPIC ID : ");
    return at == std::string::npos ? "" : report.substr(at + 1, report.find('\n', at + 1) - at - 1);
}

// Every section of a dump through the converter and back: cpuid -r holds every leaf, so the details
// of all processors survive; libcpuid's arrays hold fewer leaves, but every processor. --cpu N picks
// one of them.
TEST(ReportCli, ConvertedDumpsKeepEveryProcessor) {
    const std::string file = kDumps + "/intel-core-i9-12900k-alder-lake.txt";
    const Result original = Exec({"--replay", file, "--details", "--format", "json", "--cpu", "all"});
    ASSERT_EQ(original.status, 0) << original.err;
    const auto processors = [](const std::string& json) {
        size_t n = 0;
        for (size_t at = json.find("\"cpu\": "); at != std::string::npos; at = json.find("\"cpu\": ", at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(processors(original.out), 24u);
    for (const char* format : {"cpuid-r", "libcpuid"}) {
        SCOPED_TRACE(format);
        const Result converted = Exec({"--replay", file, "--format", format});
        ASSERT_EQ(converted.status, 0) << converted.err;
        const Result again =
            Exec({"--replay", "-", "--details", "--format", "json", "--cpu", "all"}, converted.out);
        ASSERT_EQ(again.status, 0) << again.err;
        EXPECT_EQ(processors(again.out), 24u);
        if (std::string(format) == "cpuid-r") {
            EXPECT_TRUE(again.out == original.out);
        }
    }
    const Result one = Exec({"--replay", file, "--details", "--format", "json", "--cpu", "17"});
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_THAT(one.out, ::testing::HasSubstr("\"cpu\": 17,"));
    EXPECT_THAT(one.out, ::testing::HasSubstr("\"coreType\": \"efficiency\""));
}

// On this machine: two processors this process may run on are two logical processors, and the one
// past the last processor is refused.
TEST(ReportCli, LiveProcessorSelection) {
    const std::string past = std::to_string(sysconf(_SC_NPROCESSORS_CONF) + 1);
    const Result missing = Exec({"--cpu", past});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_THAT(missing.err, ::testing::HasSubstr("no processor " + past));

    const std::vector<unsigned> allowed = testing::AllowedProcessors();
    if (allowed.size() < 2) GTEST_SKIP() << "needs two processors this process may run on";
    const Result one = Exec({"--cpu", std::to_string(allowed[0] + 1)});
    const Result two = Exec({"--cpu", std::to_string(allowed[1] + 1)});
    ASSERT_EQ(one.status, 0) << one.err;
    ASSERT_EQ(two.status, 0) << two.err;
    ASSERT_NE(ApicLine(one.out), "");
    EXPECT_NE(ApicLine(one.out), ApicLine(two.out));
    EXPECT_THAT(one.out, ::testing::MatchesRegex("(.|\n)*\nClock: [0-9]+[.,][0-9]{3}MHz\n(.|\n)*"));
}

// The details of one processor of this machine count every processor this process may run on, as
// --cpu all does: the packages, cores and threads do not depend on which one is shown.
TEST(ReportCli, LiveDetailsOfOneProcessorCountEveryProcessor) {
    const std::vector<unsigned> allowed = testing::AllowedProcessors();
    if (allowed.size() < 2) GTEST_SKIP() << "needs two processors this process may run on";
    const auto counts = [](const std::string& json) {
        const size_t from = json.find("\"counts\": ");
        return from == std::string::npos ? std::string()
                                         : json.substr(from, json.find("\"cacheInstances", from) - from);
    };
    const Result all = Exec({"--details", "--cpu", "all", "--format", "json"});
    ASSERT_EQ(all.status, 0) << all.err;
    ASSERT_NE(counts(all.out), "");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--details", "--format", "json"},
          {"--details", "--format", "json", "--cpu", std::to_string(allowed[1] + 1)}}) {
        const Result one = Exec(args);
        ASSERT_EQ(one.status, 0) << one.err;
        EXPECT_EQ(counts(one.out), counts(all.out)) << args.back();
    }
}

// --measure adds the clock of every processor chosen, as a line, a column or a JSON number; without
// it the details say nothing of a measured clock.
TEST(ReportCli, MeasuredClockOnlyWhenAsked) {
    const auto count = [](const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    };
    const Result one = Exec({"--details", "--measure"});
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_THAT(one.out,
                ::testing::MatchesRegex("(.|\n)*\n  Measured clock       ([0-9]+ MHz(, noisy)?|noisy)"
                                        "( \\(time stamp counter [0-9]+ MHz(, invariant)?\\))?\n(.|\n)*"));
    const Result all = Exec({"--details", "--measure", "--cpu", "all", "--format", "json"});
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(count(all.out, "\"measuredClockMHz\": "), count(all.out, "\"cpu\": "));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--details"}, {"--details", "--cpu", "all", "--format", "json"}}) {
        const Result plain = Exec(args);
        ASSERT_EQ(plain.status, 0) << plain.err;
        EXPECT_EQ(count(plain.out, "easured"), 0u);
    }
}

}  // namespace
}  // namespace talvex
