#pragma once
// Machines side by side: what differs between two processors, and what a fleet has in common (the
// features every machine has, its x86-64 level and the microarchitectures), from the processor details.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "probe/details/details.h"
#include "probe/fleet/features.h"
#include "probe/fleet/gcc_flags.h"

namespace talvex {

// The values of the details a comparison looks at beside the caches and the features, in the text's
// order. The APIC ID is left out: it tells processors of one machine apart, not machines.
enum class ProcessorField : uint8_t {
    Brand,
    Vendor,
    Signature,
    Codename,
    Microarchitecture,
    CoreType,
    ThreadsPerCore,
    LogicalPerPackage,
    AddressBits,
    Hypervisor,
    X86_64Level,
    Frequencies,
};

// A cache one processor has and the other has not, or has with other values; the n-th cache of a
// level and type is matched with the other's n-th.
struct CacheDifference {
    const CacheDetails* a = nullptr;  // into the records compared; nullptr where that one has none
    const CacheDetails* b = nullptr;
};

struct ProcessorComparison {
    std::vector<ProcessorField> fields;   // the values that differ
    std::vector<CacheDifference> caches;  // level ascending, as the records list them
    std::vector<size_t> only_a, only_b;   // indices into kMachineFeatures
    bool Same() const { return fields.empty() && caches.empty() && only_a.empty() && only_b.empty(); }
};

// Views into `a` and `b`, which must outlive the result.
ProcessorComparison CompareProcessors(const ProcessorDetails& a, const ProcessorDetails& b);

// One machine of a fleet: as much of its processor's record as the fleet needs, small enough to
// hold for ten thousand machines.
struct FleetMember {
    std::optional<UarchName> uarch;
    unsigned x86_64_level = 0;
    FeatureSet features;  // every named bit, those the details list and those GCC's options name
};

// The record of the processor `probe` reaches, cut down.
FleetMember FleetMemberOf(const Probe& probe);

struct FleetBaseline {
    size_t machines = 0;
    unsigned level = 0;  // the highest x86-64 level every machine reaches
    // The machines at `level` while another reaches higher, each with what it lacks of the next level
    // (rows of kFeatureNames); empty when every machine reaches the same level.
    struct HeldBack {
        size_t machine;
        std::vector<uint16_t> lacks;
    };
    std::vector<HeldBack> held_back;
    // Machines by microarchitecture, in the order first met; nullopt: not in the table.
    struct UarchGroup {
        std::optional<UarchName> uarch;
        std::vector<size_t> machines;
    };
    std::vector<UarchGroup> uarchs;
    // GCC's -march= name every machine's microarchitecture has; "" when they do not share one.
    std::string_view shared_march;
    MachineFeatureSet common;  // the features every machine has
    // Each feature some machine has and another lacks, in the order of kMachineFeatures.
    struct Partial {
        size_t feature;
        std::vector<size_t> lacking;  // machines, ascending
    };
    std::vector<Partial> partial;
    FeatureSet names;  // every name set on some machine: how the features are named
    FeatureSet all;    // the named bits every machine has
};

// Time and memory in proportion to the machines (the features are a fixed number). No machines: an
// empty result with level 0.
FleetBaseline Baseline(std::span<const FleetMember> machines);

}  // namespace talvex
