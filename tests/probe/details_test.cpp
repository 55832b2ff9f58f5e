// The processor details on real dumps: a dozen processors of different vendors and eras checked by
// hand, the sharing of caches on a hybrid processor, the feature table against its source list, and
// registers no processor would give.
#include "probe/details/details.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/dumps.h"
#include "support/fakes.h"

namespace talvex {
namespace {

using namespace testing;  // talvex::testing: the dumps and the fakes

// "1d 32 8 64 2": level and type, size, ways, line bytes, processors sharing it (- when unknown).
std::string CacheSummary(const ProcessorDetails& d) {
    std::string out;
    for (const CacheDetails& c : d.caches) {
        if (!out.empty()) out += ", ";
        out += std::to_string(c.level) + "diut"[static_cast<int>(c.type)] + " " + std::to_string(c.size) + " "
               + std::to_string(c.ways) + " " + std::to_string(c.line_bytes) + " "
               + (c.shared_by ? std::to_string(*c.shared_by) : "-");
    }
    return out;
}

ProcessorDetails DetailsOf(const DumpProcessor& cpu, ProcessorNumber number = {}) {
    const Replayed replayed(cpu);
    return GetProcessorDetails(replayed.probe, number);
}

// Each row worked out from the dump's registers and the processor's published figures.
TEST(DetailsDumps, HandCheckedProcessors) {
    struct Row {
        const char* file;
        const char* exercises;
        uint32_t family, model, stepping;
        unsigned level;
        uint32_t threads, logical, cores;
        uint32_t package_cores;  // the same kind of figure as `logical`: a count or an APIC ID room
        CoreType core;
        std::optional<std::string> hypervisor;
        const char* caches;
    } rows[] = {
        {"intel-pentium-iii-katmai.txt", "leaf 2 alone, P6 display model", 6, 7, 3, 0, 1, 1, 0, 0,
         CoreType::None, std::nullopt, "1d 16 4 32 -, 1i 16 4 32 -, 2u 512 4 32 -"},
        {"intel-pentium-4-northwood-2.80.txt", "trace cache; HTT without leaf 4", 15, 2, 9, 0, 0, 2, 0, 0,
         CoreType::None, std::nullopt, "1d 8 4 64 -, 1t 12 8 0 -, 2u 512 8 64 -"},
        {"intel-pentium-4-willamette-1700.txt", "HTT with one logical processor, no leaf 4", 15, 0, 10, 0, 1,
         1, 0, 0, CoreType::None, std::nullopt, "1d 8 4 64 -, 1t 12 8 0 -, 2u 256 8 64 -"},
        {"intel-celeron-d-347-cedar-mill.txt", "leaf 4 plus leaf 2's trace cache", 15, 6, 5, 1, 1, 1, 1, 1,
         CoreType::None, std::nullopt, "1d 16 8 64 1, 1t 12 8 0 -, 2u 512 8 64 1"},
        {"intel-core2-quad-q6600-kentsfield.txt", "threads per core from leaf 1 and leaf 4", 6, 15, 11, 1, 1,
         4, 4, 4, CoreType::None, std::nullopt, "1d 32 8 64 1, 1i 32 8 64 1, 2u 4096 16 64 2"},
        {"intel-core-i7-4770-haswell.txt", "leaf 0xB topology, level 3", 6, 60, 3, 3, 2, 8, 8, 4,
         CoreType::None, std::nullopt, "1d 32 8 64 2, 1i 32 8 64 2, 2u 256 8 64 2, 3u 8192 16 64 16"},
        {"intel-core-i7-11700k-rocket-lake.txt", "under Hyper-V, AVX-512", 6, 167, 1, 4, 2, 16, 8, 8,
         CoreType::None, "Microsoft Hv", "1d 48 12 64 2, 1i 32 8 64 2, 2u 512 8 64 2, 3u 16384 16 64 16"},
        {"intel-core-i9-12900k-alder-lake.txt", "hybrid P-core, leaf 0x1F", 6, 151, 2, 3, 2, 24, 64, 0,
         CoreType::Performance, std::nullopt,
         "1d 48 12 64 2, 1i 32 8 64 2, 2u 1280 10 64 8, 3u 30720 12 64 128"},
        {"intel-qemu-virtual-cpu.txt", "hypervisor bit without a vendor leaf", 6, 13, 3, 1, 1, 1, 1, 1,
         CoreType::None, "", "1d 32 8 64 1, 1i 32 8 64 1, 2u 4096 16 64 1"},
        {"amd-k6-iii-sharptooth.txt", "0x80000005/6, 4-way code", 5, 9, 1, 0, 0, 0, 0, 0, CoreType::None,
         std::nullopt, "1d 32 2 32 -, 1i 32 2 32 -, 2u 256 4 32 -"},
        {"amd-athlon-64-3200-venice.txt", "K8: extended model, no 0x8000001E", 15, 47, 0, 1, 0, 1, 1, 1,
         CoreType::None, std::nullopt, "1d 64 2 64 -, 1i 64 2 64 -, 2u 512 16 64 -"},
        {"amd-phenom-ii-x6-1055t-thuban.txt", "L3 in 512 KB units, 48-way code", 16, 10, 0, 1, 0, 6, 6, 6,
         CoreType::None, std::nullopt, "1d 64 2 64 -, 1i 64 2 64 -, 2u 512 16 64 -, 3u 6144 48 64 -"},
        {"amd-ryzen-7-1800x-summit-ridge.txt", "0x8000001D, 0x8000001E topology", 23, 1, 1, 3, 2, 16, 8, 8,
         CoreType::None, std::nullopt, "1d 32 8 64 2, 1i 64 4 64 2, 2u 512 8 64 2, 3u 8192 16 64 8"},
        {"amd-ryzen-ai-9-hx-370-strix-point.txt", "AMD heterogeneous cores", 26, 36, 0, 4, 2, 24, 12, 12,
         CoreType::Performance, std::nullopt,
         "1d 48 12 64 2, 1i 32 8 64 2, 2u 1024 16 64 2, 3u 16384 16 64 8"},
        {"via-c3-ezra-t.txt", "C3 erratum: its L2 in the L1 layout of 0x80000005", 6, 8, 9, 0, 1, 1, 0, 0,
         CoreType::None, std::nullopt, "1d 64 4 32 -, 1i 64 4 32 -, 2u 64 4 32 -"},
        {"amd-duron-spitfire.txt", "Duron A0 erratum: its 64 KB L2 says 1 KB", 6, 3, 0, 0, 0, 0, 0, 0,
         CoreType::None, std::nullopt, "1d 64 2 64 -, 1i 64 2 64 -, 2u 64 16 64 -"},
        {"hygon-c86-7185-dhyana.txt", "0x8000001D sub-leaf 0 alone: the rest from 0x80000005/6", 24, 0, 1, 3,
         2, 64, 32, 32, CoreType::None, std::nullopt,
         "1d 32 8 64 2, 1i 64 4 64 -, 2u 512 8 64 -, 3u 65536 64 64 -"},
        {"zhaoxin-kx-u6780a-lujiazui.txt", "leaf 4 on Zhaoxin; extended model from family 6 up", 7, 59, 1, 2,
         1, 8, 8, 8, CoreType::None, std::nullopt, "1d 32 8 64 1, 1i 32 8 64 1, 2u 4096 16 64 4"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.file) + ": " + row.exercises);
        const ProcessorDetails d = DetailsOf(Normalized(row.file));
        EXPECT_EQ(d.family, row.family);
        EXPECT_EQ(d.model, row.model);
        EXPECT_EQ(d.stepping, row.stepping);
        EXPECT_EQ(d.x86_64_level, row.level);
        EXPECT_EQ(d.topology, (Topology{row.threads, row.logical, row.package_cores}));
        EXPECT_EQ(d.cores_per_package, row.cores);
        EXPECT_EQ(d.core_type, row.core);
        ASSERT_EQ(d.hypervisor.has_value(), row.hypervisor.has_value());
        if (row.hypervisor) {
            EXPECT_EQ(d.hypervisor->view(), *row.hypervisor);
        }
        EXPECT_EQ(CacheSummary(d), row.caches);
    }
}

// The register fields every dump must agree on with the file's own header line.
TEST(DetailsDumps, IdentityAgreesWithEveryFileHeader) {
    for (const std::string& file : DumpNames()) {
        SCOPED_TRACE(file);
        std::ifstream in(kNormalized + "/" + file);
        std::string header;
        std::getline(in, header);  // # <vendor>, <name>, brand "<brand>", signature 0x<eax>
        const ProcessorDetails d = DetailsOf(Normalized(file));
        EXPECT_EQ(header.substr(2, header.find(',') - 2), d.vendor.view());
        std::ostringstream signature;
        signature << std::hex << d.signature;
        EXPECT_NE(header.find("0x" + std::string(8 - signature.str().size(), '0') + signature.str()),
                  std::string::npos);
        if (const auto b = header.find("brand \""); b != std::string::npos) {
            const std::string brand = header.substr(b + 7, header.rfind('"') - (b + 7));
            EXPECT_NE(brand.find(d.brand.view()), std::string::npos);  // the header keeps the blanks
        }
        for (size_t i = 1; i < d.caches.size(); ++i)
            EXPECT_LE(CacheOrder(d.caches[i - 1]), CacheOrder(d.caches[i]));
    }
}

// Alder Lake's 24 processors: each P-core's L1 and L2 serve its two threads, four E-cores share one
// L2, everyone shares the L3 (APIC IDs: P-cores 0, 1, 8, 9 ... 57; E-cores 64, 66 ... 78).
TEST(DetailsDumps, CacheSharingOnAHybridProcessor) {
    const auto cpus = ReadDumpFile(kDumps + "/intel-core-i9-12900k-alder-lake.txt");
    ASSERT_EQ(cpus.size(), 24u);
    std::vector<ProcessorDetails> all;
    for (size_t i = 0; i < cpus.size(); ++i)
        all.push_back(DetailsOf(cpus[i], ProcessorNumber(static_cast<unsigned>(i))));
    const CacheSharing shared(all);
    // Processors counted from 1, as the report writes them.
    auto sharing = [&](unsigned cpu, uint8_t level, CacheType type) {
        const ProcessorDetails& d = all[cpu - 1];
        std::vector<unsigned> counted;
        for (size_t i = 0; i < d.caches.size(); ++i)
            if (d.caches[i].level == level && d.caches[i].type == type)
                for (ProcessorNumber n : shared.Of(cpu - 1, i))
                    counted.push_back(static_cast<unsigned>(n.counted()));
        return counted;
    };
    std::vector<unsigned> everyone(24);
    for (unsigned i = 0; i < 24; ++i) everyone[i] = i + 1;
    EXPECT_EQ(sharing(1, 1, CacheType::Data), (std::vector<unsigned>{1, 2}));
    EXPECT_EQ(sharing(4, 2, CacheType::Unified), (std::vector<unsigned>{3, 4}));
    EXPECT_EQ(sharing(17, 1, CacheType::Instruction), (std::vector<unsigned>{17}));
    EXPECT_EQ(sharing(22, 2, CacheType::Unified), (std::vector<unsigned>{21, 22, 23, 24}));
    EXPECT_EQ(sharing(1, 3, CacheType::Unified), everyone);
    EXPECT_EQ(sharing(24, 3, CacheType::Unified), everyone);
    EXPECT_EQ(all[16].core_type, CoreType::Efficiency);
    EXPECT_EQ(all[16].topology, (Topology{1, 24}));
}

// Linux's mba comes from leaf 0x10 on Intel and from 0x80000008 on AMD: one name, set by either bit,
// listed at its first row only.
TEST(FeatureTable, ANameOfTwoBitsIsSetByEither) {
    std::vector<size_t> rows;
    for (size_t i = 0; i < kFeatureNames.size(); ++i)
        if (kFeatureNames[i].name == "mba") rows.push_back(i);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(ListsItsName(rows[0]));
    EXPECT_FALSE(ListsItsName(rows[1]));
    const struct { uint32_t leaf, ebx; } bits[] = {{0x10, 1u << 3}, {0x80000008, 1u << 6}};
    for (const auto& b : bits) {
        SCOPED_TRACE(b.leaf);
        FakeSource cpu;
        cpu.Vendor("GenuineIntel", 0x10).Set(0x80000000, 0x80000008).Set(b.leaf, 0, b.ebx);
        FakePlatform os;
        const ProcessorDetails d = GetProcessorDetails(Probe{cpu, os});
        EXPECT_TRUE(d.features[rows[0]]);
        EXPECT_TRUE(d.features[rows[1]]);
    }
}

// Registers no processor gives must still give bounded values: a fake that answers every sub-leaf
// alike never ends an enumeration, and all-ones sizes overflow 64 bits in bytes.
TEST(DetailsHostile, BoundedValues) {
    FakeSource cpu;
    cpu.Vendor("GenuineIntel", 0xFFFFFFFF)
        .Set(1, 0x00000F43, 0xFFFFFFFF, 0x80000000, 0x10000000)
        .Set(4, 0xFFFFFFE3, 0xFFFFFFFF, 0xFFFFFFFF)  // unified L7, fully associative, 4096 sharing
        .Set(2, 0x70707001, 0x71727370, 0x80FFFFFF, 0)
        .Set(0xB, 0, 1, 0x100, 7)  // an SMT level on every sub-leaf
        .Set(0x16, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF)
        .Set(0x40000000, 0, 0x1B5B324A, 0x07080D0A, 0x007FFFFE)
        .Set(0x80000000, 0xFFFFFFFF);
    FakePlatform os;
    const ProcessorDetails d = GetProcessorDetails(Probe{cpu, os});
    ASSERT_EQ(d.caches.size(), 68u);  // 64 sub-leaves of leaf 4, then the 4 trace caches of leaf 2
    EXPECT_EQ(d.caches[0].type, CacheType::Trace);   // level 1 before the sub-leaves' level 7
    EXPECT_EQ(d.caches[4].size, uint64_t{1} << 54);  // 2^64 bytes, in KB
    EXPECT_EQ(d.caches[4].ways, 0u);
    EXPECT_EQ(d.caches[4].shared_by, 4096u);
    EXPECT_EQ(d.topology, (Topology{1, 1, 1}));
    EXPECT_EQ(d.apic_id, 7u);
    ASSERT_TRUE(d.hypervisor);
    EXPECT_EQ(d.hypervisor->view(), "J2[\x1b\n\r\b\a\xFE\xFF\x7F");
    EXPECT_EQ(d.frequency_mhz, (FrequencyMHz{0xFFFF, 0xFFFF, 0xFFFF}));

    FakeSource empty;  // every leaf zero, leaf 0 included
    const ProcessorDetails z = GetProcessorDetails(Probe{empty, os});
    EXPECT_TRUE(z.caches.empty());
    EXPECT_EQ(z.topology, (Topology{1, 1}));
    EXPECT_FALSE(z.address_bits);
    empty.has_cpuid = false;
    EXPECT_EQ(GetProcessorDetails(Probe{empty, os}).vendor.view(), "");
}

}  // namespace
}  // namespace talvex
