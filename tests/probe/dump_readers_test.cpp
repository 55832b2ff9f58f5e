#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <tuple>

#include "support/dumps.h"

namespace talvex {
namespace {

using testing::DumpNames;
using testing::kDumps;
using LeafSet = std::set<std::tuple<uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t>>;

LeafSet Leaves(const DumpProcessor& p) {
    LeafSet s;
    for (const DumpLeaf& l : p.leaves)
        s.insert({l.leaf, l.subleaf, l.regs.EAX, l.regs.EBX, l.regs.ECX, l.regs.EDX});
    return s;
}

std::vector<DumpProcessor> Read(const std::string& text) {
    std::istringstream in(text);
    return ReadDump(in, "t.txt");
}

std::string ErrorOf(const std::string& text) {
    try {
        Read(text);
    } catch (const DumpError& e) {
        return e.what();
    }
    return "no error";
}

// Every raw file, libcpuid arrays or InstLatx64 listing, gives for its first processor exactly the
// leaves of its normalized twin, and as many processors as the raw file has leaf-0 lines.
TEST(DumpReaders, EveryRawDumpMatchesItsNormalizedTwin) {
    const auto names = DumpNames();
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const auto raw = ReadDumpFile(kDumps + "/" + name);
        const auto norm = ReadDumpFile(kDumps + "/normalized/" + name);
        ASSERT_EQ(norm.size(), 1u);
        EXPECT_EQ(Leaves(raw[0]), Leaves(norm[0]));
        std::ifstream in(kDumps + "/" + name);
        size_t leaf0_lines = 0;
        for (std::string line; std::getline(in, line);)
            leaf0_lines += line.starts_with("CPUID 00000000") || line.starts_with("basic_cpuid[0]=");
        EXPECT_EQ(raw.size(), leaf0_lines);
    }
}

// Every InstLatx64 listing rewritten by hand with its registers joined by single spaces and a blank
// before the colon reads as the original does, every processor of it.
TEST(DumpReaders, SpaceSeparatedListingsReadAsTheOriginals) {
    size_t listings = 0;
    for (const std::string& name : DumpNames()) {
        std::ifstream in(kDumps + "/" + name);
        std::string text, line;
        bool listing = false;
        while (std::getline(in, line)) {
            // "CPUID 00000000: 0000000D-756E6547-..." -> "CPUID 00000000 : 0000000D 756E6547 ..."
            if (line.starts_with("CPUID ") && line.size() >= 50 && line[14] == ':' && line[24] == '-') {
                listing = true;
                line.replace(14, 1, " :");
                for (size_t at : {25u, 34u, 43u}) line[at] = ' ';
            }
            text += line + "\n";
        }
        if (!listing) continue;
        SCOPED_TRACE(name);
        ++listings;
        const auto original = ReadDumpFile(kDumps + "/" + name);
        const auto rewritten = Read(text);
        ASSERT_EQ(rewritten.size(), original.size());
        for (size_t i = 0; i < original.size(); ++i) EXPECT_EQ(Leaves(rewritten[i]), Leaves(original[i]));
    }
    EXPECT_GE(listings, 50u);
}

// Checked by hand against the files: which leaves survive libcpuid's padding.
TEST(DumpReaders, LibcpuidKeepsOnlyTheReportedRanges) {
    struct Case {
        const char* file;
        std::vector<std::pair<uint32_t, uint32_t>> keys;
    } cases[] = {
        // P6: every entry past leaf 2 repeats leaf 2; 0x80000000 answers leaf-2 data and stays alone.
        {"intel-pentium-ii-dixon.txt", {{0, 0}, {1, 0}, {2, 0}, {0x80000000, 0}}},
        // K8: highest standard leaf 1, extended up to 0x80000018.
        {"amd-athlon-64-3000-winchester.txt",
         {{0, 0},          {1, 0},          {0x80000000, 0}, {0x80000001, 0}, {0x80000002, 0},
          {0x80000003, 0}, {0x80000004, 0}, {0x80000005, 0}, {0x80000006, 0}, {0x80000007, 0},
          {0x80000008, 0}, {0x80000009, 0}, {0x8000000A, 0}, {0x8000000B, 0}, {0x8000000C, 0},
          {0x8000000D, 0}, {0x8000000E, 0}, {0x8000000F, 0}, {0x80000010, 0}, {0x80000011, 0},
          {0x80000012, 0}, {0x80000013, 0}, {0x80000014, 0}, {0x80000015, 0}, {0x80000016, 0},
          {0x80000017, 0}, {0x80000018, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const auto cpus = ReadDumpFile(kDumps + "/" + c.file);
        std::vector<std::pair<uint32_t, uint32_t>> keys;
        for (const DumpLeaf& l : cpus[0].leaves) keys.push_back({l.leaf, l.subleaf});
        std::sort(keys.begin(), keys.end());
        EXPECT_EQ(keys, c.keys);
    }
    // Core 2: leaf 4 sub-leaves 1 and 2 from intel_fn4, the null sub-leaf 3 dropped.
    const auto q6600 = ReadDumpFile(kDumps + "/intel-core2-quad-q6600-kentsfield.txt");
    ReplaySource src(q6600[0]);
    EXPECT_EQ(src.Execute(4, 2).EAX, 0x0c004143u);  // unified L2, level 2
    EXPECT_EQ(src.Execute(4, 3), TCPUIDRegs{});
}

TEST(DumpReaders, LayoutsAndTheirQuirks) {
    struct Case {
        const char* what;
        std::string text;
        size_t processors;
        LeafSet first;
    } cases[] = {
        {"cpuid -r with comments and two CPUs",
         "# comment\nCPU 0:\n   0x00000000 0x00: eax=0x00000001 ebx=0x756e6547 ecx=0x6c65746e "
         "edx=0x49656e69\n"
         "   0x00000004 0x01: eax=0x00000002 ebx=0x00000000 ecx=0x00000000 edx=0x00000000\n"
         "CPU 1:\n   0x00000000 0x00: eax=0x00000001 ebx=0x756e6547 ecx=0x6c65746e edx=0x49656e69\n",
         2,
         {{0, 0, 1, 0x756e6547, 0x6c65746e, 0x49656e69}, {4, 1, 2, 0, 0, 0}}},
        {"own report with CRLF, text around, two reports",
         "***01/02/24 10:00:00***\r\nCPU Name: X\r\nVendorID: GenuineIntel\r\n***CPUID Register Data***\r\n"
         "00000000h\r\nEAX: 00000001\r\nEBX: 756E6547\r\nECX: 6C65746E\r\nEDX: 49656E69\r\n"
         "80000000h\r\nEAX: 80000000\r\nEBX: 00000000\r\nECX: 00000000\r\nEDX: 00000000\r\n"
         "trailing words\r\n***CPUID Register Data***\r\n00000000h\r\nEAX: 00000000\r\nEBX: 00000000\r\n"
         "ECX: 00000000\r\nEDX: 00000000\r\n",
         2,
         {{0, 0, 1, 0x756E6547, 0x6C65746E, 0x49656E69}, {0x80000000, 0, 0x80000000, 0, 0, 0}}},
        {"libcpuid with version line and CPU separators",
         "version=0.6.0\n_____ Logical CPU #0 _____\nbasic_cpuid[0]=00000001 756e6547 6c65746e 49656e69\n"
         "basic_cpuid[1]=00000001 00000002 00000003 00000004\nbasic_cpuid[2]=00000001 00000002 00000003 "
         "00000004\n"
         "ext_cpuid[0]=00000000 00000000 00000000 00000000\n"
         "_____ Logical CPU #1 _____\nbasic_cpuid[0]=00000000 756e6547 6c65746e 49656e69\n",
         2,
         {{0, 0, 1, 0x756e6547, 0x6c65746e, 0x49656e69}, {1, 0, 1, 2, 3, 4}, {0x80000000, 0, 0, 0, 0, 0}}},
        {"listing: lower case, TAB and blank separators, markers, annotations, report text",
         "------[ Versions ]------\nProgram Version : 1.0\nCPUID Revision : 7\n"
         "------[ CPUID Registers / Logical CPU #0 ]------\n"
         "CPUID 00000000  \t00000004-756e6547-6C65746E-49656E69 [GenuineIntel]\n"
         "CPUID 00000004 00000001-00000000-00000000-00000000 [SL 00] [L1D: 32 KB]\n"
         "CPUID 00000004: 0000000A-00000000-00000000-00000000 [SL 0a]\n"
         "CPUID 0000000B  00000001-00000000-00000000-00000000\n"
         "CPUID 0000000B  00000002-00000000-00000000-00000000 [L2: 256 KB] / L3: 0 KB]\n"
         "MSR 00000017: 00000000-00000000\n"
         "------[ MSR Registers ]------\nCPU#001 AffMask: 0x2\n"
         "CPUID 00000000: 00000004-756E6547-6C65746E-49656E69\n",
         2,
         {{0, 0, 4, 0x756e6547, 0x6C65746E, 0x49656E69},
          {4, 0, 1, 0, 0, 0},
          {4, 10, 10, 0, 0, 0},
          {0xB, 0, 1, 0, 0, 0},
          {0xB, 1, 2, 0, 0, 0}}},
        {"listing without headers: a new leaf 0 starts the next processor",
         "CPUID 00000000: 00000001-00000000-00000000-00000000\nCPUID 00000001: "
         "00000001-00000000-00000000-00000000\n"
         "CPUID 00000000: 00000001-00000000-00000000-00000000\nCPUID 00000001: "
         "00000002-00000000-00000000-00000000\n",
         2,
         {{0, 0, 1, 0, 0, 0}, {1, 0, 1, 0, 0, 0}}},
        // The InstLatx64 variants below: each second processor starts without a leaf 0, so only
        // its header can separate it.
        {"listing: registers joined by blanks, blanks around the colon, annotation after a TAB",
         "CPUID 00000000: 00000007 68747541 444D4163 69746E65\n"
         "CPUID 00000001 : 00000F12 00000000 00000000 00000000 [SL 00]\n"
         "CPUID 00000007 :00000001-00000080-00000000-00000000\t[SMEP]\n",
         1,
         {{0, 0, 7, 0x68747541, 0x444D4163, 0x69746E65}, {1, 0, 0xF12, 0, 0, 0}, {7, 0, 1, 0x80, 0, 0}}},
        {"listing: CPU 0:, Group, CPU#01 AffMask (128-bit) and CPU #n Virtual headers, lower-case hex",
         "CPU 0:\nCPUID 00000000: 00000001-746e6543-736c7561-48727561\n"
         "CPUID c0000000: 00000c80-00000000-00000000-00000000\n"
         "Group: 0x00 Affinity mask: 0x0000000000000002\nCPUID 00000001: "
         "00000002-00000000-00000000-00000000\n"
         "CPU#01 AffMask: 0X0000000000000000:0000000000000004\nCPUID 00000001: "
         "00000003-00000000-00000000-00000000\n"
         "CPUID Registers (CPU #3 Virtual):\nCPUID 00000001: 00000004-00000000-00000000-00000000\n",
         4,
         {{0, 0, 1, 0x746e6543, 0x736c7561, 0x48727561}, {0xC0000000, 0, 0xC80, 0, 0, 0}}},
        {"identical repeat is harmless",
         "CPU 0:\n   0x00000001 0x00: eax=0x00000001 ebx=0x00000000 ecx=0x00000000 edx=0x00000000\n"
         "   0x00000001 0x00: eax=0x00000001 ebx=0x00000000 ecx=0x00000000 edx=0x00000000\n",
         1,
         {{1, 0, 1, 0, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto cpus = Read(c.text);
        ASSERT_EQ(cpus.size(), c.processors);
        EXPECT_EQ(Leaves(cpus[0]), c.first);
    }
}

TEST(DumpReaders, BadInputNamesFileAndLine) {
    const std::string leaf0 =
        "   0x00000000 0x00: eax=0x00000001 ebx=0x00000000 ecx=0x00000000 edx=0x00000000\n";
    const std::string report_head = "CPU Name: X\n***CPUID Register Data***\n";
    struct Case {
        const char* what;
        std::string text;
        std::string message;
        // clang-format off
    } cases[] = {
        {"empty file", "", "t.txt:1: empty file"},
        {"only blank lines", "\n\n  \n", "t.txt:3: not a CPUID dump"},
        {"unknown layout", "\nhello\nworld\n", "t.txt:2: not a CPUID dump"},
        // Bytes that are no text refuse the file at the first line, before any layout is known.
        {"binary after text", "# a dump\n\x1b[1mbold\x1b[0m\n\x01\x02\x03\n",
         "t.txt:3: not a CPUID dump in any known layout"},
        {"UTF-16 with its byte order mark", std::string("\xFF\xFE" "C\0P\0U\0 \0" "0\0:\0\n\0", 16),
         "t.txt:1: not a CPUID dump in any known layout: UTF-16 text (Talvex reads ASCII or UTF-8)"},
        {"UTF-16 without one", std::string("C\0P\0U\0 \0" "0\0:\0\n\0", 14),
         "t.txt:1: not a CPUID dump in any known layout: UTF-16 text"},
        {"carriage returns alone", "CPU 0:\r" + leaf0.substr(0, leaf0.size() - 1) + "\r",
         "t.txt:1: not a CPUID dump in any known layout: its lines end in a carriage return alone"},
        {"carriage returns alone, past the longest line",
         [&] {
             std::string text;
             while (text.size() < 30000) text += leaf0.substr(0, leaf0.size() - 1) + "\r";
             return text;
         }(),
         "t.txt:1: not a CPUID dump in any known layout: its lines end in a carriage return alone"},
        {"cpuid -r malformed line", "CPU 0:\n" + leaf0 + "   garbage\n",
         "t.txt:3: not a line of a cpuid -r"},
        {"cpuid -r short register",
         "CPU 0:\n   0x00000001 0x00: eax=0x1 ebx=0x00000000 ecx=0x00000000 edx=0x00000000\n", "t.txt:2:"},
        {"cpuid -r conflicting repeat",
         "CPU 0:\n" + leaf0 +
             "   0x00000000 0x00: eax=0x00000002 ebx=0x00000000 ecx=0x00000000 edx=0x00000000\n",
         "t.txt:3: leaf 00000000 sub-leaf 0 repeated with different values"},
        {"libcpuid register of 7 digits", "basic_cpuid[0]=0000001 00000000 00000000 00000000\n",
         "t.txt:1: register is not 8 hex digits"},
        {"libcpuid index beyond the array", "basic_cpuid[32]=00000001 00000000 00000000 00000000\n",
         "t.txt:1: basic_cpuid: index missing or beyond 31"},
        {"libcpuid huge index", "intel_fn4[99999999999]=00000001 00000000 00000000 00000000\n", "t.txt:1:"},
        {"libcpuid conflicting repeat",
         "basic_cpuid[0]=00000001 00000000 00000000 00000000\nbasic_cpuid[0]=00000002 00000000 00000000 "
         "00000000\n",
         "t.txt:2: basic_cpuid[0] repeated with different values"},
        {"libcpuid stray line", "basic_cpuid[0]=00000001 00000000 00000000 00000000\nhello\n",
         "t.txt:2: not a line of a libcpuid dump"},
        {"libcpuid without leaf 0", "basic_cpuid[1]=00000001 00000000 00000000 00000000\n",
         "t.txt:1: processor without basic_cpuid[0]"},
        {"listing line that does not parse", "Report\nCPUID 00000000: 00000001-00000000-00000000\n",
         "t.txt:2: malformed CPUID line"},
        {"listing register not 8 digits", "CPUID 00000000: 00000001-0000000-00000000-00000000\n",
         "t.txt:1:"},
        {"listing text after registers", "CPUID 00000000: 00000001-00000000-00000000-00000000 x\n",
         "t.txt:1:"},
        {"listing conflicting sub-leaf",
         "CPUID 00000004: 00000001-00000000-00000000-00000000 [SL 01]\n"
         "CPUID 00000004: 00000002-00000000-00000000-00000000 [SL 01]\n",
         "t.txt:2: leaf 00000004 sub-leaf 1 repeated"},
        {"listing sub-leaf after the last one",
         "CPUID 00000004: 00000001-00000000-00000000-00000000 [SL FFFFFFFF]\n"
         "CPUID 00000004: 00000002-00000000-00000000-00000000\n",
         "t.txt:2: sub-leaf after FFFFFFFF"},
        {"report register missing", report_head + "00000000h\nEAX: 00000001\nECX: 00000000\n",
         "t.txt:5: expected EBX"},
        {"report register bad", report_head + "00000000h\nEAX: 0000001G\n",
         "t.txt:4: register is not 8 hex"},
        {"report leaf cut short at the end", report_head + "00000000h\nEAX: 00000001\n",
         "t.txt:4: leaf cut short"},
        {"report damaged leaf line", report_head + "0000000h\n", "t.txt:3: malformed leaf line"},
        {"report without leaves", report_head, "t.txt:2: no CPUID data"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ErrorOf(c.text).substr(0, c.message.size()), c.message) << ErrorOf(c.text);
    }
}

TEST(DumpReaders, OverlongLineIsRefusedAtThatLine) {
    const std::string text = "CPU 0:\n" + std::string(1 << 20, 'A') + "\n";
    EXPECT_EQ(ErrorOf(text).substr(0, 28), "t.txt:2: line longer than 81");
}

TEST(DumpReaders, ReplayAnswersRecordedSubLeavesAndZerosElsewhere) {
    const auto cpus = Read(
        "CPUID 00000000: 00000004-00000001-00000002-00000003\n"
        "CPUID 00000004: 00000011-00000000-00000000-00000000\n"
        "CPUID 00000004: 00000022-00000000-00000000-00000000\n"
        "CPUID 80000000: 80000001-00000000-00000000-00000000\n");
    ReplaySource src(cpus[0]);
    struct Case {
        uint32_t leaf, subleaf, eax;
    } cases[] = {{0, 0, 4},
                 {4, 0, 0x11},
                 {4, 1, 0x22},
                 {4, 2, 0},
                 {1, 0, 0},
                 {0x80000000, 0, 0x80000001},
                 {0xFFFFFFFF, 0xFFFFFFFF, 0}};
    for (const Case& c : cases) EXPECT_EQ(src.Execute(c.leaf, c.subleaf).EAX, c.eax) << std::hex << c.leaf;
}

}  // namespace
}  // namespace talvex
