// The details as text and JSON: JSON that a real parser reads back with the documented keys for
// every dump, processor text that cannot reach the terminal raw, and the per-processor table of a
// hybrid processor.
#include "main/report/details_cells.h"
#include "main/report/details_json.h"
#include "main/report/details_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "main/report/json_writer.h"
#include "main/report/output_text.h"
#include "main/report/report.h"
#include "probe/details/instruction_sets.h"
#include "support/dumps.h"
#include "support/fakes.h"
#include "support/files.h"

namespace talvex {
namespace {

using namespace testing;  // talvex::testing: the dumps, the fakes and the temporary files
using ::testing::HasSubstr;

// Every processor of a dump, as talvex-report --cpu all reads them.
std::vector<ProcessorDetails> AllOf(const std::string& raw_file) {
    const auto cpus = ReadDumpFile(kDumps + "/" + raw_file);
    std::vector<unsigned> numbers(cpus.size());
    for (unsigned i = 0; i < cpus.size(); ++i) numbers[i] = i;
    return GetRecordedDetails(cpus, numbers);
}

// Real processors at a glance, every processor of each dump read together as --cpu all reads them:
// the instruction sets each is sold with, its packages, cores and threads, who shares the first
// processor's last cache, the process of its die from the makers' data sheets, and what its dump
// lacks. A dump of one section counts nothing and gives CPUID's bound.
TEST(DetailsAtAGlance, RealProcessors) {
    struct Row {
        const char* file;
        const char* instructions;
        const char* counts;
        const char* last_cache_shared;
        const char* process;  // nullptr: the die table gives none
        const char* lacks;    // DumpGapNames, joined by ", "
    } rows[] = {
        {"intel-core-i7-4770-haswell.txt",
         "MMX, SSE, SSE2, SSE3, SSSE3, SSE4.1, SSE4.2, AES, AVX, AVX2, FMA3, x86-64, VT-x",
         "1 package, 4 cores, 8 threads", "[1-8]", "22 nm", ""},
        {"intel-core-i9-12900k-alder-lake.txt",  // AVX-512 fused off; P- and E-cores
         "MMX, SSE, SSE2, SSE3, SSSE3, SSE4.1, SSE4.2, AES, AVX, AVX2, AVX-VNNI, FMA3, SHA, VAES, "
         "VPCLMULQDQ, GFNI, x86-64, VT-x",
         "1 package, 16 cores (8 performance, 8 efficiency), 24 threads", "[1-24]", "Intel 7", ""},
        // 6 P-cores, 8 E-cores and 2 low-power E-cores, the last outside the compute tile's L3
        {"intel-core-ultra-7-155h-meteor-lake.txt",
         "MMX, SSE, SSE2, SSE3, SSSE3, SSE4.1, SSE4.2, AES, AVX, AVX2, AVX-VNNI, FMA3, SHA, VAES, "
         "VPCLMULQDQ, GFNI, x86-64, VT-x",
         "1 package, 16 cores (6 performance, 10 efficiency), 22 threads", "[1-20]", "Intel 4", ""},
        {"intel-core-i7-1165g7-tiger-lake.txt",
         "MMX, SSE, SSE2, SSE3, SSSE3, SSE4.1, SSE4.2, AES, AVX, AVX2, "
         "AVX-512 F/CD/BW/DQ/VL/IFMA/VBMI/VBMI2/VNNI/BITALG/VPOPCNTDQ/VP2INTERSECT, FMA3, SHA, VAES, "
         "VPCLMULQDQ, GFNI, x86-64, VT-x",
         "1 package, 4 cores, 8 threads", "[1-8]", "10 nm SuperFin", ""},
        {"amd-ryzen-7-7700x-raphael.txt",
         "MMX, SSE, SSE2, SSE3, SSSE3, SSE4.1, SSE4.2, SSE4A, AES, AVX, AVX2, "
         "AVX-512 F/CD/BW/DQ/VL/IFMA/VBMI/VBMI2/VNNI/BITALG/VPOPCNTDQ/BF16, FMA3, SHA, VAES, VPCLMULQDQ, "
         "GFNI, "
         "x86-64, AMD-V",
         "1 package, 8 cores, 16 threads", "[1-16]", "5 nm", ""},
        {"amd-fx-8350-vishera.txt",  // AMD counts each integer core of a module; libcpuid keeps no 0xD
         "MMX, SSE, SSE2, SSE3, SSSE3, SSE4.1, SSE4.2, SSE4A, AES, AVX, FMA3, FMA4, XOP, x86-64, AMD-V",
         "1 package, 8 cores, 8 threads", "[1-8]", "32 nm", "leaf 0xD sub-leaves"},
        {"amd-opteron-8220-se-santa-rosa.txt",  // eight sockets of two cores
         "MMX, 3DNow!, 3DNow!+, SSE, SSE2, SSE3, x86-64, AMD-V", "8 packages, 16 cores, 16 threads", "",
         "90 nm", ""},
        {"amd-athlon-xp-2200-thoroughbred.txt", "MMX, 3DNow!, 3DNow!+, SSE",
         "up to 1 core and 1 thread a package (one processor examined)", "", "130 nm", ""},
        {"hygon-c86-7185-dhyana.txt",  // no AES: Hygon leaves it out; one section, sub-leaf 0 alone
         "MMX, SSE, SSE2, SSE3, SSSE3, SSE4.1, SSE4.2, SSE4A, AVX, AVX2, FMA3, x86-64, AMD-V",
         "up to 32 cores and 64 threads a package (one processor examined)", "", nullptr,
         "leaf 0xD sub-leaves, leaf 0x8000001D sub-leaves"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        const std::vector<ProcessorDetails> all = AllOf(row.file);
        const ProcessorDetails& d = all.front();
        const CacheSharing sharing(all);
        std::string instructions;
        for (const std::string& s : InstructionSets(d.features))
            instructions += (instructions.empty() ? "" : ", ") + s;
        EXPECT_EQ(instructions, row.instructions);
        std::string counts;
        for (const DetailsLine& line : DetailsLines(d, SetFacts(all, sharing)))
            if (std::string_view(line.key) == "Counts") counts = line.value;
        EXPECT_EQ(counts, row.counts);
        ASSERT_FALSE(d.caches.empty());
        EXPECT_EQ(SharingText(all, sharing, 0, d.caches.size() - 1), row.last_cache_shared);
        ASSERT_TRUE(d.uarch);
        if (row.process != nullptr) {
            EXPECT_EQ(d.uarch->process, row.process);
        }
        std::string lacks;
        for (const std::string& gap : DumpGapNames(d.dump_lacks)) lacks += (lacks.empty() ? "" : ", ") + gap;
        EXPECT_EQ(lacks, row.lacks);
    }
}

// Parts of real dumps, as `taskset -c 0-3 talvex-report --format cpuid-r` captures them: the counts are
// the machine's only where the capture is known to hold every processor (every one online, or as many
// in each package as CPUID gives a package); otherwise those of the processors examined, beside
// CPUID's bounds for a package, both bounds of one kind. A part cut down from a larger die, dumped
// whole, gives bounds too: its room is not filled.
TEST(DetailsCounts, PartsOfAMachineCountWhatWasExamined) {
    const auto sections = [](const char* file, size_t count) {
        std::vector<DumpProcessor> cpus = ReadDumpFile(kDumps + "/" + file);
        if (count != 0) cpus.resize(count);
        return cpus;
    };
    // The Haswell's leaf 0xB made to give room for 12 logical processors in its package.
    std::vector<DumpProcessor> cut_down = sections("intel-core-i7-4770-haswell.txt", 0);
    for (DumpProcessor& cpu : cut_down)
        for (DumpLeaf& leaf : cpu.leaves)
            if (leaf.leaf == 0xB && leaf.subleaf == 1) leaf.regs.EBX = 12;
    std::vector<DumpProcessor> repeated = sections("intel-core-i9-12900k-alder-lake.txt", 0);
    repeated.push_back(repeated.front());
    const char* const kAlderLake = "intel-core-i9-12900k-alder-lake.txt";
    struct Row {
        const char* what;
        std::vector<DumpProcessor> cpus;
        unsigned online;  // 0: a dump
        const char* counts;
        const char* json;  // a part of the JSON: "counts", "examinedCounts" or "topology"
    } rows[] = {
        {"4 of 24", sections(kAlderLake, 4), 0,
         "4 processors examined: 1 package, 2 cores (2 performance, 0 efficiency), 4 threads; "
         "up to 24 threads a package",
         R"("examinedCounts": {"packages": 1, "cores": 2, "threads": 4, "performanceCores": 2, )"
         R"("efficiencyCores": 0},)"},
        {"16 of 24", sections(kAlderLake, 16), 0,
         "16 processors examined: 1 package, 8 cores (8 performance, 0 efficiency), 16 threads; "
         "up to 24 threads a package",
         R"("examinedCounts": {"packages": 1, "cores": 8, "threads": 16, "performanceCores": 8, )"
         R"("efficiencyCores": 0},)"},
        {"all 24", sections(kAlderLake, 0), 0,
         "1 package, 16 cores (8 performance, 8 efficiency), 24 threads",
         "\"counts\": {\"packages\": 1, \"cores\": 16, \"threads\": 24, \"performanceCores\": 8, "
         "\"efficiencyCores\": 8},\n    \"examinedCounts\": null,"},
        {"all 24 and the first again", repeated, 0,
         "up to 24 threads a package (their APIC IDs do not tell them apart)",
         "\"counts\": null,\n    \"examinedCounts\": null,"},
        {"all 24 captured live, 32 online", sections(kAlderLake, 0), 32,
         "24 processors examined: 1 package, 16 cores (8 performance, 8 efficiency), 24 threads; "
         "up to 24 threads a package",
         R"("counts": null,)"},
        {"all 24 captured live, 24 online", sections(kAlderLake, 0), 24,
         "1 package, 16 cores (8 performance, 8 efficiency), 24 threads", R"("examinedCounts": null,)"},
        {"one captured live, 2 online", sections(kAlderLake, 1), 2,
         "up to 24 threads a package (one processor examined)", R"("examinedCounts": null,)"},
        {"3 of 2 packages of 2 (leaf 1 and leaf 4 rooms)", sections("intel-xeon-nocona-2.80.txt", 3), 0,
         "3 processors examined: 2 packages, 2 cores, 3 threads; up to 1 core and 2 threads a package",
         R"("threads": 3,)"},
        {"one section: cores of the same kind as threads", sections("intel-core-i7-4770-haswell.txt", 1), 0,
         "up to 4 cores and 8 threads a package (one processor examined)", R"("coresPerPackage": 4},)"},
        {"a whole dump whose package has room for more", cut_down, 0,
         "8 processors examined: 1 package, 4 cores, 8 threads; up to 6 cores and 12 threads a package",
         R"("counts": null,)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<unsigned> numbers(row.cpus.size());
        for (unsigned i = 0; i < numbers.size(); ++i) numbers[i] = i;
        FakePlatform os;
        os.processor_count = row.online;
        const std::vector<ProcessorDetails> all =
            GetRecordedDetails(row.cpus, numbers, row.online != 0 ? &os : nullptr);
        std::string counts;
        for (const DetailsLine& line : DetailsLines(all.front(), SetFacts(all, CacheSharing(all))))
            if (std::string_view(line.key) == "Counts") counts = line.value;
        EXPECT_EQ(counts, row.counts);
        EXPECT_THAT(DetailsJson(all, 0), HasSubstr(row.json));
    }
}

// Talvex's own report holds sub-leaf 0 of each leaf and no hypervisor leaves: replayed, the details
// say so once, mark what depends on it, and name it in the JSON.
TEST(DetailsAtAGlance, AnIncompleteDumpSaysWhatItLacks) {
    std::string report;
    BuildReport(Replayed("intel-core-i9-12900k-alder-lake.txt").probe, report, ".");
    std::istringstream in(report);
    const std::vector<ProcessorDetails> one = GetRecordedDetails(ReadDump(in, "report.txt"), {0});
    const std::string text = DetailsText(one);
    EXPECT_THAT(text, HasSubstr("\nIncomplete dump: it lacks the sub-leaves of leaves 4, 7, 0xB/0x1F and 0xD;"
                                " * marks what depends on them\n"));
    // Leaf 2 hands the caches over to leaf 4, of which the report holds the L1 data cache; the report's
    // own lines give the rest, their sizes alone.
    EXPECT_THAT(text, HasSubstr("\nCaches (leaf 4; the report's lines) *\n"));
    EXPECT_THAT(text, HasSubstr("\n  L1     data           48 KB    12    64  [up to 2]\n"
                                "  L1     instruction    32 KB     -     -          -\n"
                                "  L2     unified      1280 KB     -     -          -\n"
                                "  L3     unified        30 MB     -     -          -\n"));
    EXPECT_THAT(text, HasSubstr(" x86-64, VT-x *\n"));  // AVX-VNNI is in leaf 7's sub-leaf 1
    EXPECT_THAT(text, HasSubstr("\n  Logical per package  up to 2 *\n"));
    EXPECT_THAT(text, ::testing::ContainsRegex("\nFeatures \\([0-9]+\\) \\*\n"));
    EXPECT_THAT(text, HasSubstr("\n  Hypervisor           none\n"));  // leaf 1 says there is none
    const std::string json = DetailsJson(one);
    EXPECT_THAT(json, HasSubstr(R"("dumpLacks": ["leaf 4 sub-leaves", "leaf 7 sub-leaves", )"
                                R"("leaf 0xB/0x1F sub-leaves", "leaf 0xD sub-leaves"])"));
    EXPECT_THAT(json, HasSubstr(R"("uncertain": ["instructions", "caches", "counts", "cacheInstances", )"
                                R"("topology", "features"])"));
    EXPECT_THAT(json, HasSubstr(R"("microcode": null,)"));
    EXPECT_THAT(json, HasSubstr(R"({"level": 2, "type": "unified", "sizeKB": 1280, "ways": null, )"
                                R"("lineBytes": null, "sharedBy": null, "sharedWith": null, )"
                                R"("source": "the report's lines"})"));
}

// Every processor of every dump in one document, read back by Python's json module, which checks
// the keys of each object in order and the form of each value.
TEST(DetailsJson, ParsesWithTheDocumentedKeysOnEveryDump) {
    if (std::system("python3 -c 'import json' 2>/dev/null") != 0) GTEST_SKIP() << "no python3";
    std::vector<ProcessorDetails> all;
    for (const std::string& file : DumpNames()) {
        for (ProcessorDetails& d : AllOf(file)) {
            d.cpu = ProcessorNumber(static_cast<unsigned>(all.size()));
            all.push_back(d);
        }
    }
    const std::string json = DetailsJson(all);
    ASSERT_TRUE(IsValidUtf8(json));
    const TempDir dir;
    const auto path = dir / "details.json";
    Spill(path, json);
    const std::string check = R"(
import json, sys
d = json.load(open(sys.argv[1]))
assert list(d) == ["processors"]
keys = ["cpu", "apicId", "vendor", "brand", "family", "model", "stepping", "signature",
        "microarchitecture", "codename", "coreType", "hypervisor", "hypervisorName",
        "x86_64Level", "addressBits",
        "frequencyMHz", "caches", "topology", "features", "instructions", "process", "microcode",
        "invariantTsc", "counts", "examinedCounts", "cacheInstances", "vulnerabilities",
        "mitigationFeatures",
        "dumpLacks", "uncertain"]
for n, p in enumerate(d["processors"], 1):
    assert list(p) == keys, list(p)
    assert p["cpu"] == n
    assert len(p["signature"]) == 8 and p["signature"] == p["signature"].upper()
    assert p["coreType"] in (None, "performance", "efficiency")
    assert p["hypervisorName"] is None or p["hypervisor"], p["hypervisor"]
    assert 0 <= p["x86_64Level"] <= 4
    assert p["addressBits"] is None or list(p["addressBits"]) == ["physical", "virtual"]
    assert p["frequencyMHz"] is None or list(p["frequencyMHz"]) == ["base", "max", "bus"]
    assert list(p["topology"]) == ["threadsPerCore", "logicalPerPackage", "coresPerPackage"]
    for c in p["caches"]:
        size = "kuops" if c["type"] == "trace" else "sizeKB"
        assert list(c) == ["level", "type", size, "ways", "lineBytes", "sharedBy", "sharedWith", "source"], c
        assert c["sharedWith"] is None or all(type(n) is int for n in c["sharedWith"]), c
        assert c["type"] in ("data", "instruction", "unified", "trace")
        assert c["source"].startswith("lea") or c["source"] == "the report's lines", c
    assert all(type(s) is str for s in p["instructions"])
    # A dump records neither the microcode nor the kernel's verdicts.
    assert p["microcode"] is None and p["vulnerabilities"] is None
    assert type(p["invariantTsc"]) is bool
    for counts in (p["counts"], p["examinedCounts"]):
        assert counts is None or list(counts) == ["packages", "cores", "threads",
                                                  "performanceCores", "efficiencyCores"]
    assert p["counts"] is None or p["examinedCounts"] is None
    assert (p["cacheInstances"] is None) == (p["counts"] is None)
    assert set(p["mitigationFeatures"]) <= set(p["features"])
    assert (p["dumpLacks"] == []) == (p["uncertain"] == [])
    assert len(set(p["features"])) == len(p["features"])
print(len(d["processors"]))
)";
    const std::string script = (dir / "check.py").string();
    Spill(script, check);
    const std::string cmd = "python3 " + script + " " + path.string();
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "see the assertion above";
}

// The layout every JSON output shares: a container one member a line indents them one step deeper
// than the line it opened on and closes there; inline ones stay on their line; empty ones close at once.
TEST(JsonWriterTest, LinesAndInlineContainers) {
    using enum JsonWriter::Layout;
    struct Case {
        const char* what;
        void (*write)(JsonWriter&);
        const char* json;
    } cases[] = {
        {"lines in lines",
         [](JsonWriter& w) {
             w.BeginObject().Number("a", 1).BeginObject("b").Bool("c", true).EndObject().EndObject();
         },
         "{\n  \"a\": 1,\n  \"b\": {\n    \"c\": true\n  }\n}"},
        {"lines inside an inline object",
         [](JsonWriter& w) {
             w.BeginArray()
                 .BeginObject(Inline)
                 .String("k", "v\x01")
                 .BeginArray("l")
                 .Null()
                 .EndArray()
                 .EndObject();
             w.EndArray();
         },
         "[\n  {\"k\": \"v\\u0001\", \"l\": [\n    null\n  ]}\n]"},
        {"empty and inline",
         [](JsonWriter& w) {
             w.BeginObject(Inline).BeginArray("e").EndArray().BeginArray("n", Inline).Number(-1).Number(2u);
             w.EndArray().EndObject();
         },
         "{\"e\": [], \"n\": [-1, 2]}"},
    };
    for (const Case& c : cases) {
        std::string out;
        JsonWriter w(out);
        c.write(w);
        EXPECT_EQ(out, c.json) << c.what;
    }
}

TEST(DetailsText, ProcessorTextIsEscapedAsTheReportEscapesIt) {
    FakeSource cpu;
    cpu.Vendor("Ge\x1b[2Jn\xe9", 1)
        .Set(1, 0x00000F43, 0, 0x80000000, 0)
        .Set(0x40000000, 0, 0x0A0D4B4B, 0x00000007, 0)  // "KK\r\n\a"
        .Set(0x80000000, 0x80000004)
        .Set(0x80000002, 0x2020200D, 0x6F6F460A, 0x0000E96F);  // "\r   \nFoooé" in Latin-1
    FakePlatform os;
    std::vector<ProcessorDetails> one{GetProcessorDetails(Probe{cpu, os})};
    // The kernel's words are bytes from outside as well.
    one[0].vulnerabilities = std::make_shared<const std::vector<Vulnerability>>(
        std::vector<Vulnerability>{{"retbleed\x1b[2J", "Vulnerable\r\n\xff"}});
    const std::string text = DetailsText(one);
    EXPECT_TRUE(IsValidUtf8(text));
    for (char c : text) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
    EXPECT_THAT(text, HasSubstr("Ge\\x1B[2Jn\xC3\xA9\n"));
    EXPECT_THAT(text, HasSubstr("KK\\x0D\\x0A\\x07\n"));
    EXPECT_THAT(text, HasSubstr("\\x0D   \\x0AFooo\xC3\xA9\n"));
    EXPECT_THAT(text,
                ::testing::ContainsRegex("\n  Retbleed\\\\x1B\\[2J +Vulnerable\\\\x0D\\\\x0A\xC3\xBF\n"));

    const std::string json = DetailsJson(one);
    EXPECT_TRUE(IsValidUtf8(json));
    EXPECT_THAT(json, HasSubstr(R"("vendor": "Ge\u001B[2Jn)"
                                "\xC3\xA9\""));
    EXPECT_THAT(json, HasSubstr(R"("hypervisor": "KK\u000D\u000A\u0007")"));
    EXPECT_THAT(json, HasSubstr(R"("vulnerabilities": {"retbleed\u001B[2J": "Vulnerable\u000D\u000A)"
                                "\xC3\xBF\"}"));
}

// Alder Lake read whole: the P-cores and E-cores get their own cache tables, and each row of the
// per-processor table names who shares each cache.
TEST(DetailsText, HybridProcessorReadsAtAGlance) {
    const std::string text = DetailsText(AllOf("intel-core-i9-12900k-alder-lake.txt"));
    EXPECT_THAT(text, HasSubstr("\nCaches of processors 1-16 (leaf 4)\n"));
    EXPECT_THAT(text, HasSubstr("\nCaches of processors 17-24 (leaf 4)\n"));
    EXPECT_THAT(text, HasSubstr("  Threads per core     2 (processors 1-16); 1 (processors 17-24)\n"));
    EXPECT_THAT(
        text,
        ::testing::MatchesRegex(
            "(.|\n)*\n +3 +8 +performance +Golden Cove +48 KB \\[3-4\\] +32 KB \\[3-4\\] +1280 KB \\[3-4\\] "
            "+30 MB \\[1-24\\]\n(.|\n)*"));
    EXPECT_THAT(
        text,
        ::testing::MatchesRegex(
            "(.|\n)*\n +22 +74 +efficiency +Gracemont +32 KB \\[22\\] +64 KB \\[22\\] +2 MB \\[21-24\\] "
            "+30 MB \\[1-24\\]\n(.|\n)*"));
    // The feature list wraps at 100 columns.
    size_t start = text.find('\n', text.find("\nFeatures (") + 1) + 1;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos && end > start; start = end + 1)
        EXPECT_LE(end - start, 100u);
}

// A measured clock: a line of its own for one processor, a column of the per-processor table for
// several, and measuredClockMHz after frequencyMHz in the JSON; an abandoned measurement has no figure.
TEST(DetailsText, MeasuredClockLineColumnAndJson) {
    struct Case {
        CoreClock clock;
        const char* text;
        const char* json;
    } cases[] = {
        {{3664, 2596, false}, "3664 MHz (time stamp counter 2596 MHz, invariant)", "3664"},
        {{3664, 2596, true}, "3664 MHz, noisy (time stamp counter 2596 MHz, invariant)", "3664"},
        {{std::nullopt, 2596, true}, "noisy (time stamp counter 2596 MHz, invariant)", "null"},
        {{1200, std::nullopt, false}, "1200 MHz", "1200"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<ProcessorDetails> all = AllOf("intel-core-i9-12900k-alder-lake.txt");
        for (ProcessorDetails& d : all) d.measured_clock = c.clock;
        const std::string one = DetailsText({all.data(), 1});
        // The last line of the Platform section.
        EXPECT_THAT(one, HasSubstr(" MHz\n  Measured clock       " + std::string(c.text) + "\n\nSecurity"));
        const std::string every = DetailsText(all);
        EXPECT_EQ(every.find("\n  Measured clock "), std::string::npos);
        const size_t header = every.find("\n  CPU ");
        ASSERT_NE(header, std::string::npos);
        const std::string header_line = every.substr(header + 1, every.find('\n', header + 1) - header - 1);
        EXPECT_TRUE(header_line.ends_with("Measured clock")) << header_line;
        EXPECT_TRUE(every.ends_with(std::string(c.text) + "\n"));
        EXPECT_THAT(DetailsJson({all.data(), 1}),
                    HasSubstr("},\n    \"measuredClockMHz\": " + std::string(c.json) + ",\n    \"caches\""));
    }
}

// One notation for who shares a cache, in the cache table, the per-processor table and the JSON:
// the processors that do where the records hold the whole machine (or CPUID counts one processor
// alone), CPUID's count as a bound where they do not.
TEST(DetailsText, SharingOfTheHybridCachesByWhatTheRecordsHold) {
    const std::vector<ProcessorDetails> whole = AllOf("intel-core-i9-12900k-alder-lake.txt");
    ASSERT_EQ(whole.size(), 24u);
    // Processor 17 captured alone, as `taskset -c 16` would.
    const std::vector<ProcessorDetails> alone =
        GetRecordedDetails({ReadDumpFile(kDumps + "/intel-core-i9-12900k-alder-lake.txt").at(16)}, {16});
    struct Row {
        const std::vector<ProcessorDetails>& records;
        size_t p, cache;  // caches: L1d, L1i, L2, L3
        const char* shown;
        const char* json;
    } rows[] = {
        {whole, 0, 3, "[1-24]",
         "[1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, "
         "21, 22, 23, 24]"},                            // CPUID: 128
        {whole, 2, 2, "[3-4]", "[3, 4]"},               // a P-core's two threads
        {whole, 16, 2, "[17-20]", "[17, 18, 19, 20]"},  // an E-core cluster; CPUID: 8
        {whole, 16, 0, "[17]", "[17]"},                 // CPUID: 2, but no E-core has a sibling
        {alone, 0, 2, "[up to 8]", "null"},             // one record of 24: a bound only
        {alone, 0, 3, "[up to 128]", "null"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.shown);
        const CacheSharing sharing(row.records);
        EXPECT_EQ(CacheCells(row.records, row.p, row.cache).back(), row.shown);
        // The per-processor table's cell of the same cache.
        const PerProcessorRows table = PerProcessorTable(row.records, sharing);
        EXPECT_THAT(table.rows[row.p][4 + row.cache], ::testing::EndsWith(std::string(" ") + row.shown));
        const std::string json = DetailsJson(row.records);
        const CacheDetails& c = row.records[row.p].caches[row.cache];
        size_t at = json.find("\"cpu\": " + std::to_string(row.records[row.p].cpu.counted()) + ",");
        for (size_t k = 0; k <= row.cache; ++k) at = json.find("{\"level\"", at + 1);
        EXPECT_EQ(
            json.substr(at, json.find(", \"source\"", at) - at).substr(json.substr(at).find("\"sharedBy\"")),
            "\"sharedBy\": " + std::to_string(*c.shared_by) + ", \"sharedWith\": " + row.json);
    }
    const std::string text = DetailsText(whole);
    EXPECT_THAT(text,
                ::testing::MatchesRegex("(.|\n)*\n +L2 +unified +1280 KB +10 +64 +\\[2 each\\]\n(.|\n)*"));
    // One processor of the set, as the window's Copy gives it: its sharing as the set tells it.
    EXPECT_THAT(DetailsText(whole, 16),
                ::testing::MatchesRegex("(.|\n)*\n +L2 +unified +2 MB +16 +64 +\\[17-20\\]\n(.|\n)*"));
}

}  // namespace
}  // namespace talvex
