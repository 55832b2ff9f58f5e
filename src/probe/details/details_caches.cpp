// Caches of the processor details, each level and type from the richest source that describes it:
// - the deterministic cache parameters, leaf 4 (Intel's layout) or, on AMD and Hygon, 0x8000001D when
//   0x80000001 ECX[22] says it is there (AMD's copy of that layout): EAX[4:0] type, EAX[7:5] level,
//   EAX[9] fully associative, EAX[25:14] sharing processors - 1, EBX[11:0] line - 1,
//   EBX[21:12] partitions - 1, EBX[31:22] ways - 1, ECX sets - 1;
// - the leaf 2 descriptor bytes, after Intel's published descriptor table (the details' rows of the
//   table shared with the window; Cyrix and NSC Geode have their own meanings for two bytes);
// - 0x80000005 (L1) and 0x80000006 (L2, L3), through the decoder shared with the window.
// A dump that recorded only sub-leaf 0 of a deterministic leaf still gets its other levels this way.
#include "probe/details/details_caches.h"

#include <algorithm>
#include <array>
#include <bitset>

#include "probe/leaves/extended_caches.h"
#include "probe/leaves/leaf2_descriptors.h"
#include "probe/leaves/vendor.h"

namespace talvex {

namespace {

using enum CacheType;

// Cyrix and NSC Geode: 0x70 is a TLB there, and 0x80 their unified L1.
// clang-format off
constexpr std::array<Leaf2Descriptor, 1> kCyrixDescriptors{{
    // code level type         KB     ways line
    {0x80, 1, Unified,         16,    4,   16,  Leaf2Reader::Details},
}};
// clang-format on

bool IsCyrixOrGeode(std::string_view vendor) {
    const Vendor maker = VendorOf(vendor);
    return maker == Vendor::Cyrix || maker == Vendor::NSC;
}

// Bytes of a cache of `ways` x `partitions` x `line` bytes (each at most 4096, their product at most
// 2^32) by `sets` (at most 2^32), in whole KB: the byte count itself may not fit 64 bits.
uint64_t SizeKB(uint64_t way_bytes, uint64_t sets) {
    return (way_bytes >> 10) * sets + (((way_bytes & 1023u) * sets) >> 10);
}

CacheDetails FromRow(const Leaf2Descriptor& d) {
    CacheDetails c;  // sharing unknown: leaf 2 does not say
    c.level = d.level;
    c.type = d.type;
    c.size = d.size;
    c.ways = d.ways;
    c.line_bytes = d.line;
    c.source = CacheSource::Leaf2;
    return c;
}

const Leaf2Descriptor* FindDescriptor(uint8_t code, std::string_view vendor) {
    if (code == 0) return nullptr;
    if (IsCyrixOrGeode(vendor)) {
        for (const Leaf2Descriptor& d : kCyrixDescriptors)
            if (d.code == code) return &d;
        return nullptr;
    }
    return FindLeaf2Descriptor(code, Leaf2Reader::Details);
}

void FromDescriptors(const LeafReader& leaves, std::string_view vendor, uint32_t family, uint32_t model,
                     CacheList& caches) {
    ForEachLeaf2Byte(leaves.Read(2), kDetailsLeaf2Walk, [&](uint8_t code) {
        const Leaf2Descriptor* d = FindDescriptor(code, vendor);
        if (d == nullptr) return;
        Leaf2Descriptor row = *d;
        if (code == 0x49 && family == 15 && model == 6) row.level = 3;  // Xeon MP: its L3
        caches.push_back(FromRow(row));
    });
}

void FromDeterministic(const LeafReader& leaves, uint32_t leaf, CacheList& caches) {
    const CacheSource source = leaf == 4 ? CacheSource::Leaf4 : CacheSource::Leaf8000001D;
    for (uint32_t sub = 0; sub < 64; ++sub) {
        const TCPUIDRegs r = leaves.Read(leaf, sub);
        const uint32_t type = Bits(r.EAX, 4, 0);
        if (type == 0) break;
        if (type > 3) continue;  // reserved types
        const uint64_t way_bytes =
            uint64_t{Bits(r.EBX, 31, 22) + 1} * (Bits(r.EBX, 21, 12) + 1) * (Bits(r.EBX, 11, 0) + 1);
        CacheDetails c;
        c.level = static_cast<uint8_t>(Bits(r.EAX, 7, 5));
        c.type = type == 1 ? Data : type == 2 ? Instruction : Unified;
        c.size = SizeKB(way_bytes, uint64_t{r.ECX} + 1);
        c.ways = BitSet(r.EAX, 9) ? 0 : Bits(r.EBX, 31, 22) + 1;
        c.line_bytes = Bits(r.EBX, 11, 0) + 1;
        c.shared_by = Bits(r.EAX, 25, 14) + 1;
        c.source = source;
        caches.push_back(c);
    }
}

void FromExtendedLeaves(const LeafReader& leaves, std::string_view vendor, uint32_t signature,
                        CacheList& caches) {
    const TCPUIDRegs l1 = leaves.Read(0x80000005), l23 = leaves.Read(0x80000006);
    // Intel documents the L2 register alone (the rest reads 0); the L3 register is AMD's and Hygon's.
    const Vendor maker = VendorOf(vendor);
    const struct {
        bool read;
        uint8_t level;
        CacheType type;
        ExtendedCache cache;
    } found[] = {
        {maker != Vendor::Intel, 1, Data, DecodeExtendedL1(l1.ECX)},
        {maker != Vendor::Intel, 1, Instruction, DecodeExtendedL1(l1.EDX)},
        {true, 2, Unified, DecodeExtendedL2(l23.ECX, vendor, signature)},
        {IsAmdOrHygon(maker), 3, Unified, DecodeExtendedL3(l23.EDX)},
    };
    for (const auto& [read, level, type, c] : found) {
        if (!read || c.kb == 0 || !c.ways) continue;  // not this vendor's, no such cache, or disabled
        caches.push_back({level, type, c.kb, *c.ways, c.line_bytes, {}, CacheSource::Leaf80000005});
    }
}

// Whether `have` already describes the cache `c`: same level, and the same type or a unified cache on
// either side (a trace cache stands for itself alone).
bool Covers(const CacheDetails& have, const CacheDetails& c) {
    if (have.level != c.level) return false;
    if (have.type == c.type) return true;
    return have.type != Trace && c.type != Trace && (have.type == Unified || c.type == Unified);
}

// Adds the caches of `poorer` that no cache of `caches` describes.
void AddUncovered(CacheList& caches, const CacheList& poorer) {
    const size_t listed = caches.size();
    for (const CacheDetails& c : poorer) {
        bool covered = false;
        for (size_t i = 0; i < listed && !covered; ++i) covered = Covers(caches[i], c);
        if (!covered) caches.push_back(c);
    }
}

// Level ascending, then data, instruction, unified, trace; stable, and without a buffer.
void Sort(CacheList& caches) {
    for (size_t i = 1; i < caches.size(); ++i) {
        const CacheDetails item = caches[i];
        size_t j = i;
        for (; j > 0 && CacheOrder(caches[j - 1]) > CacheOrder(item); --j) caches[j] = caches[j - 1];
        caches[j] = item;
    }
}

bool Deterministic(const CacheDetails& c) {
    return c.source == CacheSource::Leaf4 || c.source == CacheSource::Leaf8000001D;
}

}  // namespace

int CacheOrder(const CacheDetails& cache) { return cache.level * 4 + static_cast<int>(cache.type); }

void AddReportedCaches(const ReportedLines& lines, CacheList& caches) {
    if (std::none_of(caches.begin(), caches.end(), Deterministic)) return;
    // Each line as the report's fields read the details: an L1 data line is the first level-1 cache
    // holding data, an L2 or L3 line the first cache of its level holding data.
    const struct {
        uint32_t size;
        uint8_t level;
        CacheType type;
    } kLines[] = {
        {lines.l1d, 1, Data},   {lines.l1i, 1, Instruction}, {lines.trace, 1, Trace},
        {lines.l2, 2, Unified}, {lines.l3, 3, Unified},
    };
    for (const auto& line : kLines) {
        if (line.size == 0) continue;
        const bool holds_data = line.type == Data || line.type == Unified;
        CacheDetails* found = nullptr;
        for (size_t i = 0; i < caches.size() && found == nullptr; ++i) {
            const CacheDetails& c = caches[i];
            const bool data = c.type == Data || c.type == Unified;
            if (c.level == line.level && (holds_data ? data : c.type == line.type)) found = &caches[i];
        }
        if (found != nullptr && (Deterministic(*found) || found->size == line.size)) continue;
        CacheDetails reported;  // ways and line unknown, and who shares it
        reported.level = line.level;
        reported.type = line.type;
        reported.size = line.size;
        reported.source = CacheSource::ReportLines;
        if (found != nullptr)
            *found = reported;
        else
            caches.push_back(reported);
    }
    Sort(caches);
}

CacheSource ReadCaches(const LeafReader& leaves, std::string_view vendor, uint32_t signature, uint32_t family,
                       uint32_t model, CacheList& caches) {
    if (IsAmdOrHygon(VendorOf(vendor))) {
        if (BitSet(leaves.Read(0x80000001).ECX, 22)) FromDeterministic(leaves, 0x8000001D, caches);
    } else {
        FromDeterministic(leaves, 4, caches);
    }
    CacheList poorer;
    FromDescriptors(leaves, vendor, family, model, poorer);
    AddUncovered(caches, poorer);
    poorer = {};
    FromExtendedLeaves(leaves, vendor, signature, poorer);
    AddUncovered(caches, poorer);
    const CacheSource source = caches.empty() ? CacheSource::None : caches[0].source;
    Sort(caches);
    return source;
}

}  // namespace talvex
