#pragma once
// The processor details: one processor's identity, caches, topology, hybrid core type, hypervisor,
// x86-64 level and every named feature bit, from CPUID registers alone, so that the hardware and a
// replayed dump give the same record. The main window's name and cache fields come from its own
// routines (naming, GetCacheInfo), and from this record where those leave them unknown (displayed.h).
// The record holds no heap memory: texts and caches live in fixed arrays, features are bits.

#include <algorithm>
#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "probe/clock/core_clock.h"
#include "probe/details/uarch.h"
#include "probe/dump/dump.h"
#include "probe/leaves/feature_names.h"
#include "probe/leaves/leaf2_descriptors.h"
#include "probe/leaves/vendor.h"
#include "probe/platform/cpuid.h"
#include "probe/platform/platform.h"
#include "probe/platform/processor_number.h"
#include "probe/text/inline_text.h"

namespace talvex {

// Where a cache came from, the richest first.
enum class CacheSource : uint8_t {
    None,
    Leaf4,         // deterministic cache parameters, plus leaf 2's trace caches
    Leaf8000001D,  // AMD and Hygon deterministic cache parameters
    Leaf2,         // descriptor bytes
    Leaf80000005,  // 0x80000005 (L1) and 0x80000006 (L2, L3)
    ReportLines,   // a replayed report's own lines: the size alone (ways and line unknown, shown as 0)
};

struct CacheDetails {
    uint8_t level = 0;
    CacheType type = CacheType::Data;
    uint64_t size = 0;                  // KB, rounded down; thousands of micro-operations for a trace cache
    uint32_t ways = 0;                  // 0: fully associative
    uint32_t line_bytes = 0;            // 0 for a trace cache
    std::optional<uint32_t> shared_by;  // logical processors sharing it, where CPUID says
    CacheSource source = CacheSource::None;

    friend bool operator==(const CacheDetails&, const CacheDetails&) = default;
};

// Enough for 64 deterministic sub-leaves and every trace-cache descriptor of leaf 2.
inline constexpr size_t kMaxCaches = 72;

class CacheList {
public:
    void push_back(const CacheDetails& cache) {
        if (size_ < kMaxCaches) items_[size_++] = cache;
    }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const CacheDetails& operator[](size_t i) const { return items_[i]; }
    CacheDetails& operator[](size_t i) { return items_[i]; }
    const CacheDetails* begin() const { return items_.data(); }
    const CacheDetails* end() const { return items_.data() + size_; }
    friend bool operator==(const CacheList& a, const CacheList& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
    }

private:
    std::array<CacheDetails, kMaxCaches> items_{};
    size_t size_ = 0;
};

struct Topology {
    uint32_t threads_per_core = 0;     // 0 where unknown
    uint32_t logical_per_package = 0;  // 0 where unknown
    // Cores a package has, the same kind of figure as logical_per_package (a count beside a count, an
    // APIC ID room beside a room); 0 where CPUID gives none of that kind (a hybrid die's cores differ
    // in threads).
    uint32_t cores_per_package = 0;
    friend bool operator==(const Topology&, const Topology&) = default;
};

// How an APIC ID splits: its bits below `thread_bits` tell apart the threads of one core, those
// below `package_bits` the threads of one package.
struct ApicSplit {
    unsigned thread_bits = 0;
    unsigned package_bits = 0;
    friend bool operator==(const ApicSplit&, const ApicSplit&) = default;
};

// What a dump lacks of what the details read: sub-leaves that a leaf's enumeration rule asks for,
// or the hypervisor's leaves where leaf 1 says one answers.
enum class DumpGap : uint8_t {
    Leaf4,         // the caches
    Leaf7,         // features
    Topology,      // 0x1F or 0xB: topology, counts
    LeafD,         // features
    Leaf8000001D,  // the caches
    Hypervisor,    // the hypervisor's vendor
    kCount
};
using DumpGaps = std::bitset<static_cast<size_t>(DumpGap::kCount)>;

struct AddressBits {
    uint32_t physical = 0;
    uint32_t linear = 0;  // "virtual" in the JSON
    friend bool operator==(const AddressBits&, const AddressBits&) = default;
};

struct FrequencyMHz {
    uint32_t base = 0, max = 0, bus = 0;
    friend bool operator==(const FrequencyMHz&, const FrequencyMHz&) = default;
};

// The row of kFeatureNames that lists `name`; used in a constant expression, a misspelt name does not
// build.
constexpr uint16_t FeatureRow(std::string_view name) {
    for (size_t i = 0; i < kFeatureNames.size(); ++i)
        if (kFeatureNames[i].name == name && ListsItsName(i)) return static_cast<uint16_t>(i);
    throw "not a feature name";
}

inline constexpr unsigned kMaxX86_64Level = 4;
// The features (rows of kFeatureNames) that x86-64 level `level` (1 to 4) needs beyond the level
// below, as ProcessorDetails::x86_64_level is worked out from them: 1 x86-64's baseline (long mode,
// CMOV, CX8, FPU, FXSR, MMX, SSE, SSE2), 2 SSE3 to SSE4.2, 3 AVX2 and its companions, 4 AVX-512. Empty
// for any other level.
std::span<const uint16_t> X86_64LevelRows(unsigned level);

// Bit i: the name of kFeatureNames[i] is set (by any of its bits, where two carry it).
using FeatureSet = std::bitset<kFeatureNames.size()>;

// How much of the machine the records made together hold (GetRecordedDetails).
enum class Coverage : uint8_t {
    Whole,            // every processor: a live capture of every one online, or a dump holding, for each
                      // package it names, as many processors as CPUID gives a package
    OneProcessor,     // one record alone
    SameApicIds,      // records CPUID cannot tell apart: one processor twice, or no APIC IDs
    SomeOnline,       // a live capture of fewer processors than are online
    PackageShort,     // a dump with a package holding fewer processors than CPUID gives one: a part of
                      // the machine, or a part cut down from a larger die
    TopologyUnknown,  // a dump whose packages CPUID does not tell
};

struct ProcessorDetails {
    ProcessorNumber cpu;   // given by the caller
    uint32_t apic_id = 0;  // x2APIC ID of leaf 0x1F/0xB, else the initial APIC ID of leaf 1
    InlineText<12> vendor;
    InlineText<48> brand;                          // blanks trimmed at both ends
    uint32_t family = 0, model = 0, stepping = 0;  // display family and model
    uint32_t signature = 0;                        // leaf 1 EAX
    uint8_t brand_index = 0;                       // leaf 1 EBX[7:0]
    // Both point into the microarchitecture table (static storage).
    std::optional<UarchName> uarch;
    CoreType core_type = CoreType::None;
    uint32_t cores_per_package = 0;            // as leaf 4 or 0x80000008 counts them; 0 where unknown
    std::optional<InlineText<12>> hypervisor;  // when leaf 1 ECX[31] says there is one
    unsigned x86_64_level = 0;                 // 0 without long mode, else 1..4
    std::optional<AddressBits> address_bits;
    std::optional<FrequencyMHz> frequency_mhz;
    CacheSource cache_source = CacheSource::None;  // the richest source that gave a cache
    CacheList caches;                              // level ascending, then data, instruction, unified, trace
    Topology topology;
    std::optional<ApicSplit> apic_split;  // nothing where CPUID does not say
    bool invariant_tsc = false;           // 0x80000007 EDX[8]: the time stamp counter runs at one rate
    FeatureSet features;
    // The registers the features come from, in the order of kFeatureRegisters (0 when out of range).
    std::array<uint32_t, kFeatureRegisters.size()> feature_registers{};
    // The clock measured on the processor (talvex-report --measure); never filled from CPUID.
    std::optional<CoreClock> measured_clock;

    // What the records made together say beyond CPUID (GetRecordedDetails):
    bool live = false;                           // this machine's processor, captured now; not a dump
    Coverage coverage = Coverage::OneProcessor;  // how much of the machine the records hold
    size_t set_size = 0;                // how many records were made together: a part of them is no machine
    DumpGaps dump_lacks;                // what its dump lacks; never anything for a live capture
    std::optional<uint64_t> microcode;  // the kernel's revision; live only
    // The kernel's verdicts, one list shared by the records of one capture; null where not recorded.
    std::shared_ptr<const std::vector<Vulnerability>> vulnerabilities;
};

// Queries afresh through probe.source, sub-leaves included; never fails (no CPUID: a record of zeros).
ProcessorDetails GetProcessorDetails(const Probe& probe, ProcessorNumber cpu = {});

// The identity alone (vendor, signature, brand, core type and count, caches, microarchitecture and the
// x87 bit it asks; `cpu` 1), the rest of the record left empty: the window's name and cache fields, at a fraction of the leaves.
ProcessorDetails GetProcessorIdentity(const Probe& probe);

// Size of the first cache of `level` that holds data (data or unified), in KB, clamped to 32 bits;
// 0 when there is none.
uint32_t FirstCacheKB(const CacheList& caches, uint8_t level);

// What the microarchitecture table is asked for this record; views into `d`.
UarchQuery UarchQueryOf(const ProcessorDetails& d);

// How the record's processor has its core clock measured: the additions its cores complete a cycle,
// and whether it has a time stamp counter (leaf 1 EDX[4]) to read beside the chain.
CoreClockSettings ClockSettingsFor(const ProcessorDetails& d);

// The details of recorded processors (a capture or a dump) as their replay gives them, one record per
// processor: dumps[i] is the operating system's processor numbers[i]. `live`: this machine's
// platform when the dumps were captured from it now (then the kernel's microcode revisions and
// verdicts are added), null for a dump. Every front end builds its records here.
std::vector<ProcessorDetails> GetRecordedDetails(const std::vector<DumpProcessor>& dumps,
                                                 const std::vector<unsigned>& numbers,
                                                 const Platform* live = nullptr);

// Caches of one level and type compare in this order in a cache list.
int CacheOrder(const CacheDetails& cache);

// Who shares each cache of a set of processors, worked out for the whole set at once (n log n): for
// cache `index` of processors[p], the processors (their `cpu` numbers, ascending) with a cache of the
// same level, type and sharing count whose APIC IDs agree above the bits that count spans (Intel and
// AMD number the sharing processors consecutively). Empty when CPUID does not say how it is shared.
class CacheSharing {
public:
    explicit CacheSharing(std::span<const ProcessorDetails> processors);
    // One vector for all the caches of one sharing group, so a caller may key on its address.
    const std::vector<ProcessorNumber>& Of(size_t p, size_t index) const;

    // The number of sharing groups: 0 is the empty one, each other one cache of the machine.
    size_t GroupCount() const { return groups_.size(); }
    // The group of cache `index` of processors[p]; 0 where CPUID does not say how it is shared.
    size_t GroupOf(size_t p, size_t index) const { return group_of_[p * kMaxCaches + index]; }

private:
    std::vector<std::vector<ProcessorNumber>> groups_;  // groups_[0]: the empty one
    std::vector<uint32_t> group_of_;                    // [p * kMaxCaches + index]: an index into groups_
};

// Whether `processors` are all the records of a whole machine, made together.
bool HoldsWholeMachine(std::span<const ProcessorDetails> processors);

// Packages, cores and threads counted from the processors themselves: their APIC IDs split by
// each one's ApicSplit. Nothing unless the records hold the whole machine and every split is known.
struct ProcessorCounts {
    uint32_t packages = 0, cores = 0, threads = 0;
    uint32_t performance_cores = 0, efficiency_cores = 0;  // on hybrid processors
    friend bool operator==(const ProcessorCounts&, const ProcessorCounts&) = default;
};
std::optional<ProcessorCounts> CountProcessors(std::span<const ProcessorDetails> processors);
// The same of the processors examined, where the records made together are not known to hold the whole
// machine but tell two or more processors apart: the packages, cores and threads they lie in. Nothing
// for the whole machine (CountProcessors counts it), for one record, or where a split is unknown.
std::optional<ProcessorCounts> CountExamined(std::span<const ProcessorDetails> processors);

// The caches of the machine by level, type and size: how many there are (sharing groups), where the
// records hold the whole machine and CPUID says how each is shared. In cache-list order.
struct CacheInstances {
    uint8_t level = 0;
    CacheType type = CacheType::Data;
    uint64_t size = 0;  // of one, as in CacheDetails
    uint32_t count = 0;
    friend bool operator==(const CacheInstances&, const CacheInstances&) = default;
};
std::vector<CacheInstances> CountCacheInstances(std::span<const ProcessorDetails> processors,
                                                const CacheSharing& sharing);

}  // namespace talvex
