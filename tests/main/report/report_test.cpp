#include "main/report/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "probe/text/text.h"
#include "support/fakes.h"

namespace talvex {
namespace {

using testing::FakePlatform;
using testing::FakeSource;

// The report's lines without their "\r\n"; fails when a line lacks it.
std::vector<std::string> Lines(const std::string& report) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < report.size()) {
        const size_t end = report.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "unterminated last line: " << report.substr(start);
            break;
        }
        lines.push_back(report.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// The leaves the register dump holds, in order.
std::vector<uint32_t> DumpedLeaves(const std::vector<std::string>& lines) {
    std::vector<uint32_t> leaves;
    for (const std::string& line : lines)
        if (line.size() == 9 && line.back() == 'h')
            leaves.push_back(static_cast<uint32_t>(std::stoul(line, nullptr, 16)));
    return leaves;
}

struct ReportFixture : ::testing::Test {
    ReportFixture() { os.live_clock = false; }

    std::vector<std::string> Report(const char* separator = ".") {
        std::string out;
        BuildReport(Probe{cpu, os}, out, separator);
        return Lines(out);
    }
    // Everything after the name and the clock, which other tests cover.
    std::vector<std::string> ReportFromCaches() {
        std::vector<std::string> lines = Report();
        EXPECT_GE(lines.size(), 6u);
        if (lines.size() < 2) return {};
        EXPECT_EQ(lines[0].rfind("CPU Name: ", 0), 0u);
        EXPECT_EQ(lines[1].rfind("Clock: ", 0), 0u);
        return {lines.begin() + 2, lines.end()};
    }
    std::string SummaryLine() {
        const std::vector<std::string> lines = Report();
        for (size_t i = 1; i < lines.size(); ++i)
            if (lines[i] == "***CPUID Register Data***") return lines[i - 1];
        ADD_FAILURE() << "no register dump";
        return {};
    }

    FakeSource cpu;
    FakePlatform os;
};

TEST_F(ReportFixture, HyperThreadingPentium4WithTraceCache) {
    // Type 2, family 15, model 2, stepping 4; MMX, SSE, SSE2, HTT with two logical processors;
    // leaf 2 descriptors 0x66 (L1D 8), 0x70 (trace cache 12), 0x7A (L2 256).
    cpu.Vendor("GenuineIntel", 2)
        .Set(1, 0x00002F24, 0x01020009, 0, 0x16800010)
        .Set(2, 0x7A706601)
        .Set(0x80000000, 0x80000000)  // extended range ending at its base: absent
        .Set(0x80000001, 0x00000F24, 0, 0, 0xC0400000);
    // clang-format off
    const std::vector<std::string> expected = {
        "L1 T-Cache: 12KuOps", "L1 D-Cache: 8KB", "L2 Cache  : 256KB", "L3 Cache  : 0KB",
        "VendorID: GenuineIntel", "***Standard***", "Family  : F", "Model   : 2", "Stepping: 4",
        "FamilyEx: 00", "CPU Type: 10", "APIC ID : 01", "BrandID : 09",
        "MMX, SSE, SSE2, Hyper-Threading", "***CPUID Register Data***",
        "00000000h", "EAX: 00000002", "EBX: 756E6547", "ECX: 6C65746E", "EDX: 49656E69",
        "00000001h", "EAX: 00002F24", "EBX: 01020009", "ECX: 00000000", "EDX: 16800010",
        "00000002h", "EAX: 7A706601", "EBX: 00000000", "ECX: 00000000", "EDX: 00000000",
    };
    // clang-format on
    EXPECT_EQ(ReportFromCaches(), expected);
}

TEST_F(ReportFixture, ExtendedSectionAndLeafOneFields) {
    // Athlon-like: extended family 0x12 and APIC ID 0xA5 in leaf 1, extended signature 6/2/2.
    cpu.Vendor("AuthenticAMD", 1)
        .Set(1, 0x01201622, 0xA5000000, 0, 0x00800000)
        .Set(0x80000000, 0x80000001)
        .Set(0x80000001, 0x00000722, 0, 0, 0xC0400000);
    const std::vector<std::string> lines = ReportFromCaches();
    const std::vector<std::string> head(lines.begin() + 6, lines.begin() + 20);
    // clang-format off
    const std::vector<std::string> expected = {
        "Family  : 6", "Model   : 2", "Stepping: 2", "FamilyEx: 12", "CPU Type: 01", "APIC ID : A5",
        "BrandID : 00", "***Extended***", "Generation: 7", "Model     : 2", "Stepping  : 2",
        "MMX, MMX+, 3DNow!, 3DNow!+", "***CPUID Register Data***", "00000000h",
    };
    // clang-format on
    EXPECT_EQ(head, expected);
    EXPECT_EQ(DumpedLeaves(lines), (std::vector<uint32_t>{0, 1, 0x80000000, 0x80000001}));
}

TEST_F(ReportFixture, ShortReports) {
    const std::vector<std::string> zero_caches = {"L1 I-Cache: 0KB", "L1 D-Cache: 0KB", "L2 Cache  : 0KB",
                                                  "L3 Cache  : 0KB"};
    // No CPUID at all: name, clock and the four cache lines only.
    cpu.has_cpuid = false;
    EXPECT_EQ(ReportFromCaches(), zero_caches);

    // Highest standard leaf 0: the vendor line ends it.
    cpu.has_cpuid = true;
    cpu.Vendor("GenuineIntel", 0);
    std::vector<std::string> expected = zero_caches;
    expected.push_back("VendorID: GenuineIntel");
    EXPECT_EQ(ReportFromCaches(), expected);

    // A zero byte in EBX ends that register's piece: "Geu" + "ineI" + "ntel".
    cpu.Set(0, 0, 0x00756547, 0x6C65746E, 0x49656E69);
    expected.back() = "VendorID: GeuineIntel";
    EXPECT_EQ(ReportFromCaches(), expected);
}

TEST_F(ReportFixture, ClockLine) {
    cpu.Vendor("GenuineIntel", 1).Set(1, 0x0F29, 0, 0, 0x10);
    EXPECT_EQ(Report()[1], "Clock: .000MHz");  // replayed: not measured

    os.live_clock = true;
    // 1,000,000 cycles over one second of both timers.
    os.qpc = {0, 0, 1000000000};
    os.tsc = {0, 1000000};
    os.ms = {0, 0, 1000, 1000};
    EXPECT_EQ(Report()[1], "Clock: 1.000MHz");

    os.qpc = {0, 0, 1000000000};
    os.tsc = {0, 2400123456};
    os.ms = {0, 0, 1000, 1000};
    EXPECT_EQ(Report(",")[1], "Clock: 2400,123MHz");
}

TEST_F(ReportFixture, FeatureSummary) {
    struct Case {
        uint32_t edx1, ecx1, ebx1, ext_top, ext_edx;
        const char* line;
    } cases[] = {
        {0, 0, 0, 0x80000001, 0, ""},
        {1u << 25, 0, 0, 0, 0, ", SSE"},
        {0x16800000, 0, 0x00020000, 0, 0, "MMX, SSE, SSE2, Hyper-Threading"},
        {0x06800000, 0, 0x00020000, 0, 0, "MMX, SSE, SSE2"},  // HTT flag clear
        {0x16800000, 0, 0x00010000, 0, 0, "MMX, SSE, SSE2"},  // one logical processor
        {0x40000000, 1, 0, 0, 0, ", SSE3, IA-64"},
        {0x00800000, 0, 0, 0x80000000, 0xC0400000, "MMX"},  // extended range absent
        {0x00800000, 0, 0, 0x80000008, 0x80000000, "MMX, 3DNow!"},
        {0x00000000, 0, 0, 0x80000001, 0x40400000, ", MMX+, 3DNow!+"},
        {0x56800000, 1, 0x00FF0000, 0x80000001, 0xC0400000,
         "MMX, SSE, SSE2, SSE3, Hyper-Threading, IA-64, MMX+, 3DNow!, 3DNow!+"},
    };
    for (const Case& c : cases) {
        cpu.leaves.clear();
        cpu.Vendor("AuthenticAMD", 1).Set(1, 0x0F48, c.ebx1, c.ecx1, c.edx1).Set(0x80000000, c.ext_top);
        cpu.Set(0x80000001, 0x0F48, 0, 0, c.ext_edx);
        EXPECT_EQ(SummaryLine(), c.line) << c.line;
    }
}

TEST_F(ReportFixture, DumpCoversEachPresentRangeBoundedTo256Leaves) {
    auto run = [](uint32_t first, uint32_t count) {
        std::vector<uint32_t> leaves;
        for (uint32_t i = 0; i < count; ++i) leaves.push_back(first + i);
        return leaves;
    };
    auto join = [](std::vector<uint32_t> a, const std::vector<uint32_t>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    struct Case {
        const char* what;
        uint32_t std_top, ext_top, tm_top, centaur_top;
        std::vector<uint32_t> leaves;
    } cases[] = {
        {"highest standard leaf 13", 13, 0, 0, 0, run(0, 14)},
        {"ranges ending at their base", 1, 0x80000000, 0x80860000, 0xC0000000, run(0, 2)},
        {"all four ranges", 1, 0x80000002, 0x80860001, 0xC0000001,
         join(join(join(run(0, 2), run(0x80000000, 3)), run(0x80860000, 2)), run(0xC0000000, 2))},
        {"standard top 0x7FFFFFFF", 0x7FFFFFFF, 0, 0, 0, run(0, 256)},
        // Negative as a signed number: even leaf 0 is refused, so there is no dump at all.
        {"standard top 0xFFFFFFFF", 0xFFFFFFFF, 0x80000004, 0, 0, {}},
        {"extended top 0x800000FF", 1, 0x800000FF, 0, 0, join(run(0, 2), run(0x80000000, 256))},
        {"extended top 0x80000100", 1, 0x80000100, 0, 0, join(run(0, 2), run(0x80000000, 256))},
        {"every top 0xFFFFFFFF", 1, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
         join(join(join(run(0, 2), run(0x80000000, 256)), run(0x80860000, 256)), run(0xC0000000, 256))},
    };
    for (const Case& c : cases) {
        cpu.leaves.clear();
        cpu.Vendor("CentaurHauls", c.std_top)
            .Set(0x80000000, c.ext_top)
            .Set(0x80860000, c.tm_top)
            .Set(0xC0000000, c.centaur_top);
        const std::vector<std::string> lines = Report();
        const std::vector<uint32_t> leaves = DumpedLeaves(lines);
        EXPECT_EQ(leaves, c.leaves) << c.what;
        // Five lines a leaf, and nothing after the last one.
        if (leaves.empty()) {
            EXPECT_EQ(lines.size(), 6u) << c.what;
            continue;
        }
        ASSERT_GE(lines.size(), 5 * leaves.size()) << c.what;
        EXPECT_EQ(lines[lines.size() - 5 * leaves.size()], Hex(leaves.front(), 8) + "h") << c.what;
    }
}

TEST_F(ReportFixture, LeafDumpOfOneLeaf) {
    cpu.Vendor("GenuineIntel", 2).Set(5, 1, 2, 3, 4).Set(0x80000008, 0x3027, 0, 0, 0xFFFFFFFF);
    const Probe probe{cpu, os};
    struct Case {
        uint32_t leaf;
        const char* text;
    } cases[] = {
        {0, "00000000h\r\nEAX: 00000002\r\nEBX: 756E6547\r\nECX: 6C65746E\r\nEDX: 49656E69\r\n"},
        // Beyond the highest standard leaf: refused, so four zero registers.
        {5, "00000005h\r\nEAX: 00000000\r\nEBX: 00000000\r\nECX: 00000000\r\nEDX: 00000000\r\n"},
        {0x80000008, "80000008h\r\nEAX: 00003027\r\nEBX: 00000000\r\nECX: 00000000\r\nEDX: FFFFFFFF\r\n"},
    };
    for (const Case& c : cases) {
        std::string out = "before\r\n";
        FormatLeafDump(probe, c.leaf, out);
        EXPECT_EQ(out, std::string("before\r\n") + c.text);
    }
}

TEST(ToBinaryDigitsTest, MostSignificantBitFirst) {
    struct Case {
        uint32_t value;
        const char* digits;
    } cases[] = {
        {0, "00000000000000000000000000000000"},          {2, "00000000000000000000000000000010"},
        {3, "00000000000000000000000000000011"},          {0x80000000, "10000000000000000000000000000000"},
        {0x12345678, "00010010001101000101011001111000"}, {0xFFFFFFFF, "11111111111111111111111111111111"},
    };
    for (const Case& c : cases) {
        std::string out = "previous";
        ToBinaryDigits(c.value, out);
        EXPECT_EQ(out, c.digits);
    }
}

}  // namespace
}  // namespace talvex
