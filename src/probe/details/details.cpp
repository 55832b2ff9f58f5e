// The processor details from CPUID registers. Layouts:
// - leaf 0 EBX, EDX, ECX: vendor text; leaf 1 EAX: stepping [3:0], model [7:4], family [11:8],
//   extended model [19:16], extended family [27:20]; leaf 1 EBX[7:0] brand index, EBX[31:24]
//   initial APIC ID, EBX[23:16] logical processors per package, EDX[28] HTT; ECX[31] hypervisor
//   present; EAX[13:12] processor type; leaf 4 sub-leaf 0 EAX[31:26] cores per package - 1;
// - leaves 0x1F / 0xB sub-leaf n: EBX[15:0] logical processors at this level, ECX[15:8] level type
//   (0 ends the list, 1 is the SMT level), EDX the x2APIC ID;
// - leaf 7.0 EDX[15] hybrid, leaf 0x1A EAX[31:24] core type (0x20 Atom, 0x40 Core);
//   AMD 0x80000026.0 EAX[30] heterogeneous cores, EBX[31:28] core type (0 performance, 1 efficiency);
// - 0x8000001E EBX[15:8] threads per core - 1; 0x80000008 EAX[7:0] physical and [15:8] linear
//   address bits, ECX[7:0] logical processors - 1, ECX[15:12] APIC ID bits of the package (0: as
//   many as ECX[7:0] + 1 needs); leaves 0x1F / 0xB sub-leaf n EAX[4:0]: APIC ID bits below the next level;
// - 0x80000007 EDX[8]: the time stamp counter is invariant;
// - leaf 0x16 EAX, EBX, ECX [15:0]: base, maximum and bus frequency in MHz;
// - 0x40000000 EBX, ECX, EDX: the hypervisor's vendor text;
// - the x86-64 psABI micro-architecture levels, each a list of feature bits (below).
#include "probe/details/details.h"

#include <map>
#include <set>
#include <tuple>

#include "probe/details/capture.h"
#include "probe/details/details_caches.h"
#include "probe/leaves/leaf_reader.h"
#include "probe/leaves/vendor.h"
#include "probe/platform/platform.h"

namespace talvex {

namespace {

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// A feature bit by its place in the registers: (kFeatureRegisters row, bit).
struct FeatureBit {
    uint8_t group;
    uint8_t bit;
};

constexpr FeatureBit Feature(std::string_view name) {
    for (const FeatureName& f : kFeatureNames)
        if (f.name == name) return {f.group, f.bit};
    throw "not a feature name";  // at compile time: a misspelt name does not build
}

// The x86-64 levels: what each adds to the one below, level 1 being x86-64's baseline. The baseline's
// SYSCALL is left out: Intel's processors report it only in 64-bit mode, so a dump taken in 32-bit
// mode would lack it. OSXSAVE stands for the operating system's support of the AVX state. In Linux's
// words SSE3 is "pni", LAHF-SAHF "lahf_lm" and LZCNT "abm".
// clang-format off
constexpr uint16_t kLevel1[] = {
    FeatureRow("cmov"), FeatureRow("cx8"), FeatureRow("fpu"), FeatureRow("fxsr"), FeatureRow("mmx"),
    FeatureRow("sse"), FeatureRow("sse2"), FeatureRow("lm"),
};
constexpr uint16_t kLevel2[] = {
    FeatureRow("cx16"), FeatureRow("lahf_lm"), FeatureRow("popcnt"), FeatureRow("pni"), FeatureRow("sse4_1"),
    FeatureRow("sse4_2"), FeatureRow("ssse3"),
};
constexpr uint16_t kLevel3[] = {
    FeatureRow("avx"), FeatureRow("avx2"), FeatureRow("bmi1"), FeatureRow("bmi2"), FeatureRow("f16c"),
    FeatureRow("fma"), FeatureRow("abm"), FeatureRow("movbe"), FeatureRow("osxsave"),
};
constexpr uint16_t kLevel4[] = {
    FeatureRow("avx512f"), FeatureRow("avx512bw"), FeatureRow("avx512cd"), FeatureRow("avx512dq"),
    FeatureRow("avx512vl"),
};
// clang-format on

constexpr uint16_t kFpuRow = FeatureRow("fpu");

unsigned X86_64Level(const ProcessorDetails& d) {
    for (unsigned level = 1; level <= kMaxX86_64Level; ++level)
        for (const uint16_t row : X86_64LevelRows(level))
            if (!d.features[row]) return level - 1;
    return kMaxX86_64Level;
}

// The extended topology leaf in use: 0x1F before 0xB, each only when its sub-leaf 0 EBX is non-zero.
uint32_t TopologyLeaf(const LeafReader& leaves) {
    for (uint32_t leaf : {0x1Fu, 0xBu})
        if (leaves.Read(leaf, 0).EBX != 0) return leaf;
    return 0;
}

// `cores`: cores per package as ReadCores counts them. Leaves 0xB and 0x1F count a package's logical
// processors, and AMD's 0x80000008 counts them and its cores; leaf 1 and leaf 4 give the APIC ID room
// of each instead, so each kind of figure is paired with its own kind.
Topology ReadTopology(const LeafReader& leaves, uint32_t topology_leaf, bool amd, bool hybrid,
                      const TCPUIDRegs& leaf1, uint32_t cores) {
    Topology t;
    if (topology_leaf != 0) {
        for (uint32_t sub = 0; sub < 64; ++sub) {
            const TCPUIDRegs r = leaves.Read(topology_leaf, sub);
            const uint32_t type = Bits(r.ECX, 15, 8);
            if (type == 0) break;
            if (type == 1 && t.threads_per_core == 0) t.threads_per_core = Bits(r.EBX, 15, 0);
            t.logical_per_package = Bits(r.EBX, 15, 0);
        }
        if (amd)
            t.cores_per_package = cores;
        else if (!hybrid && t.threads_per_core != 0 && t.logical_per_package % t.threads_per_core == 0)
            t.cores_per_package = t.logical_per_package / t.threads_per_core;
        return t;
    }
    if (amd) {
        if (leaves.InRange(0x8000001E)) t.threads_per_core = Bits(leaves.Read(0x8000001E).EBX, 15, 8) + 1;
        if (leaves.InRange(0x80000008)) t.logical_per_package = Bits(leaves.Read(0x80000008).ECX, 7, 0) + 1;
        t.cores_per_package = cores;
        return t;
    }
    if (!BitSet(leaf1.EDX, 28)) return {1, 1, cores};  // no HTT: one logical processor
    t.logical_per_package = Bits(leaf1.EBX, 23, 16);
    if (t.logical_per_package == 1) return {1, 1, cores};  // HTT set, but one logical processor all the same
    if (cores != 0) t.threads_per_core = t.logical_per_package / cores;
    t.cores_per_package = cores;
    return t;
}

// Cores per package, 0 where CPUID does not count them: leaf 4 EAX[31:26] + 1 where leaf 4 describes a
// cache; on AMD and Hygon the logical processors of 0x80000008 ECX, divided from family 17h on by the
// threads of one core (before it, 0x8000001E does not count threads).
uint32_t ReadCores(const LeafReader& leaves, bool amd, uint32_t family) {
    if (amd) {
        if (!leaves.InRange(0x80000008)) return 0;
        const uint32_t logical = Bits(leaves.Read(0x80000008).ECX, 7, 0) + 1;
        if (family < 0x17 || !leaves.InRange(0x8000001E)) return logical;
        return logical / (Bits(leaves.Read(0x8000001E).EBX, 15, 8) + 1);
    }
    const TCPUIDRegs leaf4 = leaves.Read(4, 0);
    return Bits(leaf4.EAX, 4, 0) != 0 ? Bits(leaf4.EAX, 31, 26) + 1 : 0;
}

// The number of low bits that number `count` things: the smallest n with 2^n >= count.
unsigned BitsFor(uint32_t count) {
    unsigned bits = 0;
    while (bits < 32 && (uint64_t{1} << bits) < count) ++bits;
    return bits;
}

// `cores`: cores per package as ReadCores counts them.
std::optional<ApicSplit> ReadApicSplit(const LeafReader& leaves, uint32_t topology_leaf, bool amd,
                                       uint32_t family, const TCPUIDRegs& leaf1, uint32_t cores) {
    if (topology_leaf != 0) {
        std::optional<ApicSplit> split;
        for (uint32_t sub = 0; sub < 64; ++sub) {
            const TCPUIDRegs r = leaves.Read(topology_leaf, sub);
            const uint32_t type = Bits(r.ECX, 15, 8);
            if (type == 0) break;
            if (!split) split.emplace();
            if (type == 1) split->thread_bits = Bits(r.EAX, 4, 0);
            split->package_bits = Bits(r.EAX, 4, 0);
        }
        return split;
    }
    if (amd && leaves.InRange(0x80000008)) {
        const uint32_t ecx = leaves.Read(0x80000008).ECX;
        ApicSplit split;
        split.package_bits = Bits(ecx, 15, 12) != 0 ? Bits(ecx, 15, 12) : BitsFor(Bits(ecx, 7, 0) + 1);
        if (family >= 0x17 && leaves.InRange(0x8000001E))
            split.thread_bits = BitsFor(Bits(leaves.Read(0x8000001E).EBX, 15, 8) + 1);
        return split;
    }
    if (!BitSet(leaf1.EDX, 28)) return ApicSplit{};  // no HTT: one logical processor a package
    const uint32_t logical = Bits(leaf1.EBX, 23, 16);
    if (amd || logical == 0) return std::nullopt;
    // Without leaf 4, one core: the threads of a package are those of its core (Pentium 4 with HT).
    return ApicSplit{BitsFor(logical / std::max(cores, 1u)), BitsFor(logical)};
}

CoreType ReadCoreType(const LeafReader& leaves, bool amd) {
    if (amd) {
        const TCPUIDRegs r = leaves.Read(0x80000026, 0);
        if (!BitSet(r.EAX, 30)) return CoreType::None;
        switch (Bits(r.EBX, 31, 28)) {
        case 0: return CoreType::Performance;
        case 1: return CoreType::Efficiency;
        default: return CoreType::None;
        }
    }
    if (!BitSet(leaves.Read(7, 0).EDX, 15)) return CoreType::None;
    switch (Bits(leaves.Read(0x1A, 0).EAX, 31, 24)) {
    case 0x40: return CoreType::Performance;
    case 0x20: return CoreType::Efficiency;
    default: return CoreType::None;
    }
}

const CacheDetails* SameCache(const ProcessorDetails& d, const CacheDetails& like) {
    for (const CacheDetails& c : d.caches)
        if (c.level == like.level && c.type == like.type && c.shared_by == like.shared_by) return &c;
    return nullptr;
}

// Everything the microarchitecture table is asked (vendor, signature, brand, core type and count,
// caches, with those a replayed report's own lines give where its leaves cannot) and its answer;
// gives leaf 1.
TCPUIDRegs ReadIdentity(const LeafReader& leaves, const ReportedLines* reported, ProcessorDetails& d) {
    const TCPUIDRegs leaf0 = leaves.Read(0);
    d.vendor = InlineText<12>(RegisterText({leaf0.EBX, leaf0.EDX, leaf0.ECX}, TextEnd::Whole));
    const std::string_view vendor = d.vendor.view();
    const Vendor maker = VendorOf(vendor);
    const bool amd = IsAmdOrHygon(maker);

    const TCPUIDRegs leaf1 = leaves.Read(1);
    d.signature = leaf1.EAX;
    d.brand_index = static_cast<uint8_t>(BrandIndex(leaf1.EBX));
    const uint32_t base_family = SigFamily(leaf1.EAX);
    d.family = base_family == 15 ? base_family + SigExtFamily(leaf1.EAX) : base_family;
    // The extended model counts on Intel's families 6 and 15, on AMD's and Hygon's family 15 only,
    // and, as Linux reads them, on every family from 6 up of the other vendors (Zhaoxin's family 7).
    const bool intel = maker == Vendor::Intel;
    const bool extended_model = amd     ? base_family == 15
                                : intel ? base_family == 6 || base_family == 15
                                        : base_family >= 6;
    d.model = extended_model ? SigExtModel(leaf1.EAX) * 16 + SigModel(leaf1.EAX) : SigModel(leaf1.EAX);
    d.stepping = SigStepping(leaf1.EAX);

    const TCPUIDRegs b2 = leaves.Read(0x80000002), b3 = leaves.Read(0x80000003), b4 = leaves.Read(0x80000004);
    const InlineText<48> brand = RegisterText(
        {b2.EAX, b2.EBX, b2.ECX, b2.EDX, b3.EAX, b3.EBX, b3.ECX, b3.EDX, b4.EAX, b4.EBX, b4.ECX, b4.EDX},
        TextEnd::Whole);
    d.brand = InlineText<48>(TrimBlanks(brand.view()));

    d.core_type = ReadCoreType(leaves, amd);
    d.cores_per_package = ReadCores(leaves, amd, d.family);
    // The one feature bit the table asks: the Quark microcontroller is told apart by it.
    d.features[kFpuRow] = BitSet(leaf1.EDX, 0);
    d.cache_source = ReadCaches(leaves, vendor, leaf1.EAX, d.family, d.model, d.caches);
    if (reported != nullptr) AddReportedCaches(*reported, d.caches);
    d.uarch = IdentifyMicroarchitecture(UarchQueryOf(d));
    return leaf1;
}

}  // namespace

ProcessorDetails GetProcessorIdentity(const Probe& probe) {
    ProcessorDetails d;
    const LeafReader leaves(probe.source);
    if (!probe.source.HasCPUID()) return d;
    ReadIdentity(leaves, probe.reported, d);
    return d;
}

std::span<const uint16_t> X86_64LevelRows(unsigned level) {
    switch (level) {
    case 1: return kLevel1;
    case 2: return kLevel2;
    case 3: return kLevel3;
    case 4: return kLevel4;
    default: return {};
    }
}

ProcessorDetails GetProcessorDetails(const Probe& probe, ProcessorNumber cpu) {
    ProcessorDetails d;
    d.cpu = cpu;
    const LeafReader leaves(probe.source);
    if (!probe.source.HasCPUID()) return d;

    const TCPUIDRegs leaf1 = ReadIdentity(leaves, probe.reported, d);
    const bool amd = IsAmdOrHygon(VendorOf(d.vendor.view()));

    if (BitSet(leaf1.ECX, 31)) {
        const TCPUIDRegs h = leaves.Read(0x40000000);
        d.hypervisor = InlineText<12>(RegisterText({h.EBX, h.ECX, h.EDX}, TextEnd::Whole));
    }

    const uint32_t topology_leaf = TopologyLeaf(leaves);
    d.apic_id = topology_leaf != 0 ? leaves.Read(topology_leaf, 0).EDX : InitialApicId(leaf1.EBX);
    d.topology =
        ReadTopology(leaves, topology_leaf, amd, d.core_type != CoreType::None, leaf1, d.cores_per_package);
    d.apic_split = ReadApicSplit(leaves, topology_leaf, amd, d.family, leaf1, d.cores_per_package);
    d.invariant_tsc = leaves.InRange(0x80000007) && BitSet(leaves.Read(0x80000007).EDX, 8);

    if (leaves.InRange(0x80000008)) {
        const uint32_t eax = leaves.Read(0x80000008).EAX;
        d.address_bits = AddressBits{Bits(eax, 7, 0), Bits(eax, 15, 8)};
    }
    if (const TCPUIDRegs f = leaves.Read(0x16); f.EAX != 0)
        d.frequency_mhz = FrequencyMHz{Bits(f.EAX, 15, 0), Bits(f.EBX, 15, 0), Bits(f.ECX, 15, 0)};

    for (size_t g = 0; g < kFeatureRegisters.size(); ++g)
        d.feature_registers[g] = leaves.Read(kFeatureRegisters[g]);
    for (size_t i = 0; i < kFeatureNames.size(); ++i)
        d.features[i] = BitSet(d.feature_registers[kFeatureNames[i].group], kFeatureNames[i].bit);
    // A name two bits carry is set, on each of its rows, when either bit is.
    for (const FeatureRepeat& r : kFeatureRepeats)
        d.features[r.first] = d.features[r.row] = d.features[r.first] || d.features[r.row];
    d.x86_64_level = X86_64Level(d);
    return d;
}

uint32_t FirstCacheKB(const CacheList& caches, uint8_t level) {
    for (const CacheDetails& c : caches)
        if (c.level == level && c.type != CacheType::Instruction && c.type != CacheType::Trace)
            return c.size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(c.size);
    return 0;
}

UarchQuery UarchQueryOf(const ProcessorDetails& d) {
    UarchQuery query;
    query.vendor = d.vendor.view();
    query.family = d.family;
    query.model = d.model;
    query.stepping = d.stepping;
    query.brand = d.brand.view();
    query.l2_kb = FirstCacheKB(d.caches, 2);
    query.l3_kb = FirstCacheKB(d.caches, 3);
    query.core = d.core_type;
    query.caches_known = d.cache_source != CacheSource::None;
    query.cores = d.cores_per_package;
    query.type = Bits(d.signature, 13, 12);
    query.brand_index = d.brand_index;
    query.fpu = d.features[kFpuRow];
    return query;
}

CoreClockSettings ClockSettingsFor(const ProcessorDetails& d) {
    constexpr FeatureBit kTimeStampCounter = Feature("tsc");
    CoreClockSettings settings;
    settings.additions_per_cycle =
        AdditionsPerCycle(d.uarch ? d.uarch->microarchitecture : std::string_view(), d.family, d.model);
    settings.read_time_stamp_counter =
        BitSet(d.feature_registers[kTimeStampCounter.group], kTimeStampCounter.bit);
    return settings;
}

CacheSharing::CacheSharing(std::span<const ProcessorDetails> processors)
    : groups_(1), group_of_(processors.size() * kMaxCaches, 0) {
    // (level, type, sharing count, APIC ID above the bits the count spans) -> group
    using Key = std::tuple<uint8_t, CacheType, uint32_t, uint64_t>;
    std::map<Key, uint32_t> index;
    for (size_t p = 0; p < processors.size(); ++p) {
        const ProcessorDetails& d = processors[p];
        for (size_t i = 0; i < d.caches.size(); ++i) {
            const CacheDetails& c = d.caches[i];
            if (!c.shared_by) continue;
            const Key key{c.level, c.type, *c.shared_by, uint64_t{d.apic_id} >> BitsFor(*c.shared_by)};
            auto [it, added] = index.try_emplace(key, static_cast<uint32_t>(groups_.size()));
            if (added) groups_.emplace_back();
            // A processor joins once, with the first of its caches alike.
            if (SameCache(d, c) == &c) groups_[it->second].push_back(d.cpu);
            group_of_[p * kMaxCaches + i] = it->second;
        }
    }
    for (std::vector<ProcessorNumber>& g : groups_) std::sort(g.begin(), g.end());
}

const std::vector<ProcessorNumber>& CacheSharing::Of(size_t p, size_t index) const {
    return groups_[group_of_[p * kMaxCaches + index]];
}

namespace {

// What `recorded` lacks of what the details of `d` read.
DumpGaps Lacks(const ReplaySource& recorded, const ProcessorDetails& d) {
    const TCPUIDRegs leaf0 = recorded.Execute(0, 0);
    const uint32_t top = leaf0.EAX, extended_top = recorded.Execute(0x80000000, 0).EAX;
    const auto standard = [&](uint32_t leaf) { return top >= leaf && top < 0x80000000u; };
    DumpGaps gaps;
    gaps[static_cast<size_t>(DumpGap::Leaf4)] = standard(4) && LacksSubLeaves(recorded, 4);
    gaps[static_cast<size_t>(DumpGap::Leaf7)] = standard(7) && LacksSubLeaves(recorded, 7);
    gaps[static_cast<size_t>(DumpGap::Topology)] = (standard(0x1F) && LacksSubLeaves(recorded, 0x1F))
                                                   || (standard(0xB) && LacksSubLeaves(recorded, 0xB));
    gaps[static_cast<size_t>(DumpGap::LeafD)] = standard(0xD) && LacksSubLeaves(recorded, 0xD);
    gaps[static_cast<size_t>(DumpGap::Leaf8000001D)] =
        extended_top >= 0x8000001D && extended_top < 0x80010000u && LacksSubLeaves(recorded, 0x8000001D);
    gaps[static_cast<size_t>(DumpGap::Hypervisor)] = d.hypervisor && !recorded.Recorded(0x40000000, 0);
    return gaps;
}

// The package a processor lies in: its APIC ID above the package's bits.
uint64_t PackageOf(const ProcessorDetails& d) {
    return uint64_t{d.apic_id} >> std::min(d.apic_split->package_bits, 32u);
}

// How much of the machine `details`, made together, hold. `online`: this machine's processors online,
// for a live capture; nothing for a dump, which holds the machine where each package it names holds as
// many processors as CPUID gives a package (a package never holds more, so no more can be missing).
Coverage CoverageOf(const std::vector<ProcessorDetails>& details, std::optional<unsigned> online) {
    std::set<uint32_t> apic_ids;
    for (const ProcessorDetails& d : details) apic_ids.insert(d.apic_id);
    const bool distinct = apic_ids.size() == details.size();
    if (online) {
        if (!distinct) return Coverage::SameApicIds;
        if (details.size() == *online) return Coverage::Whole;
        return details.size() == 1 ? Coverage::OneProcessor : Coverage::SomeOnline;
    }
    if (details.size() < 2) return Coverage::OneProcessor;
    if (!distinct) return Coverage::SameApicIds;
    std::map<uint64_t, uint32_t> members;  // package -> processors in it
    for (const ProcessorDetails& d : details) {
        if (!d.apic_split || d.topology.logical_per_package == 0) return Coverage::TopologyUnknown;
        ++members[PackageOf(d)];
    }
    for (const ProcessorDetails& d : details)
        if (members[PackageOf(d)] != d.topology.logical_per_package) return Coverage::PackageShort;
    return Coverage::Whole;
}

}  // namespace

std::vector<ProcessorDetails> GetRecordedDetails(const std::vector<DumpProcessor>& dumps,
                                                 const std::vector<unsigned>& numbers, const Platform* live) {
    ReplayPlatform platform;
    std::vector<ProcessorDetails> details;
    details.reserve(dumps.size());
    for (size_t i = 0; i < dumps.size(); ++i) {
        const ReplaySource source(dumps[i]);
        const ReportedLines* reported = dumps[i].reported ? &*dumps[i].reported : nullptr;
        ProcessorDetails& d = details.emplace_back(
            GetProcessorDetails(Probe{source, platform, reported}, ProcessorNumber(numbers.at(i))));
        d.live = live != nullptr;
        if (!d.live) d.dump_lacks = Lacks(source, d);
    }
    const Coverage coverage =
        CoverageOf(details, live != nullptr ? std::optional(live->OnlineProcessorCount()) : std::nullopt);
    std::shared_ptr<const std::vector<Vulnerability>> verdicts;
    std::vector<std::optional<uint64_t>> microcode(details.size());
    if (live != nullptr) {
        if (std::optional<std::vector<Vulnerability>> v = live->Vulnerabilities())
            verdicts = std::make_shared<const std::vector<Vulnerability>>(std::move(*v));
        microcode = live->MicrocodeRevisions(numbers);
    }
    for (size_t i = 0; i < details.size(); ++i) {
        details[i].coverage = coverage;
        details[i].set_size = details.size();
        details[i].vulnerabilities = verdicts;
        if (i < microcode.size()) details[i].microcode = microcode[i];
    }
    return details;
}

bool HoldsWholeMachine(std::span<const ProcessorDetails> processors) {
    return !processors.empty() && processors.front().coverage == Coverage::Whole
           && processors.front().set_size == processors.size();
}

namespace {

std::optional<ProcessorCounts> Count(std::span<const ProcessorDetails> processors) {
    std::set<uint64_t> packages, cores, performance, efficiency;
    for (const ProcessorDetails& d : processors) {
        if (!d.apic_split) return std::nullopt;
        const uint64_t apic = d.apic_id;
        // A package's cores keep their package's bits, so cores of two packages never meet.
        packages.insert(apic >> std::min(d.apic_split->package_bits, 32u));
        const uint64_t core = apic >> std::min(d.apic_split->thread_bits, 32u);
        cores.insert(core);
        if (d.core_type == CoreType::Performance) performance.insert(core);
        if (d.core_type == CoreType::Efficiency) efficiency.insert(core);
    }
    ProcessorCounts counts;
    counts.packages = static_cast<uint32_t>(packages.size());
    counts.cores = static_cast<uint32_t>(cores.size());
    counts.threads = static_cast<uint32_t>(processors.size());
    counts.performance_cores = static_cast<uint32_t>(performance.size());
    counts.efficiency_cores = static_cast<uint32_t>(efficiency.size());
    return counts;
}

}  // namespace

std::optional<ProcessorCounts> CountProcessors(std::span<const ProcessorDetails> processors) {
    if (!HoldsWholeMachine(processors)) return std::nullopt;
    return Count(processors);
}

std::optional<ProcessorCounts> CountExamined(std::span<const ProcessorDetails> processors) {
    if (processors.size() < 2 || processors.front().set_size != processors.size()) return std::nullopt;
    const Coverage coverage = processors.front().coverage;
    if (coverage != Coverage::SomeOnline && coverage != Coverage::PackageShort) return std::nullopt;
    return Count(processors);
}

std::vector<CacheInstances> CountCacheInstances(std::span<const ProcessorDetails> processors,
                                                const CacheSharing& sharing) {
    std::vector<CacheInstances> instances;
    if (!HoldsWholeMachine(processors)) return instances;
    std::vector<bool> counted(sharing.GroupCount(), false);
    for (size_t p = 0; p < processors.size(); ++p) {
        const ProcessorDetails& d = processors[p];
        for (size_t i = 0; i < d.caches.size(); ++i) {
            const size_t group = sharing.GroupOf(p, i);
            if (group == 0 || counted[group]) continue;
            counted[group] = true;
            const CacheDetails& c = d.caches[i];
            auto it = std::find_if(instances.begin(), instances.end(), [&](const CacheInstances& k) {
                return k.level == c.level && k.type == c.type && k.size == c.size;
            });
            if (it == instances.end()) it = instances.insert(instances.end(), {c.level, c.type, c.size, 0});
            ++it->count;
        }
    }
    std::stable_sort(
        instances.begin(), instances.end(), [](const CacheInstances& a, const CacheInstances& b) {
            return a.level * 4 + static_cast<int>(a.type) < b.level * 4 + static_cast<int>(b.type);
        });
    return instances;
}

}  // namespace talvex
