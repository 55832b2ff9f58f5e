// Two processors compared, and a fleet's common ground, from the processor details.
#include "probe/fleet/fleet.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "probe/leaves/leaf_reader.h"

namespace talvex {

namespace {

std::optional<std::string_view> UarchOf(const ProcessorDetails& d) {
    if (!d.uarch) return std::nullopt;
    return d.uarch->microarchitecture;
}

std::optional<std::string_view> CodenameOf(const ProcessorDetails& d) {
    if (!d.uarch) return std::nullopt;
    return d.uarch->codename;
}

bool Differs(const ProcessorDetails& a, const ProcessorDetails& b, ProcessorField field) {
    switch (field) {
    case ProcessorField::Brand: return a.brand != b.brand;
    case ProcessorField::Vendor: return a.vendor != b.vendor;
    case ProcessorField::Signature: return a.signature != b.signature;
    case ProcessorField::Codename: return CodenameOf(a) != CodenameOf(b);
    case ProcessorField::Microarchitecture: return UarchOf(a) != UarchOf(b);
    case ProcessorField::CoreType: return a.core_type != b.core_type;
    case ProcessorField::ThreadsPerCore: return a.topology.threads_per_core != b.topology.threads_per_core;
    case ProcessorField::LogicalPerPackage:
        return a.topology.logical_per_package != b.topology.logical_per_package;
    case ProcessorField::AddressBits: return a.address_bits != b.address_bits;
    case ProcessorField::Hypervisor: return a.hypervisor != b.hypervisor;
    case ProcessorField::X86_64Level: return a.x86_64_level != b.x86_64_level;
    case ProcessorField::Frequencies: return a.frequency_mhz != b.frequency_mhz;
    }
    return false;
}

// A cache with its place among the caches of its level and type: the n-th is matched with the n-th.
struct PlacedCache {
    int order;
    size_t nth;
    const CacheDetails* cache;
    auto Key() const { return std::pair(order, nth); }
};

// The values a cache is shown with; where the details read it from is not one of them (an Intel's
// leaf 4 and an AMD's 0x8000001D give the same cache).
bool SameCache(const CacheDetails& a, const CacheDetails& b) {
    return a.level == b.level && a.type == b.type && a.size == b.size && a.ways == b.ways
           && a.line_bytes == b.line_bytes && a.shared_by == b.shared_by;
}

std::vector<PlacedCache> Placed(const CacheList& caches) {
    std::vector<PlacedCache> placed;
    for (const CacheDetails& c : caches) {
        size_t nth = 0;
        for (const PlacedCache& p : placed) nth += p.order == CacheOrder(c) ? 1 : 0;
        placed.push_back({CacheOrder(c), nth, &c});
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const PlacedCache& x, const PlacedCache& y) { return x.Key() < y.Key(); });
    return placed;
}

}  // namespace

ProcessorComparison CompareProcessors(const ProcessorDetails& a, const ProcessorDetails& b) {
    ProcessorComparison result;
    for (auto f = ProcessorField::Brand; f <= ProcessorField::Frequencies;
         f = static_cast<ProcessorField>(static_cast<int>(f) + 1))
        if (Differs(a, b, f)) result.fields.push_back(f);

    const std::vector<PlacedCache> pa = Placed(a.caches), pb = Placed(b.caches);
    size_t i = 0, j = 0;
    while (i < pa.size() || j < pb.size()) {
        if (j == pb.size() || (i < pa.size() && pa[i].Key() < pb[j].Key())) {
            result.caches.push_back({pa[i++].cache, nullptr});
        } else if (i == pa.size() || pb[j].Key() < pa[i].Key()) {
            result.caches.push_back({nullptr, pb[j++].cache});
        } else {
            if (!SameCache(*pa[i].cache, *pb[j].cache)) result.caches.push_back({pa[i].cache, pb[j].cache});
            ++i;
            ++j;
        }
    }

    const MachineFeatureSet fa = MachineFeaturesOf(a.features), fb = MachineFeaturesOf(b.features);
    for (size_t f = 0; f < kMachineFeatures.size(); ++f) {
        if (fa[f] && !fb[f]) result.only_a.push_back(f);
        if (fb[f] && !fa[f]) result.only_b.push_back(f);
    }
    return result;
}

FleetMember FleetMemberOf(const Probe& probe) {
    const ProcessorDetails d = GetProcessorDetails(probe);
    return {d.uarch, d.x86_64_level, d.features};
}

FleetBaseline Baseline(std::span<const FleetMember> machines) {
    FleetBaseline fleet;
    fleet.machines = machines.size();
    if (machines.empty()) return fleet;

    unsigned highest = 0;
    fleet.level = kMaxX86_64Level;
    MachineFeatureSet any;
    fleet.common.set();
    fleet.all.set();
    std::vector<MachineFeatureSet> features;
    features.reserve(machines.size());
    std::unordered_map<std::string_view, size_t> group_of;  // by microarchitecture; "" not in the table
    bool share_march = true;
    for (size_t m = 0; m < machines.size(); ++m) {
        const FleetMember& member = machines[m];
        fleet.level = std::min(fleet.level, member.x86_64_level);
        highest = std::max(highest, member.x86_64_level);
        features.push_back(MachineFeaturesOf(member.features));
        fleet.common &= features.back();
        any |= features.back();
        fleet.names |= member.features;
        fleet.all &= member.features;

        const std::string_view key = member.uarch ? member.uarch->microarchitecture : std::string_view();
        auto [it, added] = group_of.try_emplace(key, fleet.uarchs.size());
        if (added) fleet.uarchs.push_back({member.uarch, {}});
        fleet.uarchs[it->second].machines.push_back(m);

        const std::string_view march = member.uarch ? member.uarch->gcc_march : std::string_view();
        if (m == 0) fleet.shared_march = march;
        share_march = share_march && !march.empty() && march == fleet.shared_march;
    }
    if (!share_march) fleet.shared_march = {};

    if (highest > fleet.level) {
        for (size_t m = 0; m < machines.size(); ++m) {
            if (machines[m].x86_64_level != fleet.level) continue;
            FleetBaseline::HeldBack held{m, {}};
            for (const uint16_t row : X86_64LevelRows(fleet.level + 1))
                if (!machines[m].features[row]) held.lacks.push_back(row);
            fleet.held_back.push_back(std::move(held));
        }
    }

    const MachineFeatureSet partial = any & ~fleet.common;
    std::vector<size_t> slot(kMachineFeatures.size(), 0);  // feature -> its index in fleet.partial
    for (size_t f = 0; f < kMachineFeatures.size(); ++f) {
        if (!partial[f]) continue;
        slot[f] = fleet.partial.size();
        fleet.partial.push_back({f, {}});
    }
    for (size_t m = 0; m < machines.size(); ++m) {
        const MachineFeatureSet lacks = partial & ~features[m];
        if (lacks.none()) continue;
        for (size_t f = 0; f < kMachineFeatures.size(); ++f)
            if (lacks[f]) fleet.partial[slot[f]].lacking.push_back(m);
    }
    return fleet;
}

}  // namespace talvex
