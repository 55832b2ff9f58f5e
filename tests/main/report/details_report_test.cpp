// The details as text and JSON: JSON that a real parser reads back with the documented keys for
// every dump, processor text that cannot reach the terminal raw, and the per-processor table of a
// hybrid processor.
#include "main/report/details_cells.h"
#include "main/report/details_json.h"
#include "main/report/details_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "main/report/json_writer.h"
#include "main/report/output_text.h"
#include "support/dumps.h"
#include "support/fakes.h"
#include "support/files.h"

namespace talvex {
namespace {

using namespace testing;  // talvex::testing: the dumps, the fakes and the temporary files
using ::testing::HasSubstr;

std::vector<ProcessorDetails> AllOf(const std::string& raw_file) {
    std::vector<ProcessorDetails> all;
    const auto cpus = ReadDumpFile(kDumps + "/" + raw_file);
    for (size_t i = 0; i < cpus.size(); ++i) {
        const Replayed cpu(cpus[i]);
        all.push_back(GetProcessorDetails(cpu.probe, ProcessorNumber(static_cast<unsigned>(i))));
    }
    return all;
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
        "frequencyMHz", "caches", "topology", "features"]
for n, p in enumerate(d["processors"], 1):
    assert list(p) == keys, list(p)
    assert p["cpu"] == n
    assert len(p["signature"]) == 8 and p["signature"] == p["signature"].upper()
    assert p["coreType"] in (None, "performance", "efficiency")
    assert p["hypervisorName"] is None or p["hypervisor"], p["hypervisor"]
    assert 0 <= p["x86_64Level"] <= 4
    assert p["addressBits"] is None or list(p["addressBits"]) == ["physical", "virtual"]
    assert p["frequencyMHz"] is None or list(p["frequencyMHz"]) == ["base", "max", "bus"]
    assert list(p["topology"]) == ["threadsPerCore", "logicalPerPackage"]
    for c in p["caches"]:
        size = "kuops" if c["type"] == "trace" else "sizeKB"
        assert list(c) == ["level", "type", size, "ways", "lineBytes", "sharedBy", "sharedWith"], c
        assert c["sharedWith"] is None or all(type(n) is int for n in c["sharedWith"]), c
        assert c["type"] in ("data", "instruction", "unified", "trace")
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
    const std::vector<ProcessorDetails> one{GetProcessorDetails(Probe{cpu, os})};
    const std::string text = DetailsText(one);
    EXPECT_TRUE(IsValidUtf8(text));
    for (char c : text) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
    EXPECT_THAT(text, HasSubstr("Ge\\x1B[2Jn\xC3\xA9\n"));
    EXPECT_THAT(text, HasSubstr("KK\\x0D\\x0A\\x07\n"));
    EXPECT_THAT(text, HasSubstr("\\x0D   \\x0AFooo\xC3\xA9\n"));

    const std::string json = DetailsJson(one);
    EXPECT_TRUE(IsValidUtf8(json));
    EXPECT_THAT(json, HasSubstr(R"("vendor": "Ge\u001B[2Jn)"
                                "\xC3\xA9\""));
    EXPECT_THAT(json, HasSubstr(R"("hypervisor": "KK\u000D\u000A\u0007")"));
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
        {{3664, 2596, false}, "3664 MHz (time stamp counter 2596 MHz)", "3664"},
        {{3664, 2596, true}, "3664 MHz, noisy (time stamp counter 2596 MHz)", "3664"},
        {{std::nullopt, 2596, true}, "noisy (time stamp counter 2596 MHz)", "null"},
        {{1200, std::nullopt, false}, "1200 MHz", "1200"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<ProcessorDetails> all = AllOf("intel-core-i9-12900k-alder-lake.txt");
        for (ProcessorDetails& d : all) d.measured_clock = c.clock;
        const std::string one = DetailsText({all.data(), 1});
        // The last line of the Platform section.
        EXPECT_THAT(one, HasSubstr(" MHz\n  Measured clock       " + std::string(c.text) + "\n\nFeatures"));
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

// "Shared by" names the processors sharing a cache where the records hold the whole package (or CPUID
// counts one processor alone), as the per-processor table does; otherwise CPUID's count is a bound.
TEST(DetailsText, SharingOfTheHybridCachesByWhatTheRecordsHold) {
    const std::vector<ProcessorDetails> all = AllOf("intel-core-i9-12900k-alder-lake.txt");
    ASSERT_EQ(all.size(), 24u);
    const std::span<const ProcessorDetails> whole(all), cpu17 = whole.subspan(16, 1);
    struct Row {
        std::span<const ProcessorDetails> records;
        size_t p, cache;  // caches: L1d, L1i, L2, L3
        const char* shown;
        const char* json;
    } rows[] = {
        {whole, 0, 3, "1-24 (24)",
         "[1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, "
         "21, 22, 23, 24]"},                              // CPUID: 128
        {whole, 2, 2, "3-4 (2)", "[3, 4]"},               // a P-core's two threads
        {whole, 16, 2, "17-20 (4)", "[17, 18, 19, 20]"},  // an E-core cluster; CPUID: 8
        {whole, 16, 0, "17 (1)", "[17]"},                 // CPUID: 2, but no E-core has a sibling
        {cpu17, 0, 2, "up to 8", "null"},                 // one record of 24: a bound only
        {cpu17, 0, 3, "up to 128", "null"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.shown);
        EXPECT_EQ(CacheCells(row.records, row.p, row.cache).back(), row.shown);
        const std::string json = DetailsJson(row.records);
        const CacheDetails& c = row.records[row.p].caches[row.cache];
        size_t at = json.find("\"cpu\": " + std::to_string(row.records[row.p].cpu.counted()) + ",");
        for (size_t k = 0; k <= row.cache; ++k) at = json.find("{\"level\"", at + 1);
        EXPECT_EQ(json.substr(at, json.find('}', at) - at).substr(json.substr(at).find("\"sharedBy\"")),
                  "\"sharedBy\": " + std::to_string(*c.shared_by) + ", \"sharedWith\": " + row.json);
    }
    const std::string text = DetailsText(whole);
    EXPECT_THAT(text, ::testing::MatchesRegex("(.|\n)*\n +L2 +unified +1280 KB +10 +64 +2 each\n(.|\n)*"));
}

}  // namespace
}  // namespace talvex
