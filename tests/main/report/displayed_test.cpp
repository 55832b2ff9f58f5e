// The name and cache fields of the window and the report beyond the 2004 tables: on every recorded
// processor they say what the processor details of the same dump say, wherever the tables could
// not; hostile registers give bounded fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "main/report/load_data.h"
#include "main/report/report.h"
#include "probe/details/details.h"
#include "probe/platform/platform.h"
#include "probe/tables/cache.h"
#include "probe/tables/displayed.h"
#include "probe/tables/naming.h"
#include "probe/text/text.h"
#include "support/dumps.h"
#include "support/fakes.h"
#include "support/paths.h"
#include "support/pinned.h"

namespace talvex {
namespace {

using testing::FakePlatform;
using testing::FakeSource;

std::string ReportLine(const std::string& report, const std::string& label) {
    const size_t at = report.find("\r\n" + label);
    if (at == std::string::npos) return "<missing>";
    const size_t start = at + 2 + label.size();
    return report.substr(start, report.find("\r\n", start) - start);
}

// The first cache of a level among `types`, from the details' list as the details window lists it.
uint64_t DetailsKB(const ProcessorDetails& d, unsigned level, std::initializer_list<CacheType> types) {
    for (const CacheDetails& c : d.caches)
        for (CacheType t : types)
            if (c.level == level && c.type == t) return c.size;
    return 0;
}

std::string Field(uint64_t kb) { return kb == 0 ? "" : std::to_string(kb) + "KB"; }

// What the window must show on one processor; `tables` are the 2004 routines' own answers.
struct Expected {
    std::string name, l1i, l1d, l2, l3;
};

Expected FromDetails(const Probe& probe, const ProcessorDetails& d) {
    const uint32_t eax = d.signature;
    TCacheInfo tables;
    GetCacheInfo(probe, tables);
    Expected e;
    if (WithinNamingTables(d.vendor.view(), eax)) {
        e.name = GetProcessorName(probe);
    } else if (d.uarch) {
        e.name = MicroarchitectureName(*d.uarch);
    } else {
        e.name = UnknownProcessorName(d.vendor.view(), SigFamily(eax)).value_or(GetProcessorName(probe));
    }
    // A size the tables leave unknown is the details' size of that level, whatever leaf gave it.
    using enum CacheType;
    e.l1d = std::to_string(tables.L1D != 0 ? tables.L1D : DetailsKB(d, 1, {Data, Unified})) + "KB";
    if (tables.TraceCache > 0)
        e.l1i = std::to_string(tables.TraceCache) + "KuOps";
    else
        e.l1i = std::to_string(tables.L1I != 0 ? tables.L1I : DetailsKB(d, 1, {Instruction})) + "KB";
    e.l2 = Field(tables.L2 != 0 ? tables.L2 : DetailsKB(d, 2, {Data, Unified}));
    e.l3 = Field(tables.L3 != 0 ? tables.L3 : DetailsKB(d, 3, {Data, Unified}));
    return e;
}

// The model the details give is in the window wherever the extended model counts in it: ModelEx
// beside Model read together.
void ExpectModel(const RecordingSink& window, const ProcessorDetails& d) {
    if (d.model > 15) {
        EXPECT_EQ(window[LoadField::editModelEx].text + window[LoadField::editModel].text, Hex(d.model, 2));
    }
}

void ExpectShown(const Probe& probe, const Expected& e, const ProcessorDetails& d) {
    RecordingSink window;
    LoadData(probe, window, ".", 0);
    ExpectModel(window, d);
    EXPECT_EQ(window[LoadField::editCPUName].text, e.name);
    EXPECT_EQ(window[LoadField::editL1I].text, e.l1i);
    EXPECT_EQ(window[LoadField::editL1D].text, e.l1d);
    EXPECT_EQ(window[LoadField::editL2].text, e.l2);
    EXPECT_EQ(window[LoadField::editL3].text, e.l3);

    std::string report;
    BuildReport(probe, report, ".");
    EXPECT_EQ(report.substr(0, report.find("\r\n")), "CPU Name: " + e.name);
    EXPECT_EQ(ReportLine(report, "L1 D-Cache: "), e.l1d);
    EXPECT_EQ(ReportLine(report, "L2 Cache  : "), e.l2.empty() ? "0KB" : e.l2);
    EXPECT_EQ(ReportLine(report, "L3 Cache  : "), e.l3.empty() ? "0KB" : e.l3);
}

// Every recorded processor, and on hybrid ones the other kind of core too: the core examined
// decides the name, so the two kinds of core of one die are told apart.
TEST(DisplayedFields, EveryDumpShowsWhatItsDetailsSay) {
    int beyond = 0, hybrid = 0;
    for (const std::string& file : testing::DumpNames()) {
        SCOPED_TRACE(file);
        DumpProcessor cpu = testing::Normalized(file);
        const testing::Replayed replayed(cpu);
        const ProcessorDetails d = GetProcessorDetails(replayed.probe);
        const Expected e = FromDetails(replayed.probe, d);
        ExpectShown(replayed.probe, e, d);
        if (!WithinNamingTables(d.vendor.view(), d.signature)) ++beyond;
        if (d.core_type == CoreType::None) continue;

        ++hybrid;
        // Intel's leaf 0x1A EAX[31:24] 0x20 efficiency, 0x40 performance; AMD's 0x80000026 EBX[31:28].
        for (DumpLeaf& leaf : cpu.leaves) {
            if (leaf.leaf == 0x1A && leaf.subleaf == 0) leaf.regs.EAX ^= 0x60000000;
            if (leaf.leaf == 0x80000026 && leaf.subleaf == 0) leaf.regs.EBX ^= 0x10000000;
        }
        const testing::Replayed other(cpu);
        const ProcessorDetails od = GetProcessorDetails(other.probe);
        ASSERT_NE(od.core_type, d.core_type);
        const Expected oe = FromDetails(other.probe, od);
        ExpectShown(other.probe, oe, od);
        if (d.uarch && od.uarch && d.uarch->microarchitecture != od.uarch->microarchitecture) {
            EXPECT_NE(oe.name, e.name);
        }
    }
    EXPECT_GE(beyond, 30);  // the corpus is mostly of later processors
    EXPECT_GE(hybrid, 3);
}

// A copied report, saved and replayed, holds sub-leaf 0 of each leaf: it shows the name and caches its
// own lines give wherever its leaves cannot. Made again from the replay, the report has the same lines,
// and the details give each level the size the details of the whole dump give, taken from the lines
// (and so marked) where the leaves do not give it. Every dump, and the recorded Ice Lake-SP, whose hypervisor's 0x80000006 gives 256 KB
// for its 1280 KB L2.
TEST(DisplayedFields, AReplayedReportKeepsTheLinesItWasCopiedWith) {
    std::vector<std::string> paths{std::string(TALVEX_MACHINES_DIR)
                                   + "/intel-xeon-icelake-sp-kvm-linux-6.18/cpuid-r.txt"};
    for (const std::string& file : testing::DumpNames()) paths.push_back(testing::kNormalized + "/" + file);
    const char* const kLabels[] = {
        "CPU Name: ", "L1 I-Cache: ", "L1 T-Cache: ", "L1 D-Cache: ", "L2 Cache  : ", "L3 Cache  : "};
    int taken = 0;
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const testing::Replayed original(ReadDumpFile(path).at(0));
        std::string report;
        BuildReport(original.probe, report, ".");
        std::istringstream in("***01/02/26 03:04:05***\r\n" + report);
        const DumpProcessor copied = ReadDump(in, "copied.txt").at(0);
        ASSERT_TRUE(copied.reported);
        const ReplaySource source(copied);
        ReplayPlatform os;
        std::string again;
        BuildReport(Probe{source, os, &*copied.reported}, again, ".");
        for (const char* label : kLabels)
            EXPECT_EQ(ReportLine("\r\n" + again, label), ReportLine("\r\n" + report, label));

        const ProcessorDetails d = GetRecordedDetails({copied}, {0}).at(0);
        const ProcessorDetails whole = GetRecordedDetails({ReadDumpFile(path).at(0)}, {0}).at(0);
        for (const uint8_t level : {uint8_t{1}, uint8_t{2}, uint8_t{3}})
            EXPECT_EQ(FirstCacheKB(d.caches, level), FirstCacheKB(whole.caches, level));
        EXPECT_EQ(DetailsKB(d, 1, {CacheType::Instruction}), DetailsKB(whole, 1, {CacheType::Instruction}));
        taken += std::any_of(d.caches.begin(), d.caches.end(),
                             [](const CacheDetails& c) { return c.source == CacheSource::ReportLines; });
    }
    EXPECT_GE(taken, 1);

    // A model the microarchitecture table does not know (99h), in a report whose own line names it.
    const testing::Replayed icelake(ReadDumpFile(paths.front()).at(0));
    std::string report;
    BuildReport(icelake.probe, report, ".");
    const size_t leaf1 = report.find("\r\n00000001h\r\nEAX: 000606A6\r\n");
    ASSERT_NE(leaf1, std::string::npos);
    report.replace(leaf1 + 18, 8, "00090690");
    std::istringstream in(report);
    const DumpProcessor copied = ReadDump(in, "copied.txt").at(0);
    const ReplaySource source(copied);
    ReplayPlatform os;
    EXPECT_EQ(GetDisplayedName(Probe{source, os, &*copied.reported}), "Sunny Cove(Ice Lake-SP)");
}

// The processor this runs on, pinned to the first processor it may run on so that every query
// answers for one core (on a hybrid machine the kinds of core are named apart).
TEST(DisplayedFields, ThisMachineShowsWhatItsDetailsSay) {
    LinuxPlatform os;
    const testing::PinnedThread pin(os);
    if (!pin.pinned()) GTEST_SKIP() << "cannot pin";
    const HardwareSource hardware;
    const Probe probe{hardware, os};
    const ProcessorDetails d = GetProcessorDetails(probe);
    ExpectShown(probe, FromDetails(probe, d), d);
}

TEST(DisplayedFields, TheTablesEndAtTheirLastFamilies) {
    struct Row {
        const char* vendor;
        uint32_t eax;
        bool within;
    } rows[] = {
        {"GenuineIntel", 0x000006D6, true},   // Dothan: family 6, extended model 0
        {"GenuineIntel", 0x000006FB, true},   // Core 2 Kentsfield still reads 6/F
        {"GenuineIntel", 0x000106A5, false},  // Nehalem: extended model 1
        {"GenuineIntel", 0x00000F29, true},   // Northwood
        {"GenuineIntel", 0x00100F00, true},   // extended family 1: Itanium 2's row
        {"GenuineIntel", 0x00200F00, false},  // extended family 2
        {"GenuineIntel", 0x00010F00, true},   // family 15 with an extended model only
        {"AuthenticAMD", 0x00020FF0, true},   // K8 Venice: extended model counts nothing here
        {"AuthenticAMD", 0x00100F22, false},  // family 10h
        {"AuthenticAMD", 0x00010660, true},   // family 6 with an extended model: K7's table
        {"HygonGenuine", 0x00000000, false},  // always
        {"CentaurHauls", 0x000006A9, true},   // C7
        {"CentaurHauls", 0x000106F2, false},  // family 6 with an extended model
        {"CentaurHauls", 0x00000500, true},   // family 5
        {"CentaurHauls", 0x00010500, true},   // below family 6, extended fields do not count
        {"  Shanghai  ", 0x00070000 | 0x700, false},
        {"CyrixInstead", 0x00100600, false},  // extended family alone
        {"Unknown", 0x00000000, true},
    };
    for (const Row& r : rows)
        EXPECT_EQ(WithinNamingTables(r.vendor, r.eax), r.within) << r.vendor << std::hex << " " << r.eax;
}

// Leaf 4 answering the same cache for all 64 sub-leaves with every count at its top (a size of
// 2^54 KB), and 0x80000006 EDX all ones: fields stay within 32 bits and the load ends.
TEST(DisplayedFields, HostileRegistersGiveBoundedFields) {
    struct Case {
        const char* vendor;
        uint32_t eax1, leaf4_eax;
        const char* l1d;
        const char* l3;
    } cases[] = {
        {"GenuineIntel", 0x000906A0, 0x00000021, "4294967295KB", ""},     // L1 data
        {"GenuineIntel", 0x000906A0, 0x00000063, "0KB", "4294967295KB"},  // L3 unified
        // Level 7 and a reserved type: no cache of leaf 4; 0x80000006 EDX is reserved on Intel.
        {"GenuineIntel", 0x000906A0, 0x000000FF, "0KB", ""},
        {"AuthenticAMD", 0x00A00F10, 0x00000063, "0KB", "8388096KB"},  // no 0x8000001D: 0x80000006
        {"HygonGenuine", 0xFFFFFFFF, 0x00000063, "0KB", "8388096KB"},
        {"Foreign CPU!", 0xFFFFFFFF, 0x00000021, "4294967295KB", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.vendor) + " " + c.l1d + " " + c.l3);
        FakeSource cpu;
        cpu.Vendor(c.vendor, 0x1F).Set(1, c.eax1, 0xFFFFFFFF, 0x7FFFFFFF, 0xFFFFFFFF);
        cpu.Set(4, c.leaf4_eax, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF).Set(0x1A, 0xFFFFFFFF);
        cpu.Set(0x80000000, 0x80000008).Set(0x80000001, 0xFFFFFFFF, 0, 0, 0xFFFFFFFF);
        cpu.Set(0x80000005, 0, 0, 0, 0).Set(0x80000006, 0, 0, 0, 0xFFFFFFFF);
        FakePlatform os;
        os.live_clock = false;
        RecordingSink window;
        LoadData(Probe{cpu, os}, window, ".", 0);
        EXPECT_EQ(window[LoadField::editL1D].text, c.l1d);
        EXPECT_EQ(window[LoadField::editL3].text, c.l3);
        EXPECT_LE(window[LoadField::editCPUName].text.size(), 64u);
    }
}

// A size the tables leave unknown comes from whatever leaf the details read it from; a trace cache
// stays, with no L1 instruction cache beside it.
TEST(DisplayedFields, AnUnknownSizeComesFromTheLeafTheDetailsReadItFrom) {
    struct Case {
        uint32_t eax1, leaf2_edx;  // no leaf 2 where 0
        TCacheInfo shown;
    } cases[] = {
        // Family 6 without leaf 2 (the tables' model table serves family 5 alone): of 0x80000005/6
        // Intel documents the L2 register alone.
        {0x00000695, 0, {.L2 = 256}},
        // Descriptor 0x7D (2 MB L2) is not in the tables; 0x0C and the trace cache 0x70 are.
        {0x00000F29, 0x0C70'7D00, {.L1D = 16, .TraceCache = 12, .L2 = 2048}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.eax1);
        FakeSource cpu;
        cpu.Vendor("GenuineIntel", c.leaf2_edx == 0 ? 1 : 2).Set(1, c.eax1).Set(2, 1, 0, 0, c.leaf2_edx);
        // L1: 16 KB, 4 ways, 32-byte lines; L2: 256 KB, 8 ways (code 6), 64-byte lines.
        const uint32_t l1 = (16u << 24) | (4u << 16) | (1u << 8) | 32;
        cpu.Set(0x80000000, 0x80000006).Set(0x80000005, 0, 0, l1, l1);
        cpu.Set(0x80000006, 0, 0, (256u << 16) | (6u << 12) | 64, 0);
        FakePlatform os;
        EXPECT_EQ(GetDisplayedCacheInfo(Probe{cpu, os}), c.shown);
    }
}

// Leaf 4 is executed only when leaf 2 leaves a field unknown; what leaf 2 gives stays, even where
// leaf 4 says otherwise.
TEST(DisplayedFields, Leaf4OnlyForAnUnknownField) {
    struct Case {
        uint32_t leaf2_edx;
        bool leaf4_read;
        TCacheInfo shown;
    } cases[] = {
        // 0x0C L1D 16, 0x08 L1I 16, 0x43 L2 512, 0x22 L3 512: all known.
        {0x0C08'4322, false, {.L1D = 16, .L1I = 16, .L2 = 512, .L3 = 512}},
        // No 0x22: the L3 comes from leaf 4 (8 ways x 64 bytes x 2048 sets = 1024 KB).
        {0x0C08'4300, true, {.L1D = 16, .L1I = 16, .L2 = 512, .L3 = 1024}},
        // No L2: leaf 4 is asked, has none, and leaf 2's L3 stays although leaf 4's differs.
        {0x0C08'0022, true, {.L1D = 16, .L1I = 16, .L3 = 512}},
        // 0x70 is a trace cache: never replaced, and no L1I beside it.
        {0x0C70'4322, false, {.L1D = 16, .TraceCache = 12, .L2 = 512, .L3 = 512}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.leaf2_edx);
        FakeSource cpu;
        // Leaf 4 answers every sub-leaf with a 1024 KB L3.
        cpu.Vendor("GenuineIntel", 4).Set(1, 0x000006F6).Set(2, 0x00000001, 0, 0, c.leaf2_edx);
        cpu.Set(4, 0x00000063, (7u << 22) | 63, 2047);
        FakePlatform os;
        const TCacheInfo shown = GetDisplayedCacheInfo(Probe{cpu, os});
        bool leaf4 = false;
        for (const auto& call : cpu.calls) leaf4 = leaf4 || call.first == 4;
        EXPECT_EQ(leaf4, c.leaf4_read);
        EXPECT_EQ(shown, c.shown);
    }
}

}  // namespace
}  // namespace talvex
